#pragma once
// Records as plain automation objects, for script callers that cannot hold
// a record (JScript cannot hold one at all; VBScript cannot read its
// fields): the record's fields become properties of the same names. A
// record is known by its IRecordInfo; the fields that take part are those
// a VARIANT holds by value (numbers, Booleans, currency, dates, strings).
#include "com/owned.h"

namespace zx {

// A new late-bound object holding a copy of `record`, its fields as
// properties; DISPIDs are 1, 2, ... in field order.
ComPtr<IDispatch> MakeRecordObject(IRecordInfo* info, const void* record);
// Reads each field from the object's property of that name (any letter
// case), converted to the field's type; fields the object lacks stay as
// they were. False if nothing was read.
bool ReadRecordFields(IDispatch* object, IRecordInfo* info, void* record);
// Writes each field to the object's property of that name; fields the
// object refuses are skipped.
void WriteRecordFields(IDispatch* object, IRecordInfo* info, const void* record);

}  // namespace zx
