#include "player.h"

#include <cstdio>

namespace itunes_sim {

namespace {

constexpr char kBridgeClass[] = "ZEQ_Plugin_iTunes";
constexpr UINT_PTR kBridgeTimer = 5656;

LONG_PTR Micros(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& frequency) {
    if (frequency.QuadPart == 0) return 0;
    return static_cast<LONG_PTR>((to.QuadPart - from.QuadPart) * 1000000 / frequency.QuadPart);
}

}  // namespace

void PumpFor(DWORD ms) {
    ULONGLONG end = ::GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ULONGLONG now = ::GetTickCount64();
        if (now >= end) return;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

bool Player::OpenLog(const std::wstring& path) {
    ::QueryPerformanceFrequency(&frequency_);
    return log_.Open(path);
}

void Player::Enter(const char* member) {
    ++calls_;
    if (depth_++ == 0) ::QueryPerformanceCounter(&callStart_);
    if (std::string(member) == "get_PlayerState") {
        ++stateCalls_;
        ::QueryPerformanceCounter(&gatherStart_);
    }
    Log(std::string("call ") + member);
    if (slowMs_ == 0) return;
    Poke(member);
    PumpFor(slowMs_);
}

void Player::Leave(const char* member) {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    if (--depth_ == 0) busyMicros_ += Micros(callStart_, now, frequency_);
    if (std::string(member) == "get_PlayerPosition" && gatherStart_.QuadPart) {
        gatherMicros_ += Micros(gatherStart_, now, frequency_);
        gatherStart_.QuadPart = 0;
    }
}

void Player::Poke(const char* member) {
    if (poke_ == PokeNone) return;
    // The one-time pokes wait for the start of a gather, so that a whole gather follows them.
    if (poke_ != PokeTimer && std::string(member) != "get_PlayerState") return;
    HWND bridge = ::FindWindowExA(HWND_MESSAGE, nullptr, kBridgeClass, nullptr);
    DWORD_PTR answer = 0;
    switch (poke_) {
        case PokeTimer:
            Log("poke timer");
            if (bridge) ::SendMessageTimeoutW(bridge, WM_TIMER, kBridgeTimer, 0, SMTO_NORMAL, 5000, &answer);
            break;
        case PokeiTunesEnd:
            poke_ = PokeNone;
            Log("poke itunes-end");
            SendBridgeiTunesEnd();
            break;
        case PokeNoWindowTimer:
            poke_ = PokeNone;
            if (window_) ::DestroyWindow(window_);
            Log("poke timer without window");
            if (bridge) ::SendMessageTimeoutW(bridge, WM_TIMER, kBridgeTimer, 0, SMTO_NORMAL, 5000, &answer);
            break;
        default:
            break;
    }
}

bool Player::TakeQuitInAdvise() {
    bool take = quitInAdvise_;
    quitInAdvise_ = false;
    return take;
}

void Player::SendBridgeiTunesEnd() {
    HWND bridge = ::FindWindowExA(HWND_MESSAGE, nullptr, kBridgeClass, nullptr);
    DWORD_PTR answer = 0;
    if (bridge) {
        ::SendMessageTimeoutW(bridge, ::RegisterWindowMessageA("ZEQ_Plugin_iTunesMsg_iTunesEnd"), 0, 0, SMTO_NORMAL, 5000,
                              &answer);
    }
}

const Track* Player::Current() const {
    if (current_ < 0 || current_ >= static_cast<long long>(scenario_.tracks.size())) return nullptr;
    return &scenario_.tracks[static_cast<size_t>(current_)];
}

bool Player::SetCurrent(long long index) {
    if (index >= static_cast<long long>(scenario_.tracks.size())) return false;
    current_ = index < 0 ? -1 : index;
    clockMs_ = 0;
    position_ = 0;
    return true;
}

long Player::Position() const { return position_ + static_cast<long>(clockMs_ / 1000); }

void Player::SetPosition(long seconds) {
    position_ = seconds;
    clockMs_ = 0;
}

bool Player::Advance(ULONGLONG nowMs) {
    if (scenario_.clock && state_ == 1 && lastAdvance_) clockMs_ += nowMs - lastAdvance_;
    lastAdvance_ = nowMs;
    bool quit = false;
    ULONGLONG elapsed = nowMs - start_;
    while (nextStep_ < scenario_.script.size() && scenario_.script[nextStep_].atMs <= elapsed) {
        const ScriptStep& step = scenario_.script[nextStep_++];
        switch (step.action) {
            case Action::State: state_ = step.value; break;
            case Action::Current: SetCurrent(step.value); break;
            case Action::Position: SetPosition(static_cast<long>(step.value)); break;
            case Action::Slow: slowMs_ = static_cast<DWORD>(step.value); break;
            case Action::Quit: quit = true; break;
        }
    }
    return quit;
}

LONG_PTR Player::CounterValue(Counter counter) {
    switch (counter) {
        case CounterCalls: return calls_;
        case CounterStateCalls: return stateCalls_;
        case CounterSinks: return static_cast<LONG_PTR>(sinks_);
        case CounterBusyMicros: return busyMicros_;
        case CounterGatherMicros: return gatherMicros_;
        case CounterReset:
            calls_ = stateCalls_ = busyMicros_ = gatherMicros_ = 0;
            return 0;
    }
    return 0;
}

}  // namespace itunes_sim
