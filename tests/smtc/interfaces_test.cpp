// The hand-declared media-session interfaces against the runtime's published facts: every
// parameterized id recomputed from its signature, and every member in its published slot with
// its published parameter count (a member in the wrong slot calls another method of the
// system's object; a wrong parameter count unbalances the stack of a __stdcall call on i686).
#include <gtest/gtest.h>

#include <windows.h>
// After windows.h.
#include <bcrypt.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "media_session_interfaces.h"

using namespace mivola::smtc;

namespace {

// ---- Name-based (SHA-1, version 5) UUIDs, as the runtime derives parameterized ids ----

bool Sha1(const void* data, size_t size, uint8_t digest[20]) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    if (::BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA1_ALGORITHM, nullptr, 0) != 0) return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = ::BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    ok = ok && ::BCryptHashData(hash, static_cast<UCHAR*>(const_cast<void*>(data)), static_cast<ULONG>(size), 0) == 0;
    ok = ok && ::BCryptFinishHash(hash, digest, 20, 0) == 0;
    if (hash) ::BCryptDestroyHash(hash);
    ::BCryptCloseAlgorithmProvider(alg, 0);
    return ok;
}

// The bytes of a GUID in the order RFC 4122 writes them (fields big-endian).
void ToNetworkOrder(const GUID& g, uint8_t out[16]) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(g.Data1 >> (24 - 8 * i));
    out[4] = static_cast<uint8_t>(g.Data2 >> 8);
    out[5] = static_cast<uint8_t>(g.Data2);
    out[6] = static_cast<uint8_t>(g.Data3 >> 8);
    out[7] = static_cast<uint8_t>(g.Data3);
    std::memcpy(out + 8, g.Data4, 8);
}

GUID FromNetworkOrder(const uint8_t b[16]) {
    GUID g{};
    g.Data1 = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
    g.Data2 = static_cast<uint16_t>((b[4] << 8) | b[5]);
    g.Data3 = static_cast<uint16_t>((b[6] << 8) | b[7]);
    std::memcpy(g.Data4, b + 8, 8);
    return g;
}

bool NameBasedUuid(const GUID& ns, const std::string& name, GUID& out) {
    std::string bytes(16, '\0');
    ToNetworkOrder(ns, reinterpret_cast<uint8_t*>(&bytes[0]));
    bytes += name;
    uint8_t digest[20];
    if (!Sha1(bytes.data(), bytes.size(), digest)) return false;
    digest[6] = static_cast<uint8_t>((digest[6] & 0x0F) | 0x50);  // version 5
    digest[8] = static_cast<uint8_t>((digest[8] & 0x3F) | 0x80);  // RFC 4122 variant
    out = FromNetworkOrder(digest);
    return true;
}

std::string Text(const GUID& g) {
    char s[40];
    std::snprintf(s, sizeof s, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", static_cast<unsigned long>(g.Data1),
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                  g.Data4[7]);
    return s;
}

constexpr GUID kRuntimeNamespace = {0x11f47ad5, 0x7b73, 0x42c0, {0xab, 0xae, 0x87, 0x8b, 0x1e, 0x16, 0xad, 0xee}};

TEST(ParameterizedIids, DerivationMatchesKnownVersion5Uuids) {
    // RFC 4122's DNS namespace with "python.org", and a parameterized id the platform
    // headers publish: guards the derivation itself before it judges the declarations.
    const GUID dns = {0x6ba7b810, 0x9dad, 0x11d1, {0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8}};
    GUID got{};
    ASSERT_TRUE(NameBasedUuid(dns, "python.org", got));
    EXPECT_EQ(Text(got), "886313e1-3b8a-5372-9b90-0c9aee199e5d");
    ASSERT_TRUE(NameBasedUuid(kRuntimeNamespace, "pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};b1)", got));
    EXPECT_EQ(Text(got), "cdb5efb3-5788-509d-9be1-71ccb8a3362a");  // IAsyncOperation<Boolean>
}

TEST(ParameterizedIids, EveryDeclaredIdIsTheHashOfItsSignature) {
    ASSERT_EQ(sizeof kParameterizedIids / sizeof kParameterizedIids[0], 8u);
    for (const ParameterizedIid* p : kParameterizedIids) {
        GUID computed{};
        ASSERT_TRUE(NameBasedUuid(kRuntimeNamespace, p->signature, computed)) << p->name;
        EXPECT_EQ(Text(computed), Text(p->iid)) << p->name << " " << p->signature;
    }
}

TEST(ParameterizedIids, SignaturesNameTheDeclaredClassInterfaces) {
    // The class ids inside the signatures are the default interfaces declared for the bridge.
    struct {
        const char* cls;
        const IID* iid;
    } classes[] = {{"GlobalSystemMediaTransportControlsSessionManager;", &kIidManager},
                   {"GlobalSystemMediaTransportControlsSession;", &kIidSession},
                   {"GlobalSystemMediaTransportControlsSessionMediaProperties;", &kIidMediaProperties}};
    int seen = 0;
    for (const ParameterizedIid* p : kParameterizedIids) {
        std::string sig = p->signature;
        for (const auto& c : classes) {
            size_t at = sig.find(c.cls);
            if (at == std::string::npos) continue;
            ++seen;
            EXPECT_EQ(sig.substr(at + std::strlen(c.cls), 38), "{" + Text(*c.iid) + "}") << p->name;
        }
    }
    EXPECT_EQ(seen, 5);
}

// ---- Slots ----

// The vtable slot of a virtual member. GCC's member pointers to virtual functions hold
// 1 + the byte offset into the vtable.
template <typename Member>
long Slot(Member member) {
    struct Raw {
        uintptr_t ptr;
        ptrdiff_t adj;
    } raw;
    static_assert(sizeof member == sizeof raw, "two-word member pointer");
    std::memcpy(&raw, &member, sizeof raw);
    if ((raw.ptr & 1) == 0) return -1;
    return static_cast<long>((raw.ptr - 1) / sizeof(void*));
}

template <typename C, typename... A>
constexpr size_t Arity(HRESULT (STDMETHODCALLTYPE C::*)(A...)) {
    return sizeof...(A);
}

#define EXPECT_SLOT(member, slot, arity)          \
    do {                                          \
        EXPECT_EQ(Slot(&member), slot) << #member;   \
        EXPECT_EQ(Arity(&member), arity) << #member; \
    } while (0)

TEST(SlotOrder, ManagerStaticsManagerAndAsyncTypes) {
    EXPECT_SLOT(IManagerStatics::RequestAsync, 6, 1u);
    EXPECT_SLOT(IManager::GetCurrentSession, 6, 1u);
    EXPECT_SLOT(IManager::GetSessions, 7, 1u);
    EXPECT_SLOT(IManager::add_CurrentSessionChanged, 8, 2u);
    EXPECT_SLOT(IManager::remove_CurrentSessionChanged, 9, 1u);
    EXPECT_SLOT(IManager::add_SessionsChanged, 10, 2u);
    EXPECT_SLOT(IManager::remove_SessionsChanged, 11, 1u);

    EXPECT_SLOT(IAsyncInfo_::get_Id, 6, 1u);
    EXPECT_SLOT(IAsyncInfo_::get_Status, 7, 1u);
    EXPECT_SLOT(IAsyncInfo_::get_ErrorCode, 8, 1u);
    EXPECT_SLOT(IAsyncInfo_::Cancel, 9, 0u);
    EXPECT_SLOT(IAsyncInfo_::Close, 10, 0u);
    EXPECT_SLOT(IAsyncOperationManager::put_Completed, 6, 1u);
    EXPECT_SLOT(IAsyncOperationManager::get_Completed, 7, 1u);
    EXPECT_SLOT(IAsyncOperationManager::GetResults, 8, 1u);
    EXPECT_SLOT(IAsyncOperationMediaProperties::GetResults, 8, 1u);
    EXPECT_SLOT(ICompletedHandlerManager::Invoke, 3, 2u);  // a delegate: IUnknown-based
    EXPECT_SLOT(ICompletedHandlerMediaProperties::Invoke, 3, 2u);
    EXPECT_SLOT(IVectorViewSession::GetAt, 6, 2u);
    EXPECT_SLOT(IVectorViewSession::get_Size, 7, 1u);
    EXPECT_SLOT(IVectorViewSession::IndexOf, 8, 3u);
    EXPECT_SLOT(IVectorViewSession::GetMany, 9, 4u);
    EXPECT_SLOT(IVectorViewString::GetAt, 6, 2u);
    EXPECT_SLOT(IVectorViewString::GetMany, 9, 4u);
    EXPECT_SLOT(IReferenceDouble::get_Value, 6, 1u);
    EXPECT_SLOT(IReferencePlaybackType::get_Value, 6, 1u);
    EXPECT_EQ(Slot(&IInspectable::GetIids), 3);
    EXPECT_EQ(Slot(&IInspectable::GetRuntimeClassName), 4);
    EXPECT_EQ(Slot(&IInspectable::GetTrustLevel), 5);
}

TEST(SlotOrder, Session) {
    EXPECT_SLOT(ISession::get_SourceAppUserModelId, 6, 1u);
    EXPECT_SLOT(ISession::TryGetMediaPropertiesAsync, 7, 1u);
    EXPECT_SLOT(ISession::GetTimelineProperties, 8, 1u);
    EXPECT_SLOT(ISession::GetPlaybackInfo, 9, 1u);
    // The transport requests and events: never called by the bridge, but implemented by the
    // stand-in, which must take their parameters off the stack as the system's object does.
    EXPECT_SLOT(ISession::TryPlayAsync, 10, 1u);
    EXPECT_SLOT(ISession::TryTogglePlayPauseAsync, 20, 1u);
    EXPECT_SLOT(ISession::TryChangeAutoRepeatModeAsync, 21, 2u);
    EXPECT_SLOT(ISession::TryChangePlaybackRateAsync, 22, 2u);
    EXPECT_SLOT(ISession::TryChangeShuffleActiveAsync, 23, 2u);
    EXPECT_SLOT(ISession::TryChangePlaybackPositionAsync, 24, 2u);
    EXPECT_SLOT(ISession::add_TimelinePropertiesChanged, 25, 2u);
    EXPECT_SLOT(ISession::remove_TimelinePropertiesChanged, 26, 1u);
    EXPECT_SLOT(ISession::add_MediaPropertiesChanged, 29, 2u);
    EXPECT_SLOT(ISession::remove_MediaPropertiesChanged, 30, 1u);
}

TEST(SlotOrder, PropertiesTimelineAndPlaybackInfo) {
    EXPECT_SLOT(IMediaProperties::get_Title, 6, 1u);
    EXPECT_SLOT(IMediaProperties::get_Subtitle, 7, 1u);
    EXPECT_SLOT(IMediaProperties::get_AlbumArtist, 8, 1u);
    EXPECT_SLOT(IMediaProperties::get_Artist, 9, 1u);
    EXPECT_SLOT(IMediaProperties::get_AlbumTitle, 10, 1u);
    EXPECT_SLOT(IMediaProperties::get_TrackNumber, 11, 1u);
    EXPECT_SLOT(IMediaProperties::get_Genres, 12, 1u);
    EXPECT_SLOT(IMediaProperties::get_AlbumTrackCount, 13, 1u);
    EXPECT_SLOT(IMediaProperties::get_PlaybackType, 14, 1u);
    EXPECT_SLOT(IMediaProperties::get_Thumbnail, 15, 1u);
    EXPECT_SLOT(ITimelineProperties::get_StartTime, 6, 1u);
    EXPECT_SLOT(ITimelineProperties::get_EndTime, 7, 1u);
    EXPECT_SLOT(ITimelineProperties::get_MinSeekTime, 8, 1u);
    EXPECT_SLOT(ITimelineProperties::get_MaxSeekTime, 9, 1u);
    EXPECT_SLOT(ITimelineProperties::get_Position, 10, 1u);
    EXPECT_SLOT(ITimelineProperties::get_LastUpdatedTime, 11, 1u);
    EXPECT_SLOT(IPlaybackInfo::get_Controls, 6, 1u);
    EXPECT_SLOT(IPlaybackInfo::get_PlaybackStatus, 7, 1u);
    EXPECT_SLOT(IPlaybackInfo::get_PlaybackType, 8, 1u);
    EXPECT_SLOT(IPlaybackInfo::get_AutoRepeatMode, 9, 1u);
    EXPECT_SLOT(IPlaybackInfo::get_PlaybackRate, 10, 1u);
    EXPECT_SLOT(IPlaybackInfo::get_IsShuffleActive, 11, 1u);
}

}  // namespace
