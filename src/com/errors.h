#pragma once
// The component's numbered errors and the one barrier that turns them into a
// failed HRESULT with error information at every COM boundary.
#include <windows.h>
#include <oaidl.h>
#include <new>

namespace zx {

// The error numbers clients see. Each travels as MAKE_HRESULT(SEVERITY_ERROR,
// FACILITY_CONTROL, number), so script engines report the bare number.
enum class ErrorNumber : unsigned short {
    InvalidArgument = 5,        // "Invalid procedure call or argument"
    Overflow = 6,
    SubscriptOutOfRange = 9,
    DivisionByZero = 11,
    TypeMismatch = 13,
    ObjectNotSet = 91,
    ResourceNotFound = 326,
    CantCreateObject = 429,
    NotSupported = 438,         // "Object doesn't support this property or method"
    WrongArgumentCount = 450,
    DuplicateKey = 457,
};

HRESULT HresultOf(ErrorNumber number);
const wchar_t* DescriptionOf(ErrorNumber number);
extern const wchar_t kErrorSource[];

// Thrown inside the component; caught only by Barrier.
struct Error {
    ErrorNumber number;
};
// A failed call into a COM object (ours or a client's) whose error
// information, if any, is already set for the thread.
struct ComFailure {
    HRESULT hr;
};

[[noreturn]] void Raise(ErrorNumber number);
inline void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) throw ComFailure{hr};
}

// Sets the thread's error information for `number` and returns its HRESULT.
HRESULT ReportError(ErrorNumber number, REFIID source);

// Sets the thread's error information, which a caller that asks
// ISupportErrorInfo then reads; texts left null are not set.
void SetThreadErrorInfo(REFGUID source, const wchar_t* sourceText, const wchar_t* description,
                        const wchar_t* helpFile = nullptr, DWORD helpContext = 0);

// The error barrier: runs `body`, turning anything it throws into a result.
template <class Body>
HRESULT Barrier(REFIID source, Body&& body) noexcept {
    try {
        body();
        return S_OK;
    } catch (const Error& e) {
        return ReportError(e.number, source);
    } catch (const ComFailure& f) {
        return f.hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// Copies the thread's error information into an EXCEPINFO for a dispatch
// caller (source, description and the failed result as scode).
void FillExcepInfo(HRESULT hr, EXCEPINFO* info);

}  // namespace zx
