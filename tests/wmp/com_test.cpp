// The COM server in this process: exports, class factory, module lock count, the plug-in
// object's IWMPPluginUI results, and the identity record from load to unload.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "shared_region.h"
#include "unique_com.h"
#include "wmp_ids.h"
#include "wmp_plugin_ui.h"
#include "wmp_stand_in.h"

using namespace mivola;
using namespace mivola::test;

namespace {

using CanUnloadFn = HRESULT(WINAPI*)();
using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

class Outer final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        if (inner) return inner->QueryInterface(riid, ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
    IUnknown* inner = nullptr;
};

class ComServer : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring path;
    HMODULE module = nullptr;
    CanUnloadFn canUnload = nullptr;
    GetClassObjectFn getClassObject = nullptr;
    void SetUp() override {
        path = dir.Path() + L"ZEQ_Mivola_WMP.dll";
        ASSERT_TRUE(::CopyFileW((ModuleDirectory() + L"ZEQ_Mivola_WMP.dll").c_str(), path.c_str(), FALSE));
        module = ::LoadLibraryW(path.c_str());
        ASSERT_NE(module, nullptr);
        canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
        getClassObject =
            reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
        ASSERT_NE(canUnload, nullptr);
        ASSERT_NE(getClassObject, nullptr);
    }
    void TearDown() override {
        if (module) ::FreeLibrary(module);
    }
    com_ptr<IClassFactory> Factory() {
        com_ptr<IClassFactory> factory;
        EXPECT_EQ(getClassObject(mivola::wmp::kClsidMivolaWmp, IID_IClassFactory, factory.put_void()), S_OK);
        return factory;
    }
};

TEST_F(ComServer, GetClassObjectAnswersOnlyItsClass) {
    void* p = reinterpret_cast<void*>(1);
    const CLSID other = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    EXPECT_EQ(getClassObject(other, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(getClassObject(mivola::wmp::kClsidMivolaWmp, IID_IClassFactory, nullptr), E_POINTER);
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(mivola::wmp::kClsidMivolaWmp, __uuidof(IWMPPluginUI), &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    com_ptr<IUnknown> unknown;
    EXPECT_EQ(getClassObject(mivola::wmp::kClsidMivolaWmp, IID_IUnknown, unknown.put_void()), S_OK);
    EXPECT_TRUE(unknown);
}

TEST_F(ComServer, LockCountFollowsFactoryReferencesLockServerAndObjects) {
    EXPECT_EQ(canUnload(), S_OK);
    com_ptr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(canUnload(), S_FALSE) << "a factory reference held outside the module";
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset();
    EXPECT_EQ(canUnload(), S_FALSE) << "LockServer(TRUE) outstanding";
    factory = Factory();
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    IWMPPluginUI* plugin = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IWMPPluginUI), reinterpret_cast<void**>(&plugin)), S_OK);
    factory.reset();
    EXPECT_EQ(canUnload(), S_FALSE) << "an object lives";
    EXPECT_EQ(plugin->Release(), 0u);
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(ComServer, CreateInstanceResults) {
    com_ptr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(factory->CreateInstance(nullptr, __uuidof(IWMPPluginUI), nullptr), E_POINTER);
    Outer outer;
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, __uuidof(IWMPPluginUI), &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, nullptr);
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    factory.reset();
    EXPECT_EQ(canUnload(), S_OK) << "the object of a failed query is gone again";
}

TEST_F(ComServer, AggregatedObjectDelegatesToItsOuterObject) {
    com_ptr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    Outer outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    factory.reset();
    ASSERT_NE(inner, nullptr);
    outer.inner = inner;
    IWMPPluginUI* plugin = nullptr;
    ULONG before = outer.refs;
    ASSERT_EQ(inner->QueryInterface(__uuidof(IWMPPluginUI), reinterpret_cast<void**>(&plugin)), S_OK);
    EXPECT_EQ(outer.refs, before + 1) << "the interface's reference is the outer object's";
    IUnknown* identity = nullptr;
    ASSERT_EQ(plugin->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, &outer) << "IUnknown through the interface is the outer one";
    identity->Release();
    plugin->Release();
    EXPECT_EQ(outer.refs, before);
    EXPECT_EQ(canUnload(), S_FALSE);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(ComServer, PluginUiResults) {
    com_ptr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    IWMPPluginUI* plugin = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IWMPPluginUI), reinterpret_cast<void**>(&plugin)), S_OK);
    factory.reset();
    IUnknown* unknown = nullptr;
    ASSERT_EQ(plugin->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(plugin)) << "IUnknown and IWMPPluginUI are one pointer";
    unknown->Release();
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(plugin->QueryInterface(IID_IDispatch, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(plugin->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    HWND window = nullptr;
    EXPECT_EQ(plugin->Create(nullptr, &window), E_NOTIMPL);
    EXPECT_EQ(plugin->Destroy(), E_NOTIMPL);
    EXPECT_EQ(plugin->GetProperty(L"Resizable", nullptr), E_POINTER);
    VARIANT v;
    ::VariantInit(&v);
    EXPECT_EQ(plugin->GetProperty(L"Resizable", &v), E_NOTIMPL);
    EXPECT_EQ(plugin->SetProperty(L"Resizable", &v), E_NOTIMPL);
    MSG msg{};
    EXPECT_EQ(plugin->TranslateAccelerator(&msg), E_NOTIMPL);
    EXPECT_EQ(plugin->SetCore(nullptr), S_OK);
    EXPECT_EQ(plugin->AddRef(), 2u);
    EXPECT_EQ(plugin->Release(), 1u);
    EXPECT_EQ(plugin->Release(), 0u);
}

TEST_F(ComServer, IdentityRecordFromLoadToUnload) {
    BridgeIdentityRecord record;
    ASSERT_TRUE(ReadWmpIdentity(record));
    EXPECT_EQ(_wcsicmp(record.ModulePath, path.c_str()), 0) << Narrow(record.ModulePath);
    EXPECT_EQ(FromCp932(record.Description, sizeof record.Description), L"WMP用 Ver 1.0.2");
    EXPECT_EQ(record.PlayerVersion[0], L'\0') << "no core yet";
    // A reader that holds the region sees it zeroed when the module goes.
    mivola::SharedRegion held;
    ASSERT_EQ(held.Open("ZEQ_Plugin_WMP_PIN", mivola::kBridgeIdentityRecordSize), mivola::RegionExisted);
    ASSERT_TRUE(::FreeLibrary(module));
    module = nullptr;
    ASSERT_TRUE(ReadWmpIdentity(record));
    EXPECT_TRUE(AllZero(&record, sizeof record));
}

}  // namespace
