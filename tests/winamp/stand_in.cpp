#include "stand_in.h"

#include <cstring>

#include "players.h"
#include "record_transfer.h"
#include "region_names.h"
#include "shared_region.h"
#include "sim_protocol.h"
#include "text_copy.h"

namespace mivola::test {

namespace {

std::wstring ProgramDirectory(Arch arch) {
    return (arch == Arch::Same ? ModuleDirectory() : OtherArchDirectory() + L"winamp\\");
}

template <typename Record>
bool ReadRegion(bool (*name)(char (&)[kRegionNameMax], const char*), DWORD size, Record& record) {
    char regionName[kRegionNameMax];
    SharedRegion region;
    if (!name(regionName, kKeyWinamp) || region.Open(regionName, size) != RegionExisted) return false;
    return CopyRecordOut(region, &record, sizeof record);
}

}  // namespace

StandIn::StandIn(Arch arch) : arch_(arch), plugins_(dir_.Path() + L"Plugins\\") {
    ::CreateDirectoryW(plugins_.c_str(), nullptr);
    ::CopyFileW((ProgramDirectory(arch_) + L"gen_zeq_mivola.dll").c_str(), BridgePath().c_str(), FALSE);
}

StandIn::~StandIn() {
    if (child_.Running()) Close();
    child_.Kill();
}

void StandIn::WriteSettings(const std::string& ini) { WriteFileBytes(BridgePath() + L".ini", ini); }

std::string StandIn::ReadTiming() const {
    wchar_t value[64];
    ::GetPrivateProfileStringW(L"Main", L"Timing", L"<none>", value, 64, (BridgePath() + L".ini").c_str());
    return Narrow(value);
}

bool StandIn::Start(const std::string& scenario) {
    std::wstring scenarioPath = dir_.Path() + L"scenario.txt";
    if (!WriteFileBytes(scenarioPath, scenario)) return false;
    // No backslash before a closing quote: it would escape the quote.
    std::wstring folder = plugins_.substr(0, plugins_.size() - 1);
    std::wstring args = L"--scenario \"" + scenarioPath + L"\" --plugins \"" + folder + L"\" --log \"" + dir_.Path() +
                        L"log.txt\"";
    if (!child_.Start(ProgramDirectory(arch_) + L"winamp.exe", args)) return false;
    int ready = WaitEvent("ready");
    int window = FindEvent("window ");
    if (ready < 0 || window < 0) return false;
    window_ = reinterpret_cast<HWND>(
        static_cast<ULONG_PTR>(std::stoull(EventOf(LogLines()[static_cast<size_t>(window)]).substr(7), nullptr, 16)));
    return ::IsWindow(window_) != FALSE;
}

bool StandIn::Close() {
    Post(WM_CLOSE, 0, 0);
    return child_.Wait(20000) && child_.ExitCode() == 0;
}

bool StandIn::Send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) const {
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(window_, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &answer)) return false;
    if (result) *result = static_cast<LRESULT>(answer);
    return true;
}

bool StandIn::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageW(window_, message, wParam, lParam) != FALSE;
}

bool StandIn::ForceAnswer(WPARAM wParam, LPARAM id, LRESULT answer) const {
    return Send(winamp_sim::kSimSetAnswer, winamp_sim::QueryKey(wParam, id), answer);
}

bool StandIn::Control(WPARAM action) const {
    LRESULT done = 0;
    return Send(winamp_sim::kSimControl, action, 0, &done) && done == 1;
}

bool StandIn::StallAt(WPARAM wParam, LPARAM id) {
    size_t from = LogLines().size();
    if (!Send(winamp_sim::kSimStallQuery, winamp_sim::QueryKey(wParam, id), 0)) return false;
    return WaitEvent("stall ", from) >= 0;
}

LRESULT StandIn::TickCount() const {
    LRESULT ticks = -1;
    Send(winamp_sim::kSimTickCount, 0, 0, &ticks);
    return ticks;
}

bool StandIn::WaitTicks(LRESULT n) const {
    LRESULT start = TickCount();
    if (start < 0) return false;
    for (int i = 0; i < 2000; ++i) {
        if (TickCount() >= start + n) return true;
        ::Sleep(5);
    }
    return false;
}

std::vector<std::string> StandIn::LogLines() const {
    std::string bytes = ReadFileBytes(dir_.Path() + L"log.txt");
    std::vector<std::string> lines;
    size_t pos = 0, end;
    while ((end = bytes.find('\n', pos)) != std::string::npos) {
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

int StandIn::FindEvent(const std::string& prefix, size_t from) const {
    std::vector<std::string> lines = LogLines();
    for (size_t i = from; i < lines.size(); ++i)
        if (EventOf(lines[i]).compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
    return -1;
}

int StandIn::WaitEvent(const std::string& prefix, size_t from, DWORD timeoutMs) const {
    ULONGLONG until = ::GetTickCount64() + timeoutMs;
    do {
        int found = FindEvent(prefix, from);
        if (found >= 0) return found;
        if (!child_.Running()) return FindEvent(prefix, from);
        ::Sleep(20);
    } while (::GetTickCount64() < until);
    return -1;
}

std::string EventOf(const std::string& line) {
    size_t space = line.find(' ');
    std::string event = space == std::string::npos ? std::string() : line.substr(space + 1);
    size_t queries = event.find(" q=");
    return queries == std::string::npos ? event : event.substr(0, queries);
}

std::string QueriesOf(const std::string& line) {
    size_t queries = line.find(" q=");
    return queries == std::string::npos ? std::string() : line.substr(queries + 3);
}

bool ReadNowPlaying(NowPlayingRecord& record) { return ReadRegion(NowPlayingRegionName, kNowPlayingRecordSize, record); }

bool ReadIdentity(BridgeIdentityRecord& record) { return ReadRegion(IdentityRegionName, kBridgeIdentityRecordSize, record); }

std::wstring FromCp932(const char* bytes, size_t capacity) {
    int length = static_cast<int>(BoundedLength(bytes, capacity));
    if (length == 0) return std::wstring();
    int n = ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, length, nullptr, 0);
    if (n <= 0) return L"<invalid CP932>";
    std::wstring text(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(932, 0, bytes, length, &text[0], n);
    return text;
}

std::string ToCp932(const std::wstring& text) {
    int n = ::WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
    return bytes;
}

}  // namespace mivola::test
