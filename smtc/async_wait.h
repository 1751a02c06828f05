// Waiting for one asynchronous operation of the runtime, never longer than a bound. The
// operation reports its end through a completed handler that only sets an event, so the
// waiting thread pumps nothing and nothing runs inside the wait; the handler is agile, since
// the operation may call it on any thread, also long after the wait has given up.
#pragma once

#include <windows.h>

#include <new>

#include "media_session_interfaces.h"
#include "unique_com.h"
#include "unique_handle.h"

namespace mivola::smtc {

// Every operation the bridge starts is waited for at most this long.
constexpr DWORD kOperationTimeoutMs = 1000;

template <typename T>
class CompletedHandler final : public IAsyncOperationCompletedHandler_<T*> {
public:
    // Owns event; the caller keeps its own reference while it waits on it.
    CompletedHandler(const IID& iid, HANDLE event) : iid_(iid), event_(event) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, iid_) || IsEqualIID(riid, kIidIAgileObject)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperation_<T*>*, int32_t) override {
        ::SetEvent(event_.get());
        return S_OK;
    }

private:
    ~CompletedHandler() = default;
    LONG refs_ = 1;
    IID iid_;
    unique_handle event_;
};

// Result of a wait, beside the HRESULT: how the operation ended, for callers and tests.
enum class WaitOutcome { Completed, Failed, TimedOut };

// Waits at most timeoutMs for op. On completion, S_OK and the result (which may be null). On
// error, cancellation or time-out, a failure and an empty result; an operation still running
// is cancelled. The operation is closed on every path; the caller keeps its reference.
template <typename T>
HRESULT AwaitOperation(IAsyncOperation_<T*>* op, const IID& handlerIid, DWORD timeoutMs, com_ptr<T>* result,
                       WaitOutcome* outcome = nullptr) {
    WaitOutcome dummy;
    WaitOutcome& how = outcome ? *outcome : dummy;
    how = WaitOutcome::Failed;
    result->reset();
    if (!op) return E_POINTER;
    com_ptr<IAsyncInfo_> info;
    HRESULT hr = op->QueryInterface(kIidIAsyncInfo, info.put_void());
    keep_if_succeeded(hr, info);
    if (FAILED(hr) || !info) return FAILED(hr) ? hr : E_NOINTERFACE;

    unique_handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE signal = event.get();
    com_ptr<CompletedHandler<T>> handler;
    if (event) handler.attach(new (std::nothrow) CompletedHandler<T>(handlerIid, event.release()));
    // Without a handler (or when the operation refuses it) its status alone tells whether it has ended.
    if (handler && SUCCEEDED(op->put_Completed(handler.get()))) ::WaitForSingleObject(signal, timeoutMs);

    int32_t status = kAsyncStarted;
    if (FAILED(info->get_Status(&status))) status = kAsyncError;
    if (status == kAsyncCompleted) {
        hr = op->GetResults(result->put());
        keep_if_succeeded(hr, *result);
        how = SUCCEEDED(hr) ? WaitOutcome::Completed : WaitOutcome::Failed;
    } else if (status == kAsyncStarted) {
        info->Cancel();
        hr = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        how = WaitOutcome::TimedOut;
    } else {
        HRESULT code = S_OK;
        hr = SUCCEEDED(info->get_ErrorCode(&code)) && FAILED(code) ? code : E_FAIL;
    }
    info->Close();
    return hr;
}

}  // namespace mivola::smtc
