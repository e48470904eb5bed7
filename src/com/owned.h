#pragma once
// Owners for the automation resources the component handles: BSTRs,
// VARIANTs, EXCEPINFOs, type attributes and function and variable
// descriptions.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <string>
#include <utility>

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
    // For an [in, out] parameter: the callee may free the value and store
    // another, which this owner then frees.
    BSTR* InOut() { return &value_; }
    BSTR Detach() { return std::exchange(value_, nullptr); }
    void Reset() { SysFreeString(std::exchange(value_, nullptr)); }
    std::wstring Str() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }

private:
    BSTR value_ = nullptr;
};

// Empty owners cost nothing to make or destroy: a call makes several.
class Variant {
public:
    Variant() : value_{} {}  // all zero: VT_EMPTY
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() {
        if (value_.vt != VT_EMPTY) VariantClear(&value_);
    }
    VARIANT* operator&() { return &value_; }
    VARIANT* Get() { return &value_; }
    const VARIANT& operator*() const { return value_; }
    VARIANT* operator->() { return &value_; }
    void Clear() { VariantClear(&value_); }
    // Hands the value to a caller-owned VARIANT.
    void MoveTo(VARIANT* target) {
        *target = value_;
        value_ = VARIANT{};
    }

private:
    VARIANT value_;
};

// Whether a VARIANT holds a record, itself or through VARIANT references.
// Records convert to no other type, and the component copies none: Wine's
// VariantClear frees no record memory, so every copy of one would be lost.
inline bool HoldsRecord(const VARIANT& value) {
    const VARIANT* at = &value;
    for (int depth = 0; depth < 8 && at; ++depth) {
        if ((at->vt & VT_TYPEMASK) == VT_RECORD) return true;
        if (at->vt != (VT_VARIANT | VT_BYREF)) return false;
        at = at->pvarVal;
    }
    return false;
}

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

// The TYPEATTR of a type description, released with it.
class TypeAttr {
public:
    explicit TypeAttr(ITypeInfo* info) : info_(info) {
        if (!info || FAILED(info->GetTypeAttr(&attr_))) attr_ = nullptr;
    }
    ~TypeAttr() {
        if (attr_) info_->ReleaseTypeAttr(attr_);
    }
    TypeAttr(const TypeAttr&) = delete;
    TypeAttr& operator=(const TypeAttr&) = delete;
    const TYPEATTR* operator->() const { return attr_; }
    explicit operator bool() const { return attr_ != nullptr; }

private:
    ITypeInfo* info_;
    TYPEATTR* attr_ = nullptr;
};

// The FUNCDESC of one function of a type description, released with it.
class FuncDesc {
public:
    FuncDesc(ITypeInfo* info, UINT index) : info_(info) {
        if (!info || FAILED(info->GetFuncDesc(index, &desc_))) desc_ = nullptr;
    }
    ~FuncDesc() {
        if (desc_) info_->ReleaseFuncDesc(desc_);
    }
    FuncDesc(FuncDesc&& other) noexcept : info_(other.info_), desc_(std::exchange(other.desc_, nullptr)) {}
    FuncDesc& operator=(FuncDesc&& other) noexcept {
        std::swap(info_, other.info_);
        std::swap(desc_, other.desc_);
        return *this;
    }
    FuncDesc(const FuncDesc&) = delete;
    FuncDesc& operator=(const FuncDesc&) = delete;
    const FUNCDESC* operator->() const { return desc_; }
    const FUNCDESC* Get() const { return desc_; }

private:
    ITypeInfo* info_;
    FUNCDESC* desc_ = nullptr;
};

// The VARDESC of one variable (a record's field, a constant) of a type
// description, released with it.
class VarDesc {
public:
    VarDesc(ITypeInfo* info, UINT index) : info_(info) {
        if (!info || FAILED(info->GetVarDesc(index, &desc_))) desc_ = nullptr;
    }
    ~VarDesc() {
        if (desc_) info_->ReleaseVarDesc(desc_);
    }
    VarDesc(const VarDesc&) = delete;
    VarDesc& operator=(const VarDesc&) = delete;
    const VARDESC* operator->() const { return desc_; }
    const VARDESC* Get() const { return desc_; }

private:
    ITypeInfo* info_;
    VARDESC* desc_ = nullptr;
};

// A record allocated through its description, freed, fields and all, with
// it.
class RecordData {
public:
    RecordData() = default;
    RecordData(const RecordData&) = delete;
    RecordData& operator=(const RecordData&) = delete;
    ~RecordData() { Reset(); }
    // A new, cleared record of the type `info` describes; nullptr when it
    // cannot be made.
    void* Create(IRecordInfo* info) {
        Reset();
        if (info && (data_ = info->RecordCreate())) info_ = info;
        return data_;
    }
    void* Get() const { return data_; }
    void Reset() {
        if (data_) info_->RecordDestroy(std::exchange(data_, nullptr));
        info_.Reset();
    }

private:
    ComPtr<IRecordInfo> info_;
    void* data_ = nullptr;
};

}  // namespace zx
