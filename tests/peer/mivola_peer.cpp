// Helper program for cross-process tests: holds mutexes and regions, publishes and checks
// records and exchange lists, as another process would. Usage:
//   mivola_peer <command> <ready-event|-> <quit-event|-> [arguments...]
// Holding commands signal the ready event once in place and keep their state until the
// quit event is set (or a minute passes). One-shot commands report through the exit code.
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "attribute_exchange.h"
#include "named_mutex.h"
#include "record_transfer.h"
#include "sample_record.h"
#include "shared_region.h"
#include "test_support.h"

using namespace mivola;

namespace {

std::string A(const wchar_t* w) { return test::Narrow(w); }

HANDLE g_quit = nullptr;

void Ready(const wchar_t* name) {
    if (std::wcscmp(name, L"-") == 0) return;
    HANDLE e = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, name);
    if (e) {
        ::SetEvent(e);
        ::CloseHandle(e);
    }
}

void WaitQuit() {
    if (g_quit) ::WaitForSingleObject(g_quit, 60000);
}

void PrintUtf8(const wchar_t* s, size_t n) {
    std::string line = test::Narrow(std::wstring(s, n));
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

std::vector<unsigned char> FromHex(const std::string& hex) {
    std::vector<unsigned char> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 4) return 100;
    std::wstring cmd = argv[1];
    const wchar_t* ready = argv[2];
    if (std::wcscmp(argv[3], L"-") != 0) g_quit = ::OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    wchar_t** a = argv + 4;
    int n = argc - 4;

    if (cmd == L"hold-mutex" && n >= 1) {  // owns the mutex until told to quit
        NamedMutex m;
        if (!m.Create(A(a[0]).c_str(), false)) return 2;
        m.Lock();
        Ready(ready);
        WaitQuit();
        m.Unlock();
        return 0;
    }
    if (cmd == L"lock-and-hang" && n >= 1) {  // owns the mutex until killed
        NamedMutex m;
        if (!m.Create(A(a[0]).c_str(), false)) return 2;
        m.Lock();
        Ready(ready);
        ::Sleep(INFINITE);
        return 0;
    }
    if (cmd == L"create-mutex" && n >= 1) {
        NamedMutex m;
        if (!m.Create(A(a[0]).c_str(), false)) return 2;
        Ready(ready);
        WaitQuit();
        return 0;
    }
    if (cmd == L"create-mutex-fail-if-exists" && n >= 1) {  // one-shot: 0 created, 1 existed
        NamedMutex m;
        return m.Create(A(a[0]).c_str(), true) ? 0 : 1;
    }
    if (cmd == L"hold-region" && n >= 3) {  // name size fill-byte; fills only a region it created
        SharedRegion r;
        RegionOpenResult res = r.Open(A(a[0]).c_str(), std::wcstoul(a[1], nullptr, 10));
        if (res == RegionCreated) std::memset(r.View(), static_cast<int>(std::wcstoul(a[2], nullptr, 16)), std::wcstoul(a[1], nullptr, 10));
        Ready(ready);
        WaitQuit();
        return res;
    }
    if (cmd == L"lock-region" && n >= 2) {  // holds the region's mutex
        SharedRegion r;
        RegionOpenResult res = r.Open(A(a[0]).c_str(), std::wcstoul(a[1], nullptr, 10));
        r.Lock();
        Ready(ready);
        WaitQuit();
        r.Unlock();
        return res;
    }
    if (cmd == L"open-region" && n >= 2) {  // one-shot: exit code = open result; prints first byte
        SharedRegion r;
        RegionOpenResult res = r.Open(A(a[0]).c_str(), std::wcstoul(a[1], nullptr, 10));
        if (r.View()) std::printf("%02x\n", *static_cast<unsigned char*>(r.View()));
        return res;
    }
    if (cmd == L"is-busy" && n >= 2) {  // one-shot: 1 busy, 0 free, 2 no region
        SharedRegion r;
        if (r.Open(A(a[0]).c_str(), std::wcstoul(a[1], nullptr, 10)) > RegionExisted) return 2;
        return r.IsBusy() ? 1 : 0;
    }
    if (cmd == L"publish-sample" && n >= 1) {
        SharedRegion r;
        RegionOpenResult res = r.Open(A(a[0]).c_str(), kNowPlayingRecordSize);
        NowPlayingRecord rec;
        test::FillSampleRecord(rec);
        PublishRecord(r, &rec, sizeof rec);
        Ready(ready);
        WaitQuit();
        return res;
    }
    if (cmd == L"check-sample" && n >= 1) {  // one-shot: 0 identical, 1 different, 2 no region
        SharedRegion r;
        if (r.Open(A(a[0]).c_str(), kNowPlayingRecordSize) != RegionExisted) return 2;
        NowPlayingRecord got, want;
        CopyRecordOut(r, &got, sizeof got);
        test::FillSampleRecord(want);
        return std::memcmp(&got, &want, sizeof got) == 0 ? 0 : 1;
    }
    if (cmd == L"write-list" && n >= 2) {  // region mutex strings...
        NamedMutex m;
        m.Create(A(a[1]).c_str(), false);
        ListBuilder b;
        for (int i = 2; i < n; ++i) b.Add(a[i]);
        const std::vector<wchar_t>& units = b.Finish();
        SharedRegion own;
        bool ok = WriteList(m, own, A(a[0]).c_str(), units.data(), static_cast<uint32_t>(units.size()));
        Ready(ready);
        WaitQuit();
        return ok ? 0 : 1;
    }
    if (cmd == L"read-list" && n >= 2) {  // one-shot: prints each string; 0 list, 1 no list
        NamedMutex m;
        m.Create(A(a[1]).c_str(), false);
        std::vector<wchar_t> units;
        if (!ReadList(m, A(a[0]).c_str(), units)) return 1;
        std::printf("N=%u\n", static_cast<unsigned>(units.size()));
        ListReader reader(units.data(), units.size());
        const wchar_t* s;
        size_t len;
        while (reader.Next(&s, &len)) PrintUtf8(s, len);
        return 0;
    }
    if (cmd == L"leave-heir") {  // one-shot, exit code 7: leaves behind a copy holding this one's output
        wchar_t self[MAX_PATH * 4];
        DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
        if (length == 0 || length >= MAX_PATH * 4) return 2;
        std::wstring line = L"\"" + std::wstring(self) + L"\" wait - " + argv[3];
        std::vector<wchar_t> buffer(line.begin(), line.end());
        buffer.push_back(L'\0');
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
        si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(self, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return 2;
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        std::fputs("heir started\n", stdout);
        return 7;
    }
    if (cmd == L"wait") {  // does nothing until told to quit
        Ready(ready);
        WaitQuit();
        return 0;
    }
    if (cmd == L"raw-region" && n >= 3) {  // name size hex-bytes: a region with exactly these bytes
        SharedRegion r;
        DWORD size = std::wcstoul(a[1], nullptr, 10);
        RegionOpenResult res = r.Open(A(a[0]).c_str(), size);
        if (r.View()) {
            std::vector<unsigned char> bytes = FromHex(A(a[2]));
            std::memcpy(r.View(), bytes.data(), bytes.size() < size ? bytes.size() : size);
        }
        Ready(ready);
        WaitQuit();
        return res;
    }
    return 100;
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);  // byte-exact output for the tests
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    int rc = Run(argc, argv);
    std::fflush(stdout);
    ::LocalFree(argv);
    return rc;
}
