#include "component/class_table.h"

#include "com/errors.h"
#include "component/info_object.h"
#include "service/event_relay.h"
#include "service/timer_service.h"

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

const ClassEntry kClasses[] = {
    {L"clsVxZentrixA", &CLSID_clsVxZentrixA, &IID__clsVxZentrixA, nullptr, nullptr},
    {L"clsVxTimeTimerItemsA", &CLSID_clsVxTimeTimerItemsA, &IID__clsVxTimeTimerItemsA, nullptr, nullptr},
    {L"clsVxTimeTimerItemA", &CLSID_clsVxTimeTimerItemA, &IID__clsVxTimeTimerItemA, nullptr, nullptr},
    {L"clsVxTimeTimerGroupsA", &CLSID_clsVxTimeTimerGroupsA, &IID__clsVxTimeTimerGroupsA, nullptr, nullptr},
    {L"clsVxTimeTimerGroupA", &CLSID_clsVxTimeTimerGroupA, &IID__clsVxTimeTimerGroupA, nullptr, nullptr},
    {L"clsVxTimeTimerEventsA", &CLSID_clsVxTimeTimerEventsA, &IID__clsVxTimeTimerEventsA,
     &DIID___clsVxTimeTimerEventsA, &CreateEventRelay},
    {L"clsVxTimeTimerMainA", &CLSID_clsVxTimeTimerMainA, &IID__clsVxTimeTimerMainA, &DIID___clsVxTimeTimerMainA,
     &CreateTimerService},
    {L"clsVxTimeGeneralA", &CLSID_clsVxTimeGeneralA, &IID__clsVxTimeGeneralA, nullptr, &CreateGeneral},
    {L"clsVxTimeAdvancedA", &CLSID_clsVxTimeAdvancedA, &IID__clsVxTimeAdvancedA, nullptr, &CreateAdvanced},
};

}  // namespace

const wchar_t kLibraryName[] = L"Zentrix";
const wchar_t kThreadingModel[] = L"Apartment";

std::span<const ClassEntry> ComponentClasses() { return kClasses; }

const ClassEntry* FindClass(REFCLSID clsid) {
    for (const ClassEntry& entry : kClasses)
        if (*entry.clsid == clsid) return &entry;
    return nullptr;
}

}  // namespace zx
