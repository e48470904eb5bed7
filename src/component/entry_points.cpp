// The DLL's exported entry points and its loader notifications.
#include <windows.h>
#include <olectl.h>

#include "apartment/apartment.h"
#include "com/module.h"
#include "com/plan_cache.h"
#include "component/class_table.h"
#include "component/layer_links.h"
#include "component/per_user_registration.h"
#include "component/registration.h"
#include "dialog/monitor_dialog.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        zx::ConnectLayers();
        break;
    case DLL_THREAD_DETACH:
        // The system would destroy the thread's windows without telling
        // them. A thread may have monitor windows whatever became of its
        // apartment (one opened after its last CoUninitialize).
        zx::CloseThreadMonitorWindows();
        zx::DiscardApartment();
        break;
    case DLL_PROCESS_DETACH:
        // At process end the client's objects may already be gone: release
        // nothing then. On FreeLibrary nothing of ours is alive anyway.
        if (reserved) {
            zx::AbandonApartments();
        } else {
            zx::DiscardApartment();
            zx::ReleaseApartmentSlot();
            zx::DiscardCallPlans();
        }
        break;
    default:
        break;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) { return zx::GetClassFactory(clsid, riid, out); }

STDAPI DllCanUnloadNow() { return zx::CanUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return zx::RegisterComponent(); }

STDAPI DllUnregisterServer() { return zx::UnregisterComponent(); }

// regsvr32 /n /i:user registers for the current user, /u /n /i:user undoes it.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) { return zx::InstallComponent(install, commandLine); }

}
