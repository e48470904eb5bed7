#include "apartment/apartment.h"

#include <new>

#include "platform/this_module.h"

namespace zx {
namespace {

// A TLS slot rather than thread_local: the state must be released on the
// loader's thread-detach notification, in a known order, and only then.
DWORD TlsSlot() {
    static DWORD slot = TlsAlloc();
    return slot;
}

bool g_abandoned = false;
void (*g_endStep)() = nullptr;

// Discards the thread's state as the thread's COM apartment ends: its last
// CoUninitialize may unload the servers of client objects the state holds
// (a buddy, sinks, a bound progress bar), which must be released before.
class ApartmentEndWatch final : public IInitializeSpy {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = (riid == IID_IUnknown || riid == IID_IInitializeSpy) ? static_cast<IInitializeSpy*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    // One stateless watch serves every thread and lives as long as the module.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP PreInitialize(DWORD, DWORD) override { return S_OK; }
    STDMETHODIMP PostInitialize(HRESULT result, DWORD, DWORD) override { return result; }
    STDMETHODIMP PreUninitialize(DWORD references) override {
        if (references != 1) return S_OK;
        if (g_endStep) g_endStep();
        DiscardApartment();
        return S_OK;
    }
    STDMETHODIMP PostUninitialize(DWORD) override { return S_OK; }
};

ApartmentEndWatch g_endWatch;

void WatchApartmentEnd(ApartmentState& state) {
    if (FAILED(CoRegisterInitializeSpy(&g_endWatch, &state.endWatch))) {
        state.endWatch.QuadPart = 0;
        return;
    }
    // COM calls the watch on this thread's last CoUninitialize, which may
    // come after DllCanUnloadNow let the module go.
    KeepModuleLoaded();
}

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
        WatchApartmentEnd(*state);
    }
    return *state;
}

void DiscardApartment() {
    ApartmentState* state = ExistingApartment();
    if (!state) return;
    TlsSetValue(TlsSlot(), nullptr);
    if (state->endWatch.QuadPart) CoRevokeInitializeSpy(state->endWatch);
    delete state;
}

void SetApartmentEndStep(void (*step)()) { g_endStep = step; }

void AbandonApartments() { g_abandoned = true; }

void ReleaseApartmentSlot() {
    if (TlsSlot() != TLS_OUT_OF_INDEXES) TlsFree(TlsSlot());
    g_abandoned = true;
}

}  // namespace zx
