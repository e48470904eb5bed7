#include "registry/window_groups.h"

#include "apartment/apartment.h"
#include "com/errors.h"
#include "platform/platform.h"
#include "registry/timer_collection.h"
#include "registry/window_group.h"

namespace zx {

ComPtr<_clsVxTimeTimerGroupsA> WindowGroups::Create() { return MakeObject<WindowGroups>(); }

ComPtr<_clsVxTimeTimerGroupsA> TimerGroups() {
    ApartmentState& state = Apartment();
    if (!state.gTimerGroups) state.gTimerGroups = WindowGroups::Create();
    return state.gTimerGroups;
}

// Every group of the list is the module's own (Add makes them).
LONG WindowGroups::FindFirst(LONG hWnd) {
    LONG& current = Apartment().gCurrentHwnd;
    const size_t count = groups_.size();
    for (size_t i = 0; i < count; ++i) {
        const LONG handle = static_cast<WindowGroup*>(groups_[i].group.Get())->Handle();
        current = handle;
        if (handle == hWnd) return static_cast<LONG>(i + 1);
    }
    return 0;
}

STDMETHODIMP WindowGroups::Add(LONG* hWnd, _clsVxTimeTimerGroupA** ret) {
    if (!hWnd || !ret) return E_POINTER;
    *ret = nullptr;
    return Barrier(__uuidof(_clsVxTimeTimerGroupsA), [&] {
        ComPtr<WindowGroups> self(this);
        ComPtr<_clsVxTimeTimerGroupA> group = WindowGroup::Create();
        // This scan reads the list directly, so it leaves gCurrentHwnd alone.
        const size_t count = groups_.size();
        for (size_t i = 0; i < count && i < groups_.size(); ++i) {
            LONG existing = 0;
            ThrowIfFailed(groups_[i].group->get_hWnd(&existing));
            if (existing == *hWnd) {
                CurrentPlatform().MessageBox(L"Already");
                *ret = group.Detach();
                return;
            }
        }
        const LONG handle = *hWnd;
        Apartment().gCurrentHwnd = handle;
        ThrowIfFailed(group->put_hWnd(handle));
        ThrowIfFailed(group->putref_TimerItems(TimerCollection::Create().Get()));
        std::wstring key = std::to_wstring(handle);
        for (const Entry& entry : groups_)
            if (entry.key == key) Raise(ErrorNumber::DuplicateKey);
        groups_.push_back({std::move(key), group});
        *ret = group.Detach();
    });
}

STDMETHODIMP WindowGroups::get_Item(LONG* Id, _clsVxTimeTimerGroupA** ret) {
    if (!Id || !ret) return E_POINTER;
    *ret = nullptr;
    return Barrier(__uuidof(_clsVxTimeTimerGroupsA), [&] {
        if (*Id < 1 || size_t(*Id) > groups_.size()) Raise(ErrorNumber::SubscriptOutOfRange);
        ComPtr<_clsVxTimeTimerGroupA> group = groups_[*Id - 1].group;
        LONG handle = 0;
        ThrowIfFailed(group->get_hWnd(&handle));
        Apartment().gCurrentHwnd = handle;
        *ret = group.Detach();
    });
}

STDMETHODIMP WindowGroups::Count(LONG* ret) {
    if (!ret) return E_POINTER;
    *ret = static_cast<LONG>(groups_.size());
    return S_OK;
}

STDMETHODIMP WindowGroups::Remove(LONG* Id, VARIANT* ret) {
    if (!Id || !ret) return E_POINTER;
    VariantInit(ret);
    return Barrier(__uuidof(_clsVxTimeTimerGroupsA), [&] {
        ComPtr<WindowGroups> self(this);
        // The range is the apartment collection's, which is this one for
        // every collection reached through TimerGroups.
        LONG apartmentCount = 0;
        ThrowIfFailed(TimerGroups()->Count(&apartmentCount));
        const LONG position = *Id;
        if (position < 1 || position > apartmentCount) return;
        if (size_t(position) > groups_.size()) Raise(ErrorNumber::SubscriptOutOfRange);
        ComPtr<_clsVxTimeTimerGroupA> removed = std::move(groups_[position - 1].group);
        groups_.erase(groups_.begin() + (position - 1));
        // `removed` is released here, after the list is consistent again.
    });
}

STDMETHODIMP WindowGroups::Clear() {
    return Barrier(__uuidof(_clsVxTimeTimerGroupsA), [&] {
        ComPtr<WindowGroups> self(this);
        const size_t count = groups_.size();
        for (size_t i = 0; i < count; ++i) {
            LONG first = 1;
            Variant ignored;
            ThrowIfFailed(Remove(&first, ignored.Get()));
        }
    });
}

}  // namespace zx
