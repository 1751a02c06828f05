// The bridge module as Winamp finds it on disk: its export and header record, the dialog
// template and the version resource.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "stand_in.h"
#include "winamp_sdk.h"

using namespace mivola::test;

namespace {

struct LoadedBridge {
    LoadedBridge() : module(::LoadLibraryW((ModuleDirectory() + L"gen_zeq_mivola.dll").c_str())) {}
    mivola::unique_hmodule module;
};

TEST(BridgeModule, ExportsHeaderRecordWithShiftJisDescription) {
    LoadedBridge bridge;
    ASSERT_TRUE(bridge.module);
    auto get = reinterpret_cast<winamp::GetGeneralPurposePluginFunction>(
        reinterpret_cast<void*>(::GetProcAddress(bridge.module.get(), "winampGetGeneralPurposePlugin")));
    ASSERT_NE(get, nullptr);
    winamp::GeneralPurposePlugin* header = get();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header, get()) << "the record lives with the module";
    EXPECT_EQ(header->version, 0x10);
    ASSERT_NE(header->description, nullptr);
    const std::wstring description = L"ZEQ メディア情報取得プラグイン for Winamp Ver.1.0.0";
    EXPECT_EQ(std::string(header->description), Cp932(description));
    EXPECT_EQ(FromCp932(header->description, 256), description);
    EXPECT_NE(header->init, nullptr);
    EXPECT_NE(header->config, nullptr);
    EXPECT_NE(header->quit, nullptr);
    EXPECT_EQ(header->hwndParent, nullptr);
    EXPECT_EQ(header->hDllInstance, nullptr);
}

TEST(BridgeModule, VersionResourceSaysOneZeroZero) {
    std::wstring path = ModuleDirectory() + L"gen_zeq_mivola.dll";
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, &data[0]));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(&data[0], L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
}

// Walks a DIALOGEX template without reading past the resource.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : p_(data), begin_(data), end_(data + size) {}
    bool ok() const { return ok_; }
    template <typename T>
    T Read() {
        T value{};
        if (p_ + sizeof(T) > end_) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, p_, sizeof(T));
        p_ += sizeof(T);
        return value;
    }
    std::wstring Text() {
        std::wstring text;
        for (wchar_t c = Read<wchar_t>(); ok_ && c; c = Read<wchar_t>()) text += c;
        return text;
    }
    // A name or an ordinal: ordinals come back as "#<number>".
    std::wstring NameOrOrdinal() {
        wchar_t first = Read<wchar_t>();
        if (first == 0) return std::wstring();
        if (first == 0xFFFF) return L"#" + std::to_wstring(Read<WORD>());
        return std::wstring(1, first) + Text();
    }
    void AlignDword() {
        while (ok_ && (p_ - begin_) % 4) Read<BYTE>();
    }
    void Skip(size_t n) {
        if (p_ + n > end_) ok_ = false;
        else p_ += n;
    }

private:
    const BYTE* p_;
    const BYTE* begin_;
    const BYTE* end_;
    bool ok_ = true;
};

struct ExpectedControl {
    const wchar_t* windowClass;  // "#128" button, "#129" edit, "#130" static
    const wchar_t* text;
    int32_t id;
    DWORD styleBits;  // all of these are set
    DWORD typeMask;   // style & typeMask must equal typeValue
    DWORD typeValue;
    DWORD exStyle;
    short x, y, cx, cy;
};

constexpr DWORD kSpinStyle = UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS;

const ExpectedControl kControls[] = {
    {L"#130", L"情報を取得する間隔(&T)", -1, WS_CHILD | WS_VISIBLE, 0, 0, 0, 10, 20, 85, 8},
    {L"#129", L"", 1000, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, WS_EX_RIGHT, 62, 37, 41, 14},
    {L"msctls_updown32", L"Spin1", 1001, WS_CHILD | WS_VISIBLE | kSpinStyle, UDS_NOTHOUSANDS, 0, 0, 96, 50, 10, 13},
    {L"#128", L"OK", IDOK, WS_CHILD | WS_VISIBLE, 0xF, BS_DEFPUSHBUTTON, 0, 28, 72, 50, 14},
    {L"#128", L"キャンセル", IDCANCEL, WS_CHILD | WS_VISIBLE, 0xF, BS_PUSHBUTTON, 0, 82, 72, 50, 14},
    {L"#130", L"ms", -1, WS_CHILD | WS_VISIBLE, 0, 0, 0, 105, 43, 19, 8},
};

TEST(BridgeModule, SettingsDialogTemplateMatchesLayout) {
    mivola::unique_hmodule module(::LoadLibraryExW((ModuleDirectory() + L"gen_zeq_mivola.dll").c_str(), nullptr,
                                                   LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module);
    HRSRC found = ::FindResourceW(module.get(), MAKEINTRESOURCEW(104), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    ASSERT_NE(found, nullptr);
    auto* data = static_cast<const BYTE*>(::LockResource(::LoadResource(module.get(), found)));
    ASSERT_NE(data, nullptr);
    TemplateReader r(data, ::SizeofResource(module.get(), found));

    EXPECT_EQ(r.Read<WORD>(), 1);
    ASSERT_EQ(r.Read<WORD>(), 0xFFFF) << "extended template";
    r.Read<DWORD>();  // help id
    r.Read<DWORD>();  // extended style
    DWORD style = r.Read<DWORD>();
    EXPECT_EQ(style & (DS_MODALFRAME | WS_CAPTION | WS_SYSMENU), DWORD(DS_MODALFRAME | WS_CAPTION | WS_SYSMENU));
    ASSERT_TRUE(style & DS_SETFONT);
    WORD count = r.Read<WORD>();
    r.Read<short>();
    r.Read<short>();
    EXPECT_EQ(r.Read<short>(), 140);
    EXPECT_EQ(r.Read<short>(), 95);
    EXPECT_EQ(r.NameOrOrdinal(), L"");  // menu
    EXPECT_EQ(r.NameOrOrdinal(), L"");  // class
    EXPECT_EQ(r.Text(), L"ZEQ用プラグイン設定");
    EXPECT_EQ(r.Read<WORD>(), 9);
    r.Read<WORD>();  // weight
    r.Read<BYTE>();  // italic
    r.Read<BYTE>();  // character set
    EXPECT_EQ(r.Text(), L"ＭＳ Ｐゴシック");
    ASSERT_EQ(count, sizeof kControls / sizeof kControls[0]);

    for (const ExpectedControl& want : kControls) {
        SCOPED_TRACE(mivola::test::Narrow(want.text));
        r.AlignDword();
        r.Read<DWORD>();  // help id
        DWORD exStyle = r.Read<DWORD>();
        DWORD itemStyle = r.Read<DWORD>();
        short x = r.Read<short>(), y = r.Read<short>(), cx = r.Read<short>(), cy = r.Read<short>();
        int32_t id = r.Read<int32_t>();
        std::wstring windowClass = r.NameOrOrdinal();
        std::wstring text = r.NameOrOrdinal();
        r.Skip(r.Read<WORD>());
        ASSERT_TRUE(r.ok());
        // Class names compare without regard to case (the resource compiler upper-cases them).
        EXPECT_EQ(::CompareStringOrdinal(windowClass.c_str(), -1, want.windowClass, -1, TRUE), CSTR_EQUAL)
            << Narrow(windowClass);
        EXPECT_EQ(text, want.text);
        EXPECT_EQ(id, want.id);
        EXPECT_EQ(itemStyle & want.styleBits, want.styleBits);
        EXPECT_EQ(itemStyle & want.typeMask, want.typeValue);
        EXPECT_EQ(exStyle, want.exStyle);
        EXPECT_EQ(x, want.x);
        EXPECT_EQ(y, want.y);
        EXPECT_EQ(cx, want.cx);
        EXPECT_EQ(cy, want.cy);
    }
}

}  // namespace
