#pragma once
// A COM enumerator (IEnumConnections, IEnumConnectionPoints and the like)
// over a snapshot of the elements taken when it is made. Clones share the
// snapshot and start at the position of their original. Each element Next
// hands out is the caller's own (counted) copy.
//
// Traits supply:
//   using Interface = IEnumXxx;
//   using Element = what Next writes (CONNECTDATA, IConnectionPoint*, ...);
//   using Held = what the snapshot keeps (owners of the references);
//   static Element HandOut(const Held&);   // a copy the caller releases
#include <windows.h>
#include <unknwn.h>

#include <memory>
#include <new>
#include <vector>

#include "com/module.h"

namespace zx {

template <class Traits>
class SnapshotEnumerator final : public Traits::Interface {
public:
    using Interface = typename Traits::Interface;
    using Element = typename Traits::Element;
    using Held = typename Traits::Held;

    // A new enumerator over `items`, its one reference the caller's. Throws
    // std::bad_alloc.
    static Interface* Create(std::vector<Held> items) {
        auto shared = std::make_shared<const std::vector<Held>>(std::move(items));
        return new SnapshotEnumerator(std::move(shared), 0);
    }

    SnapshotEnumerator(const SnapshotEnumerator&) = delete;
    SnapshotEnumerator& operator=(const SnapshotEnumerator&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = (riid == IID_IUnknown || riid == __uuidof(Interface)) ? static_cast<Interface*>(this) : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

    // S_FALSE when fewer than `count` elements were left. Without `fetched`
    // only one element may be asked for.
    STDMETHODIMP Next(ULONG count, Element* elements, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (!elements || (count != 1 && !fetched)) return E_POINTER;
        ULONG given = 0;
        while (given < count && position_ < items_->size()) elements[given++] = Traits::HandOut((*items_)[position_++]);
        if (fetched) *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const size_t left = items_->size() - position_;
        if (count > left) {
            position_ = items_->size();
            return S_FALSE;
        }
        position_ += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Interface** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) SnapshotEnumerator(items_, position_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    SnapshotEnumerator(std::shared_ptr<const std::vector<Held>> items, size_t position)
        : items_(std::move(items)), position_(position) {
        ObjectCreated();
    }
    ~SnapshotEnumerator() { ObjectDestroyed(); }

    std::shared_ptr<const std::vector<Held>> items_;
    size_t position_;
    LONG references_ = 1;
};

}  // namespace zx
