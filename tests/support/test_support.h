// Helpers many tests need: child processes of either architecture, the peer program,
// per-test temporary folders and unique object names.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "bridge_identity_record.h"
#include "now_playing_record.h"
#include "unique_handle.h"

namespace mivola::test {

enum class Arch { Same, Other };

// Folder of the running test program, with a trailing backslash.
std::wstring ModuleDirectory();
// Folder holding the test programs of the other architecture's build, trailing backslash;
// empty when this build was configured without one.
std::wstring OtherArchDirectory();
// The peer helper program of the given architecture.
std::wstring PeerPath(Arch arch);
bool FileExists(const std::wstring& path);

// Whether this machine can execute 32-bit programs under Wine. The scripts probe the machine
// once and set MIVOLA_NO_32BIT=1 where it cannot; the variable also forces the answer "no".
// Left unset, the answer is "yes", so a test never skips on its own.
bool ThirtyTwoBitRuns();
// Whether a program of the given architecture can run here (this one always can).
bool ArchRuns(Arch arch);
// The reason a cross-architecture case gives when it is skipped.
extern const char kNo32BitReason[];

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// A name no other test (or concurrent test run) uses: base + process id + counter.
std::string UniqueName(const char* base);

struct ChildResult {
    bool started = false;
    bool finished = false;  // false: killed after the time-out
    DWORD exitCode = 0;
    std::string output;  // everything the child wrote to stdout and stderr
};

// Runs exe with args (a command-line tail), waits up to timeoutMs and collects the result.
ChildResult RunChild(const std::wstring& exe, const std::wstring& args, DWORD timeoutMs = 30000,
                     const std::wstring& workingDir = std::wstring());

// A child that keeps running beside the test until stopped; killed at destruction.
class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { Kill(); }

    bool Start(const std::wstring& exe, const std::wstring& args, const std::wstring& workingDir = std::wstring());
    // Waits for the child to exit; false on time-out.
    bool Wait(DWORD timeoutMs);
    DWORD ExitCode() const;
    // Ends the child at once (a mutex it holds is abandoned).
    void Kill();
    bool Running() const;
    HANDLE Process() const { return process_.get(); }
    DWORD Id() const { return id_; }

private:
    unique_handle process_;
    DWORD id_ = 0;
};

// Starts the peer with a command and waits until it reports ready through a named event.
// The peer ends when Release() is called (or after a minute, or when killed).
class Peer {
public:
    bool Start(Arch arch, const std::string& command, const std::wstring& extraArgs = std::wstring());
    void Release();  // signals the peer to finish
    bool Wait(DWORD timeoutMs) { return child_.Wait(timeoutMs); }
    DWORD ExitCode() const { return child_.ExitCode(); }
    void Kill() { child_.Kill(); }

private:
    Child child_;
    unique_handle ready_;
    unique_handle quit_;
};

// A fresh folder under the temporary folder, removed with its contents at destruction.
class TempDir {
public:
    TempDir();
    // Under parent (trailing backslash) instead of the temporary folder.
    explicit TempDir(const std::wstring& parent);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // With a trailing backslash.
    const std::wstring& Path() const { return path_; }
    std::string PathA() const;

private:
    std::wstring path_;
};

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
// The '\n'-ended lines of a text, without their ends; a last line still being written is left out.
std::vector<std::string> CompleteLines(const std::string& bytes);

// Posts `message` to a window of another program and waits up to 5 s for that program to end;
// one that does not is killed. True when it had to be killed.
bool EndProgramOfWindow(HWND window, UINT message);

// Polls every pollMs until done() holds or timeoutMs passes.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000, DWORD pollMs = 20);

// One round of the host stand-in's "--watch" output: text[n] is setting n's text, or
// "untouched" when the request left the buffer as it was.
struct WatchRound {
    std::vector<std::string> text{5};
};
std::vector<WatchRound> ParseWatchRounds(const std::string& output);

bool AllZero(const void* bytes, size_t size);

// Copies size bytes out of a region another process published, under its mutex; false when the
// region does not exist (it is never created here).
bool ReadPublishedRegion(const char* name, void* out, size_t size);
// A player's now-playing or identity record, by the player's key.
bool ReadPlayerNowPlaying(const char* key, NowPlayingRecord& record);
bool ReadPlayerIdentity(const char* key, BridgeIdentityRecord& record);
// The "Main"/"Timing" value of the settings file beside a bridge module; "<none>" when absent.
std::string ReadModuleTiming(const std::wstring& modulePath);
// Text of a code page 932 field (up to its first NUL); "<invalid CP932>" when it is not CP932.
std::wstring FromCp932(const char* bytes, size_t capacity);
// Code page 932 bytes of a text.
std::string Cp932(const std::wstring& text);

}  // namespace mivola::test

// Skips the current test (counted as skipped, not passed) when it needs a 32-bit program
// and this machine cannot run one.
#define MIVOLA_SKIP_UNLESS_RUNS(arch)                                                       \
    do {                                                                                    \
        if (!::mivola::test::ArchRuns(arch)) GTEST_SKIP() << ::mivola::test::kNo32BitReason; \
    } while (0)
#define MIVOLA_SKIP_UNLESS_32BIT_RUNS()                                                      \
    do {                                                                                    \
        if (!::mivola::test::ThirtyTwoBitRuns()) GTEST_SKIP() << ::mivola::test::kNo32BitReason; \
    } while (0)
