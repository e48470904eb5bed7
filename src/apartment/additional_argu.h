#pragma once
// AdditionalArguStru, the client's record carried with a timer: its owner,
// its description, and its fields as an object for script callers.
#include "com/owned.h"
#include "zentrix.h"

namespace zx {

// {12748875-1C6C-450F-8E2E-39E40172A55A}, from the catalog of the IDL
// (widl emits no constant for records).
extern const GUID kAdditionalArguStruGuid;

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

// The record's description, for VT_RECORD arguments; nullptr if the type
// library cannot be loaded. Lives as long as the process.
IRecordInfo* AdditionalArguRecordInfo() noexcept;

// The record as a plain automation object with the four fields as
// properties (see com/record_object.h).
ComPtr<IDispatch> MakeRecordObject(const AdditionalArguStru& record);
// Reads lLParam, lMParam, lHParam and sComments by name into `record`;
// fields the object lacks stay as they were. False if nothing was read.
bool ReadRecordFields(IDispatch* object, AdditionalArguStru& record);
// Writes the four fields back by name; fields the object refuses are skipped.
void WriteRecordFields(IDispatch* object, const AdditionalArguStru& record);

}  // namespace zx
