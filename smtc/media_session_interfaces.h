// The system's global media sessions (runtime namespace Windows.Media.Control) as the bridge
// and its stand-in see them through the raw runtime ABI. mingw-w64 has no declarations for
// this namespace, and its collection templates carry the wrong types (a 4-byte boolean, one
// pointer level too many in GetResults), so every interface is declared here in its slot
// order: IUnknown 0-2, IInspectable 3-5, own methods from 6; delegates derive from IUnknown
// only, so their Invoke is slot 3. No virtual destructors: g++ would add two slots.
//
// asyncinfo.h is not included: its unscoped enumerators (Started, Completed, Error) clash with
// ordinary names. IAsyncInfo is declared here with its status as a plain 32-bit value.
#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <hstring.h>
#include <inspectable.h>

#include <cstdint>

namespace mivola::smtc {

// A runtime boolean is one byte; never BOOL in a runtime signature.
using rt_bool = uint8_t;

struct TimeSpan {
    int64_t Duration;  // 100 ns units
};
struct DateTime {
    int64_t UniversalTime;  // 100 ns ticks since 1601-01-01 UTC, as FILETIME
};
struct EventRegistrationToken {
    int64_t value;
};
static_assert(sizeof(rt_bool) == 1);
static_assert(sizeof(TimeSpan) == 8 && sizeof(DateTime) == 8 && sizeof(EventRegistrationToken) == 8);

enum AsyncStatusValue : int32_t {
    kAsyncStarted = 0,
    kAsyncCompleted = 1,
    kAsyncCanceled = 2,
    kAsyncError = 3,
};

enum PlaybackStatus : int32_t {
    kPlaybackClosed = 0,
    kPlaybackOpened = 1,
    kPlaybackChanging = 2,
    kPlaybackStopped = 3,
    kPlaybackPlaying = 4,
    kPlaybackPaused = 5,
};

// The runtime class the bridge activates (its statics only; it has no instances to activate).
constexpr wchar_t kManagerClassName[] =
    L"Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager";
// Class names the stand-in reports from GetRuntimeClassName.
constexpr wchar_t kSessionClassName[] = L"Windows.Media.Control.GlobalSystemMediaTransportControlsSession";
constexpr wchar_t kMediaPropertiesClassName[] =
    L"Windows.Media.Control.GlobalSystemMediaTransportControlsSessionMediaProperties";
constexpr wchar_t kTimelinePropertiesClassName[] =
    L"Windows.Media.Control.GlobalSystemMediaTransportControlsSessionTimelineProperties";
constexpr wchar_t kPlaybackInfoClassName[] =
    L"Windows.Media.Control.GlobalSystemMediaTransportControlsSessionPlaybackInfo";

// ---- Fixed interface ids ----
constexpr IID kIidIInspectable = {0xaf86e2e0, 0xb12d, 0x4c6a, {0x9c, 0x5a, 0xd7, 0xaa, 0x65, 0x10, 0x1e, 0x90}};
constexpr IID kIidIActivationFactory = {0x00000035, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidIAgileObject = {0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};
constexpr IID kIidIAsyncInfo = {0x00000036, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidManagerStatics = {0x2050c4ee, 0x11a0, 0x57de, {0xae, 0xd7, 0xc9, 0x7c, 0x70, 0x33, 0x82, 0x45}};
constexpr IID kIidManager = {0xcace8eac, 0xe86e, 0x504a, {0xab, 0x31, 0x5f, 0xf8, 0xff, 0x1b, 0xce, 0x49}};
constexpr IID kIidSession = {0x7148c835, 0x9b14, 0x5ae2, {0xab, 0x85, 0xdc, 0x9b, 0x1c, 0x14, 0xe1, 0xa8}};
constexpr IID kIidMediaProperties = {0x68856cf6, 0xadb4, 0x54b2, {0xac, 0x16, 0x05, 0x83, 0x79, 0x07, 0xac, 0xb6}};
constexpr IID kIidTimelineProperties = {0xede34136, 0x6f25, 0x588d, {0x8e, 0xcf, 0xea, 0x5b, 0x67, 0x35, 0xaa, 0xa5}};
constexpr IID kIidPlaybackInfo = {0x94b4b6cf, 0xe8ba, 0x51ad, {0x87, 0xa7, 0xc1, 0x0a, 0xde, 0x10, 0x61, 0x27}};
constexpr IID kIidPlaybackControls = {0x6501a3e6, 0xbc7a, 0x503a, {0xbb, 0x1b, 0x68, 0xf1, 0x58, 0xf3, 0xfb, 0x03}};

// ---- Parameterized interface ids ----
// Each is the name-based (SHA-1) UUID of its signature in the runtime's namespace
// {11f47ad5-7b73-42c0-abae-878b1e16adee}; the signatures are kept beside the values so that a
// test can recompute every one of them.
struct ParameterizedIid {
    const char* name;
    const char* signature;
    IID iid;
};

#define MIVOLA_SMTC_RC(cls, iid) "rc(Windows.Media.Control." cls ";{" iid "})"
#define MIVOLA_SMTC_MGR MIVOLA_SMTC_RC("GlobalSystemMediaTransportControlsSessionManager", "cace8eac-e86e-504a-ab31-5ff8ff1bce49")
#define MIVOLA_SMTC_SES MIVOLA_SMTC_RC("GlobalSystemMediaTransportControlsSession", "7148c835-9b14-5ae2-ab85-dc9b1c14e1a8")
#define MIVOLA_SMTC_MP \
    MIVOLA_SMTC_RC("GlobalSystemMediaTransportControlsSessionMediaProperties", "68856cf6-adb4-54b2-ac16-05837907acb6")
#define MIVOLA_SMTC_IAO "{9fc2b0bb-e446-44e2-aa61-9cab8f636af2}"
#define MIVOLA_SMTC_AOCH "{fcdcf02c-e5d8-4478-915a-4d90b74b83a5}"
#define MIVOLA_SMTC_IVV "{bbe1fa4c-b0e3-4583-baef-1f1b2e483e56}"
#define MIVOLA_SMTC_IREF "{61c17706-2d65-11e0-9ae8-d48564015472}"

constexpr ParameterizedIid kIidAsyncOperationManager = {
    "IAsyncOperation<Manager>", "pinterface(" MIVOLA_SMTC_IAO ";" MIVOLA_SMTC_MGR ")",
    {0x3eec115e, 0x7346, 0x5c27, {0x8c, 0x5f, 0xda, 0x78, 0x51, 0x4a, 0x27, 0x7b}}};
constexpr ParameterizedIid kIidCompletedHandlerManager = {
    "AsyncOperationCompletedHandler<Manager>", "pinterface(" MIVOLA_SMTC_AOCH ";" MIVOLA_SMTC_MGR ")",
    {0x10f0074e, 0x923d, 0x5510, {0x8f, 0x4a, 0xdd, 0xe3, 0x77, 0x54, 0xca, 0x0e}}};
constexpr ParameterizedIid kIidAsyncOperationMediaProperties = {
    "IAsyncOperation<MediaProperties>", "pinterface(" MIVOLA_SMTC_IAO ";" MIVOLA_SMTC_MP ")",
    {0xb185e6f3, 0xe0d8, 0x51cb, {0x91, 0x3f, 0xc9, 0x8d, 0x48, 0xc9, 0x3c, 0x46}}};
constexpr ParameterizedIid kIidCompletedHandlerMediaProperties = {
    "AsyncOperationCompletedHandler<MediaProperties>", "pinterface(" MIVOLA_SMTC_AOCH ";" MIVOLA_SMTC_MP ")",
    {0x84593a3d, 0x951a, 0x55b6, {0x83, 0x53, 0x52, 0x05, 0xe5, 0x77, 0x79, 0x7b}}};
constexpr ParameterizedIid kIidVectorViewSession = {
    "IVectorView<Session>", "pinterface(" MIVOLA_SMTC_IVV ";" MIVOLA_SMTC_SES ")",
    {0x9b2672da, 0x5088, 0x5a1d, {0xac, 0xd9, 0xa3, 0xfc, 0x5e, 0xf1, 0xcf, 0xa4}}};
constexpr ParameterizedIid kIidVectorViewString = {
    "IVectorView<String>", "pinterface(" MIVOLA_SMTC_IVV ";string)",
    {0x2f13c006, 0xa03a, 0x5f69, {0xb0, 0x90, 0x75, 0xa4, 0x3e, 0x33, 0x42, 0x3e}}};
constexpr ParameterizedIid kIidReferenceDouble = {
    "IReference<Double>", "pinterface(" MIVOLA_SMTC_IREF ";f8)",
    {0x2f2d6c29, 0x5473, 0x5f3e, {0x92, 0xe7, 0x96, 0x57, 0x2b, 0xb9, 0x90, 0xe2}}};
constexpr ParameterizedIid kIidReferencePlaybackType = {
    "IReference<MediaPlaybackType>", "pinterface(" MIVOLA_SMTC_IREF ";enum(Windows.Media.MediaPlaybackType;i4))",
    {0xe289f7d8, 0x6ba7, 0x50ab, {0x9f, 0x13, 0x6e, 0x4e, 0x51, 0xd1, 0x5c, 0xa4}}};

constexpr const ParameterizedIid* kParameterizedIids[] = {
    &kIidAsyncOperationManager, &kIidCompletedHandlerManager,     &kIidAsyncOperationMediaProperties,
    &kIidCompletedHandlerMediaProperties, &kIidVectorViewSession, &kIidVectorViewString,
    &kIidReferenceDouble,       &kIidReferencePlaybackType,
};

#undef MIVOLA_SMTC_RC
#undef MIVOLA_SMTC_MGR
#undef MIVOLA_SMTC_SES
#undef MIVOLA_SMTC_MP
#undef MIVOLA_SMTC_IAO
#undef MIVOLA_SMTC_AOCH
#undef MIVOLA_SMTC_IVV
#undef MIVOLA_SMTC_IREF

// ---- Interfaces, in slot order ----
#define MIVOLA_SMTC_SLOT(name, ...) virtual HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) = 0

struct IAsyncInfo_ : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) = 0;          // 6
    virtual HRESULT STDMETHODCALLTYPE get_Status(int32_t* status) = 0; // 7 (AsyncStatusValue)
    virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) = 0;// 8
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;                    // 9
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;                     // 10
};

template <typename T>
struct IAsyncOperation_;

// AsyncOperationCompletedHandler<T>: a delegate, so IUnknown-based.
template <typename T>
struct IAsyncOperationCompletedHandler_ : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperation_<T>* operation, int32_t status) = 0;  // 3
};

// IAsyncOperation<T>, T being the result's default-interface pointer.
template <typename T>
struct IAsyncOperation_ : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE put_Completed(IAsyncOperationCompletedHandler_<T>* handler) = 0;   // 6
    virtual HRESULT STDMETHODCALLTYPE get_Completed(IAsyncOperationCompletedHandler_<T>** handler) = 0;  // 7
    virtual HRESULT STDMETHODCALLTYPE GetResults(T* results) = 0;                                        // 8
};

// IVectorView<T>, T being a default-interface pointer or HSTRING.
template <typename T>
struct IVectorView_ : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, T* item) = 0;                          // 6
    virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;                                // 7
    virtual HRESULT STDMETHODCALLTYPE IndexOf(T value, UINT32* index, rt_bool* found) = 0;       // 8
    virtual HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, T* items, UINT32* actual) = 0;  // 9
};

template <typename T>
struct IReference_ : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Value(T* value) = 0;  // 6
};

struct ISession;
struct IMediaProperties;
struct ITimelineProperties;
struct IPlaybackInfo;
struct IManager;

using IAsyncOperationManager = IAsyncOperation_<IManager*>;
using ICompletedHandlerManager = IAsyncOperationCompletedHandler_<IManager*>;
using IAsyncOperationMediaProperties = IAsyncOperation_<IMediaProperties*>;
using ICompletedHandlerMediaProperties = IAsyncOperationCompletedHandler_<IMediaProperties*>;
using IVectorViewSession = IVectorView_<ISession*>;
using IVectorViewString = IVectorView_<HSTRING>;
using IReferenceDouble = IReference_<double>;
using IReferencePlaybackType = IReference_<int32_t>;

// GlobalSystemMediaTransportControlsSessionManager's statics.
struct IManagerStatics : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE RequestAsync(IAsyncOperationManager** operation) = 0;  // 6
};

struct IManager : IInspectable {
    // S_OK with null when there is no current session.
    virtual HRESULT STDMETHODCALLTYPE GetCurrentSession(ISession** session) = 0;        // 6
    virtual HRESULT STDMETHODCALLTYPE GetSessions(IVectorViewSession** sessions) = 0;   // 7
    virtual HRESULT STDMETHODCALLTYPE add_CurrentSessionChanged(IUnknown* handler, EventRegistrationToken* token) = 0;  // 8
    virtual HRESULT STDMETHODCALLTYPE remove_CurrentSessionChanged(EventRegistrationToken token) = 0;                 // 9
    virtual HRESULT STDMETHODCALLTYPE add_SessionsChanged(IUnknown* handler, EventRegistrationToken* token) = 0;        // 10
    virtual HRESULT STDMETHODCALLTYPE remove_SessionsChanged(EventRegistrationToken token) = 0;                       // 11
};

struct ISession : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_SourceAppUserModelId(HSTRING* id) = 0;                          // 6
    virtual HRESULT STDMETHODCALLTYPE TryGetMediaPropertiesAsync(IAsyncOperationMediaProperties** op) = 0; // 7
    virtual HRESULT STDMETHODCALLTYPE GetTimelineProperties(ITimelineProperties** timeline) = 0;          // 8
    virtual HRESULT STDMETHODCALLTYPE GetPlaybackInfo(IPlaybackInfo** info) = 0;                          // 9
    // 10-30: the transport requests and change events, which the bridge never calls. Declared
    // with their parameters all the same (results as IAsyncOperation<boolean>, here opaque), so
    // that an implementation takes them off the stack as the system's does (__stdcall on i686).
    MIVOLA_SMTC_SLOT(TryPlayAsync, IInspectable** op);                      // 10
    MIVOLA_SMTC_SLOT(TryPauseAsync, IInspectable** op);                     // 11
    MIVOLA_SMTC_SLOT(TryStopAsync, IInspectable** op);                      // 12
    MIVOLA_SMTC_SLOT(TryRecordAsync, IInspectable** op);                    // 13
    MIVOLA_SMTC_SLOT(TryFastForwardAsync, IInspectable** op);               // 14
    MIVOLA_SMTC_SLOT(TryRewindAsync, IInspectable** op);                    // 15
    MIVOLA_SMTC_SLOT(TrySkipNextAsync, IInspectable** op);                  // 16
    MIVOLA_SMTC_SLOT(TrySkipPreviousAsync, IInspectable** op);              // 17
    MIVOLA_SMTC_SLOT(TryChangeChannelUpAsync, IInspectable** op);           // 18
    MIVOLA_SMTC_SLOT(TryChangeChannelDownAsync, IInspectable** op);         // 19
    MIVOLA_SMTC_SLOT(TryTogglePlayPauseAsync, IInspectable** op);           // 20
    MIVOLA_SMTC_SLOT(TryChangeAutoRepeatModeAsync, int32_t mode, IInspectable** op);   // 21
    MIVOLA_SMTC_SLOT(TryChangePlaybackRateAsync, double rate, IInspectable** op);      // 22
    MIVOLA_SMTC_SLOT(TryChangeShuffleActiveAsync, rt_bool active, IInspectable** op);  // 23
    MIVOLA_SMTC_SLOT(TryChangePlaybackPositionAsync, int64_t ticks, IInspectable** op); // 24
    MIVOLA_SMTC_SLOT(add_TimelinePropertiesChanged, IUnknown* handler, EventRegistrationToken* token);  // 25
    MIVOLA_SMTC_SLOT(remove_TimelinePropertiesChanged, EventRegistrationToken token);                  // 26
    MIVOLA_SMTC_SLOT(add_PlaybackInfoChanged, IUnknown* handler, EventRegistrationToken* token);        // 27
    MIVOLA_SMTC_SLOT(remove_PlaybackInfoChanged, EventRegistrationToken token);                        // 28
    MIVOLA_SMTC_SLOT(add_MediaPropertiesChanged, IUnknown* handler, EventRegistrationToken* token);     // 29
    MIVOLA_SMTC_SLOT(remove_MediaPropertiesChanged, EventRegistrationToken token);                     // 30
};

struct IMediaProperties : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Title(HSTRING* value) = 0;                  // 6
    virtual HRESULT STDMETHODCALLTYPE get_Subtitle(HSTRING* value) = 0;               // 7
    virtual HRESULT STDMETHODCALLTYPE get_AlbumArtist(HSTRING* value) = 0;            // 8
    virtual HRESULT STDMETHODCALLTYPE get_Artist(HSTRING* value) = 0;                 // 9
    virtual HRESULT STDMETHODCALLTYPE get_AlbumTitle(HSTRING* value) = 0;             // 10
    virtual HRESULT STDMETHODCALLTYPE get_TrackNumber(int32_t* value) = 0;            // 11
    virtual HRESULT STDMETHODCALLTYPE get_Genres(IVectorViewString** value) = 0;      // 12
    virtual HRESULT STDMETHODCALLTYPE get_AlbumTrackCount(int32_t* value) = 0;        // 13
    virtual HRESULT STDMETHODCALLTYPE get_PlaybackType(IReferencePlaybackType** value) = 0;  // 14
    virtual HRESULT STDMETHODCALLTYPE get_Thumbnail(IUnknown** value) = 0;            // 15 (may be null)
};

struct ITimelineProperties : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_StartTime(TimeSpan* value) = 0;       // 6
    virtual HRESULT STDMETHODCALLTYPE get_EndTime(TimeSpan* value) = 0;         // 7
    virtual HRESULT STDMETHODCALLTYPE get_MinSeekTime(TimeSpan* value) = 0;     // 8
    virtual HRESULT STDMETHODCALLTYPE get_MaxSeekTime(TimeSpan* value) = 0;     // 9
    virtual HRESULT STDMETHODCALLTYPE get_Position(TimeSpan* value) = 0;        // 10
    virtual HRESULT STDMETHODCALLTYPE get_LastUpdatedTime(DateTime* value) = 0; // 11
};

struct IPlaybackInfo : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Controls(IInspectable** value) = 0;               // 6
    virtual HRESULT STDMETHODCALLTYPE get_PlaybackStatus(int32_t* value) = 0;               // 7 (PlaybackStatus)
    virtual HRESULT STDMETHODCALLTYPE get_PlaybackType(IReferencePlaybackType** value) = 0; // 8
    virtual HRESULT STDMETHODCALLTYPE get_AutoRepeatMode(IInspectable** value) = 0;         // 9
    virtual HRESULT STDMETHODCALLTYPE get_PlaybackRate(IReferenceDouble** value) = 0;       // 10
    virtual HRESULT STDMETHODCALLTYPE get_IsShuffleActive(IInspectable** value) = 0;        // 11
};

#undef MIVOLA_SMTC_SLOT

// Errors the platform header lacks.
constexpr HRESULT kEBounds = static_cast<HRESULT>(0x8000000B);
constexpr HRESULT kEIllegalMethodCall = static_cast<HRESULT>(0x8000000E);
constexpr HRESULT kEIllegalDelegateAssignment = static_cast<HRESULT>(0x80000018);

}  // namespace mivola::smtc
