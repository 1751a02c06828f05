#include "fake_core.h"

#include <oleauto.h>

#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "log.h"

namespace wmp_sim {

namespace {

#define NOTIMPL_DISPATCH                                                                                           \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }                                \
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }                   \
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }  \
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { \
        return E_NOTIMPL;                                                                                            \
    }

BSTR Copy(const std::wstring& s) { return ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size())); }

// Reference counting and QueryInterface for one interface I.
template <typename I>
class Object : public I {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, __uuidof(I))) {
            *ppv = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        long refs = --refs_;
        if (refs == 0) Gone();
        return static_cast<ULONG>(refs);
    }
    NOTIMPL_DISPATCH

protected:
    virtual ~Object() = default;
    virtual void Gone() { delete this; }
    std::atomic<long> refs_{1};
};

// Every call of a core and of what it hands out passes here: the slow switch and the call log.
class CallGate {
public:
    CallGate(PlayerModel& model, int index, std::atomic<bool>* released) : model_(model), index_(index), released_(released) {}
    void Enter(const char* method) const {
        if (*released_) Log("call-after-release " + std::to_string(index_) + " " + method);
        else if (model_.LogCalls()) Log("call " + std::to_string(index_) + " " + method);
        if (DWORD ms = model_.Slow()) ::Sleep(ms);
    }
    // Stubs of some cores fail without setting their out value. With the switch on, the call
    // is to fail, and its out value holds bytes a caller must neither take nor free.
    template <typename T>
    bool FailsLeavingGarbage(bool PlayerState::*quirk, T* out) const {
        if (!model_.Flag(quirk)) return false;
        std::memset(out, 0xCD, sizeof *out);
        return true;
    }
    PlayerModel& model_;
    int index_;
    std::atomic<bool>* released_;
};

class Media final : public Object<IWMPMedia> {
public:
    Media(const CallGate& gate, MediaItem item) : gate_(gate), item_(std::move(item)) {}
    HRESULT STDMETHODCALLTYPE get_isIdentical(IWMPMedia*, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_sourceURL(BSTR* out) override {
        gate_.Enter("get_sourceURL");
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::valuesFail, out)) return E_NOTIMPL;
        *out = item_.hasUrl ? Copy(item_.url) : nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_name(BSTR* out) override {
        gate_.Enter("get_name");
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::valuesFail, out)) return E_NOTIMPL;
        *out = item_.hasName ? Copy(item_.name) : nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_name(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_imageSourceWidth(LONG* out) override {
        gate_.Enter("get_imageSourceWidth");
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::valuesFail, out)) return E_NOTIMPL;
        *out = item_.width;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_imageSourceHeight(LONG* out) override {
        gate_.Enter("get_imageSourceHeight");
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::valuesFail, out)) return E_NOTIMPL;
        *out = item_.height;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_markerCount(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getMarkerTime(LONG, double*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getMarkerName(LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_duration(double* out) override {
        gate_.Enter("get_duration");
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::valuesFail, out)) return E_NOTIMPL;
        *out = item_.duration;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_durationString(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_attributeCount(LONG* out) override {
        if (!out) return E_POINTER;
        *out = static_cast<LONG>(item_.attributes.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE getAttributeName(LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getItemInfo(BSTR name, BSTR* out) override {
        std::wstring wanted(name ? name : L"", name ? ::SysStringLen(name) : 0);
        gate_.Enter(("getItemInfo(" + Utf8(wanted) + ")").c_str());
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::valuesFail, out)) return E_NOTIMPL;
        *out = nullptr;
        if (gate_.model_.Snapshot(nullptr).itemInfoNull) return S_OK;
        for (const auto& a : item_.attributes) {
            if (_wcsicmp(a.first.c_str(), wanted.c_str()) == 0) {
                *out = Copy(a.second);
                break;
            }
        }
        return S_OK;  // an attribute the item lacks: a null string
    }
    HRESULT STDMETHODCALLTYPE setItemInfo(BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getItemInfoByAtom(LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE isMemberOf(IWMPPlaylist*, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE isReadOnlyItem(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }

private:
    CallGate gate_;
    MediaItem item_;
};

class Controls final : public Object<IWMPControls> {
public:
    explicit Controls(const CallGate& gate) : gate_(gate) {}
    HRESULT STDMETHODCALLTYPE get_isAvailable(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE play() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE pause() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE fastForward() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE fastReverse() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_currentPosition(double* out) override {
        gate_.Enter("get_currentPosition");
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::valuesFail, out)) return E_NOTIMPL;
        PlayerState s = gate_.model_.Snapshot(out);
        if (s.positionFalse) {
            *out = -1.0;
            return S_FALSE;
        }
        if (s.current >= 0 && static_cast<size_t>(s.current) < s.media.size() && s.media[static_cast<size_t>(s.current)].fixedPosition)
            *out = s.media[static_cast<size_t>(s.current)].position;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_currentPosition(double) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_currentPositionString(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE next() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE previous() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE currentItem(IWMPMedia**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_currentItem(IWMPMedia*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_currentMarker(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_currentMarker(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE playItem(IWMPMedia*) override { return E_NOTIMPL; }

private:
    CallGate gate_;
};

class Network final : public Object<IWMPNetwork> {
public:
    explicit Network(const CallGate& gate) : gate_(gate) {}
#define NETWORK_GETTER(method, index)                                                   \
    HRESULT STDMETHODCALLTYPE method(LONG* out) override {                              \
        gate_.Enter(#method);                                                           \
        if (!out) return E_POINTER;                                                     \
        if (gate_.FailsLeavingGarbage(&PlayerState::valuesFail, out)) return E_NOTIMPL; \
        *out = gate_.model_.Snapshot(nullptr).network[index];                           \
        return S_OK;                                                                    \
    }
    NETWORK_GETTER(get_bandWidth, NetBandwidth)
    NETWORK_GETTER(get_recoveredPackets, NetRecoveredPackets)
    NETWORK_GETTER(get_receivedPackets, NetReceivedPackets)
    NETWORK_GETTER(get_lostPackets, NetLostPackets)
    NETWORK_GETTER(get_receptionQuality, NetReceptionQuality)
    NETWORK_GETTER(get_bufferingCount, NetBufferingCount)
    NETWORK_GETTER(get_bufferingProgress, NetBufferingProgress)
    NETWORK_GETTER(get_frameRate, NetFrameRate)
    NETWORK_GETTER(get_bitRate, NetBitRate)
    NETWORK_GETTER(get_maxBandwidth, NetMaxBandwidth)
    NETWORK_GETTER(get_downloadProgress, NetDownloadProgress)
    NETWORK_GETTER(get_encodedFrameRate, NetEncodedFrameRate)
    NETWORK_GETTER(get_framesSkipped, NetFramesSkipped)
#undef NETWORK_GETTER
    HRESULT STDMETHODCALLTYPE get_sourceProtocol(BSTR* out) override {
        gate_.Enter("get_sourceProtocol");
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::valuesFail, out)) return E_NOTIMPL;
        std::wstring protocol = gate_.model_.Snapshot(nullptr).protocol;
        *out = protocol.empty() ? nullptr : Copy(protocol);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_bufferingTime(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_bufferingTime(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_maxBitRate(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getProxySettings(BSTR, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE setProxySettings(BSTR, LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getProxyName(BSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE setProxyName(BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getProxyPort(BSTR, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE setProxyPort(BSTR, LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getProxyExceptionList(BSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE setProxyExceptionList(BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getProxyBypassForLocal(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE setProxyBypassForLocal(BSTR, VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_maxBandwidth(LONG) override { return E_NOTIMPL; }

private:
    CallGate gate_;
};

class Core final : public Object<IWMPCore> {
public:
    Core(PlayerModel& model, int index) : gate_(model, index, &released_), index_(index) {}
    HRESULT STDMETHODCALLTYPE close() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_URL(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_URL(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_openState(WMPOpenState*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_playState(WMPPlayState* out) override {
        gate_.Enter("get_playState");
        ++gate_.model_.playStateCalls;
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::playStateNotImpl, out)) return E_NOTIMPL;
        *out = static_cast<WMPPlayState>(gate_.model_.Snapshot(nullptr).state);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_controls(IWMPControls** out) override {
        gate_.Enter("get_controls");
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::objectsFail, out)) return E_NOTIMPL;
        *out = new (std::nothrow) Controls(gate_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_settings(IWMPSettings**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_currentMedia(IWMPMedia** out) override {
        gate_.Enter("get_currentMedia");
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::objectsFail, out)) return E_NOTIMPL;
        *out = nullptr;
        PlayerState s = gate_.model_.Snapshot(nullptr);
        if (s.current < 0 || static_cast<size_t>(s.current) >= s.media.size()) return S_FALSE;
        *out = new (std::nothrow) Media(gate_, s.media[static_cast<size_t>(s.current)]);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE put_currentMedia(IWMPMedia*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_mediaCollection(IWMPMediaCollection**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_playlistCollection(IWMPPlaylistCollection**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_versionInfo(BSTR* out) override {
        gate_.Enter("get_versionInfo");
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::valuesFail, out)) return E_NOTIMPL;
        std::wstring version = gate_.model_.Snapshot(nullptr).version;
        *out = version.empty() ? nullptr : Copy(version);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE launchURL(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_network(IWMPNetwork** out) override {
        gate_.Enter("get_network");
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::objectsFail, out)) return E_NOTIMPL;
        *out = new (std::nothrow) Network(gate_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_currentPlaylist(IWMPPlaylist**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_currentPlaylist(IWMPPlaylist*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_cdromCollection(IWMPCdromCollection**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_closedCaption(IWMPClosedCaption**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_isOnline(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Error(IWMPError**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_status(BSTR* out) override {
        gate_.Enter("get_status");
        if (!out) return E_POINTER;
        if (gate_.FailsLeavingGarbage(&PlayerState::valuesFail, out)) return E_NOTIMPL;
        PlayerState s = gate_.model_.Snapshot(nullptr);
        *out = s.hasStatus ? Copy(s.status) : nullptr;
        return S_OK;
    }

protected:
    void Gone() override {
        released_ = true;
        Log("core " + std::to_string(index_) + " released");
    }

private:
    std::atomic<bool> released_{false};
    CallGate gate_;
    int index_;
};

}  // namespace

IWMPCore* NewCore(PlayerModel& model, int index) { return new Core(model, index); }

}  // namespace wmp_sim
