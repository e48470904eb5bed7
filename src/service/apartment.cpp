#include "service/apartment.h"

#include <new>

#include "registry/window_groups.h"
#include "service/timer_service.h"

namespace zx {
namespace {

// A TLS slot rather than thread_local: the state must be released on the
// loader's thread-detach notification, in a known order, and only then.
DWORD TlsSlot() {
    static DWORD slot = TlsAlloc();
    return slot;
}

bool g_abandoned = false;

}  // namespace

ApartmentState* ExistingApartment() {
    if (g_abandoned || TlsSlot() == TLS_OUT_OF_INDEXES) return nullptr;
    return static_cast<ApartmentState*>(TlsGetValue(TlsSlot()));
}

ApartmentState& Apartment() {
    ApartmentState* state = ExistingApartment();
    if (!state) {
        // Without a slot the state could not be found again: every call
        // would start an empty registry.
        if (g_abandoned || TlsSlot() == TLS_OUT_OF_INDEXES) throw std::bad_alloc();
        state = new ApartmentState;
        TlsSetValue(TlsSlot(), state);
    }
    return *state;
}

void DiscardApartment() {
    ApartmentState* state = ExistingApartment();
    if (!state) return;
    TlsSetValue(TlsSlot(), nullptr);
    delete state;
}

void AbandonApartments() { g_abandoned = true; }

void ReleaseApartmentSlot() {
    if (TlsSlot() != TLS_OUT_OF_INDEXES) TlsFree(TlsSlot());
    g_abandoned = true;
}

ComPtr<_clsVxTimeTimerGroupsA> TimerGroups() {
    ApartmentState& state = Apartment();
    if (!state.gTimerGroups) state.gTimerGroups = WindowGroups::Create();
    return state.gTimerGroups;
}

ComPtr<TimerService> TimerMain() {
    ApartmentState& state = Apartment();
    if (!state.gTimerMain) {
        // Its creation registers it in gTimerMain.
        ComPtr<TimerService> created = TimerService::Create();
    }
    return state.gTimerMain;
}

}  // namespace zx
