#include "dialog_driver.h"

#include <commctrl.h>

#include <memory>
#include <mutex>
#include <thread>

#include "test_support.h"

namespace mivola::test {

namespace {

struct Search {
    std::wstring title;
    HWND found = nullptr;
    DWORD processId = 0;  // 0: any (the windows of one thread are searched)
    int controlId = 0;    // 0: none needed
};

BOOL CALLBACK FindTitled(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    if (!::IsWindowVisible(window)) return TRUE;
    if (search->processId) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        if (pid != search->processId) return TRUE;
    }
    if (search->controlId && !::GetDlgItem(window, search->controlId)) return TRUE;
    // The stored title, without a message: GetWindowText sends WM_GETTEXT to windows of this
    // process and would wait as long as their thread does not pump.
    wchar_t title[256] = L"";
    ::InternalGetWindowText(window, title, 256);
    if (search->title == title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CancelWindow(HWND window, LPARAM) {
    if (::IsWindowVisible(window)) ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

}  // namespace

// A dialog runs on one of a few threads that last as long as the process. Wine's X11 driver
// sends some of a window's requests late, over the process's drawing connection; when a thread
// ends, its own connection to the X server closes and the server hands the connection's window
// ids to the next client, often another program's Wine desktop, whose first window takes input
// only. A late request for the ended thread's dialog then meets that window, and the driver ends
// this process on the X error. Threads that never end keep their ids to themselves.
struct DialogThread::Job {
    std::function<int()> show;
    int result = kDialogNotShown;
    unique_handle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

namespace {

class DialogWorker {
public:
    DialogWorker() : wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        unique_handle started(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::thread([this, started = started.get()] {
            threadId_ = ::GetCurrentThreadId();
            ::SetEvent(started);
            Loop();
        }).detach();
        ::WaitForSingleObject(started.get(), INFINITE);
    }

    DWORD ThreadId() const { return threadId_; }
    // Only an idle worker, taken by one caller, gets a job; the event hands it over.
    void Run(std::shared_ptr<DialogThread::Job> job) {
        job_ = std::move(job);
        ::SetEvent(wake_.get());
    }

private:
    void Loop();

    unique_handle wake_;
    std::shared_ptr<DialogThread::Job> job_;
    DWORD threadId_ = 0;
};

std::mutex g_idleLock;
std::vector<DialogWorker*> g_idle;  // workers are never freed: their threads run to the process's end

DialogWorker* TakeWorker() {
    {
        std::lock_guard<std::mutex> lock(g_idleLock);
        if (!g_idle.empty()) {
            DialogWorker* worker = g_idle.back();
            g_idle.pop_back();
            return worker;
        }
    }
    return new DialogWorker();
}

void DialogWorker::Loop() {
    HANDLE wake = wake_.get();
    for (;;) {
        // Idle, the thread still answers messages, so that nothing sent to it waits for a dialog.
        if (::MsgWaitForMultipleObjects(1, &wake, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
            continue;
        }
        std::shared_ptr<DialogThread::Job> job;
        job.swap(job_);
        if (!job) continue;
        job->result = job->show();
        {
            // Idle again before the caller hears of the end, so that its next dialog reuses it.
            std::lock_guard<std::mutex> lock(g_idleLock);
            g_idle.push_back(this);
        }
        ::SetEvent(job->done.get());
    }
}

}  // namespace

DialogThread::DialogThread(std::function<int()> show) : job_(std::make_shared<Job>()) {
    job_->show = std::move(show);
    DialogWorker* worker = TakeWorker();
    threadId_ = worker->ThreadId();
    worker->Run(job_);
}

DialogThread::~DialogThread() {
    for (int i = 0; i < 100 && !Finish(0); ++i) {
        ::EnumThreadWindows(threadId_, CancelWindow, 0);
        ::Sleep(100);
    }
    // Still stuck: the process is about to fail anyway; its worker stays busy and is not reused.
}

HWND DialogThread::WaitWindow(const std::wstring& title, DWORD timeoutMs) const {
    Search search{title};
    WaitUntil(
        [&] {
            ::EnumThreadWindows(threadId_, FindTitled, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

bool DialogThread::Finish(DWORD timeoutMs) {
    if (::WaitForSingleObject(job_->done.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    result_ = job_->result;
    return true;
}

HWND WaitProcessDialog(DWORD processId, const std::wstring& title, int controlId, DWORD timeoutMs) {
    Search search{title, nullptr, processId, controlId};
    WaitUntil(
        [&] {
            ::EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result);
    return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND window) {
    wchar_t text[2048] = L"";
    SendTo(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
    return text;
}

namespace {
BOOL CALLBACK CollectTexts(HWND child, LPARAM lParam) {
    *reinterpret_cast<std::wstring*>(lParam) += TextOf(child) + L"|";
    return TRUE;
}
}  // namespace

std::wstring ControlTexts(HWND window) {
    std::wstring texts;
    ::EnumChildWindows(window, CollectTexts, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

std::wstring ItemText(HWND dialog, int id) { return TextOf(::GetDlgItem(dialog, id)); }

void SetItemText(HWND dialog, int id, const std::wstring& text) {
    SendTo(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Click(HWND dialog, int id) { SendTo(::GetDlgItem(dialog, id), BM_CLICK); }

void PostClick(HWND dialog, int id) { ::PostMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

std::vector<std::wstring> ListRows(HWND list) {
    std::vector<std::wstring> rows;
    HWND header = reinterpret_cast<HWND>(SendTo(list, LVM_GETHEADER));
    int columns = static_cast<int>(SendTo(header, HDM_GETITEMCOUNT));
    int count = static_cast<int>(SendTo(list, LVM_GETITEMCOUNT));
    for (int row = 0; row < count; ++row) {
        std::wstring line;
        for (int column = 0; column < columns; ++column) {
            // The list belongs to this process, so its buffer can be handed over directly.
            wchar_t text[4200] = L"";
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 4200;
            SendTo(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
            if (column) line += L" | ";
            line += text;
        }
        rows.push_back(line);
    }
    return rows;
}

namespace {

struct BoxParts {
    MessageBoxSeen* seen;
    HICON information;
    HICON warning;
};

BOOL CALLBACK ReadBoxPart(HWND child, LPARAM lParam) {
    auto* parts = reinterpret_cast<BoxParts*>(lParam);
    wchar_t cls[32] = L"";
    ::GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Static") == 0) {
        HICON icon = reinterpret_cast<HICON>(SendTo(child, STM_GETICON));
        if (icon) {
            parts->seen->information = parts->seen->information || icon == parts->information;
            parts->seen->warning = parts->seen->warning || icon == parts->warning;
        } else if (!TextOf(child).empty()) {
            parts->seen->text = TextOf(child);
        }
    } else if (lstrcmpiW(cls, L"Button") == 0) {
        ++parts->seen->buttons;
    }
    return TRUE;
}

}  // namespace

namespace {
struct Visible {
    std::vector<HWND> windows;
};
BOOL CALLBACK CollectVisible(HWND window, LPARAM lParam) {
    if (::IsWindowVisible(window)) reinterpret_cast<Visible*>(lParam)->windows.push_back(window);
    return TRUE;
}
}  // namespace

MessageBoxSeen WaitMessageBox(const DialogThread& thread, const std::wstring& caption, HWND keep,
                              std::vector<std::wstring>* others) {
    MessageBoxSeen seen;
    WaitUntil(
        [&] {
            Visible visible;
            ::EnumThreadWindows(thread.ThreadId(), CollectVisible, reinterpret_cast<LPARAM>(&visible));
            for (HWND window : visible.windows) {
                if (TextOf(window) == caption) {
                    seen.window = window;
                    return true;
                }
                if (keep && window != keep) {
                    if (others) others->push_back(TextOf(window));
                    ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                    ::PostMessageW(window, WM_CLOSE, 0, 0);
                }
            }
            return false;
        },
        15000);
    if (!seen.window) return seen;
    seen.caption = TextOf(seen.window);
    BoxParts parts{&seen, ::LoadIconW(nullptr, IDI_INFORMATION), ::LoadIconW(nullptr, IDI_WARNING)};
    ::EnumChildWindows(seen.window, ReadBoxPart, reinterpret_cast<LPARAM>(&parts));
    return seen;
}

namespace {
template <typename T>
void Bind(HMODULE module, const char* name, T& fn) {
    fn = reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}
}  // namespace

LoadedPlugin::LoadedPlugin(const std::wstring& dll) : module_(::LoadLibraryW(dll.c_str())) {
    if (!module_) return;
    int(WINAPI* init)() = nullptr;
    Bind(module_.get(), "Init", init);
    Bind(module_.get(), "Free", free_);
    Bind(module_.get(), "ShowSetting", showSetting_);
    Bind(module_.get(), "ShowAbout", showAbout_);
    Bind(module_.get(), "GetFuncSettingName", getName_);
    ready_ = init && free_ && showSetting_ && showAbout_ && getName_ && init() == 0;
}

LoadedPlugin::~LoadedPlugin() {
    if (module_) Free();
}

void LoadedPlugin::Free() {
    if (ready_ && !freed_) free_();
    freed_ = true;
}

int CloseWith(DialogThread& shown, HWND dialog, int button) {
    Click(dialog, button);
    return shown.Finish() ? shown.Result() : kDialogNotShown;
}

int ClickThrough(std::function<int()> show, const std::wstring& title, std::initializer_list<int> clicks) {
    DialogThread shown(std::move(show));
    HWND dialog = shown.WaitWindow(title);
    if (!dialog || clicks.size() == 0) return kDialogNotShown;
    for (auto id = clicks.begin(); id + 1 != clicks.end(); ++id) Click(dialog, *id);
    return CloseWith(shown, dialog, *(clicks.end() - 1));
}

std::string LoadedPlugin::SettingName(int n) const {
    char name[256] = "";
    getName_(1, n, name, sizeof name);
    return name;
}

std::wstring IniValue(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    wchar_t value[4096] = L"";
    ::GetPrivateProfileStringW(section, key, L"<missing>", value, 4096, file.c_str());
    return value;
}

}  // namespace mivola::test
