#include "sim_objects.h"

#include <atomic>
#include <map>
#include <memory>
#include <vector>

#include "unique_com.h"

namespace smtc_sim {

namespace {

using namespace mivola::smtc;
using mivola::com_ptr;

constexpr HRESULT kIllegalStateChange = static_cast<HRESULT>(0x8000000D);  // E_ILLEGAL_STATE_CHANGE

std::atomic<LONG> g_live{0};
std::atomic<ULONG> g_nextId{0};
std::atomic<ULONG> g_nextAsyncId{0};

// Common IUnknown and IInspectable behaviour of an object with one interface (besides
// IUnknown, IInspectable and IAgileObject: the objects are agile, as the system's are).
template <typename I>
class Object : public I {
public:
    Object(const IID& iid, const wchar_t* runtimeClass, const char* logName)
        : iid_(iid), runtimeClass_(runtimeClass), logName_(logName), id_(++g_nextId) {
        ++g_live;
        if (LogOn()) LogLine(std::string("new ") + logName_ + " " + std::to_string(id_));
    }
    virtual ~Object() {
        --g_live;
        if (LogOn()) LogLine(std::string("free ") + logName_ + " " + std::to_string(id_));
    }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return Trace("QueryInterface", E_POINTER);
        *out = nullptr;
        if (riid == IID_IUnknown || riid == kIidIInspectable || riid == kIidIAgileObject || riid == iid_) {
            *out = static_cast<I*>(this);
            AddRef();
            return Trace("QueryInterface", S_OK);
        }
        return Trace("QueryInterface", E_NOINTERFACE);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {
        if (!count || !iids) return Trace("GetIids", E_POINTER);
        *iids = static_cast<IID*>(::CoTaskMemAlloc(sizeof(IID)));
        if (!*iids) {
            *count = 0;
            return Trace("GetIids", E_OUTOFMEMORY);
        }
        (*iids)[0] = iid_;
        *count = 1;
        return Trace("GetIids", S_OK);
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
        if (!name) return Trace("GetRuntimeClassName", E_POINTER);
        return Trace("GetRuntimeClassName", MakeString(runtimeClass_, name));
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
        if (!level) return Trace("GetTrustLevel", E_POINTER);
        *level = BaseTrust;
        return Trace("GetTrustLevel", S_OK);
    }

protected:
    HRESULT Trace(const char* method, HRESULT hr) const {
        if (LogOn()) LogLine(std::string("call ") + logName_ + "." + method + " " + HexResult(hr));
        return hr;
    }

private:
    std::atomic<ULONG> refs_{1};
    const IID iid_;
    const wchar_t* runtimeClass_;
    const char* logName_;
    const ULONG id_;
};

// ---- IReference<T> ----
template <typename T>
class Reference final : public Object<IReference_<T>> {
public:
    Reference(const IID& iid, const wchar_t* runtimeClass, const char* logName, T value)
        : Object<IReference_<T>>(iid, runtimeClass, logName), value_(value) {}
    HRESULT STDMETHODCALLTYPE get_Value(T* value) override {
        if (!value) return this->Trace("get_Value", E_POINTER);
        *value = value_;
        return this->Trace("get_Value", S_OK);
    }

private:
    T value_;
};

// ---- IVectorView<T> over sessions or strings ----
struct SessionItems {
    using Item = ISession*;
    using Stored = com_ptr<ISession>;
    static HRESULT Copy(const Stored& s, Item* out) {
        *out = s.get();
        if (*out) (*out)->AddRef();
        return S_OK;
    }
    static bool Equal(const Stored& s, Item value) { return s.get() == value; }
    static void Clear(Item* item) { *item = nullptr; }
    static void Drop(Item* item) {
        if (*item) (*item)->Release();
        *item = nullptr;
    }
};

struct StringItems {
    using Item = HSTRING;
    using Stored = std::wstring;
    static HRESULT Copy(const Stored& s, Item* out) { return MakeString(s, out); }
    static bool Equal(const Stored& s, Item value) { return s == StringText(value); }
    static void Clear(Item* item) { *item = nullptr; }
    static void Drop(Item* item) {
        FreeString(*item);
        *item = nullptr;
    }
};

template <typename Traits>
class VectorView final : public Object<IVectorView_<typename Traits::Item>> {
public:
    using Item = typename Traits::Item;
    VectorView(const IID& iid, const wchar_t* runtimeClass, const char* logName, std::vector<typename Traits::Stored> items)
        : Object<IVectorView_<Item>>(iid, runtimeClass, logName), items_(std::move(items)) {}

    HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, Item* item) override {
        if (!item) return this->Trace("GetAt", E_POINTER);
        Traits::Clear(item);
        if (index >= items_.size()) return this->Trace("GetAt", kEBounds);
        return this->Trace("GetAt", Traits::Copy(items_[index], item));
    }
    HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) override {
        if (!size) return this->Trace("get_Size", E_POINTER);
        *size = static_cast<UINT32>(items_.size());
        return this->Trace("get_Size", S_OK);
    }
    HRESULT STDMETHODCALLTYPE IndexOf(Item value, UINT32* index, rt_bool* found) override {
        if (!index || !found) return this->Trace("IndexOf", E_POINTER);
        *index = 0;
        *found = 0;
        for (size_t i = 0; i < items_.size(); ++i) {
            if (Traits::Equal(items_[i], value)) {
                *index = static_cast<UINT32>(i);
                *found = 1;
                break;
            }
        }
        return this->Trace("IndexOf", S_OK);
    }
    HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, Item* items, UINT32* actual) override {
        if (!actual || (capacity && !items)) return this->Trace("GetMany", E_POINTER);
        *actual = 0;
        if (start > items_.size()) return this->Trace("GetMany", kEBounds);
        UINT32 n = static_cast<UINT32>(items_.size() - start);
        if (n > capacity) n = capacity;
        for (UINT32 i = 0; i < n; ++i) {
            HRESULT hr = Traits::Copy(items_[start + i], &items[i]);
            if (FAILED(hr)) {
                // Nothing half-delivered: the copies made so far are taken back.
                for (UINT32 j = 0; j < i; ++j) Traits::Drop(&items[j]);
                return this->Trace("GetMany", hr);
            }
        }
        *actual = n;
        return this->Trace("GetMany", S_OK);
    }

private:
    std::vector<typename Traits::Stored> items_;
};

using SessionVector = VectorView<SessionItems>;
using StringVector = VectorView<StringItems>;

// ---- Snapshots: media properties, timeline properties, playback info ----

class MediaProperties final : public Object<IMediaProperties> {
public:
    explicit MediaProperties(const Session& s)
        : Object(kIidMediaProperties, kMediaPropertiesClassName, "MediaProperties"), s_(s) {}

    HRESULT STDMETHODCALLTYPE get_Title(HSTRING* v) override { return Text("get_Title", CallTitle, s_.title, v); }
    HRESULT STDMETHODCALLTYPE get_Subtitle(HSTRING* v) override {
        return Text("get_Subtitle", CallSubtitle, s_.subtitle, v);
    }
    HRESULT STDMETHODCALLTYPE get_AlbumArtist(HSTRING* v) override {
        return Text("get_AlbumArtist", CallAlbumArtist, s_.albumArtist, v);
    }
    HRESULT STDMETHODCALLTYPE get_Artist(HSTRING* v) override { return Text("get_Artist", CallArtist, s_.artist, v); }
    HRESULT STDMETHODCALLTYPE get_AlbumTitle(HSTRING* v) override {
        return Text("get_AlbumTitle", CallAlbum, s_.album, v);
    }
    HRESULT STDMETHODCALLTYPE get_TrackNumber(int32_t* v) override {
        return Number("get_TrackNumber", CallTrack, s_.track, v);
    }
    HRESULT STDMETHODCALLTYPE get_Genres(IVectorViewString** v) override {
        if (!v) return Trace("get_Genres", E_POINTER);
        *v = nullptr;
        if (FAILED(s_.fail[CallGenres])) return Trace("get_Genres", s_.fail[CallGenres]);
        *v = new StringVector(kIidVectorViewString.iid, L"Windows.Foundation.Collections.IVectorView`1<String>",
                              "VectorView<String>", s_.genres);
        return Trace("get_Genres", S_OK);
    }
    HRESULT STDMETHODCALLTYPE get_AlbumTrackCount(int32_t* v) override {
        return Number("get_AlbumTrackCount", CallTrackCount, s_.trackCount, v);
    }
    HRESULT STDMETHODCALLTYPE get_PlaybackType(IReferencePlaybackType** v) override {
        if (!v) return Trace("get_PlaybackType", E_POINTER);
        *v = nullptr;
        if (FAILED(s_.fail[CallPlaybackType])) return Trace("get_PlaybackType", s_.fail[CallPlaybackType]);
        if (s_.hasPlaybackType) {
            *v = new Reference<int32_t>(kIidReferencePlaybackType.iid,
                                        L"Windows.Foundation.IReference`1<Windows.Media.MediaPlaybackType>",
                                        "Reference<PlaybackType>", s_.playbackType);
        }
        return Trace("get_PlaybackType", S_OK);
    }
    HRESULT STDMETHODCALLTYPE get_Thumbnail(IUnknown** v) override {
        if (!v) return Trace("get_Thumbnail", E_POINTER);
        *v = nullptr;
        return Trace("get_Thumbnail", FAILED(s_.fail[CallThumbnail]) ? s_.fail[CallThumbnail] : S_OK);
    }

private:
    HRESULT Text(const char* method, Call call, const std::wstring& text, HSTRING* out) const {
        if (!out) return Trace(method, E_POINTER);
        *out = nullptr;
        if (FAILED(s_.fail[call])) return Trace(method, s_.fail[call]);
        return Trace(method, MakeString(text, out));
    }
    HRESULT Number(const char* method, Call call, int32_t value, int32_t* out) const {
        if (!out) return Trace(method, E_POINTER);
        *out = 0;
        if (FAILED(s_.fail[call])) return Trace(method, s_.fail[call]);
        *out = value;
        return Trace(method, S_OK);
    }

    const Session s_;
};

class TimelineProperties final : public Object<ITimelineProperties> {
public:
    explicit TimelineProperties(const Session& s)
        : Object(kIidTimelineProperties, kTimelinePropertiesClassName, "TimelineProperties"), s_(s) {}

    HRESULT STDMETHODCALLTYPE get_StartTime(TimeSpan* v) override { return Time("get_StartTime", CallStart, s_.start, v); }
    HRESULT STDMETHODCALLTYPE get_EndTime(TimeSpan* v) override { return Time("get_EndTime", CallEnd, s_.end, v); }
    HRESULT STDMETHODCALLTYPE get_MinSeekTime(TimeSpan* v) override {
        return Time("get_MinSeekTime", CallMinSeek, s_.minSeek, v);
    }
    HRESULT STDMETHODCALLTYPE get_MaxSeekTime(TimeSpan* v) override {
        return Time("get_MaxSeekTime", CallMaxSeek, s_.maxSeek, v);
    }
    HRESULT STDMETHODCALLTYPE get_Position(TimeSpan* v) override {
        return Time("get_Position", CallPosition, s_.position, v);
    }
    HRESULT STDMETHODCALLTYPE get_LastUpdatedTime(DateTime* v) override {
        if (!v) return Trace("get_LastUpdatedTime", E_POINTER);
        v->UniversalTime = 0;
        if (FAILED(s_.fail[CallLastUpdated])) return Trace("get_LastUpdatedTime", s_.fail[CallLastUpdated]);
        v->UniversalTime = s_.lastUpdated;
        return Trace("get_LastUpdatedTime", S_OK);
    }

private:
    HRESULT Time(const char* method, Call call, int64_t ticks, TimeSpan* out) const {
        if (!out) return Trace(method, E_POINTER);
        out->Duration = 0;
        if (FAILED(s_.fail[call])) return Trace(method, s_.fail[call]);
        out->Duration = ticks;
        return Trace(method, S_OK);
    }

    const Session s_;
};

class PlaybackInfo final : public Object<IPlaybackInfo> {
public:
    explicit PlaybackInfo(const Session& s) : Object(kIidPlaybackInfo, kPlaybackInfoClassName, "PlaybackInfo"), s_(s) {}

    HRESULT STDMETHODCALLTYPE get_Controls(IInspectable** v) override {
        if (!v) return Trace("get_Controls", E_POINTER);
        *v = nullptr;
        return Trace("get_Controls", E_NOTIMPL);
    }
    HRESULT STDMETHODCALLTYPE get_PlaybackStatus(int32_t* v) override {
        if (!v) return Trace("get_PlaybackStatus", E_POINTER);
        *v = 0;
        if (FAILED(s_.fail[CallStatus])) return Trace("get_PlaybackStatus", s_.fail[CallStatus]);
        *v = s_.status;
        return Trace("get_PlaybackStatus", S_OK);
    }
    HRESULT STDMETHODCALLTYPE get_PlaybackType(IReferencePlaybackType** v) override {
        if (!v) return Trace("get_PlaybackType", E_POINTER);
        *v = nullptr;
        if (FAILED(s_.fail[CallPlaybackType])) return Trace("get_PlaybackType", s_.fail[CallPlaybackType]);
        if (s_.hasPlaybackType) {
            *v = new Reference<int32_t>(kIidReferencePlaybackType.iid,
                                        L"Windows.Foundation.IReference`1<Windows.Media.MediaPlaybackType>",
                                        "Reference<PlaybackType>", s_.playbackType);
        }
        return Trace("get_PlaybackType", S_OK);
    }
    HRESULT STDMETHODCALLTYPE get_AutoRepeatMode(IInspectable** v) override {
        if (!v) return Trace("get_AutoRepeatMode", E_POINTER);
        *v = nullptr;  // no value
        return Trace("get_AutoRepeatMode", S_OK);
    }
    HRESULT STDMETHODCALLTYPE get_PlaybackRate(IReferenceDouble** v) override {
        if (!v) return Trace("get_PlaybackRate", E_POINTER);
        *v = nullptr;
        if (FAILED(s_.fail[CallRate])) return Trace("get_PlaybackRate", s_.fail[CallRate]);
        if (s_.hasRate) {
            *v = new Reference<double>(kIidReferenceDouble.iid, L"Windows.Foundation.IReference`1<Double>",
                                       "Reference<Double>", s_.rate);
        }
        return Trace("get_PlaybackRate", S_OK);
    }
    HRESULT STDMETHODCALLTYPE get_IsShuffleActive(IInspectable** v) override {
        if (!v) return Trace("get_IsShuffleActive", E_POINTER);
        *v = nullptr;  // no value
        return Trace("get_IsShuffleActive", S_OK);
    }

private:
    const Session s_;
};

// ---- IAsyncOperation<T> with IAsyncInfo ----
// Started until it completes (at once, after a delay on its own thread, or never); Cancel moves
// a started operation to Canceled. The completed handler runs once: inside put_Completed when
// the operation has already finished, otherwise on the thread that finishes it.
template <typename T>
class AsyncOperation final : public IAsyncOperation_<T*>, public IAsyncInfo_ {
public:
    using Handler = IAsyncOperationCompletedHandler_<T*>;

    AsyncOperation(const IID& iid, const wchar_t* runtimeClass, const char* logName, T* result,
                   const Completion& completion)
        : iid_(iid), runtimeClass_(runtimeClass), logName_(logName), result_(result), completion_(completion),
          id_(++g_nextAsyncId), objectId_(++g_nextId) {
        ++g_live;
        ::InitializeCriticalSection(&lock_);
        if (LogOn()) LogLine(std::string("new ") + logName_ + " " + std::to_string(objectId_));
        if (completion.kind == Completion::Now) {
            status_ = FAILED(completion.error) ? kAsyncError : kAsyncCompleted;
        } else if (completion.kind == Completion::Late) {
            StartWorker(completion.delayMs);
        }
    }
    ~AsyncOperation() {
        ::DeleteCriticalSection(&lock_);
        --g_live;
        if (LogOn()) LogLine(std::string("free ") + logName_ + " " + std::to_string(objectId_));
    }

    // IUnknown, IInspectable (both bases)
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return Trace("QueryInterface", E_POINTER);
        *out = nullptr;
        if (riid == IID_IUnknown || riid == kIidIInspectable || riid == kIidIAgileObject || riid == iid_) {
            *out = static_cast<IAsyncOperation_<T*>*>(this);
        } else if (riid == kIidIAsyncInfo) {
            *out = static_cast<IAsyncInfo_*>(this);
        } else {
            return Trace("QueryInterface", E_NOINTERFACE);
        }
        AddRef();
        return Trace("QueryInterface", S_OK);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {
        if (!count || !iids) return Trace("GetIids", E_POINTER);
        *iids = static_cast<IID*>(::CoTaskMemAlloc(2 * sizeof(IID)));
        if (!*iids) {
            *count = 0;
            return Trace("GetIids", E_OUTOFMEMORY);
        }
        (*iids)[0] = iid_;
        (*iids)[1] = kIidIAsyncInfo;
        *count = 2;
        return Trace("GetIids", S_OK);
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
        if (!name) return Trace("GetRuntimeClassName", E_POINTER);
        return Trace("GetRuntimeClassName", MakeString(runtimeClass_, name));
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
        if (!level) return Trace("GetTrustLevel", E_POINTER);
        *level = BaseTrust;
        return Trace("GetTrustLevel", S_OK);
    }

    // IAsyncOperation<T>
    HRESULT STDMETHODCALLTYPE put_Completed(Handler* handler) override {
        if (!handler) return Trace("put_Completed", E_POINTER);
        int32_t status;
        {
            Locked l(lock_);
            if (closed_) return Trace("put_Completed", kEIllegalMethodCall);
            if (handlerAssigned_) return Trace("put_Completed", kEIllegalDelegateAssignment);
            handlerAssigned_ = true;
            status = status_;
            if (status == kAsyncStarted) {
                handler_ = com_ptr<Handler>(handler);
                return Trace("put_Completed", S_OK);
            }
        }
        // Already finished: the handler runs now, on the caller's thread, with no lock held.
        Invoke(handler, status);
        return Trace("put_Completed", S_OK);
    }
    HRESULT STDMETHODCALLTYPE get_Completed(Handler** handler) override {
        if (!handler) return Trace("get_Completed", E_POINTER);
        Locked l(lock_);
        *handler = handler_.get();
        if (*handler) (*handler)->AddRef();
        return Trace("get_Completed", closed_ ? kEIllegalMethodCall : S_OK);
    }
    HRESULT STDMETHODCALLTYPE GetResults(T** results) override {
        if (!results) return Trace("GetResults", E_POINTER);
        *results = nullptr;
        Locked l(lock_);
        if (closed_) return Trace("GetResults", kEIllegalMethodCall);
        if (status_ == kAsyncError) return Trace("GetResults", completion_.error);
        if (status_ != kAsyncCompleted) return Trace("GetResults", kEIllegalMethodCall);
        *results = result_.get();
        if (*results) (*results)->AddRef();
        return Trace("GetResults", S_OK);
    }

    // IAsyncInfo
    HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) override {
        if (!id) return Trace("get_Id", E_POINTER);
        Locked l(lock_);
        *id = id_;
        return Trace("get_Id", closed_ ? kEIllegalMethodCall : S_OK);
    }
    HRESULT STDMETHODCALLTYPE get_Status(int32_t* status) override {
        if (!status) return Trace("get_Status", E_POINTER);
        Locked l(lock_);
        *status = status_;
        return Trace("get_Status", closed_ ? kEIllegalMethodCall : S_OK);
    }
    HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) override {
        if (!code) return Trace("get_ErrorCode", E_POINTER);
        Locked l(lock_);
        *code = status_ == kAsyncError      ? completion_.error
                : status_ == kAsyncCanceled ? HRESULT_FROM_WIN32(ERROR_CANCELLED)
                                            : S_OK;
        return Trace("get_ErrorCode", closed_ ? kEIllegalMethodCall : S_OK);
    }
    HRESULT STDMETHODCALLTYPE Cancel() override {
        bool wake = false, spawn = false;
        {
            Locked l(lock_);
            if (closed_) return Trace("Cancel", kEIllegalMethodCall);
            if (status_ == kAsyncStarted) {
                status_ = kAsyncCanceled;
                // The handler hears of it from another thread, as from the system's worker.
                if (worker_) {
                    wake = true;
                } else if (handler_) {
                    spawn = true;
                }
            }
        }
        if (wake) ::SetEvent(wake_.get());
        if (spawn) StartWorker(0);
        return Trace("Cancel", S_OK);
    }
    HRESULT STDMETHODCALLTYPE Close() override {
        Locked l(lock_);
        if (closed_) return Trace("Close", S_OK);
        if (status_ == kAsyncStarted) return Trace("Close", kIllegalStateChange);
        closed_ = true;
        result_.reset();
        return Trace("Close", S_OK);
    }

private:
    class Locked {
    public:
        explicit Locked(CRITICAL_SECTION& cs) : cs_(cs) { ::EnterCriticalSection(&cs_); }
        ~Locked() { ::LeaveCriticalSection(&cs_); }
        Locked(const Locked&) = delete;
        Locked& operator=(const Locked&) = delete;

    private:
        CRITICAL_SECTION& cs_;
    };

    HRESULT Trace(const char* method, HRESULT hr) const {
        if (LogOn()) LogLine(std::string("call ") + logName_ + "." + method + " " + HexResult(hr));
        return hr;
    }

    void Invoke(Handler* handler, int32_t status) {
        if (LogOn()) LogLine(std::string("invoke ") + logName_ + " " + std::to_string(status));
        handler->Invoke(this, status);
    }

    // A thread that waits delayMs (or until woken by Cancel), finishes the operation if it is
    // still started, and runs the handler.
    void StartWorker(DWORD delayMs) {
        delay_ = delayMs;
        wake_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        AddRef();  // the thread's
        mivola::unique_handle thread(::CreateThread(nullptr, 0, &Worker, this, 0, nullptr));
        if (!thread) {
            Release();
            return;
        }
        Locked l(lock_);
        worker_ = true;
    }

    static DWORD WINAPI Worker(void* param) {
        auto* self = static_cast<AsyncOperation*>(param);
        ::WaitForSingleObject(self->wake_.get(), self->delay_);
        com_ptr<Handler> handler;
        int32_t status;
        {
            Locked l(self->lock_);
            if (self->status_ == kAsyncStarted) {
                self->status_ = FAILED(self->completion_.error) ? kAsyncError : kAsyncCompleted;
            }
            status = self->status_;
            handler = std::move(self->handler_);
        }
        if (handler) self->Invoke(handler.get(), status);
        handler.reset();
        self->Release();
        return 0;
    }

    std::atomic<ULONG> refs_{1};
    const IID iid_;
    const wchar_t* runtimeClass_;
    const char* logName_;
    CRITICAL_SECTION lock_;
    com_ptr<T> result_;
    const Completion completion_;
    const UINT32 id_;
    const ULONG objectId_;
    int32_t status_ = kAsyncStarted;
    bool closed_ = false;
    bool handlerAssigned_ = false;
    bool worker_ = false;
    com_ptr<Handler> handler_;
    mivola::unique_handle wake_;
    DWORD delay_ = 0;
};

// ---- The session: a live object that answers from the state while its app's session lasts ----

class SessionObject final : public Object<ISession> {
public:
    explicit SessionObject(uint64_t serial) : Object(kIidSession, kSessionClassName, "Session"), serial_(serial) {}

    HRESULT STDMETHODCALLTYPE get_SourceAppUserModelId(HSTRING* id) override {
        if (!id) return Trace("get_SourceAppUserModelId", E_POINTER);
        *id = nullptr;
        Session s;
        HRESULT hr = Lookup(CallApp, s);
        if (SUCCEEDED(hr)) hr = MakeString(s.app, id);
        return Trace("get_SourceAppUserModelId", hr);
    }
    HRESULT STDMETHODCALLTYPE TryGetMediaPropertiesAsync(IAsyncOperationMediaProperties** op) override {
        if (!op) return Trace("TryGetMediaPropertiesAsync", E_POINTER);
        *op = nullptr;
        Session s;
        HRESULT hr = Lookup(CallMedia, s);
        if (FAILED(hr)) return Trace("TryGetMediaPropertiesAsync", hr);
        com_ptr<IMediaProperties> properties;
        properties.attach(new MediaProperties(s));
        *op = new AsyncOperation<IMediaProperties>(
            kIidAsyncOperationMediaProperties.iid,
            L"Windows.Foundation.IAsyncOperation`1<Windows.Media.Control."
            L"GlobalSystemMediaTransportControlsSessionMediaProperties>",
            "AsyncOperation<MediaProperties>", properties.get(), s.media);
        return Trace("TryGetMediaPropertiesAsync", S_OK);
    }
    HRESULT STDMETHODCALLTYPE GetTimelineProperties(ITimelineProperties** timeline) override {
        if (!timeline) return Trace("GetTimelineProperties", E_POINTER);
        *timeline = nullptr;
        Session s;
        HRESULT hr = Lookup(CallTimeline, s);
        if (SUCCEEDED(hr)) *timeline = new TimelineProperties(s);
        return Trace("GetTimelineProperties", hr);
    }
    HRESULT STDMETHODCALLTYPE GetPlaybackInfo(IPlaybackInfo** info) override {
        if (!info) return Trace("GetPlaybackInfo", E_POINTER);
        *info = nullptr;
        Session s;
        HRESULT hr = Lookup(CallPlaybackInfo, s);
        if (SUCCEEDED(hr)) *info = new PlaybackInfo(s);
        return Trace("GetPlaybackInfo", hr);
    }

    // The transport requests: not served by the stand-in.
#define SMTC_SIM_NOT_SERVED(name, ...)                                                   \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return Trace(#name, E_NOTIMPL); }
    SMTC_SIM_NOT_SERVED(TryPlayAsync, IInspectable**)
    SMTC_SIM_NOT_SERVED(TryPauseAsync, IInspectable**)
    SMTC_SIM_NOT_SERVED(TryStopAsync, IInspectable**)
    SMTC_SIM_NOT_SERVED(TryRecordAsync, IInspectable**)
    SMTC_SIM_NOT_SERVED(TryFastForwardAsync, IInspectable**)
    SMTC_SIM_NOT_SERVED(TryRewindAsync, IInspectable**)
    SMTC_SIM_NOT_SERVED(TrySkipNextAsync, IInspectable**)
    SMTC_SIM_NOT_SERVED(TrySkipPreviousAsync, IInspectable**)
    SMTC_SIM_NOT_SERVED(TryChangeChannelUpAsync, IInspectable**)
    SMTC_SIM_NOT_SERVED(TryChangeChannelDownAsync, IInspectable**)
    SMTC_SIM_NOT_SERVED(TryTogglePlayPauseAsync, IInspectable**)
    SMTC_SIM_NOT_SERVED(TryChangeAutoRepeatModeAsync, int32_t, IInspectable**)
    SMTC_SIM_NOT_SERVED(TryChangePlaybackRateAsync, double, IInspectable**)
    SMTC_SIM_NOT_SERVED(TryChangeShuffleActiveAsync, rt_bool, IInspectable**)
    SMTC_SIM_NOT_SERVED(TryChangePlaybackPositionAsync, int64_t, IInspectable**)
#undef SMTC_SIM_NOT_SERVED

    // Change events: accepted and never raised.
    HRESULT STDMETHODCALLTYPE add_TimelinePropertiesChanged(IUnknown* h, EventRegistrationToken* t) override {
        return Trace("add_TimelinePropertiesChanged", Accept(h, t));
    }
    HRESULT STDMETHODCALLTYPE remove_TimelinePropertiesChanged(EventRegistrationToken) override {
        return Trace("remove_TimelinePropertiesChanged", S_OK);
    }
    HRESULT STDMETHODCALLTYPE add_PlaybackInfoChanged(IUnknown* h, EventRegistrationToken* t) override {
        return Trace("add_PlaybackInfoChanged", Accept(h, t));
    }
    HRESULT STDMETHODCALLTYPE remove_PlaybackInfoChanged(EventRegistrationToken) override {
        return Trace("remove_PlaybackInfoChanged", S_OK);
    }
    HRESULT STDMETHODCALLTYPE add_MediaPropertiesChanged(IUnknown* h, EventRegistrationToken* t) override {
        return Trace("add_MediaPropertiesChanged", Accept(h, t));
    }
    HRESULT STDMETHODCALLTYPE remove_MediaPropertiesChanged(EventRegistrationToken) override {
        return Trace("remove_MediaPropertiesChanged", S_OK);
    }

    static HRESULT Accept(IUnknown* handler, EventRegistrationToken* token) {
        static std::atomic<int64_t> next{0};
        if (!handler || !token) return E_POINTER;
        token->value = ++next;
        return S_OK;
    }

private:
    // Copies this session's state; a session no longer listed, or one marked vanished, is gone.
    HRESULT Lookup(Call call, Session& out) const {
        Refresh(false);
        StateLock lock;
        const Session* s = lock.state().FindSerial(serial_);
        if (!s || s->vanished) return kDisconnected;
        if (FAILED(s->fail[call])) return s->fail[call];
        out = *s;
        return S_OK;
    }

    const uint64_t serial_;
};

// ---- The manager ----

class Manager final : public Object<IManager> {
public:
    Manager() : Object(kIidManager, kManagerClassName, "Manager") {}

    HRESULT STDMETHODCALLTYPE GetCurrentSession(ISession** session) override {
        if (!session) return Trace("GetCurrentSession", E_POINTER);
        *session = nullptr;
        Refresh(false);
        StateLock lock;
        State& state = lock.state();
        Prune(state);
        if (FAILED(state.fail[CallCurrent])) return Trace("GetCurrentSession", state.fail[CallCurrent]);
        if (const Session* s = state.Find(state.current)) *session = For(s->serial).detach();
        return Trace("GetCurrentSession", S_OK);
    }
    HRESULT STDMETHODCALLTYPE GetSessions(IVectorViewSession** sessions) override {
        if (!sessions) return Trace("GetSessions", E_POINTER);
        *sessions = nullptr;
        Refresh(false);
        std::vector<com_ptr<ISession>> items;
        {
            StateLock lock;
            State& state = lock.state();
            Prune(state);
            if (FAILED(state.fail[CallSessions])) return Trace("GetSessions", state.fail[CallSessions]);
            for (const Session& s : state.sessions) items.push_back(For(s.serial));
        }
        *sessions = new SessionVector(
            kIidVectorViewSession.iid,
            L"Windows.Foundation.Collections.IVectorView`1<Windows.Media.Control.GlobalSystemMediaTransportControlsSession>",
            "VectorView<Session>", std::move(items));
        return Trace("GetSessions", S_OK);
    }
    HRESULT STDMETHODCALLTYPE add_CurrentSessionChanged(IUnknown* h, EventRegistrationToken* t) override {
        return Trace("add_CurrentSessionChanged", SessionObject::Accept(h, t));
    }
    HRESULT STDMETHODCALLTYPE remove_CurrentSessionChanged(EventRegistrationToken) override {
        return Trace("remove_CurrentSessionChanged", S_OK);
    }
    HRESULT STDMETHODCALLTYPE add_SessionsChanged(IUnknown* h, EventRegistrationToken* t) override {
        return Trace("add_SessionsChanged", SessionObject::Accept(h, t));
    }
    HRESULT STDMETHODCALLTYPE remove_SessionsChanged(EventRegistrationToken) override {
        return Trace("remove_SessionsChanged", S_OK);
    }

private:
    // The manager hands out one object per session for as long as the session lasts, so the
    // current session and its entry in the list are the same object.
    com_ptr<ISession> For(uint64_t serial) {
        com_ptr<ISession>& slot = sessions_[serial];
        if (!slot) slot.attach(new SessionObject(serial));
        return slot;
    }
    void Prune(const State& state) {
        for (auto it = sessions_.begin(); it != sessions_.end();) {
            it = state.FindSerial(it->first) ? std::next(it) : sessions_.erase(it);
        }
    }

    std::map<uint64_t, com_ptr<ISession>> sessions_;
};

// ---- The activation factory, which is also the manager's statics ----

class Factory final : public IActivationFactory, public IManagerStatics {
public:
    Factory() : id_(++g_nextId) {
        ++g_live;
        if (LogOn()) LogLine("new Statics " + std::to_string(id_));
    }
    ~Factory() {
        --g_live;
        if (LogOn()) LogLine("free Statics " + std::to_string(id_));
    }
    Factory(const Factory&) = delete;
    Factory& operator=(const Factory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return Trace("QueryInterface", E_POINTER);
        *out = nullptr;
        if (riid == IID_IUnknown || riid == kIidIInspectable || riid == kIidIAgileObject ||
            riid == kIidIActivationFactory) {
            *out = static_cast<IActivationFactory*>(this);
        } else if (riid == kIidManagerStatics) {
            *out = static_cast<IManagerStatics*>(this);
        } else {
            return Trace("QueryInterface", E_NOINTERFACE);
        }
        AddRef();
        return Trace("QueryInterface", S_OK);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {
        if (!count || !iids) return Trace("GetIids", E_POINTER);
        *iids = static_cast<IID*>(::CoTaskMemAlloc(2 * sizeof(IID)));
        if (!*iids) {
            *count = 0;
            return Trace("GetIids", E_OUTOFMEMORY);
        }
        (*iids)[0] = kIidIActivationFactory;
        (*iids)[1] = kIidManagerStatics;
        *count = 2;
        return Trace("GetIids", S_OK);
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
        if (!name) return Trace("GetRuntimeClassName", E_POINTER);
        return Trace("GetRuntimeClassName", MakeString(kManagerClassName, name));
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
        if (!level) return Trace("GetTrustLevel", E_POINTER);
        *level = BaseTrust;
        return Trace("GetTrustLevel", S_OK);
    }

    // A static-only class: no instances.
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
        if (instance) *instance = nullptr;
        return Trace("ActivateInstance", E_NOTIMPL);
    }

    HRESULT STDMETHODCALLTYPE RequestAsync(IAsyncOperationManager** op) override {
        if (!op) return Trace("RequestAsync", E_POINTER);
        *op = nullptr;
        Refresh(true);  // a new client sees the scenario as it stands now
        Completion completion;
        {
            StateLock lock;
            if (FAILED(lock.state().fail[CallRequest])) return Trace("RequestAsync", lock.state().fail[CallRequest]);
            completion = lock.state().request;
        }
        com_ptr<IManager> manager;
        manager.attach(new Manager());
        *op = new AsyncOperation<IManager>(
            kIidAsyncOperationManager.iid,
            L"Windows.Foundation.IAsyncOperation`1<Windows.Media.Control."
            L"GlobalSystemMediaTransportControlsSessionManager>",
            "AsyncOperation<Manager>", manager.get(), completion);
        return Trace("RequestAsync", S_OK);
    }

private:
    HRESULT Trace(const char* method, HRESULT hr) const {
        if (LogOn()) LogLine(std::string("call Statics.") + method + " " + HexResult(hr));
        return hr;
    }

    std::atomic<ULONG> refs_{1};
    const ULONG id_;
};

}  // namespace

LONG LiveObjects() { return g_live; }

IActivationFactory* NewFactory() { return static_cast<IActivationFactory*>(new Factory()); }

}  // namespace smtc_sim
