#include "component/class_table.h"

#include <array>
#include <iterator>
#include <string_view>
#include <vector>

#include "com/class_factory.h"
#include "component/info_object.h"
#include "service/event_relay.h"
#include "service/timer_service.h"
#include "zentrix_catalog.h"

namespace zx {
namespace {

template <class Factory>
HRESULT CreateWith(Factory factory, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        return factory()->QueryInterface(riid, out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT CreateTimerService(REFIID riid, void** out) { return CreateWith(&TimerService::Create, riid, out); }
HRESULT CreateEventRelay(REFIID riid, void** out) { return CreateWith(&EventRelay::Create, riid, out); }
HRESULT CreateGeneral(REFIID riid, void** out) {
    return CreateWith(&MemberlessObject<_clsVxTimeGeneralA>::Create, riid, out);
}
HRESULT CreateAdvanced(REFIID riid, void** out) {
    return CreateWith(&MemberlessObject<_clsVxTimeAdvancedA>::Create, riid, out);
}

// The creation function of each class the IDL lets clients create.
struct Factory {
    std::wstring_view name;
    ClassFactory::Create create;
};
constexpr Factory kFactories[] = {
    {L"clsVxTimeTimerEventsA", &CreateEventRelay},
    {L"clsVxTimeTimerMainA", &CreateTimerService},
    {L"clsVxTimeGeneralA", &CreateGeneral},
    {L"clsVxTimeAdvancedA", &CreateAdvanced},
};

constexpr ClassFactory::Create FactoryOf(std::wstring_view name) {
    for (const Factory& factory : kFactories)
        if (factory.name == name) return factory.create;
    return nullptr;
}

consteval bool FactoriesMatchTheIdl() {
    for (const catalog::Class& c : catalog::kClasses)
        if ((FactoryOf(c.name) != nullptr) != c.creatable) return false;
    for (const Factory& factory : kFactories) {
        bool declared = false;
        for (const catalog::Class& c : catalog::kClasses) declared = declared || factory.name == c.name;
        if (!declared) return false;
    }
    return true;
}
static_assert(FactoriesMatchTheIdl(),
              "every class zentrix.idl lets clients create needs a factory in kFactories, and only those");

constexpr auto kClasses = [] {
    std::array<ClassEntry, std::size(catalog::kClasses)> table{};
    for (size_t i = 0; i < table.size(); ++i) {
        const catalog::Class& c = catalog::kClasses[i];
        table[i] = {c.name, &c.clsid, FactoryOf(c.name)};
    }
    return table;
}();

}  // namespace

const wchar_t kThreadingModel[] = L"Apartment";

std::span<const ClassEntry> ComponentClasses() { return kClasses; }

HRESULT GetClassFactory(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    // One factory per class, made once (any thread may ask first) and kept
    // as long as the module.
    static const std::vector<ClassFactory*> factories = [] {
        std::vector<ClassFactory*> made;
        for (const ClassEntry& entry : kClasses) made.push_back(entry.create ? new ClassFactory(entry.create) : nullptr);
        return made;
    }();
    for (size_t i = 0; i < kClasses.size(); ++i) {
        if (*kClasses[i].clsid != clsid) continue;
        if (!factories[i]) break;
        return factories[i]->QueryInterface(riid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace zx
