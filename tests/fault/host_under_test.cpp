#include "host_under_test.h"

namespace mivola::test {

namespace {

struct TextRequest {
    int (WINAPI* getText)(int, int, int, wchar_t*, int, int);
    int setting;
    wchar_t buffer[4096];
    int result;
};

DWORD WINAPI RunRequest(void* p) {
    auto* r = static_cast<TextRequest*>(p);
    r->result = r->getText(1, r->setting, 0, r->buffer, 4096, 0);
    return 0;
}

}  // namespace

HostUnderTest::~HostUnderTest() {
    if (hung_) {
        module_.release();  // a thread is still inside the plug-in
        return;
    }
    if (module_ && free_) free_();
}

bool HostUnderTest::Load(const std::wstring& dll) {
    module_.reset(::LoadLibraryW(dll.c_str()));
    if (!module_) return false;
    auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(::GetProcAddress(module_.get(), "Init")));
    free_ = reinterpret_cast<FreeFn>(reinterpret_cast<void*>(::GetProcAddress(module_.get(), "Free")));
    getText_ = reinterpret_cast<GetTextFn>(reinterpret_cast<void*>(::GetProcAddress(module_.get(), "GetText")));
    if (!init || !free_ || !getText_) return false;
    init();
    return true;
}

bool HostUnderTest::TimedText(int setting, std::wstring* text, int* result, DWORD timeoutMs) {
    if (!getText_ || hung_) return false;
    // Heap-held: a request that never returns keeps using it.
    auto* request = new TextRequest{getText_, setting, {}, 0};
    unique_handle thread(::CreateThread(nullptr, 0, RunRequest, request, 0, nullptr));
    if (!thread) {
        delete request;
        return false;
    }
    if (::WaitForSingleObject(thread.get(), timeoutMs) != WAIT_OBJECT_0) {
        hung_ = true;
        return false;
    }
    if (text) text->assign(request->buffer);
    if (result) *result = request->result;
    delete request;
    return true;
}

std::wstring HostUnderTest::Text(int setting) {
    std::wstring text;
    int n = 0;
    if (!TimedText(setting, &text, &n) || n == 0) return L"<none>";
    return text;
}

}  // namespace mivola::test
