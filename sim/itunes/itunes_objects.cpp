#include "itunes_objects.h"

#include <new>

#include "itunes_sim.h"

namespace itunes_sim {

namespace {

using mivola::com_ptr;
using mivola::unique_bstr;

com_ptr<ITypeLib> g_library;

#define PLACEHOLDER(name) \
    HRESULT STDMETHODCALLTYPE name() override { return E_NOTIMPL; }

// Counts the member as a call for the player's whole duration.
class Call {
public:
    Call(Player& player, const char* member) : player_(player), member_(member) { player_.Enter(member_); }
    ~Call() { player_.Leave(member_); }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

private:
    Player& player_;
    const char* member_;
};

HRESULT Text(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT Number(long value, long* out) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}

// Reference counting and IDispatch from the type library, for an interface I of the library.
template <typename I>
class Automation : public I {
public:
    explicit Automation(REFIID iid) : iid_(iid) {
        if (g_library) g_library->GetTypeInfoOfGuid(iid, info_.put());
    }
    virtual ~Automation() = default;

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = ::InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = info_ ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0 || !info_) return DISP_E_BADINDEX;
        info_->AddRef();
        *info = info_.get();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!info_) return E_NOTIMPL;
        return ::DispGetIDsOfNames(info_.get(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override {
        if (!info_) return E_NOTIMPL;
        return ::DispInvoke(static_cast<I*>(this), info_.get(), id, flags, params, result, exception, argError);
    }

protected:
    const IID& iid_;

private:
    LONG references_ = 0;
    com_ptr<ITypeInfo> info_;
};

// Every member of IITObject and IITTrack; the track's own kind adds the rest.
template <typename I>
class TrackBase : public Automation<I> {
public:
    TrackBase(Player& player, const Track& track, REFIID iid, const char* kindName)
        : Automation<I>(iid), player_(player), track_(track), kindName_(kindName) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, this->iid_)) {
            // The client's query for the kind interface: one call, however often COM's own
            // marshalling asks again while answering it.
            if (!kindAsked_) {
                kindAsked_ = true;
                Call call(player_, kindName_);
            }
        } else if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, IID_IITObject) &&
                   !IsEqualIID(iid, IID_IITTrack)) {
            return E_NOINTERFACE;
        }
        *out = static_cast<I*>(this);
        this->AddRef();
        return S_OK;
    }

    PLACEHOLDER(GetITObjectIDs)
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override {
        Call call(player_, "get_Name");
        return Text(track_.name, value);
    }
    PLACEHOLDER(put_Name)
    PLACEHOLDER(get_Index)
    PLACEHOLDER(get_SourceID)
    PLACEHOLDER(get_PlaylistID)
    PLACEHOLDER(get_TrackID)
    PLACEHOLDER(get_TrackDatabaseID)

    PLACEHOLDER(Delete)
    PLACEHOLDER(Play)
    PLACEHOLDER(AddArtworkFromFile)
    HRESULT STDMETHODCALLTYPE get_Kind(ITTrackKind* value) override {
        Call call(player_, "get_Kind");
        if (!value) return E_POINTER;
        *value = static_cast<ITTrackKind>(track_.kind);
        return S_OK;
    }
    PLACEHOLDER(get_Playlist)
    HRESULT STDMETHODCALLTYPE get_Album(BSTR* value) override {
        Call call(player_, "get_Album");
        return Text(track_.album, value);
    }
    PLACEHOLDER(put_Album)
    HRESULT STDMETHODCALLTYPE get_Artist(BSTR* value) override {
        Call call(player_, "get_Artist");
        return Text(track_.artist, value);
    }
    PLACEHOLDER(put_Artist)
    HRESULT STDMETHODCALLTYPE get_BitRate(long* value) override {
        Call call(player_, "get_BitRate");
        return Number(track_.bitRate, value);
    }
    PLACEHOLDER(get_BPM)
    PLACEHOLDER(put_BPM)
    PLACEHOLDER(get_Comment)
    PLACEHOLDER(put_Comment)
    PLACEHOLDER(get_Compilation)
    PLACEHOLDER(put_Compilation)
    PLACEHOLDER(get_Composer)
    PLACEHOLDER(put_Composer)
    PLACEHOLDER(get_DateAdded)
    PLACEHOLDER(get_DiscCount)
    PLACEHOLDER(put_DiscCount)
    PLACEHOLDER(get_DiscNumber)
    PLACEHOLDER(put_DiscNumber)
    HRESULT STDMETHODCALLTYPE get_Duration(long* value) override {
        Call call(player_, "get_Duration");
        return Number(track_.duration, value);
    }
    PLACEHOLDER(get_Enabled)
    PLACEHOLDER(put_Enabled)
    PLACEHOLDER(get_EQ)
    PLACEHOLDER(put_EQ)
    PLACEHOLDER(put_Finish)
    PLACEHOLDER(get_Finish)
    HRESULT STDMETHODCALLTYPE get_Genre(BSTR* value) override {
        Call call(player_, "get_Genre");
        return Text(track_.genre, value);
    }
    PLACEHOLDER(put_Genre)
    PLACEHOLDER(get_Grouping)
    PLACEHOLDER(put_Grouping)
    PLACEHOLDER(get_KindAsString)
    PLACEHOLDER(get_ModificationDate)
    PLACEHOLDER(get_PlayedCount)
    PLACEHOLDER(put_PlayedCount)
    PLACEHOLDER(get_PlayedDate)
    PLACEHOLDER(put_PlayedDate)
    PLACEHOLDER(get_PlayOrderIndex)
    PLACEHOLDER(get_Rating)
    PLACEHOLDER(put_Rating)
    PLACEHOLDER(get_SampleRate)
    HRESULT STDMETHODCALLTYPE get_Size(long* value) override {
        Call call(player_, "get_Size");
        return Number(track_.size, value);
    }
    PLACEHOLDER(get_Start)
    PLACEHOLDER(put_Start)
    PLACEHOLDER(get_Time)
    PLACEHOLDER(get_TrackCount)
    PLACEHOLDER(put_TrackCount)
    HRESULT STDMETHODCALLTYPE get_TrackNumber(long* value) override {
        Call call(player_, "get_TrackNumber");
        return Number(track_.number, value);
    }
    PLACEHOLDER(put_TrackNumber)
    PLACEHOLDER(get_VolumeAdjustment)
    PLACEHOLDER(put_VolumeAdjustment)
    PLACEHOLDER(get_Year)
    PLACEHOLDER(put_Year)
    PLACEHOLDER(get_Artwork)

protected:
    Player& player_;
    Track track_;  // a copy: the track stays what it was when it was handed out
    const char* kindName_;
    bool kindAsked_ = false;
};

// File, CD and every other kind except streams. It answers IITFileOrCDTrack whatever its kind,
// so only the bridge's choice by kind keeps the location out of other kinds' records.
class FileTrack final : public TrackBase<IITFileOrCDTrack> {
public:
    FileTrack(Player& player, const Track& track)
        : TrackBase<IITFileOrCDTrack>(player, track, IID_IITFileOrCDTrack, "QueryInterface(IITFileOrCDTrack)") {}
    HRESULT STDMETHODCALLTYPE get_Location(BSTR* value) override {
        Call call(player_, "get_Location");
        return Text(track_.location, value);
    }
    PLACEHOLDER(UpdateInfoFromFile)
    PLACEHOLDER(get_Podcast)
};

class UrlTrack final : public TrackBase<IITURLTrack> {
public:
    UrlTrack(Player& player, const Track& track) : TrackBase<IITURLTrack>(player, track, IID_IITURLTrack, "QueryInterface(IITURLTrack)") {}
    HRESULT STDMETHODCALLTYPE get_URL(BSTR* value) override {
        Call call(player_, "get_URL");
        return Text(track_.url, value);
    }
    PLACEHOLDER(put_URL)
    PLACEHOLDER(get_Podcast)
};

class Application;

class EventPoint final : public IConnectionPoint {
public:
    EventPoint(Application& owner, Player& player) : owner_(owner), player_(player) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        if (!iid) return E_POINTER;
        *iid = DIID__IiTunesEvents;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        if (!sink || !cookie) return E_POINTER;
        com_ptr<IDispatch> dispatch;
        if (FAILED(sink->QueryInterface(IID_IDispatch, dispatch.put_void()))) return CONNECT_E_CANNOTCONNECT;
        sinks_.push_back({++lastCookie_, dispatch});
        *cookie = lastCookie_;
        player_.SetSinkCount(sinks_.size());
        player_.Log("advise " + std::to_string(sinks_.size()));
        if (player_.TakeQuitInAdvise()) {
            // The client is still inside this call: its sink gets the announcement and its
            // window the message the sink posts, both before Advise returns.
            player_.Log("poke quit-in-advise");
            size_t count = 0;
            size_t failures = Announce(9, &count);
            player_.Log("fire 9 " + std::to_string(count) + " " + std::to_string(failures));
            player_.SendBridgeiTunesEnd();
            player_.Log("advise returns");
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        for (size_t i = 0; i < sinks_.size(); ++i) {
            if (sinks_[i].cookie == cookie) {
                sinks_.erase(sinks_.begin() + static_cast<std::ptrdiff_t>(i));
                player_.SetSinkCount(sinks_.size());
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    size_t Announce(DISPID id, size_t* count) {
        // A sink may unadvise while it is being called; work on a copy.
        std::vector<Sink> sinks = sinks_;
        if (count) *count = sinks.size();
        size_t failures = 0;
        for (Sink& sink : sinks) {
            DISPPARAMS none = {nullptr, nullptr, 0, 0};
            if (FAILED(sink.dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                                             nullptr))) {
                ++failures;
            }
        }
        return failures;
    }
    void Drop() {
        sinks_.clear();
        player_.SetSinkCount(0);
    }

private:
    struct Sink {
        DWORD cookie;
        com_ptr<IDispatch> dispatch;
    };
    Application& owner_;
    Player& player_;
    std::vector<Sink> sinks_;
    DWORD lastCookie_ = 0;
};

class Application final : public Automation<IiTunes>, public IConnectionPointContainer {
public:
    explicit Application(Player& player) : Automation<IiTunes>(IID_IiTunes), player_(player), point_(*this, player) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IiTunes)) {
            *out = static_cast<IiTunes*>(this);
        } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
            *out = static_cast<IConnectionPointContainer*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Automation<IiTunes>::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Automation<IiTunes>::Release(); }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, DIID__IiTunesEvents)) return CONNECT_E_NOCONNECTION;
        *out = &point_;
        point_.AddRef();
        return S_OK;
    }

    PLACEHOLDER(BackTrack)
    PLACEHOLDER(FastForward)
    PLACEHOLDER(NextTrack)
    PLACEHOLDER(Pause)
    PLACEHOLDER(Play)
    PLACEHOLDER(PlayFile)
    PLACEHOLDER(PlayPause)
    PLACEHOLDER(PreviousTrack)
    PLACEHOLDER(Resume)
    PLACEHOLDER(Rewind)
    PLACEHOLDER(Stop)
    PLACEHOLDER(ConvertFile)
    PLACEHOLDER(ConvertFiles)
    PLACEHOLDER(ConvertTrack)
    PLACEHOLDER(ConvertTracks)
    PLACEHOLDER(CheckVersion)
    PLACEHOLDER(GetITObjectByID)
    PLACEHOLDER(CreatePlaylist)
    PLACEHOLDER(OpenURL)
    PLACEHOLDER(GotoMusicStoreHomePage)
    PLACEHOLDER(UpdateIPod)
    PLACEHOLDER(Authorize)
    PLACEHOLDER(Quit)
    PLACEHOLDER(get_Sources)
    PLACEHOLDER(get_Encoders)
    PLACEHOLDER(get_EQPresets)
    PLACEHOLDER(get_Visuals)
    PLACEHOLDER(get_Windows)
    PLACEHOLDER(get_SoundVolume)
    PLACEHOLDER(put_SoundVolume)
    PLACEHOLDER(get_Mute)
    PLACEHOLDER(put_Mute)
    HRESULT STDMETHODCALLTYPE get_PlayerState(ITPlayerState* value) override {
        Call call(player_, "get_PlayerState");
        if (!value) return E_POINTER;
        if (player_.State() < 0) return E_FAIL;
        *value = static_cast<ITPlayerState>(player_.State());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_PlayerPosition(long* value) override {
        Call call(player_, "get_PlayerPosition");
        return Number(player_.Position(), value);
    }
    PLACEHOLDER(put_PlayerPosition)
    PLACEHOLDER(get_CurrentEncoder)
    PLACEHOLDER(put_CurrentEncoder)
    PLACEHOLDER(get_VisualsEnabled)
    PLACEHOLDER(put_VisualsEnabled)
    PLACEHOLDER(get_FullScreenVisuals)
    PLACEHOLDER(put_FullScreenVisuals)
    PLACEHOLDER(get_VisualSize)
    PLACEHOLDER(put_VisualSize)
    PLACEHOLDER(get_CurrentVisual)
    PLACEHOLDER(put_CurrentVisual)
    PLACEHOLDER(get_EQEnabled)
    PLACEHOLDER(put_EQEnabled)
    PLACEHOLDER(get_CurrentEQPreset)
    PLACEHOLDER(put_CurrentEQPreset)
    PLACEHOLDER(get_CurrentStreamTitle)
    PLACEHOLDER(get_CurrentStreamURL)
    PLACEHOLDER(get_BrowserWindow)
    PLACEHOLDER(get_EQWindow)
    PLACEHOLDER(get_LibrarySource)
    PLACEHOLDER(get_LibraryPlaylist)
    HRESULT STDMETHODCALLTYPE get_CurrentTrack(IITTrack** value) override {
        Call call(player_, "get_CurrentTrack");
        if (!value) return E_POINTER;
        *value = nullptr;
        const Track* track = player_.Current();
        if (!track) return S_OK;  // iTunes answers success with no track
        IITTrack* object = nullptr;
        if (track->kind == 3) {
            object = new (std::nothrow) UrlTrack(player_, *track);
        } else {
            object = new (std::nothrow) FileTrack(player_, *track);
        }
        if (!object) return E_OUTOFMEMORY;
        object->AddRef();
        *value = object;
        return S_OK;
    }
    PLACEHOLDER(get_CurrentPlaylist)
    PLACEHOLDER(get_SelectedTracks)
    HRESULT STDMETHODCALLTYPE get_Version(BSTR* value) override {
        Call call(player_, "get_Version");
        return Text(player_.GetScenario().version, value);
    }
    PLACEHOLDER(SetOptions)
    PLACEHOLDER(ConvertFile2)
    PLACEHOLDER(ConvertFiles2)
    PLACEHOLDER(ConvertTrack2)
    PLACEHOLDER(ConvertTracks2)
    PLACEHOLDER(get_AppCommandMessageProcessingEnabled)
    PLACEHOLDER(put_AppCommandMessageProcessingEnabled)
    PLACEHOLDER(get_ForceToForegroundOnDialog)
    PLACEHOLDER(put_ForceToForegroundOnDialog)
    PLACEHOLDER(CreateEQPreset)
    PLACEHOLDER(CreatePlaylistInSource)
    PLACEHOLDER(GetPlayerButtonsState)
    PLACEHOLDER(PlayerButtonClicked)
    PLACEHOLDER(get_CanSetShuffle)
    PLACEHOLDER(get_CanSetSongRepeat)
    PLACEHOLDER(get_ConvertOperationStatus)
    PLACEHOLDER(SubscribeToPodcast)

    EventPoint& Point() { return point_; }

private:
    Player& player_;
    EventPoint point_;  // lives inside the application and shares its count
};

ULONG STDMETHODCALLTYPE EventPoint::AddRef() { return owner_.AddRef(); }
ULONG STDMETHODCALLTYPE EventPoint::Release() { return owner_.Release(); }
HRESULT STDMETHODCALLTYPE EventPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    return owner_.QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
}

class Factory final : public IClassFactory {
public:
    explicit Factory(IUnknown* application) : application_(application) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = ::InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return application_->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    LONG references_ = 0;
    com_ptr<IUnknown> application_;
};

}  // namespace

HRESULT LoadTypeLibrary(const std::wstring& path) { return ::LoadTypeLib(path.c_str(), g_library.put()); }

void ReleaseTypeLibrary() { g_library.reset(); }

IUnknown* CreateApplication(Player& player) {
    Application* application = new (std::nothrow) Application(player);
    if (!application) return nullptr;
    IUnknown* unknown = static_cast<IiTunes*>(application);
    unknown->AddRef();
    return unknown;
}

size_t AnnounceQuit(IUnknown* application, size_t* sinks) {
    if (!application) return 0;
    Application* app = static_cast<Application*>(static_cast<IiTunes*>(application));
    return app->Point().Announce(9, sinks);
}

void DropSinks(IUnknown* application) {
    if (!application) return;
    static_cast<Application*>(static_cast<IiTunes*>(application))->Point().Drop();
}

IClassFactory* CreateFactory(IUnknown* application) {
    Factory* factory = new (std::nothrow) Factory(application);
    if (factory) factory->AddRef();
    return factory;
}

}  // namespace itunes_sim
