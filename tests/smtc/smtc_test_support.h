// The media-session stand-in for a test: registered as the machine's manager class for the
// object's life (both registry views, each with the DLL of its bitness that this build and the
// other architecture's build provide) and playing a scenario the test writes and may rewrite
// while clients run. The destructor removes the registration, also when the test failed.
//
//   mivola::test::SmtcStandIn standIn("session spotify\nstatus playing\ncurrent spotify\n");
//   ASSERT_TRUE(standIn.Ok());
//   ...start the bridge; it finds the stand-in...
//   standIn.SetScenario("...");            // the stand-in re-reads it within 20 ms
//   standIn.CallCount("Session.GetTimelineProperties");
//
// Every scenario the helper writes begins with "log <LogPath()>", so the call log is always
// kept (a "log" line in the text replaces it).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "registration.h"
#include "test_support.h"

namespace mivola::test {

// The stand-in DLL of the given bitness from this build or the other architecture's; empty
// when that build does not have one.
std::wstring SmtcStandInDll(bool sixtyFourBit);

class SmtcStandIn {
public:
    explicit SmtcStandIn(const std::string& scenario = std::string());
    ~SmtcStandIn();
    SmtcStandIn(const SmtcStandIn&) = delete;
    SmtcStandIn& operator=(const SmtcStandIn&) = delete;

    // Registered (in every view a DLL exists for) and the first scenario valid.
    bool Ok() const { return registered_ && scenarioOk_; }
    bool Registered64() const { return !dll64_.empty(); }
    bool Registered32() const { return !dll32_.empty(); }
    // Checks the text with the stand-in's own parser (error: the failing line) and replaces the
    // file in one step with a later write time, so that the stand-in sees a whole new scenario.
    bool SetScenario(const std::string& scenario, std::string* error = nullptr);

    const std::wstring& ScenarioPath() const { return scenarioPath_; }
    const std::wstring& LogPath() const { return logPath_; }
    // The log's lines without their time stamps.
    std::vector<std::string> LogLines() const;
    // "call <what> ..." lines in the log from line `from` on (what: "Session.get_Title", or a
    // prefix such as "Session." or "" for every call).
    size_t CallCount(const std::string& what, size_t from = 0) const;
    // When each such call was made, in milliseconds from the stand-in's load in the process that
    // made it (so only calls of one process compare).
    std::vector<ULONGLONG> CallTimes(const std::string& what, size_t from = 0) const;
    // Objects made and not yet freed according to the log (all processes that used it).
    long LiveObjectsInLog() const;

private:
    TempDir dir_;
    std::wstring scenarioPath_, logPath_, dll64_, dll32_;
    bool registered_ = false;
    bool scenarioOk_ = false;
    ULONGLONG lastWrite_ = 0;
};

}  // namespace mivola::test
