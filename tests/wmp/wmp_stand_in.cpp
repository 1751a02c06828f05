#include "wmp_stand_in.h"

#include <cstring>

#include "record_transfer.h"
#include "shared_region.h"
#include "sim_protocol.h"
#include "text_copy.h"

namespace mivola::test {

namespace {

bool IsWow64Self() { return sizeof(void*) == 4; }

template <typename Record>
bool ReadRegion(const char* name, Record& record) {
    SharedRegion region;
    if (region.Open(name, sizeof(Record)) != RegionExisted) return false;
    return CopyRecordOut(region, &record, sizeof record);
}

}  // namespace

std::wstring Regsvr32Path(Arch arch) {
    bool want32 = (arch == Arch::Same) == IsWow64Self();
    if (IsWow64Self()) return want32 ? L"C:\\windows\\system32\\regsvr32.exe" : L"C:\\windows\\sysnative\\regsvr32.exe";
    return want32 ? L"C:\\windows\\syswow64\\regsvr32.exe" : L"C:\\windows\\system32\\regsvr32.exe";
}

DWORD RunRegsvr32(Arch arch, const std::wstring& path, bool unregister) {
    ChildResult r = RunChild(Regsvr32Path(arch), std::wstring(unregister ? L"/u " : L"") + L"/s \"" + path + L"\"", 60000);
    return r.started && r.finished ? r.exitCode : 0xFFFFFFFF;
}

std::wstring WmpProgramDirectory(Arch arch) {
    return (arch == Arch::Same ? ModuleDirectory() + L"..\\" : OtherArchDirectory()) + L"wmp\\";
}

WmpStandIn::WmpStandIn(Arch arch) : arch_(arch) {
    ::CopyFileW((WmpProgramDirectory(arch_) + L"ZEQ_Mivola_WMP.dll").c_str(), BridgePath().c_str(), FALSE);
}

WmpStandIn::~WmpStandIn() {
    if (child_.Running()) Close(60000);
    child_.Kill();
    if (registered_) RunRegsvr32(arch_, BridgePath(), true);
}

void WmpStandIn::WriteSettings(const std::string& ini) { WriteFileBytes(BridgePath() + L".ini", ini); }

std::string WmpStandIn::ReadTiming() const {
    wchar_t value[64];
    ::GetPrivateProfileStringW(L"Main", L"Timing", L"<none>", value, 64, (BridgePath() + L".ini").c_str());
    return Narrow(value);
}

bool WmpStandIn::Start(const std::string& scenario) {
    registered_ = true;  // undone at destruction whatever happens now
    if (RunRegsvr32(arch_, BridgePath(), false) != 0) return false;
    std::wstring scenarioPath = dir_.Path() + L"scenario.txt";
    if (!WriteFileBytes(scenarioPath, scenario)) return false;
    std::wstring args = L"--scenario \"" + scenarioPath + L"\" --log \"" + dir_.Path() + L"log.txt\"";
    if (!child_.Start(WmpProgramDirectory(arch_) + L"wmp.exe", args, dir_.Path())) return false;
    int ready = WaitEvent("ready");
    int window = FindEvent("window ");
    if (ready < 0 || window < 0) return false;
    window_ = reinterpret_cast<HWND>(
        static_cast<ULONG_PTR>(std::stoull(WmpEventOf(LogLines()[static_cast<size_t>(window)]).substr(7), nullptr, 16)));
    return ::IsWindow(window_) != FALSE;
}

bool WmpStandIn::Close(DWORD timeoutMs) {
    Post(WM_CLOSE, 0, 0);
    return child_.Wait(timeoutMs) && child_.ExitCode() == 0;
}

bool WmpStandIn::Send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) const {
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(window_, message, wParam, lParam, SMTO_ABORTIFHUNG, 30000, &answer)) return false;
    if (result) *result = static_cast<LRESULT>(answer);
    return true;
}

bool WmpStandIn::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageW(window_, message, wParam, lParam) != FALSE;
}

long WmpStandIn::CallCount() const {
    LRESULT n = -1;
    Send(wmp_sim::kSimCallCount, 0, 0, &n);
    return static_cast<long>(n);
}

bool WmpStandIn::WaitTicks(long n, DWORD timeoutMs) const {
    long start = CallCount();
    if (start < 0) return false;
    ULONGLONG until = ::GetTickCount64() + timeoutMs;
    while (::GetTickCount64() < until) {
        if (CallCount() >= start + n) return true;
        ::Sleep(5);
    }
    return false;
}

std::vector<std::string> WmpStandIn::LogLines() const {
    std::string bytes = ReadFileBytes(dir_.Path() + L"log.txt");
    std::vector<std::string> lines;
    size_t pos = 0, end;
    while ((end = bytes.find('\n', pos)) != std::string::npos) {
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

int WmpStandIn::FindEvent(const std::string& prefix, size_t from) const {
    std::vector<std::string> lines = LogLines();
    for (size_t i = from; i < lines.size(); ++i)
        if (WmpEventOf(lines[i]).compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
    return -1;
}

int WmpStandIn::WaitEvent(const std::string& prefix, size_t from, DWORD timeoutMs) const {
    ULONGLONG until = ::GetTickCount64() + timeoutMs;
    do {
        int found = FindEvent(prefix, from);
        if (found >= 0) return found;
        if (!child_.Running()) return FindEvent(prefix, from);
        ::Sleep(10);
    } while (::GetTickCount64() < until);
    return -1;
}

std::string WmpEventOf(const std::string& line) {
    size_t space = line.find(' ');
    return space == std::string::npos ? std::string() : line.substr(space + 1);
}

long long WmpTimeOf(const std::string& line) { return std::stoll(line.substr(0, line.find(' '))); }

bool ReadWmpNowPlaying(NowPlayingRecord& record) { return ReadRegion("ZEQ_Plugin_WMP_Info", record); }

bool ReadWmpIdentity(BridgeIdentityRecord& record) { return ReadRegion("ZEQ_Plugin_WMP_PIN", record); }

bool AllZero(const void* bytes, size_t size) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i)
        if (p[i]) return false;
    return true;
}

std::wstring FromCp932Bytes(const char* bytes, size_t capacity) {
    int length = static_cast<int>(BoundedLength(bytes, capacity));
    if (length == 0) return std::wstring();
    int n = ::MultiByteToWideChar(932, 0, bytes, length, nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(932, 0, bytes, length, &text[0], n);
    return text;
}

}  // namespace mivola::test
