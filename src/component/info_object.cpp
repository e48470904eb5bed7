#include "component/info_object.h"

#include "component/errors.h"
#include "platform/platform.h"
#include "service/apartment.h"

namespace zx {

ComPtr<InfoObject> InfoObject::Create() { return MakeObject<InfoObject>(); }

STDMETHODIMP InfoObject::get_GetProStdProperties(IDispatch** ret) {
    if (ret) *ret = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP InfoObject::get_GetProResStrings(LONG*, BSTR* ret) {
    if (ret) *ret = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP InfoObject::get_GetProResPicture(LONG*, ResourceKindConstants*, IPictureDisp** ret) {
    if (ret) *ret = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP InfoObject::get_GetProResData(LONG*, VARIANT*, VARIANT* ret) {
    if (ret) VariantInit(ret);
    return E_NOTIMPL;
}
STDMETHODIMP InfoObject::About(LONG* ret) {
    if (ret) *ret = 0;
    return E_NOTIMPL;
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
    *ret = static_cast<LONG>(CurrentPlatform().TickCount());
    return S_OK;
}

}  // namespace zx
