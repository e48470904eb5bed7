#pragma once
// Client objects the fuzz test hands to the library: dispatch objects (some
// with IDispatchEx, as script objects have) and record descriptions of its
// own. Each counts its references, so that the test can tell whether the
// library gave back every reference it took.
#include <windows.h>
#include <dispex.h>
#include <oaidl.h>

#include "zentrix.h"

namespace zxfuzz {

// How a foreign object answers the calls the library makes on it.
enum class Behaviour {
    Quiet,      // every member succeeds (a get answers 5)
    Failing,    // DISP_E_EXCEPTION with error 9 and a description
    Refusing,   // DISP_E_TYPEMISMATCH naming the first argument
    Absent,     // no names; DISP_E_MEMBERNOTFOUND
};

class ForeignObject final : public IDispatchEx {
public:
    ForeignObject(Behaviour behaviour, bool script) : behaviour_(behaviour), script_(script) {}
    ForeignObject(const ForeignObject&) = delete;
    ForeignObject& operator=(const ForeignObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&references_); }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;
    STDMETHODIMP GetDispID(BSTR name, DWORD flags, DISPID* id) override;
    STDMETHODIMP InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                          IServiceProvider*) override;
    STDMETHODIMP DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
    STDMETHODIMP GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

    LONG References() const { return references_; }
    bool IsScript() const { return script_; }
    LONG calls = 0;  // calls the library made

private:
    HRESULT Answer(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                   UINT* argError);

    Behaviour behaviour_;
    bool script_;
    LONG references_ = 1;  // the test's own
};

// A record description of the client's own. `impostor` makes it claim the
// GUID of AdditionalArguStru (its records then have that record's layout);
// otherwise it describes a record of four 32-bit integers under its own GUID.
class ForeignRecordInfo final : public IRecordInfo {
public:
    ForeignRecordInfo(bool impostor, REFGUID libraryRecord) : impostor_(impostor), libraryRecord_(libraryRecord) {}
    ForeignRecordInfo(const ForeignRecordInfo&) = delete;
    ForeignRecordInfo& operator=(const ForeignRecordInfo&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&references_); }
    STDMETHODIMP RecordInit(PVOID record) override;
    STDMETHODIMP RecordClear(PVOID record) override;
    STDMETHODIMP RecordCopy(PVOID from, PVOID to) override;
    STDMETHODIMP GetGuid(GUID* guid) override;
    STDMETHODIMP GetName(BSTR* name) override;
    STDMETHODIMP GetSize(ULONG* size) override;
    STDMETHODIMP GetTypeInfo(ITypeInfo** info) override;
    STDMETHODIMP GetField(PVOID, LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetFieldNoCopy(PVOID, LPCOLESTR, VARIANT*, PVOID*) override { return E_NOTIMPL; }
    STDMETHODIMP PutField(ULONG, PVOID, LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP PutFieldNoCopy(ULONG, PVOID, LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetFieldNames(ULONG*, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP_(BOOL) IsMatchingType(IRecordInfo*) override { return FALSE; }
    STDMETHODIMP_(PVOID) RecordCreate() override;
    STDMETHODIMP RecordCreateCopy(PVOID from, PVOID* to) override;
    STDMETHODIMP RecordDestroy(PVOID record) override;

    LONG References() const { return references_; }
    bool IsImpostor() const { return impostor_; }
    ULONG Size() const;

private:
    bool impostor_;
    GUID libraryRecord_;
    LONG references_ = 1;  // the test's own
};

}  // namespace zxfuzz
