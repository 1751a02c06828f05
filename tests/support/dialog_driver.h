// Drives the plug-in's modal dialogs the way a user's clicks would: the export that shows a
// dialog runs on a thread of its own, and the test sends real window messages to its windows.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "unique_handle.h"

namespace mivola::test {

// What a dialog export "returned" when its dialog never came up or never closed.
constexpr int kDialogNotShown = -12345;

// Calls show() on a thread of its own (one that outlives the call; see dialog_driver.cpp). At
// destruction, windows still open are cancelled and the call is waited for, so a failed test
// never leaves a dialog behind.
class DialogThread {
public:
    explicit DialogThread(std::function<int()> show);
    ~DialogThread();
    DialogThread(const DialogThread&) = delete;
    DialogThread& operator=(const DialogThread&) = delete;

    // The visible top-level window of the thread with this title, once it is up; null on time-out.
    HWND WaitWindow(const std::wstring& title, DWORD timeoutMs = 15000) const;
    // Waits for show() to return; false on time-out.
    bool Finish(DWORD timeoutMs = 15000);
    int Result() const { return result_; }
    DWORD ThreadId() const { return threadId_; }

    struct Job;

private:
    std::shared_ptr<Job> job_;
    DWORD threadId_ = 0;
    int result_ = kDialogNotShown;
};

// The visible top-level window of another process with this title and a control with this id,
// once it is up; null on time-out.
HWND WaitProcessDialog(DWORD processId, const std::wstring& title, int controlId, DWORD timeoutMs = 10000);
// The texts of a window's controls, each followed by "|".
std::wstring ControlTexts(HWND window);

// SendMessage that gives up after 10 s instead of hanging the test.
LRESULT SendTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
std::wstring TextOf(HWND window);
std::wstring ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::wstring& text);
// Clicks a button: synchronous for buttons that end the dialog, posted for those that open
// a message box (a synchronous click would wait for the box).
void Click(HWND dialog, int id);
void PostClick(HWND dialog, int id);

// The texts of a report list view's rows: columns joined with " | ".
std::vector<std::wstring> ListRows(HWND list);

// A message box as the user sees it.
struct MessageBoxSeen {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    bool information = false;  // the information icon
    bool warning = false;      // the warning icon
    int buttons = 0;           // push buttons in it
};
// Waits for a message box of the thread with this caption and reads it. Other windows that
// come up meanwhile, apart from `keep`, are cancelled; their titles are added to `others`.
MessageBoxSeen WaitMessageBox(const DialogThread& thread, const std::wstring& caption, HWND keep = nullptr,
                              std::vector<std::wstring>* others = nullptr);

// The real Mivola.zeqp of a plug-in folder, loaded into this process and initialised as the
// host does; released (Free) and unloaded at destruction unless that was done before.
class LoadedPlugin {
public:
    explicit LoadedPlugin(const std::wstring& dll);
    ~LoadedPlugin();
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    // Loaded, every export found, and Init returned 0.
    bool Ready() const { return ready_; }
    int ShowSetting(int funcIndex, int settingIndex) const { return showSetting_(funcIndex, settingIndex, nullptr); }
    int ShowAbout() const { return showAbout_(nullptr); }
    // The name the host would show for setting n (code page 932 bytes).
    std::string SettingName(int n) const;
    // The host's Free, once; the module stays loaded.
    void Free();
    // Unloads the module, without a Free the test did not make.
    void Unload() { module_.reset(); }

private:
    unique_hmodule module_;
    bool ready_ = false;
    bool freed_ = false;
    void(WINAPI* free_)() = nullptr;
    int(WINAPI* showSetting_)(int, int, HWND) = nullptr;
    int(WINAPI* showAbout_)(HWND) = nullptr;
    int(WINAPI* getName_)(int, int, char*, int) = nullptr;
};

// Clicks a button that ends the dialog and waits for the export that showed it to return: what
// it returned, or kDialogNotShown when it did not return.
int CloseWith(DialogThread& shown, HWND dialog, int button);
// Shows a dialog with show() on a thread of its own, clicks the given buttons of the window
// titled `title` in order (the last one ends the dialog) and returns what show() returned;
// kDialogNotShown when the window never came up or did not close.
int ClickThrough(std::function<int()> show, const std::wstring& title, std::initializer_list<int> clicks);

// A value of a settings file, as the private-profile functions read it.
std::wstring IniValue(const std::wstring& file, const wchar_t* section, const wchar_t* key);

}  // namespace mivola::test
