#include "wmp_stand_in.h"

#include "record_transfer.h"
#include "shared_region.h"
#include "sim_protocol.h"

namespace mivola::test {

namespace {

bool IsWow64Self() { return sizeof(void*) == 4; }

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

WmpStandIn::WmpStandIn(Arch arch) : StandInProcess(30000), arch_(arch) {
    ::CopyFileW((WmpProgramDirectory(arch_) + L"ZEQ_Mivola_WMP.dll").c_str(), BridgePath().c_str(), FALSE);
}

WmpStandIn::~WmpStandIn() {
    if (Running()) Close(60000);
    Kill();
    if (registered_) RunRegsvr32(arch_, BridgePath(), true);
}

void WmpStandIn::WriteSettings(const std::string& ini) { WriteFileBytes(BridgePath() + L".ini", ini); }

std::string WmpStandIn::ReadTiming() const { return ReadModuleTiming(BridgePath()); }

bool WmpStandIn::Start(const std::string& scenario) {
    registered_ = true;  // undone at destruction whatever happens now
    if (RunRegsvr32(arch_, BridgePath(), false) != 0) return false;
    return Launch(WmpProgramDirectory(arch_) + L"wmp.exe", scenario, std::wstring(), Folder()) &&
           WaitEvent("ready") >= 0 && WindowFromLog();
}

long WmpStandIn::CallCount() const { return static_cast<long>(Count(wmp_sim::kSimCallCount)); }

bool WmpStandIn::WaitTicks(long n, DWORD timeoutMs) const { return WaitCountGrows(wmp_sim::kSimCallCount, n, timeoutMs); }

long long WmpTimeOf(const std::string& line) { return std::stoll(line.substr(0, line.find(' '))); }

bool ReadWmpNowPlaying(NowPlayingRecord& record) { return ReadPublishedRegion("ZEQ_Plugin_WMP_Info", &record, sizeof record); }

bool ReadWmpIdentity(BridgeIdentityRecord& record) { return ReadPublishedRegion("ZEQ_Plugin_WMP_PIN", &record, sizeof record); }

}  // namespace mivola::test
