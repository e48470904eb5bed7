#pragma once
// clsVxTimeTimerGroupsA: the apartment's window groups, one per window handle.
#include <string>
#include <vector>

#include "com/com_object.h"
#include "com/native_identity.h"
#include "com/owned.h"
#include "zentrix.h"

namespace zx {

class WindowGroups final : public AutomationObject<_clsVxTimeTimerGroupsA> {
public:
    static ComPtr<_clsVxTimeTimerGroupsA> Create();

    STDMETHODIMP Remove(LONG* Id, VARIANT* ret) override;
    STDMETHODIMP Clear() override;
    STDMETHODIMP get_Item(LONG* Id, _clsVxTimeTimerGroupA** ret) override;
    STDMETHODIMP Count(LONG* ret) override;
    STDMETHODIMP Add(LONG* hWnd, _clsVxTimeTimerGroupA** ret) override;

    // The collection behind `groups` when it is one of this module's, else
    // nullptr (a client's own collection is only ever called through its
    // interface).
    static WindowGroups* Native(_clsVxTimeTimerGroupsA* groups) { return Identity::Of(groups); }
    // The position of the first group with that handle, or 0, leaving
    // gCurrentHwnd as fetching each group through Item up to it would: the
    // handle found, or the last group's when none matches.
    LONG FindFirst(LONG hWnd);

private:
    using Identity = NativeIdentity<WindowGroups, _clsVxTimeTimerGroupsA>;
    WindowGroups() { Identity::Remember(this); }
    template <class T, class... A> friend ComPtr<T> MakeObject(A&&...);

    struct Entry {
        std::wstring key;  // the handle's text when added; refuses a second entry
        ComPtr<_clsVxTimeTimerGroupA> group;
    };
    std::vector<Entry> groups_;
};

// gTimerGroups, storing a new empty collection first if it is empty.
ComPtr<_clsVxTimeTimerGroupsA> TimerGroups();

}  // namespace zx
