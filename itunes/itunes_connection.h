// The bridge's connection to a running iTunes: the thread's COM initialisation and the
// reference to iTunes' application object. Releasing the reference is the whole
// disconnection; the event sink registered at connect is never unadvised.
#pragma once

#include <windows.h>

#include "itunes_interfaces.h"
#include "unique_com.h"

namespace mivola::itunes {

constexpr size_t kPlayerVersionCapacity = 64;

class ITunesConnection {
public:
    ITunesConnection();  // initialises COM, apartment-threaded
    ~ITunesConnection();  // releases iTunes first, then uninitialises COM
    ITunesConnection(const ITunesConnection&) = delete;
    ITunesConnection& operator=(const ITunesConnection&) = delete;

    IiTunes* App() const { return app_.get(); }
    HRESULT LastResult() const { return lastResult_; }

    // Attaches to iTunes, reads its version into playerVersion and registers an event sink that
    // posts iTunesEndMessage to window on the quit announcement. False when a step that must
    // succeed failed (LastResult tells which result); the version may be empty either way.
    bool Connect(HWND window, UINT iTunesEndMessage, wchar_t (&playerVersion)[kPlayerVersionCapacity]);

private:
    ComApartment apartment_{COINIT_APARTMENTTHREADED};  // first, so that it ends last
    HRESULT lastResult_ = S_OK;
    com_ptr<IiTunes> app_;
};

}  // namespace mivola::itunes
