// The COM owners keep the reference count balanced through copies, moves, put and detach.
#include <gtest/gtest.h>

#include <cstring>

#include "unique_com.h"

namespace {

class Counted : public IUnknown {
public:
    LONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
};

}  // namespace

TEST(ComPtr, CopiesMovesAndResetsKeepTheCountBalanced) {
    Counted obj;
    {
        mivola::com_ptr<IUnknown> a(&obj);
        EXPECT_EQ(obj.refs, 2);
        mivola::com_ptr<IUnknown> b = a;
        EXPECT_EQ(obj.refs, 3);
        mivola::com_ptr<IUnknown> c = std::move(b);
        EXPECT_EQ(obj.refs, 3);
        EXPECT_FALSE(b);
        c = a;  // assigning the same object keeps one reference per owner
        EXPECT_EQ(obj.refs, 3);
        c.reset();
        EXPECT_EQ(obj.refs, 2);
        mivola::com_ptr<IUnknown> q;
        EXPECT_EQ(a.query_to(IID_IUnknown, &q), S_OK);
        EXPECT_EQ(obj.refs, 3);
        EXPECT_EQ(a.query_to(IID_IDispatch, &q), E_NOINTERFACE);  // put() released the old one
        EXPECT_EQ(obj.refs, 2);
        IUnknown* raw = a.detach();
        EXPECT_EQ(obj.refs, 2);
        mivola::com_ptr<IUnknown> d;
        d.attach(raw);
        EXPECT_EQ(obj.refs, 2);
    }
    EXPECT_EQ(obj.refs, 1);
}

TEST(UniqueBstr, OwnsAndMeasuresItsString) {
    mivola::unique_bstr s(::SysAllocString(L"abc"));
    EXPECT_EQ(mivola::bstr_length(s), 3u);
    s.reset();
    EXPECT_EQ(mivola::bstr_length(s), 0u);
    mivola::unique_variant v;
    v.get()->vt = VT_BSTR;
    v.get()->bstrVal = ::SysAllocString(L"x");
    EXPECT_EQ(v.put()->vt, VT_EMPTY);  // put() clears (and frees) the previous value
}

// What a failed call left in an out value is dropped without a Release or a free; what a
// succeeded call (S_FALSE too) handed out is owned.
TEST(KeepIfSucceeded, OwnsOnlyWhatASucceededCallHandsOut) {
    Counted obj;
    {
        mivola::com_ptr<IUnknown> p;
        *p.put() = &obj;  // as a failing stub may leave it: no reference was added for it
        mivola::keep_if_succeeded(E_NOTIMPL, p);
        EXPECT_FALSE(p);
        EXPECT_EQ(obj.refs, 1);
        mivola::keep_if_succeeded(obj.QueryInterface(IID_IUnknown, p.put_void()), p);
        EXPECT_EQ(p.get(), &obj);
        EXPECT_EQ(obj.refs, 2);
    }
    EXPECT_EQ(obj.refs, 1);

    mivola::unique_bstr s;
    std::memset(s.put(), 0xCD, sizeof(BSTR));  // freeing this would crash
    mivola::keep_if_succeeded(E_FAIL, s);
    EXPECT_FALSE(s);
    *s.put() = ::SysAllocString(L"kept");
    mivola::keep_if_succeeded(S_FALSE, s);
    EXPECT_STREQ(s.get(), L"kept");
}
