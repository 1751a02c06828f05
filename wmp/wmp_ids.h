// Identities of the Windows Media Player bridge, shared by the module and its tests.
#pragma once

#include <windows.h>

namespace mivola::wmp {

// {320FB78B-87F1-4714-AF6C-8481D1F34670}
constexpr CLSID kClsidMivolaWmp = {0x320FB78B, 0x87F1, 0x4714, {0xAF, 0x6C, 0x84, 0x81, 0xD1, 0xF3, 0x46, 0x70}};
constexpr wchar_t kClsidText[] = L"{320FB78B-87F1-4714-AF6C-8481D1F34670}";
constexpr DWORD kCapabilities = 0xE0000001;  // background | property page | autorun | launch property page

}  // namespace mivola::wmp
