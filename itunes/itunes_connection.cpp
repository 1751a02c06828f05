#include "itunes_connection.h"

#include <new>

#include "event_sink.h"
#include "text_copy.h"

namespace mivola::itunes {

ITunesConnection::ITunesConnection() = default;

ITunesConnection::~ITunesConnection() = default;

bool ITunesConnection::Connect(HWND window, UINT iTunesEndMessage, wchar_t (&playerVersion)[kPlayerVersionCapacity]) {
    playerVersion[0] = L'\0';
    lastResult_ = ::CoCreateInstance(kClsidiTunesApp, nullptr, CLSCTX_LOCAL_SERVER, kIidIiTunes, app_.put_void());
    // Anything but S_OK (S_FALSE included) is no usable iTunes.
    if (lastResult_ != S_OK) {
        app_.reset();
        return false;
    }

    unique_bstr version;
    if (SUCCEEDED(app_->get_Version(version.put()))) CopyText(playerVersion, kPlayerVersionCapacity, version.get(), bstr_length(version));

    com_ptr<IConnectionPointContainer> container;
    lastResult_ = app_.query_to(IID_IConnectionPointContainer, &container);
    if (FAILED(lastResult_)) return false;
    com_ptr<IConnectionPoint> point;
    lastResult_ = container->FindConnectionPoint(kDiidiTunesEvents, point.put());
    container.reset();
    if (FAILED(lastResult_)) return false;

    com_ptr<ITunesEventSink> sink;
    sink.attach(new (std::nothrow) ITunesEventSink(window, iTunesEndMessage));
    if (!sink) {
        lastResult_ = E_OUTOFMEMORY;
        return false;
    }
    // Without the type library the sink still receives events; it only cannot resolve names.
    com_ptr<ITypeLib> library;
    if (SUCCEEDED(::LoadRegTypeLib(kLibidiTunes, kTypeLibMajor, kTypeLibMinor, 0, library.put()))) {
        com_ptr<ITypeInfo> info;
        if (SUCCEEDED(library->GetTypeInfoOfGuid(kDiidiTunesEvents, info.put()))) sink->SetTypeInfo(std::move(info));
    }
    library.reset();

    com_ptr<IUnknown> sinkUnknown;
    lastResult_ = sink->QueryInterface(IID_IUnknown, sinkUnknown.put_void());
    sink.reset();
    if (FAILED(lastResult_)) return false;
    DWORD cookie = 0;
    lastResult_ = point->Advise(sinkUnknown.get(), &cookie);
    return SUCCEEDED(lastResult_);
}

}  // namespace mivola::itunes
