#pragma once
// clsVxZentrixA: the component's information and utility class, and the two
// member-less classes clsVxTimeGeneralA and clsVxTimeAdvancedA.
#include "com/com_object.h"
#include "com/owned.h"
#include "zentrix.h"

namespace zx {

class InfoObject final : public AutomationObject<_clsVxZentrixA> {
public:
    static ComPtr<InfoObject> Create();

    STDMETHODIMP get_GetProStdProperties(IDispatch** ret) override;
    STDMETHODIMP get_GetProResStrings(LONG* lResId, BSTR* ret) override;
    STDMETHODIMP get_GetProResPicture(LONG* lResId, ResourceKindConstants* lRestype, IPictureDisp** ret) override;
    STDMETHODIMP get_GetProResData(LONG* lResId, VARIANT* vRestype, VARIANT* ret) override;
    STDMETHODIMP About(LONG* ret) override;
    STDMETHODIMP get_BuddyObjectGlobal(IDispatch** ret) override;
    STDMETHODIMP putref_BuddyObjectGlobal(IDispatch* value) override;
    STDMETHODIMP GetTickCountTime(LONG* ret) override;

private:
    InfoObject() = default;
    template <class T, class... A> friend ComPtr<T> MakeObject(A&&...);
};

// Objects of a class whose default interface has no members.
template <class Interface>
class MemberlessObject final : public AutomationObject<Interface> {
public:
    static ComPtr<MemberlessObject> Create() { return MakeObject<MemberlessObject>(); }

private:
    MemberlessObject() = default;
    template <class T, class... A> friend ComPtr<T> MakeObject(A&&...);
};

}  // namespace zx
