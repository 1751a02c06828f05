// MivolaWmpPlugin: the background plug-in object the player creates, with its polling worker
// that publishes the now-playing record and answers custom attribute requests.
#pragma once

#include <windows.h>

#include <atomic>

#include "named_mutex.h"
#include "shared_region.h"
#include "unique_com.h"
#include "unique_handle.h"
#include "wmp_plugin_ui.h"

namespace mivola::wmp {

class MivolaWmpPlugin final : public IWMPPluginUI {
public:
    // Creates an object with its worker running and one reference, the caller's, on Inner();
    // null when it cannot be allocated or its worker cannot start. `outer` non-null creates it
    // aggregated.
    static MivolaWmpPlugin* Create(IUnknown* outer);
    // The non-delegating IUnknown: the object's own identity (the outer object's inner one).
    IUnknown* Inner() { return &inner_; }

    // IUnknown (delegating to the outer object when aggregated)
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IWMPPluginUI
    HRESULT STDMETHODCALLTYPE SetCore(IWMPCore* core) override;
    HRESULT STDMETHODCALLTYPE Create(HWND parent, HWND* window) override;
    HRESULT STDMETHODCALLTYPE Destroy() override;
    HRESULT STDMETHODCALLTYPE DisplayPropertyPage(HWND parent) override;
    HRESULT STDMETHODCALLTYPE GetProperty(const WCHAR* name, VARIANT* property) override;
    HRESULT STDMETHODCALLTYPE SetProperty(const WCHAR* name, const VARIANT* property) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;

private:
    struct InnerUnknown final : IUnknown {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        MivolaWmpPlugin* Owner();
        MivolaWmpPlugin* owner = nullptr;
    };

    explicit MivolaWmpPlugin(IUnknown* outer);
    ~MivolaWmpPlugin();
    bool StartWorker();
    static DWORD WINAPI WorkerMain(void* self);
    // One poll: the record gathered from the core, published whole under the record's lock.
    void Tick();
    // A counted reference of the caller's own to the current core, or null (see the comment at
    // the top of mivola_wmp_plugin.cpp).
    com_ptr<IWMPCore> TakeCore();
    // The settings dialog's OK: the new interval.
    static void StoreInterval(void* self, UINT intervalMs);

    // The object's state; the core's guard, the inner unknown and the worker's handle follow.
    LONG refs_ = 1;                   // the creator's; plain count: AddRef/Release come from the player's thread only
    std::atomic<UINT> interval_{1000};  // 10..9999 ms, read by the worker before every wait
    com_ptr<IWMPCore> core_;          // one reference held; swapped only under coreLock_
    std::atomic<LONG> stop_{0};       // set to 1 by the destructor
    std::atomic<LONG> exited_{0};     // 1 once the worker has left its loop
    SharedRegion nowPlaying_;         // "ZEQ_Plugin_WMP_Info"
    SharedRegion answer_;             // "ZEQ_Plugin_WMP_Org_Info_WMP", closed until the first answer
    NamedMutex answerMutex_;
    NamedMutex requestMutex_;
    CRITICAL_SECTION coreLock_;
    InnerUnknown inner_;
    IUnknown* outer_;
    unique_handle worker_;
};

}  // namespace mivola::wmp
