// The core pointer across threads.
//
// The worker calls the player's core DIRECTLY through the pointer the player handed to
// SetCore; it does not marshal it (no Global Interface Table, no CoMarshalInterThreadInterface-
// InStream). A marshalled reference would route every call of a tick through the player's
// single-threaded apartment, so a tick could only progress while the player's thread pumps
// messages. But the player destroys the object on that very thread, and the destructor has
// to wait until the running tick completes (the record must not be zeroed under it): with a proxy the destructor would wait
// for a tick that waits for the destructor's thread, a deadlock (or, if the wait pumped
// messages, the player would be re-entered from inside its own final Release). Direct calls
// never need the player's thread, so the waits below are bounded by the tick's own duration
// even when the core's calls are slow. This is also what the original bridge did.
//
// Never using a released core: the pointer lives in core_ behind a critical section that is
// held only to copy or swap the pointer, never across a call on the core. A tick takes its
// own counted reference under the lock (TakeCore) and releases it when it is done, so
// SetCore(NULL) or SetCore(other) on the player's thread can drop the object's reference at
// once without waiting for the tick: the core a tick is using stays alive until that tick
// lets it go (the final Release of the old core may therefore run on the worker thread).
// SetCore never waits for the worker; the final Release waits only for the tick in progress.
#include "mivola_wmp_plugin.h"

#include <mmsystem.h>

#include <cstring>
#include <memory>
#include <new>

#include "gathering.h"
#include "interval_dialog.h"
#include "module.h"
#include "module_settings_file.h"
#include "now_playing_record.h"
#include "players.h"
#include "record_transfer.h"
#include "region_names.h"
#include "resource.h"
#include "scoped_lock.h"

namespace mivola::wmp {

MivolaWmpPlugin* MivolaWmpPlugin::Create(IUnknown* outer) {
    auto* plugin = new (std::nothrow) MivolaWmpPlugin(outer);
    if (!plugin) return nullptr;
    if (!plugin->StartWorker()) {
        delete plugin;  // nothing runs yet: the destructor finds the worker "exited"
        return nullptr;
    }
    return plugin;
}

MivolaWmpPlugin::MivolaWmpPlugin(IUnknown* outer) : outer_(outer ? outer : &inner_) {
    inner_.owner = this;
    ::InitializeCriticalSection(&coreLock_);
    LockModule();
    interval_ = ReadModuleInterval(ModuleInstance());
    char name[kRegionNameMax];
    if (NowPlayingRegionName(name, kKeyWmp)) nowPlaying_.Open(name, kNowPlayingRecordSize);
    requestMutex_.Create(kRequestMutex, false);
    answerMutex_.Create(kAnswerMutex, false);
}

bool MivolaWmpPlugin::StartWorker() {
    // The worker holds its own reference to the module and ends with FreeLibraryAndExitThread,
    // so the module cannot be unloaded under its last instructions.
    HMODULE self = nullptr;
    if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WorkerMain), &self))
        worker_.reset(::CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr));
    if (!worker_) {
        if (self) ::FreeLibrary(self);
        exited_ = 1;
        return false;
    }
    return true;
}

MivolaWmpPlugin::~MivolaWmpPlugin() {
    // The worker stops first; a tick in progress completes.
    stop_ = 1;
    while (exited_ != 1) ::Sleep(1);
    worker_.reset();
    com_ptr<IWMPCore> core;
    {
        CriticalSectionLock lock(coreLock_);
        core.swap(core_);
    }
    core.reset();
    UnlockModule();
    // Readers see no record from now on.
    WithdrawRecord(nowPlaying_, kNowPlayingRecordSize);
    // The answer region goes under its mutex; then both exchange mutexes.
    {
        MutexLock lock(answerMutex_);
        answer_.Close();
    }
    answerMutex_.Close();
    requestMutex_.Close();
    ::DeleteCriticalSection(&coreLock_);
}

DWORD WINAPI MivolaWmpPlugin::WorkerMain(void* param) {
    auto* self = static_cast<MivolaWmpPlugin*>(param);
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&WorkerMain), &module);
    self->exited_ = 0;
    for (;;) {
        DWORD start = ::timeGetTime();
        // (now - start) < interval is the wrap-safe form of "start + interval > now".
        while (::timeGetTime() - start < self->interval_) {
            if (self->stop_) {
                self->exited_ = 1;  // from here on `self` may be gone
                ::FreeLibraryAndExitThread(module, 0);
            }
            ::Sleep(1);
        }
        self->Tick();
    }
}

com_ptr<IWMPCore> MivolaWmpPlugin::TakeCore() {
    CriticalSectionLock lock(coreLock_);
    return core_;  // adds the tick's own reference
}

void MivolaWmpPlugin::Tick() {
    // Skipped while anyone else holds the record; otherwise the record stays locked across
    // every call on the core.
    if (!nowPlaying_.IsOpen()) return;
    MutexLock lock(nowPlaying_, MutexLock::NoWait{});
    if (lock.Busy()) return;
    static_assert(sizeof(NowPlayingRecord) == kNowPlayingRecordSize);
    auto record = std::make_unique<NowPlayingRecord>();
    std::memset(record.get(), 0, sizeof *record);
    // Without a core the record stays all zero: readers see no player.
    if (com_ptr<IWMPCore> core = TakeCore()) {
        AttributeExchange exchange{requestMutex_, answerMutex_, answer_, ExchangeNames()};
        GatherRecord(core.get(), *record, &exchange);
    }
    // The mutex is already ours; taking it again for the copy is allowed to its owner.
    PublishRecord(nowPlaying_, record.get(), kNowPlayingRecordSize);
}

// --- IUnknown -------------------------------------------------------------------------------

MivolaWmpPlugin* MivolaWmpPlugin::InnerUnknown::Owner() { return owner; }

HRESULT MivolaWmpPlugin::InnerUnknown::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    MivolaWmpPlugin* owner = Owner();
    if (IsEqualIID(riid, IID_IUnknown)) {
        // Not aggregated: IUnknown and IWMPPluginUI are one pointer (both count on this object).
        // Aggregated: the outer object gets this non-delegating one.
        if (owner->outer_ == this) *ppv = static_cast<IWMPPluginUI*>(owner);
        else *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualIID(riid, __uuidof(IWMPPluginUI))) {
        *ppv = static_cast<IWMPPluginUI*>(owner);
        owner->AddRef();  // through the outer object when aggregated
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG MivolaWmpPlugin::InnerUnknown::AddRef() { return static_cast<ULONG>(++Owner()->refs_); }

ULONG MivolaWmpPlugin::InnerUnknown::Release() {
    MivolaWmpPlugin* owner = Owner();
    LONG refs = --owner->refs_;
    if (refs == 0) delete owner;
    return static_cast<ULONG>(refs);
}

HRESULT MivolaWmpPlugin::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    return outer_->QueryInterface(riid, ppv);
}

ULONG MivolaWmpPlugin::AddRef() { return outer_->AddRef(); }

ULONG MivolaWmpPlugin::Release() { return outer_->Release(); }

// --- IWMPPluginUI ---------------------------------------------------------------------------

HRESULT MivolaWmpPlugin::SetCore(IWMPCore* core) {
    com_ptr<IWMPCore> old;
    {
        CriticalSectionLock lock(coreLock_);
        old.swap(core_);
    }
    old.reset();  // outside the lock; a tick still using it holds its own reference
    if (!core) return S_OK;
    com_ptr<IWMPCore> added(core);
    {
        CriticalSectionLock lock(coreLock_);
        core_ = added;
    }
    unique_bstr version;
    keep_if_succeeded(added->get_versionInfo(version.put()), version);
    PublishPlayerVersion(version && version.get()[0] ? version.get() : nullptr);
    return S_OK;
}

void MivolaWmpPlugin::StoreInterval(void* self, UINT intervalMs) {
    static_cast<MivolaWmpPlugin*>(self)->interval_ = intervalMs;  // the worker takes it from its next wait on
}

HRESULT MivolaWmpPlugin::Create(HWND, HWND*) { return E_NOTIMPL; }

HRESULT MivolaWmpPlugin::Destroy() { return E_NOTIMPL; }

HRESULT MivolaWmpPlugin::DisplayPropertyPage(HWND parent) {
    // The property page is centred over the player and lets the system set the focus.
    IntervalDialog dialog{ModuleInstance(), interval_, StoreInterval, this, true, true};
    ShowIntervalDialog(dialog, parent);
    return S_OK;
}

HRESULT MivolaWmpPlugin::GetProperty(const WCHAR*, VARIANT* property) { return property ? E_NOTIMPL : E_POINTER; }

HRESULT MivolaWmpPlugin::SetProperty(const WCHAR*, const VARIANT*) { return E_NOTIMPL; }

HRESULT MivolaWmpPlugin::TranslateAccelerator(MSG*) { return E_NOTIMPL; }

}  // namespace mivola::wmp
