// The interval dialog that the Winamp and WMP bridges show: the same resource in both.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "dialog_driver.h"
#include "test_support.h"

namespace mivola::test {

// Its field shows `shown`, takes 4 digits and is the buddy of a 10..9999 spinner; its labels and
// buttons read as the user sees them.
inline void ExpectIntervalDialog(HWND dialog, const wchar_t* shown) {
    HWND field = ::GetDlgItem(dialog, 1000);
    HWND spin = ::GetDlgItem(dialog, 1001);
    ASSERT_NE(field, nullptr);
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(TextOf(field), shown);
    EXPECT_EQ(SendTo(field, EM_GETLIMITTEXT, 0, 0), 4);
    EXPECT_EQ(SendTo(spin, UDM_GETRANGE, 0, 0), MAKELONG(9999, 10));
    EXPECT_EQ(reinterpret_cast<HWND>(SendTo(spin, UDM_GETBUDDY, 0, 0)), field);
    std::wstring texts = L"|" + ControlTexts(dialog);
    EXPECT_NE(texts.find(L"|情報を取得する間隔(&T)|"), std::wstring::npos) << Narrow(texts);
    EXPECT_NE(texts.find(L"|ms|"), std::wstring::npos) << Narrow(texts);
    EXPECT_EQ(TextOf(::GetDlgItem(dialog, IDOK)), L"OK");
    EXPECT_EQ(TextOf(::GetDlgItem(dialog, IDCANCEL)), L"キャンセル");
}

}  // namespace mivola::test
