// A client of the system's media sessions as a program sees them: activation through combase,
// waiting for asynchronous operations, and a plain-text description of everything the manager
// lists. Used in-process by the tests and by smtc_sim_probe.exe, so that both architectures'
// answers can be compared line by line.
#pragma once

#include <windows.h>

#include <string>

#include "media_session_interfaces.h"
#include "unique_com.h"

namespace mivola::test {

// An HSTRING owned by value.
class Hstring {
public:
    Hstring() = default;
    explicit Hstring(const std::wstring& text);
    ~Hstring();
    Hstring(const Hstring&) = delete;
    Hstring& operator=(const Hstring&) = delete;
    HSTRING get() const { return s_; }
    HSTRING* put();
    std::wstring Text() const;

private:
    HSTRING s_ = nullptr;
};

// A completed handler that records its call and signals an event; agile, as handlers must be.
template <typename T>
class CompletionProbe final : public mivola::smtc::IAsyncOperationCompletedHandler_<T*> {
public:
    CompletionProbe() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == mivola::smtc::kIidIAgileObject) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = ::InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE Invoke(mivola::smtc::IAsyncOperation_<T*>* op, int32_t status) override {
        operation_ = op;
        status_ = status;
        thread_ = ::GetCurrentThreadId();
        ::InterlockedIncrement(&calls_);
        ::SetEvent(event_.get());
        return S_OK;
    }
    bool Wait(DWORD ms) const { return ::WaitForSingleObject(event_.get(), ms) == WAIT_OBJECT_0; }
    LONG Calls() const { return calls_; }
    int32_t Status() const { return status_; }
    DWORD Thread() const { return thread_; }
    void* Operation() const { return operation_; }

private:
    ~CompletionProbe() = default;
    LONG refs_ = 1;
    LONG calls_ = 0;
    int32_t status_ = -1;
    DWORD thread_ = 0;
    void* operation_ = nullptr;
    unique_handle event_;
};

// The manager's statics through RoGetActivationFactory under the real class name.
HRESULT GetStatics(com_ptr<mivola::smtc::IManagerStatics>& statics);

// Polls the operation's status until it leaves Started or timeoutMs passes; the final status,
// or -1 on time-out. Takes the results when Completed.
int32_t AwaitManager(mivola::smtc::IAsyncOperationManager* op, DWORD timeoutMs,
                     com_ptr<mivola::smtc::IManager>* manager);
int32_t AwaitMediaProperties(mivola::smtc::IAsyncOperationMediaProperties* op, DWORD timeoutMs,
                             com_ptr<mivola::smtc::IMediaProperties>* properties);

// Everything the manager answers, one "name=value" (or "name!hresult" for a failing call)
// a line, texts in UTF-8. The first line is "request=..." for RequestAsync.
std::string DescribeSessions(DWORD timeoutMs = 5000);
std::string DescribeSession(mivola::smtc::ISession* session, const std::string& prefix, DWORD timeoutMs);

std::string HexResult(HRESULT hr);

}  // namespace mivola::test
