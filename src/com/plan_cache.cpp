#include "com/plan_cache.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "com/owned.h"

namespace zx {
namespace {

// The functions one member has, the first of each kind of access, in the
// order of the type description (the order ChooseFunction prefers).
struct MemberPlans {
    DISPID member = DISPID_UNKNOWN;
    UINT count = 0;
    INVOKEKIND kinds[4]{};
    CallPlan plans[4];
};

struct InterfacePlans {
    ComPtr<ITypeInfo> info;            // declared first: released after the plans' descriptions
    std::vector<MemberPlans> members;  // sorted by member
};

struct PlanCache {
    SRWLOCK lock = SRWLOCK_INIT;
    std::vector<std::unique_ptr<InterfacePlans>> interfaces;
};

// Holds the cache's lock, shared (look-ups) or exclusive (publication).
class Locked {
public:
    Locked(SRWLOCK& lock, bool exclusive) : lock_(lock), exclusive_(exclusive) {
        exclusive ? AcquireSRWLockExclusive(&lock) : AcquireSRWLockShared(&lock);
    }
    ~Locked() { exclusive_ ? ReleaseSRWLockExclusive(&lock_) : ReleaseSRWLockShared(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    SRWLOCK& lock_;
    bool exclusive_;
};

PlanCache& TheCache() {
    // Never destroyed (at process end the type descriptions may be gone),
    // and made without allocating, so that discarding cannot fail.
    union Storage {
        Storage() : cache() {}
        ~Storage() {}
        PlanCache cache;
    };
    static Storage storage;
    return storage.cache;
}

const InterfacePlans* Published(PlanCache& cache, ITypeInfo* info) {
    for (const auto& plans : cache.interfaces)
        if (plans->info.Get() == info) return plans.get();
    return nullptr;
}

HRESULT PlanInterface(ITypeInfo* info, std::unique_ptr<InterfacePlans>& out) {
    TypeAttr attr(info);
    if (!attr) return E_UNEXPECTED;
    struct Function {
        DISPID member;
        INVOKEKIND kind;
        UINT index;
    };
    std::vector<Function> functions;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FuncDesc desc(info, i);
        if (!desc.Get()) return E_UNEXPECTED;
        functions.push_back({desc->memid, desc->invkind, i});
    }
    // Grouped by member, each group in description order.
    std::stable_sort(functions.begin(), functions.end(),
                     [](const Function& a, const Function& b) { return a.member < b.member; });
    auto plans = std::make_unique<InterfacePlans>();
    plans->info = info;
    for (const Function& function : functions) {
        if (plans->members.empty() || plans->members.back().member != function.member) {
            plans->members.emplace_back();
            plans->members.back().member = function.member;
        }
        MemberPlans& member = plans->members.back();
        // Only the first function of each of the four kinds is ever chosen.
        const bool known = function.kind == INVOKE_FUNC || function.kind == INVOKE_PROPERTYGET ||
                           function.kind == INVOKE_PROPERTYPUT || function.kind == INVOKE_PROPERTYPUTREF;
        if (!known || std::find(member.kinds, member.kinds + member.count, function.kind) != member.kinds + member.count)
            continue;
        HRESULT hr = BuildCallPlan(info, function.index, member.plans[member.count]);
        if (FAILED(hr)) return hr;
        member.kinds[member.count++] = function.kind;
    }
    out = std::move(plans);
    return S_OK;
}

// The plans of `info`, made and published by the first call that needs them.
HRESULT PlansOf(ITypeInfo* info, const InterfacePlans** out) {
    PlanCache& cache = TheCache();
    {
        Locked shared(cache.lock, false);
        *out = Published(cache, info);
    }
    if (*out) return S_OK;

    // Planned outside the lock; a thread that published first wins.
    std::unique_ptr<InterfacePlans> made;
    HRESULT hr = PlanInterface(info, made);
    if (FAILED(hr)) return hr;
    Locked exclusive(cache.lock, true);
    *out = Published(cache, info);
    if (!*out) {
        cache.interfaces.push_back(std::move(made));
        *out = cache.interfaces.back().get();
    }
    return S_OK;
}

}  // namespace

HRESULT FindCallPlan(ITypeInfo* info, DISPID member, WORD flags, const VARIANT* putValue, const CallPlan** plan) {
    const InterfacePlans* plans = nullptr;
    HRESULT hr = PlansOf(info, &plans);
    if (FAILED(hr)) return hr;
    auto found = std::lower_bound(plans->members.begin(), plans->members.end(), member,
                                  [](const MemberPlans& m, DISPID id) { return m.member < id; });
    if (found == plans->members.end() || found->member != member) return DISP_E_MEMBERNOTFOUND;
    const int chosen = ChooseFunction(found->kinds, found->count, flags, putValue);
    if (chosen < 0) return DISP_E_MEMBERNOTFOUND;
    *plan = &found->plans[chosen];
    return S_OK;
}

void DiscardCallPlans() noexcept {
    PlanCache& cache = TheCache();
    std::vector<std::unique_ptr<InterfacePlans>> discarded;
    {
        Locked exclusive(cache.lock, true);
        discarded.swap(cache.interfaces);
    }
}

}  // namespace zx
