#pragma once
// clsVxTimeTimerGroupsA: the apartment's window groups, one per window handle.
#include <string>
#include <vector>

#include "com/com_object.h"
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

private:
    WindowGroups() = default;
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
