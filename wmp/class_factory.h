// The module's one class factory: creates MivolaWmpPlugin objects and keeps the module lock
// count for DllCanUnloadNow. The module holds one reference from the first DllGetClassObject to
// unload; every further reference counts as a module lock.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "mivola_wmp_plugin.h"
#include "module.h"
#include "scoped_lock.h"

namespace mivola::wmp {

class ClassFactory final : public IClassFactory {
public:
    // `lock` guards the reference count; it is the module's own critical section.
    explicit ClassFactory(CRITICAL_SECTION* lock) : lock_(lock) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // The module holds one reference from creation to unload; every further one counts
    // towards the module lock count.
    ULONG STDMETHODCALLTYPE AddRef() override {
        CriticalSectionLock lock(*lock_);
        ULONG refs = ++refs_;
        if (refs == 2) LockModule();
        return refs;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        CriticalSectionLock lock(*lock_);
        ULONG refs = refs_ > 1 ? --refs_ : refs_;
        if (refs == 1) UnlockModule();
        return refs;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
        MivolaWmpPlugin* plugin = MivolaWmpPlugin::Create(outer);
        if (!plugin) return E_OUTOFMEMORY;
        // Reference count 0: one reference for the query, dropped again after it, so a failed
        // query destroys the object (worker stopped, regions closed, lock count back).
        IUnknown* inner = plugin->Inner();
        inner->AddRef();
        HRESULT hr = inner->QueryInterface(riid, ppv);
        inner->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) LockModule();
        else UnlockModule();
        return S_OK;
    }

private:
    CRITICAL_SECTION* lock_;
    ULONG refs_ = 1;  // the module's own
};

}  // namespace mivola::wmp
