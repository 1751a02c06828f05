// Compiled with the execution character set CP932: the identity description is Shift-JIS.
//
// The module: its state, the identity record it publishes from load to unload, DllMain and
// the four COM server exports.
#include <windows.h>
#include <objbase.h>

#include <cstring>
#include <new>
#include <string>

#include "bridge_identity_record.h"
#include "class_factory.h"
#include "module.h"
#include "record_transfer.h"
#include "registrar.h"
#include "resource.h"
#include "shared_region.h"
#include "text_copy.h"
#include "wmp_ids.h"

namespace mivola::wmp {

namespace {

constexpr char kIdentityDescription[] = "WMP用 Ver 1.0.2";
static_assert(sizeof kIdentityDescription <= sizeof(BridgeIdentityRecord::Description));
constexpr char kIdentityRegion[] = "ZEQ_Plugin_WMP_PIN";

struct ModuleState {
    HMODULE instance = nullptr;
    volatile LONG locks = 0;  // live objects + LockServer(TRUE) + factory references beyond the module's
    CRITICAL_SECTION lock;    // guards the factory's creation and its reference count
    ClassFactory* factory = nullptr;
    BridgeIdentityRecord identityImage;
    SharedRegion identity;
};

ModuleState* g_module = nullptr;
alignas(ModuleState) unsigned char g_moduleStorage[sizeof(ModuleState)];

void PublishIdentityImage() { PublishRecord(g_module->identity, &g_module->identityImage, kBridgeIdentityRecordSize); }

// Loader-lock-safe only: kernel objects and memory, no COM, no waiting on threads.
void OnProcessAttach(HMODULE instance) {
    g_module = new (g_moduleStorage) ModuleState();
    ::InitializeCriticalSection(&g_module->lock);
    g_module->instance = instance;
    BridgeIdentityRecord& image = g_module->identityImage;
    std::memset(&image, 0, sizeof image);
    DWORD n = ::GetModuleFileNameW(instance, image.ModulePath, 4096);
    if (n == 0) image.ModulePath[0] = L'\0';
    image.ModulePath[4095] = L'\0';
    CopyText(image.Description, kIdentityDescription);
    if (g_module->identity.Open(kIdentityRegion, kBridgeIdentityRecordSize) <= RegionExisted) PublishIdentityImage();
}

void OnProcessDetach() {
    WithdrawRecord(g_module->identity, kBridgeIdentityRecordSize);
    delete g_module->factory;  // memory only; COM is not called here
    g_module->factory = nullptr;
    ::DeleteCriticalSection(&g_module->lock);
    g_module->~ModuleState();
    g_module = nullptr;
}

static_assert(IDR_REGISTRY == kRegistryScriptResource);

// Through the same registrar as the installer, which reads this module's script as data.
HRESULT RunScript(bool doRegister) {
    HMODULE module = g_module->instance;
    std::wstring path(32768, L'\0');
    DWORD n = ::GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size()) return E_UNEXPECTED;
    path.resize(n);
    return RunModuleRegistration(module, path, doRegister);
}

}  // namespace

HMODULE ModuleInstance() { return g_module->instance; }
void LockModule() { ::InterlockedIncrement(&g_module->locks); }
void UnlockModule() { ::InterlockedDecrement(&g_module->locks); }

void PublishPlayerVersion(const wchar_t* version) {
    // Objects on different player threads share the module's one image.
    ::EnterCriticalSection(&g_module->lock);
    wchar_t* field = g_module->identityImage.PlayerVersion;
    std::memset(field, 0, sizeof g_module->identityImage.PlayerVersion);
    if (version) {
        size_t n = BoundedLength(version, 64);
        std::memcpy(field, version, n * sizeof(wchar_t));
        field[63] = L'\0';
    }
    PublishIdentityImage();
    ::LeaveCriticalSection(&g_module->lock);
}

}  // namespace mivola::wmp

using namespace mivola::wmp;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            ::DisableThreadLibraryCalls(instance);
            OnProcessAttach(instance);
            break;
        case DLL_PROCESS_DETACH:
            OnProcessDetach();
            break;
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return g_module->locks == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, kClsidMivolaWmp)) return CLASS_E_CLASSNOTAVAILABLE;
    ::EnterCriticalSection(&g_module->lock);
    if (!g_module->factory) g_module->factory = new (std::nothrow) ClassFactory(&g_module->lock);
    ClassFactory* factory = g_module->factory;
    ::LeaveCriticalSection(&g_module->lock);
    if (!factory) return E_OUTOFMEMORY;
    return factory->QueryInterface(riid, ppv);
}

STDAPI DllRegisterServer() { return RunScript(true); }

STDAPI DllUnregisterServer() { return RunScript(false); }
