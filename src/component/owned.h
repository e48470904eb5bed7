#pragma once
// Owners for the automation resources the component handles: BSTRs,
// VARIANTs, EXCEPINFOs and the AdditionalArguStru record.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <string>
#include <utility>

#include "zentrix.h"

namespace zx {

using Microsoft::WRL::ComPtr;

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : value_(text ? SysAllocString(text) : nullptr) {}
    explicit Bstr(const std::wstring& text)
        : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr& other) : value_(Copy(other.value_)) {}
    Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    Bstr& operator=(Bstr other) noexcept {
        std::swap(value_, other.value_);
        return *this;
    }
    ~Bstr() { SysFreeString(value_); }

    static BSTR Copy(BSTR source) {
        return source ? SysAllocStringLen(source, SysStringLen(source)) : nullptr;
    }
    BSTR Get() const { return value_; }
    BSTR* Put() {
        Reset();
        return &value_;
    }
    BSTR Detach() { return std::exchange(value_, nullptr); }
    void Reset() { SysFreeString(std::exchange(value_, nullptr)); }
    std::wstring Str() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }

private:
    BSTR value_ = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }
    VARIANT* operator&() { return &value_; }
    VARIANT* Get() { return &value_; }
    const VARIANT& operator*() const { return value_; }
    VARIANT* operator->() { return &value_; }
    void Clear() { VariantClear(&value_); }
    // Hands the value to a caller-owned VARIANT.
    void MoveTo(VARIANT* target) {
        *target = value_;
        VariantInit(&value_);
    }

private:
    VARIANT value_;
};

// The EXCEPINFO a callee may fill, whatever it returns; its strings are
// freed with it.
class ExcepInfo {
public:
    ExcepInfo() = default;
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() { Clear(); }
    EXCEPINFO* Get() { return &value_; }
    EXCEPINFO* operator->() { return &value_; }
    void Clear() {
        SysFreeString(value_.bstrSource);
        SysFreeString(value_.bstrDescription);
        SysFreeString(value_.bstrHelpFile);
        value_ = EXCEPINFO{};
    }

private:
    EXCEPINFO value_{};
};

// Copies a record into another, string included; frees what `to` held.
void CopyRecord(const AdditionalArguStru& from, AdditionalArguStru& to);
void ClearRecord(AdditionalArguStru& record);

// A record owned by the component (a timer's copy, gLastAdditionalArgu).
class OwnedRecord {
public:
    OwnedRecord() = default;
    explicit OwnedRecord(const AdditionalArguStru& from) { CopyRecord(from, value_); }
    OwnedRecord(const OwnedRecord& other) { CopyRecord(other.value_, value_); }
    OwnedRecord& operator=(const OwnedRecord& other) {
        if (this != &other) CopyRecord(other.value_, value_);
        return *this;
    }
    ~OwnedRecord() { ClearRecord(value_); }
    AdditionalArguStru& Get() { return value_; }
    const AdditionalArguStru& Get() const { return value_; }

private:
    AdditionalArguStru value_{};
};

}  // namespace zx
