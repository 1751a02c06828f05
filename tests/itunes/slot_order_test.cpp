// The bridge's interface declarations against iTunes' published vtable slots: a member in
// the wrong slot would call another method of a real iTunes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "itunes_interfaces.h"

using namespace mivola::itunes;

namespace {

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
    if ((raw.ptr & 1) == 0) return -1;  // not virtual
    return static_cast<long>((raw.ptr - 1) / sizeof(void*));
}

TEST(SlotOrder, MembersTheBridgeCallsSitInTheirPublishedSlots) {
    EXPECT_EQ(Slot(&IiTunes::get_PlayerState), 39);
    EXPECT_EQ(Slot(&IiTunes::get_PlayerPosition), 40);
    EXPECT_EQ(Slot(&IiTunes::get_CurrentTrack), 62);
    EXPECT_EQ(Slot(&IiTunes::get_Version), 65);
    EXPECT_EQ(Slot(&IiTunes::put_ForceToForegroundOnDialog), 74);
    EXPECT_EQ(Slot(&IITObject::get_Name), 8);
    EXPECT_EQ(Slot(&IITObject::get_TrackDatabaseID), 14);
    EXPECT_EQ(Slot(&IITTrack::get_Kind), 18);
    EXPECT_EQ(Slot(&IITTrack::get_Album), 20);
    EXPECT_EQ(Slot(&IITTrack::get_Artist), 22);
    EXPECT_EQ(Slot(&IITTrack::get_BitRate), 24);
    EXPECT_EQ(Slot(&IITTrack::get_Duration), 38);
    EXPECT_EQ(Slot(&IITTrack::get_Genre), 45);
    EXPECT_EQ(Slot(&IITTrack::get_Size), 59);
    EXPECT_EQ(Slot(&IITTrack::get_TrackNumber), 65);
    EXPECT_EQ(Slot(&IITTrack::get_Artwork), 71);
    EXPECT_EQ(Slot(&IITFileOrCDTrack::get_Location), 72);
    EXPECT_EQ(Slot(&IITURLTrack::get_URL), 72);
    EXPECT_EQ(Slot(&IITURLTrack::get_Podcast), 74);
}

}  // namespace
