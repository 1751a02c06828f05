// The bridge's receiver of iTunes' events. iTunes calls it on the bridge's thread, possibly
// while the bridge itself waits inside a call to iTunes, so it never acts inside the call:
// the quit announcement only posts the end-of-iTunes message to the bridge window.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <oaidl.h>

#include "unique_com.h"

namespace mivola::itunes {

class ITunesEventSink final : public IDispatch {
public:
    // The sink starts with one reference, its creator's, handed over with com_ptr::attach.
    ITunesEventSink(HWND window, UINT iTunesEndMessage);
    ITunesEventSink(const ITunesEventSink&) = delete;
    ITunesEventSink& operator=(const ITunesEventSink&) = delete;

    // The event interface's type information, for GetIDsOfNames; may stay empty.
    void SetTypeInfo(com_ptr<ITypeInfo> typeInfo) { typeInfo_ = std::move(typeInfo); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override;

private:
    ~ITunesEventSink() = default;

    LONG references_ = 1;
    com_ptr<ITypeInfo> typeInfo_;
    HWND window_;
    UINT iTunesEnd_;
};

}  // namespace mivola::itunes
