// In-process fakes of the media-session objects for the reader's tests. The test owns every
// fake (no fake deletes itself); each counts its references, so a test can see that the reader
// gave back every reference it took. A call a fake makes fail leaves garbage in its out value,
// as stubs of foreign objects may: a reference to the poison object or the poison string, which
// the reader must neither free nor use (GarbageWatch counts both).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "media_session_interfaces.h"
#include "runtime.h"

namespace mivola::smtc::test {

template <typename I>
class Fake : public I {
public:
    explicit Fake(const IID& iid) : iid_(iid) {}
    virtual ~Fake() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIidIInspectable) || IsEqualIID(riid, iid_)) {
            *out = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {
        *count = 0;
        *iids = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
        *name = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
        *level = BaseTrust;
        return S_OK;
    }
    // The test's own reference is the 1 it starts with.
    LONG refs = 1;

private:
    IID iid_;
};

// What a failing call leaves behind. Its AddRef and Release count instead of owning anything;
// any other call through it lands outside its table and crashes the test.
class Poison final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override {
        ++touches;
        return E_FAIL;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++touches); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(++touches); }
    int64_t touches = 0;
};
inline Poison g_poison;
inline char g_poisonText;

template <typename I>
I* GarbageRef() {
    return reinterpret_cast<I*>(static_cast<IUnknown*>(&g_poison));
}
inline HSTRING GarbageString() { return reinterpret_cast<HSTRING>(&g_poisonText); }

// Fails with hr, leaving garbage in the out value.
template <typename I>
HRESULT FailWith(HRESULT hr, I** out) {
    *out = GarbageRef<I>();
    return hr;
}
inline HRESULT FailWith(HRESULT hr, HSTRING* out) {
    *out = GarbageString();
    return hr;
}

// While it lives, the runtime's string functions count what is done with the poison string
// (and pass every other string on), and the poison object counts from zero.
class GarbageWatch {
public:
    GarbageWatch() : api_(const_cast<RuntimeApi*>(Runtime())) {
        g_poison.touches = 0;
        stringTouches_ = 0;
        if (!api_) return;
        realDelete_ = api_->WindowsDeleteString;
        realBuffer_ = api_->WindowsGetStringRawBuffer;
        api_->WindowsDeleteString = Delete;
        api_->WindowsGetStringRawBuffer = Buffer;
    }
    ~GarbageWatch() {
        if (!api_) return;
        api_->WindowsDeleteString = realDelete_;
        api_->WindowsGetStringRawBuffer = realBuffer_;
    }
    GarbageWatch(const GarbageWatch&) = delete;
    GarbageWatch& operator=(const GarbageWatch&) = delete;
    // Frees and uses of garbage since the watch began.
    static int64_t Touches() { return g_poison.touches + stringTouches_; }

private:
    static HRESULT WINAPI Delete(HSTRING s) {
        if (s != GarbageString()) return realDelete_(s);
        ++stringTouches_;
        return S_OK;
    }
    static const wchar_t* WINAPI Buffer(HSTRING s, UINT32* length) {
        if (s != GarbageString()) return realBuffer_(s, length);
        ++stringTouches_;
        if (length) *length = 0;
        return L"";
    }
    static inline RuntimeApi::WindowsDeleteStringFn realDelete_ = nullptr;
    static inline RuntimeApi::WindowsGetStringRawBufferFn realBuffer_ = nullptr;
    static inline int64_t stringTouches_ = 0;
    RuntimeApi* api_;
};

inline HRESULT NewString(const std::wstring& text, HSTRING* out) {
    *out = nullptr;
    if (text.empty()) return S_OK;
    return Runtime()->WindowsCreateString(text.c_str(), static_cast<UINT32>(text.size()), out);
}

template <typename T>
T* Ref(T* p) {
    if (p) p->AddRef();
    return p;
}

enum class OpMode { Completes, Never, Fails };

// An operation that has completed, never completes, or has failed; counts Cancel and Close.
template <typename T>
class FakeOperation : public Fake<IAsyncOperation_<T*>>, public IAsyncInfo_ {
public:
    FakeOperation(const IID& iid, OpMode mode, T* result)
        : Fake<IAsyncOperation_<T*>>(iid), mode_(mode), result_(result) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, kIidIAsyncInfo)) {
            *out = static_cast<IAsyncInfo_*>(this);
            AddRef();
            return S_OK;
        }
        return Fake<IAsyncOperation_<T*>>::QueryInterface(riid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Fake<IAsyncOperation_<T*>>::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Fake<IAsyncOperation_<T*>>::Release(); }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG* c, IID** i) override { return Fake<IAsyncOperation_<T*>>::GetIids(c, i); }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* n) override {
        return Fake<IAsyncOperation_<T*>>::GetRuntimeClassName(n);
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* l) override { return Fake<IAsyncOperation_<T*>>::GetTrustLevel(l); }

    HRESULT STDMETHODCALLTYPE put_Completed(IAsyncOperationCompletedHandler_<T*>* handler) override {
        if (handler_) return kEIllegalDelegateAssignment;
        handler_ = Ref(handler);
        // An operation that has already ended calls the handler at once.
        if (mode_ != OpMode::Never) handler_->Invoke(this, Status());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Completed(IAsyncOperationCompletedHandler_<T*>** handler) override {
        *handler = Ref(handler_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResults(T** result) override {
        if (mode_ != OpMode::Completes) return FailWith(kEIllegalMethodCall, result);
        if (resultsFail) return FailWith(E_FAIL, result);
        *result = Ref(result_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) override {
        *id = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Status(int32_t* status) override {
        *status = Status();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) override {
        *code = mode_ == OpMode::Fails ? E_ACCESSDENIED : S_OK;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Cancel() override {
        ++cancels;
        canceled_ = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close() override {
        ++closes;
        return S_OK;
    }
    // Drops the handler, as the runtime does once the operation is closed.
    void DropHandler() {
        if (handler_) handler_->Release();
        handler_ = nullptr;
    }
    ~FakeOperation() override { DropHandler(); }

    int cancels = 0;
    int closes = 0;
    bool resultsFail = false;  // completes, but its result cannot be fetched

private:
    int32_t Status() const {
        if (canceled_) return kAsyncCanceled;
        return mode_ == OpMode::Completes ? kAsyncCompleted : mode_ == OpMode::Fails ? kAsyncError : kAsyncStarted;
    }
    OpMode mode_;
    T* result_;
    bool canceled_ = false;
    IAsyncOperationCompletedHandler_<T*>* handler_ = nullptr;
};

class FakeStrings : public Fake<IVectorViewString> {
public:
    explicit FakeStrings(std::vector<std::wstring> items) : Fake(kIidVectorViewString.iid), items_(std::move(items)) {}
    HRESULT STDMETHODCALLTYPE GetAt(UINT32 i, HSTRING* item) override {
        ++lookups;
        if (i >= items_.size()) return FailWith(kEBounds, item);
        return NewString(items_[i], item);
    }
    HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) override {
        *size = claimedSize ? claimedSize : static_cast<UINT32>(items_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IndexOf(HSTRING, UINT32*, rt_bool*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMany(UINT32, UINT32, HSTRING*, UINT32*) override { return E_NOTIMPL; }

    UINT32 claimedSize = 0;  // non-zero: the size the list reports, whatever it holds
    UINT32 lookups = 0;

private:
    std::vector<std::wstring> items_;
};

class FakeProperties : public Fake<IMediaProperties> {
public:
    FakeProperties() : Fake(kIidMediaProperties), genres(std::vector<std::wstring>()) {}
    HRESULT STDMETHODCALLTYPE get_Title(HSTRING* v) override { return Text(title, v); }
    HRESULT STDMETHODCALLTYPE get_Subtitle(HSTRING* v) override { return Text(L"subtitle", v); }
    HRESULT STDMETHODCALLTYPE get_AlbumArtist(HSTRING* v) override { return Text(albumArtist, v); }
    HRESULT STDMETHODCALLTYPE get_Artist(HSTRING* v) override {
        return artistFails ? FailWith(E_FAIL, v) : Text(artist, v);
    }
    HRESULT STDMETHODCALLTYPE get_AlbumTitle(HSTRING* v) override { return Text(album, v); }
    HRESULT STDMETHODCALLTYPE get_TrackNumber(int32_t* v) override {
        *v = track;
        return callsFail ? E_FAIL : S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Genres(IVectorViewString** v) override {
        if (callsFail) return FailWith(E_FAIL, v);
        *v = Ref(&genres);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_AlbumTrackCount(int32_t* v) override {
        *v = 12;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_PlaybackType(IReferencePlaybackType** v) override {
        *v = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Thumbnail(IUnknown** v) override {
        *v = nullptr;
        return S_OK;
    }
    std::wstring title, artist, albumArtist, album;
    bool artistFails = false;
    bool callsFail = false;  // every getter
    int32_t track = 0;
    FakeStrings genres;

private:
    HRESULT Text(const std::wstring& text, HSTRING* v) const {
        return callsFail ? FailWith(E_FAIL, v) : NewString(text, v);
    }
};

class FakeTimeline : public Fake<ITimelineProperties> {
public:
    FakeTimeline() : Fake(kIidTimelineProperties) {}
    HRESULT STDMETHODCALLTYPE get_StartTime(TimeSpan* v) override { return Span(start, v); }
    HRESULT STDMETHODCALLTYPE get_EndTime(TimeSpan* v) override { return Span(end, v); }
    HRESULT STDMETHODCALLTYPE get_MinSeekTime(TimeSpan* v) override { return Span(0, v); }
    HRESULT STDMETHODCALLTYPE get_MaxSeekTime(TimeSpan* v) override { return Span(end, v); }
    HRESULT STDMETHODCALLTYPE get_Position(TimeSpan* v) override { return Span(position, v); }
    HRESULT STDMETHODCALLTYPE get_LastUpdatedTime(DateTime* v) override {
        v->UniversalTime = lastUpdated;
        return S_OK;
    }
    int64_t start = 0, end = 0, position = 0, lastUpdated = 0;

private:
    static HRESULT Span(int64_t value, TimeSpan* out) {
        out->Duration = value;
        return S_OK;
    }
};

class FakePlaybackInfo : public Fake<IPlaybackInfo> {
public:
    FakePlaybackInfo() : Fake(kIidPlaybackInfo) {}
    HRESULT STDMETHODCALLTYPE get_Controls(IInspectable** v) override {
        *v = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_PlaybackStatus(int32_t* v) override {
        *v = status;
        return statusFails ? E_FAIL : S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_PlaybackType(IReferencePlaybackType** v) override {
        *v = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_AutoRepeatMode(IInspectable** v) override {
        *v = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_PlaybackRate(IReferenceDouble** v) override {
        *v = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_IsShuffleActive(IInspectable** v) override {
        *v = nullptr;
        return S_OK;
    }
    int32_t status = kPlaybackClosed;
    bool statusFails = false;
};

#define MIVOLA_FAKE_SLOT(name, ...) \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }

class FakeSession : public Fake<ISession> {
public:
    explicit FakeSession(const wchar_t* appId, int32_t status = kPlaybackClosed, OpMode propertiesMode = OpMode::Completes)
        : Fake(kIidSession),
          appId(appId),
          propertiesOp(kIidAsyncOperationMediaProperties.iid, propertiesMode, &properties) {
        info.status = status;
    }
    HRESULT STDMETHODCALLTYPE get_SourceAppUserModelId(HSTRING* v) override {
        return callsFail ? FailWith(RPC_E_DISCONNECTED, v) : NewString(appId, v);
    }
    HRESULT STDMETHODCALLTYPE TryGetMediaPropertiesAsync(IAsyncOperationMediaProperties** op) override {
        ++propertyRequests;
        if (callsFail) return FailWith(RPC_E_DISCONNECTED, op);
        *op = Ref(&propertiesOp);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTimelineProperties(ITimelineProperties** v) override {
        if (callsFail) return FailWith(RPC_E_DISCONNECTED, v);
        *v = Ref(&timeline);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPlaybackInfo(IPlaybackInfo** v) override {
        if (infoFails || callsFail) return FailWith(E_FAIL, v);
        *v = Ref(&info);
        return S_OK;
    }
    MIVOLA_FAKE_SLOT(TryPlayAsync, IInspectable**)
    MIVOLA_FAKE_SLOT(TryPauseAsync, IInspectable**)
    MIVOLA_FAKE_SLOT(TryStopAsync, IInspectable**)
    MIVOLA_FAKE_SLOT(TryRecordAsync, IInspectable**)
    MIVOLA_FAKE_SLOT(TryFastForwardAsync, IInspectable**)
    MIVOLA_FAKE_SLOT(TryRewindAsync, IInspectable**)
    MIVOLA_FAKE_SLOT(TrySkipNextAsync, IInspectable**)
    MIVOLA_FAKE_SLOT(TrySkipPreviousAsync, IInspectable**)
    MIVOLA_FAKE_SLOT(TryChangeChannelUpAsync, IInspectable**)
    MIVOLA_FAKE_SLOT(TryChangeChannelDownAsync, IInspectable**)
    MIVOLA_FAKE_SLOT(TryTogglePlayPauseAsync, IInspectable**)
    MIVOLA_FAKE_SLOT(TryChangeAutoRepeatModeAsync, int32_t, IInspectable**)
    MIVOLA_FAKE_SLOT(TryChangePlaybackRateAsync, double, IInspectable**)
    MIVOLA_FAKE_SLOT(TryChangeShuffleActiveAsync, rt_bool, IInspectable**)
    MIVOLA_FAKE_SLOT(TryChangePlaybackPositionAsync, int64_t, IInspectable**)
    MIVOLA_FAKE_SLOT(add_TimelinePropertiesChanged, IUnknown*, EventRegistrationToken*)
    MIVOLA_FAKE_SLOT(remove_TimelinePropertiesChanged, EventRegistrationToken)
    MIVOLA_FAKE_SLOT(add_PlaybackInfoChanged, IUnknown*, EventRegistrationToken*)
    MIVOLA_FAKE_SLOT(remove_PlaybackInfoChanged, EventRegistrationToken)
    MIVOLA_FAKE_SLOT(add_MediaPropertiesChanged, IUnknown*, EventRegistrationToken*)
    MIVOLA_FAKE_SLOT(remove_MediaPropertiesChanged, EventRegistrationToken)

    std::wstring appId;
    bool infoFails = false;
    bool callsFail = false;  // every call, as on a session whose app has closed
    int propertyRequests = 0;
    FakePlaybackInfo info;
    FakeTimeline timeline;
    FakeProperties properties;
    FakeOperation<IMediaProperties> propertiesOp;
};

#undef MIVOLA_FAKE_SLOT

class FakeSessionList : public Fake<IVectorViewSession> {
public:
    FakeSessionList() : Fake(kIidVectorViewSession.iid) {}
    HRESULT STDMETHODCALLTYPE GetAt(UINT32 i, ISession** item) override {
        // A session that vanished after the list was made.
        if (i >= items.size() || !items[i]) return FailWith(kEBounds, item);
        *item = Ref(static_cast<ISession*>(items[i]));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) override {
        *size = static_cast<UINT32>(items.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IndexOf(ISession*, UINT32*, rt_bool*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMany(UINT32, UINT32, ISession**, UINT32*) override { return E_NOTIMPL; }
    std::vector<FakeSession*> items;  // null: vanished
};

class FakeManager : public Fake<IManager> {
public:
    FakeManager() : Fake(kIidManager) {}
    HRESULT STDMETHODCALLTYPE GetCurrentSession(ISession** session) override {
        if (currentFails) return FailWith(E_FAIL, session);
        *session = Ref(static_cast<ISession*>(current));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSessions(IVectorViewSession** sessions) override {
        if (sessionsFail) return FailWith(E_FAIL, sessions);
        *sessions = Ref(&list);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE add_CurrentSessionChanged(IUnknown*, EventRegistrationToken*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE remove_CurrentSessionChanged(EventRegistrationToken) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE add_SessionsChanged(IUnknown*, EventRegistrationToken*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE remove_SessionsChanged(EventRegistrationToken) override { return E_NOTIMPL; }

    FakeSession* current = nullptr;
    bool currentFails = false;
    bool sessionsFail = false;
    FakeSessionList list;
};

}  // namespace mivola::smtc::test
