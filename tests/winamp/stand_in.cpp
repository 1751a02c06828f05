#include "stand_in.h"

#include "players.h"
#include "record_transfer.h"
#include "region_names.h"
#include "shared_region.h"
#include "sim_protocol.h"

namespace mivola::test {

namespace {

std::wstring ProgramDirectory(Arch arch) {
    return (arch == Arch::Same ? ModuleDirectory() : OtherArchDirectory() + L"winamp\\");
}

}  // namespace

StandIn::StandIn(Arch arch) : arch_(arch), plugins_(Folder() + L"Plugins\\") {
    ::CreateDirectoryW(plugins_.c_str(), nullptr);
    ::CopyFileW((ProgramDirectory(arch_) + L"gen_zeq_mivola.dll").c_str(), BridgePath().c_str(), FALSE);
}

StandIn::~StandIn() {
    if (Running()) Close();
    Kill();
}

void StandIn::WriteSettings(const std::string& ini) { WriteFileBytes(BridgePath() + L".ini", ini); }

std::string StandIn::ReadTiming() const { return ReadModuleTiming(BridgePath()); }

bool StandIn::Start(const std::string& scenario) {
    // No backslash before a closing quote: it would escape the quote.
    std::wstring folder = plugins_.substr(0, plugins_.size() - 1);
    return Launch(ProgramDirectory(arch_) + L"winamp.exe", scenario, L"--plugins \"" + folder + L"\"") &&
           WaitEvent("ready") >= 0 && WindowFromLog();
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

LRESULT StandIn::TickCount() const { return Count(winamp_sim::kSimTickCount); }

bool StandIn::WaitTicks(LRESULT n) const { return WaitCountGrows(winamp_sim::kSimTickCount, n, 20000); }

std::string EventOf(const std::string& line) {
    std::string event = EventText(line);
    size_t queries = event.find(" q=");
    return queries == std::string::npos ? event : event.substr(0, queries);
}

std::string QueriesOf(const std::string& line) {
    size_t queries = line.find(" q=");
    return queries == std::string::npos ? std::string() : line.substr(queries + 3);
}

bool ReadNowPlaying(NowPlayingRecord& record) { return ReadPlayerNowPlaying(kKeyWinamp, record); }

bool ReadIdentity(BridgeIdentityRecord& record) { return ReadPlayerIdentity(kKeyWinamp, record); }

}  // namespace mivola::test
