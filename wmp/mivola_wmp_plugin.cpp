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

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "attribute_answer.h"
#include "interval.h"
#include "module.h"
#include "now_playing_record.h"
#include "region_names.h"
#include "settings_file.h"
#include "timing_dialog.h"
#include "text_copy.h"
#include "unique_com.h"

namespace mivola::wmp {

namespace {

constexpr size_t kScratchUnits = 10240;
constexpr char kNowPlayingRegion[] = "ZEQ_Plugin_WMP_Info";

bool GathersMedia(LONG state) { return state == 1 || state == 2 || state == 3 || state == 10; }

// Copies a BSTR into a field: at most capacity units, the last one forced to NUL.
template <size_t N>
void StoreText(wchar_t (&field)[N], const unique_bstr& s) {
    CopyText(field, N, s.get());
}

unique_bstr MediaItemInfo(void* media, BSTR name) {
    unique_bstr value;
    if (FAILED(static_cast<IWMPMedia*>(media)->getItemInfo(name, value.put()))) value.reset();
    return value;
}

unique_bstr ItemInfo(IWMPMedia* media, const wchar_t* name) {
    unique_bstr value;
    unique_bstr bname(::SysAllocString(name));
    if (bname) media->getItemInfo(bname.get(), value.put());
    return value;
}

// An attribute copied first into a scratch buffer of 10240 units, then cut to the field.
template <size_t N>
void StoreAttribute(wchar_t (&field)[N], IWMPMedia* media, const wchar_t* name, wchar_t* scratch) {
    unique_bstr value = ItemInfo(media, name);
    CopyText(scratch, kScratchUnits, value.get());
    CopyText(field, N, scratch);
}

// "WM/TrackNumber" read as atol does after conversion to the ANSI code page; low 16 bits.
uint16_t TrackNumber(IWMPMedia* media) {
    unique_bstr value = ItemInfo(media, L"WM/TrackNumber");
    if (!value || !value.get()[0]) return 0;
    int n = ::WideCharToMultiByte(CP_ACP, 0, value.get(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return 0;
    std::string ansi(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, value.get(), -1, &ansi[0], n, nullptr, nullptr);
    return static_cast<uint16_t>(std::atol(ansi.c_str()) & 0xFFFF);
}

// "FileSize" scanned as a signed 64-bit decimal (as "%I64d" does); 0 when it does not scan.
int64_t FileSize(IWMPMedia* media) {
    unique_bstr value = ItemInfo(media, L"FileSize");
    if (!value) return 0;
    wchar_t* end = nullptr;
    long long n = std::wcstoll(value.get(), &end, 10);
    return end == value.get() ? 0 : n;
}

}  // namespace

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
    interval_ = ReadTiming(ModuleInstance());
    nowPlaying_.Open(kNowPlayingRegion, kNowPlayingRecordSize);
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
    // 1. Stop the worker; a tick in progress completes first.
    stop_ = 1;
    while (exited_ != 1) ::Sleep(1);
    worker_.reset();
    // 2. Release the core if still held.
    com_ptr<IWMPCore> core;
    ::EnterCriticalSection(&coreLock_);
    core.swap(core_);
    ::LeaveCriticalSection(&coreLock_);
    core.reset();
    UnlockModule();
    // 3. Readers then see no record.
    if (nowPlaying_.IsOpen()) {
        nowPlaying_.Lock();
        std::memset(nowPlaying_.View(), 0, kNowPlayingRecordSize);
        nowPlaying_.Unlock();
    }
    nowPlaying_.Close();
    // 4. The answer region goes under its mutex; then both exchange mutexes.
    answerMutex_.Lock();
    answer_.Close();
    answerMutex_.Unlock();
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
    ::EnterCriticalSection(&coreLock_);
    com_ptr<IWMPCore> core = core_;  // adds the tick's own reference
    ::LeaveCriticalSection(&coreLock_);
    return core;
}

void MivolaWmpPlugin::Tick() {
    // 1. Skip the tick while anyone else holds the record.
    if (!nowPlaying_.IsOpen() || nowPlaying_.IsBusy()) return;
    nowPlaying_.Lock();
    // 2. A private zero-filled image.
    static_assert(sizeof(NowPlayingRecord) == kNowPlayingRecordSize);
    auto record = std::make_unique<NowPlayingRecord>();
    std::memset(record.get(), 0, sizeof *record);
    com_ptr<IWMPCore> core = TakeCore();
    // 3. No core: an all-zero record.
    if (core) {
        // 4.
        record->Magic = kRecordMagic;
        record->Version = kVersionWmp;
        // 5.
        WMPPlayState state = wmppsUndefined;
        if (FAILED(core->get_playState(&state))) state = wmppsUndefined;
        record->PlayState = static_cast<uint16_t>(state);
        // 6. Media fields only in the states stopped, paused, playing and ready.
        com_ptr<IWMPMedia> media;
        if (GathersMedia(state) && SUCCEEDED(core->get_currentMedia(media.put())) && media) {
            std::vector<wchar_t> scratch(kScratchUnits);
            unique_bstr text;
            media->get_name(text.put());
            StoreText(record->Title, text);
            media->get_sourceURL(text.put());
            StoreText(record->Path, text);
            StoreAttribute(record->Genre, media.get(), L"WM/Genre", scratch.data());
            StoreAttribute(record->Artist, media.get(), L"Author", scratch.data());
            StoreAttribute(record->Album, media.get(), L"WM/AlbumTitle", scratch.data());
            record->TrackNumber = TrackNumber(media.get());
            LONG width = 0, height = 0;
            media->get_imageSourceWidth(&width);
            media->get_imageSourceHeight(&height);
            record->Width = width;
            record->Height = height;
            double duration = 0;
            media->get_duration(&duration);
            record->Length = static_cast<int32_t>(duration);
            record->FileSize = FileSize(media.get());
            // Answer the host's custom attribute request for this item.
            AnswerRequest(requestMutex_, answerMutex_, answer_, MediaItemInfo, media.get());
        }
        // 7. Position.
        com_ptr<IWMPControls> controls;
        if (SUCCEEDED(core->get_controls(controls.put())) && controls) {
            double position = 0;
            controls->get_currentPosition(&position);
            record->Position = static_cast<int32_t>(position);
        }
        // 8. Status.
        unique_bstr status;
        if (SUCCEEDED(core->get_status(status.put()))) StoreText(record->Status, status);
        // 9. Network statistics, then the protocol.
        com_ptr<IWMPNetwork> network;
        if (SUCCEEDED(core->get_network(network.put())) && network) {
            struct Getter {
                HRESULT(STDMETHODCALLTYPE IWMPNetwork::*get)(LONG*);
                int32_t NowPlayingRecord::*field;
            };
            static const Getter kGetters[] = {
                {&IWMPNetwork::get_bandWidth, &NowPlayingRecord::Bandwidth},
                {&IWMPNetwork::get_maxBandwidth, &NowPlayingRecord::MaxBandwidth},
                {&IWMPNetwork::get_bitRate, &NowPlayingRecord::BitRate},
                {&IWMPNetwork::get_encodedFrameRate, &NowPlayingRecord::EncodedFrameRate},
                {&IWMPNetwork::get_frameRate, &NowPlayingRecord::FrameRate},
                {&IWMPNetwork::get_framesSkipped, &NowPlayingRecord::FramesSkipped},
                {&IWMPNetwork::get_receivedPackets, &NowPlayingRecord::ReceivedPackets},
                {&IWMPNetwork::get_receptionQuality, &NowPlayingRecord::ReceptionQuality},
                {&IWMPNetwork::get_recoveredPackets, &NowPlayingRecord::RecoveredPackets},
                {&IWMPNetwork::get_lostPackets, &NowPlayingRecord::LostPackets},
                {&IWMPNetwork::get_bufferingCount, &NowPlayingRecord::BufferingCount},
                {&IWMPNetwork::get_bufferingProgress, &NowPlayingRecord::BufferingProgress},
                {&IWMPNetwork::get_downloadProgress, &NowPlayingRecord::DownloadProgress},
            };
            for (const Getter& g : kGetters) {
                LONG value = 0;
                (network.get()->*g.get)(&value);
                (*record).*g.field = value;
            }
            unique_bstr protocol;
            network->get_sourceProtocol(protocol.put());
            StoreText(record->Protocol, protocol);
        }
    }
    // 10. The whole image into the view. 11. Every interface and string is released by its owner.
    std::memcpy(nowPlaying_.View(), record.get(), kNowPlayingRecordSize);
    nowPlaying_.Unlock();
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
    ::EnterCriticalSection(&coreLock_);
    old.swap(core_);
    ::LeaveCriticalSection(&coreLock_);
    old.reset();  // outside the lock; a tick still using it holds its own reference
    if (!core) return S_OK;
    com_ptr<IWMPCore> added(core);
    ::EnterCriticalSection(&coreLock_);
    core_ = added;
    ::LeaveCriticalSection(&coreLock_);
    unique_bstr version;
    added->get_versionInfo(version.put());
    PublishPlayerVersion(version && version.get()[0] ? version.get() : nullptr);
    return S_OK;
}

HRESULT MivolaWmpPlugin::Create(HWND, HWND*) { return E_NOTIMPL; }

HRESULT MivolaWmpPlugin::Destroy() { return E_NOTIMPL; }

HRESULT MivolaWmpPlugin::DisplayPropertyPage(HWND parent) {
    ShowTimingDialog(ModuleInstance(), parent, &interval_);
    return S_OK;
}

HRESULT MivolaWmpPlugin::GetProperty(const WCHAR*, VARIANT* property) { return property ? E_NOTIMPL : E_POINTER; }

HRESULT MivolaWmpPlugin::SetProperty(const WCHAR*, const VARIANT*) { return E_NOTIMPL; }

HRESULT MivolaWmpPlugin::TranslateAccelerator(MSG*) { return E_NOTIMPL; }

}  // namespace mivola::wmp
