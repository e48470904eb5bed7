#pragma once
// The class factory of one creatable class: a static object that keeps the
// module loaded only while a client locks it.
#include <windows.h>
#include <unknwn.h>

namespace zx {

class ClassFactory final : public IClassFactory {
public:
    // Creates an object, runs its creation step and returns the interface
    // asked for.
    using Create = HRESULT (*)(REFIID riid, void** out);
    explicit ClassFactory(Create create) : create_(create) {}
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    // Static objects: references do not count, locks do.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    Create create_;
};

}  // namespace zx
