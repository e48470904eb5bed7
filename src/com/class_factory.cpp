#include "com/class_factory.h"

#include <vector>

#include "component/class_table.h"
#include "com/module.h"

namespace zx {
namespace {

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(const ClassEntry* entry) : entry_(entry) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = (riid == IID_IUnknown || riid == IID_IClassFactory) ? static_cast<IClassFactory*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    // Static objects: references do not count, locks do.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return entry_->create(riid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        LockModule(lock);
        return S_OK;
    }

private:
    const ClassEntry* entry_;
};

}  // namespace

HRESULT GetClassFactory(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto classes = ComponentClasses();
    // One factory per class, made once (any thread may ask first) and kept
    // as long as the module.
    static const std::vector<ClassFactory*> factories = [&] {
        std::vector<ClassFactory*> made;
        for (const auto& entry : classes) made.push_back(entry.create ? new ClassFactory(&entry) : nullptr);
        return made;
    }();
    for (size_t i = 0; i < classes.size(); ++i) {
        if (*classes[i].clsid != clsid) continue;
        if (!factories[i]) break;
        return factories[i]->QueryInterface(riid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace zx
