// smtc_sim_probe.exe: describes what the machine's media-session manager lists (as
// DescribeSessions does) on stdout, UTF-8, so that a test of the other architecture can compare
// that architecture's answers with its own. Exit code 0, or 1 when the class cannot be reached.
#include <windows.h>
// After windows.h.
#include <roapi.h>

#include <string>

#include "session_client.h"

int main() {
    HRESULT init = ::RoInitialize(RO_INIT_MULTITHREADED);
    std::string text = mivola::test::DescribeSessions(5000);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (SUCCEEDED(init)) ::RoUninitialize();
    return text.compare(0, 8, "request=") == 0 ? 0 : 1;
}
