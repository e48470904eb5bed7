#pragma once
// The module-level state of one apartment (client thread). Every object
// works on the state of the thread it runs on; the state is created on the
// thread's first use and discarded with the thread.
#include "apartment/additional_argu.h"
#include "apartment/service_links.h"

namespace zx {

struct ApartmentState {
    ComPtr<TimerNotifier> gTimerMain;             // the registered service object
    ComPtr<_clsVxTimeTimerGroupsA> gTimerGroups;  // the registry
    LONG gCurrentHwnd = 0;                        // the window handle timer addition uses
    LONG gDialogHwnd = 0;                         // the monitor window's filter
    OwnedRecord gLastAdditionalArgu;              // the record of the timer armed last
    ComPtr<IDispatch> gBuddyObjectGlobal;         // the information class's free slot
    ULARGE_INTEGER endWatch{};                    // cookie of the thread's COM-end watch, if any
};

// The calling thread's state, created on first use.
ApartmentState& Apartment();
// The calling thread's state if it has one (end steps use this, so that an
// object released while its thread's state is discarded creates none).
ApartmentState* ExistingApartment();
// Discards the calling thread's state: its references are released after the
// state is detached from the thread. This happens when the thread's last
// CoUninitialize begins (COM still works then, and the client's objects the
// state holds are released while their servers are loaded), else when the
// thread ends.
void DiscardApartment();
// What else ends with a thread's apartment, run on the thread just before
// its state is discarded at the last CoUninitialize: the composition root
// closes the thread's monitor windows there, which show that state. Set
// once, before any apartment ends.
void SetApartmentEndStep(void (*step)());
// Forgets every thread's state without releasing anything (process end).
void AbandonApartments();
// Gives the TLS slot back when the module is unloaded; no state is found or
// made afterwards.
void ReleaseApartmentSlot();

}  // namespace zx
