#include "event_sink.h"

#include "itunes_interfaces.h"

namespace mivola::itunes {

ITunesEventSink::ITunesEventSink(HWND window, UINT iTunesEndMessage) : window_(window), iTunesEnd_(iTunesEndMessage) {}

HRESULT STDMETHODCALLTYPE ITunesEventSink::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kDiidiTunesEvents) || IsEqualIID(iid, IID_IUnknown)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ITunesEventSink::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }

ULONG STDMETHODCALLTYPE ITunesEventSink::Release() {
    LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE ITunesEventSink::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE ITunesEventSink::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE ITunesEventSink::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    // Without iTunes' type library no name can be resolved.
    if (!typeInfo_) return DISP_E_UNKNOWNNAME;
    return typeInfo_->GetIDsOfNames(names, count, ids);
}

HRESULT STDMETHODCALLTYPE ITunesEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                                  UINT*) {
    // Acting here would re-enter the bridge inside iTunes' call; the window procedure detaches later.
    if (id == kDispidAboutToPromptUserToQuit) ::PostMessageA(window_, iTunesEnd_, 0, 0);
    return S_OK;
}

}  // namespace mivola::itunes
