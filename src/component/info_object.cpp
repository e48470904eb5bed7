#include "component/info_object.h"

#include "apartment/apartment.h"
#include "com/errors.h"
#include "component/app_info.h"
#include "component/kernite.h"
#include "component/module_resources.h"
#include "platform/platform.h"

namespace zx {

ComPtr<InfoObject> InfoObject::Create() { return MakeObject<InfoObject>(); }

STDMETHODIMP InfoObject::get_GetProStdProperties(IDispatch** ret) {
    if (!ret) return E_POINTER;
    *ret = nullptr;
    return Barrier(__uuidof(_clsVxZentrixA), [&] { *ret = MakeAppInfo().Detach(); });
}

STDMETHODIMP InfoObject::get_GetProResStrings(LONG* lResId, BSTR* ret) {
    if (!lResId || !ret) return E_POINTER;
    *ret = nullptr;
    return Barrier(__uuidof(_clsVxZentrixA), [&] { *ret = ResourceString(*lResId).Detach(); });
}

STDMETHODIMP InfoObject::get_GetProResPicture(LONG* lResId, ResourceKindConstants* lRestype, IPictureDisp** ret) {
    if (!lResId || !lRestype || !ret) return E_POINTER;
    *ret = nullptr;
    return Barrier(__uuidof(_clsVxZentrixA), [&] { *ret = ResourcePicture(*lResId, *lRestype).Detach(); });
}

STDMETHODIMP InfoObject::get_GetProResData(LONG* lResId, VARIANT* vRestype, VARIANT* ret) {
    if (!lResId || !vRestype || !ret) return E_POINTER;
    VariantInit(ret);
    return Barrier(__uuidof(_clsVxZentrixA), [&] { ResourceData(*lResId, *vRestype, ret); });
}

STDMETHODIMP InfoObject::About(LONG* ret) {
    if (!ret) return E_POINTER;
    *ret = 0;
    return Barrier(__uuidof(_clsVxZentrixA), [&] { AppAboutVxkn_Pro(); });
}

STDMETHODIMP InfoObject::get_BuddyObjectGlobal(IDispatch** ret) {
    if (!ret) return E_POINTER;
    *ret = nullptr;
    return Barrier(__uuidof(_clsVxZentrixA), [&] { *ret = ComPtr<IDispatch>(Apartment().gBuddyObjectGlobal).Detach(); });
}

STDMETHODIMP InfoObject::putref_BuddyObjectGlobal(IDispatch* value) {
    return Barrier(__uuidof(_clsVxZentrixA), [&] {
        ComPtr<IDispatch> previous = std::exchange(Apartment().gBuddyObjectGlobal, value);
    });
}

STDMETHODIMP InfoObject::GetTickCountTime(LONG* ret) {
    if (!ret) return E_POINTER;
    *ret = 0;  // what a failed read of the counter gives
    *ret = static_cast<LONG>(CurrentPlatform().TickCount());
    return S_OK;
}

}  // namespace zx
