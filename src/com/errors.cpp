#include "com/errors.h"

#include "com/owned.h"

namespace zx {

const wchar_t kErrorSource[] = L"Zentrix";

HRESULT HresultOf(ErrorNumber number) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(number));
}

const wchar_t* DescriptionOf(ErrorNumber number) {
    switch (number) {
    case ErrorNumber::InvalidArgument: return L"Invalid procedure call or argument";
    case ErrorNumber::Overflow: return L"Overflow";
    case ErrorNumber::SubscriptOutOfRange: return L"Subscript out of range";
    case ErrorNumber::DivisionByZero: return L"Division by zero";
    case ErrorNumber::TypeMismatch: return L"Type mismatch";
    case ErrorNumber::ObjectNotSet: return L"Object variable or With block variable not set";
    case ErrorNumber::ResourceNotFound: return L"Resource with identifier not found";
    case ErrorNumber::CantCreateObject: return L"ActiveX component can't create object";
    case ErrorNumber::WrongArgumentCount: return L"Wrong number of arguments or invalid property assignment";
    case ErrorNumber::NotSupported: return L"Object doesn't support this property or method";
    case ErrorNumber::DuplicateKey: return L"This key is already associated with an element of this collection";
    }
    return L"Application-defined or object-defined error";
}

void Raise(ErrorNumber number) { throw Error{number}; }

void SetThreadErrorInfo(REFGUID source, const wchar_t* sourceText, const wchar_t* description,
                        const wchar_t* helpFile, DWORD helpContext) {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(&create))) return;
    create->SetGUID(source);
    if (sourceText) create->SetSource(const_cast<LPOLESTR>(sourceText));
    if (description) create->SetDescription(const_cast<LPOLESTR>(description));
    if (helpFile) create->SetHelpFile(const_cast<LPOLESTR>(helpFile));
    if (helpContext) create->SetHelpContext(helpContext);
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
}

HRESULT ReportError(ErrorNumber number, REFIID source) {
    SetThreadErrorInfo(source, kErrorSource, DescriptionOf(number));
    return HresultOf(number);
}

void FillExcepInfo(HRESULT hr, EXCEPINFO* info) {
    if (!info) return;
    *info = EXCEPINFO{};
    info->scode = hr;
    ComPtr<IErrorInfo> error;
    if (GetErrorInfo(0, &error) == S_OK && error) {
        error->GetSource(&info->bstrSource);
        error->GetDescription(&info->bstrDescription);
        error->GetHelpFile(&info->bstrHelpFile);
        error->GetHelpContext(&info->dwHelpContext);
    }
    if (!info->bstrSource) info->bstrSource = SysAllocString(kErrorSource);
}

}  // namespace zx
