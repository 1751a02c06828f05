// The module's one class factory: creates MivolaWmpPlugin objects and keeps the module lock
// count for DllCanUnloadNow. The module holds one reference from the first DllGetClassObject to
// unload; every further reference counts as a module lock.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "mivola_wmp_plugin.h"
#include "module.h"
#include "scoped_lock.h"
#include "unique_com.h"

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
        // The object comes with its creator's reference; it goes when the query is done, so a
        // failed query destroys the object (worker stopped, regions closed, lock count back).
        com_ptr<IUnknown> inner;
        inner.attach(plugin->Inner());
        return inner->QueryInterface(riid, ppv);
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
