// smtc_sim_register.exe: makes the media-session stand-in the machine's manager class, or
// removes it again (registry entries in registration.h), and checks scenario files.
//
//   smtc_sim_register --register DLL64 DLL32 [SCENARIO]   "-" for a DLL leaves that view out
//   smtc_sim_register --scenario SCENARIO                 points the registration at another file
//   smtc_sim_register --unregister
//   smtc_sim_register --check SCENARIO                    parses the file; prints the error line
//
// Exit code 0 on success, 1 on failure, 2 for a bad command line.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "registration.h"
#include "scenario.h"

namespace {

std::wstring Dll(const wchar_t* arg) { return std::wstring(arg) == L"-" ? std::wstring() : std::wstring(arg); }

std::wstring Full(const std::wstring& path) {
    if (path.empty()) return path;
    wchar_t full[MAX_PATH * 2];
    DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(full) : path;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    std::wstring command = argv[1];
    if (command == L"--register" && (argc == 4 || argc == 5)) {
        if (smtc_sim::RegisterStandIn(Full(Dll(argv[2])), Full(Dll(argv[3])), argc == 5 ? Full(argv[4]) : L"")) return 0;
        // Refused in one view: no half registration stays behind in the other.
        smtc_sim::UnregisterStandIn();
        return 1;
    }
    if (command == L"--scenario" && argc == 3) return smtc_sim::SetScenarioPath(Full(argv[2])) ? 0 : 1;
    if (command == L"--unregister" && argc == 2) {
        smtc_sim::UnregisterStandIn();
        return smtc_sim::StandInRegistered(true) || smtc_sim::StandInRegistered(false) ? 1 : 0;
    }
    if (command == L"--check" && argc == 3) {
        smtc_sim::Scenario scenario;
        std::string error;
        if (smtc_sim::LoadScenarioFile(argv[2], scenario, error)) return 0;
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 2;
}

}  // namespace

int wmain() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv) return 2;
    int rc = Run(argc, argv);
    if (rc == 2) {
        std::fprintf(stderr,
                     "usage: smtc_sim_register --register DLL64 DLL32 [SCENARIO] | --scenario SCENARIO | "
                     "--unregister | --check SCENARIO\n");
    }
    ::LocalFree(argv);
    return rc;
}
