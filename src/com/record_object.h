#pragma once
// AdditionalArguStru as a plain automation object with the four fields as
// properties, for script callers that cannot hold a record (JScript cannot
// hold one at all; VBScript cannot read its fields).
#include "com/owned.h"

namespace zx {

// A new object holding a copy of `record`; read it back with ReadRecordFields.
ComPtr<IDispatch> MakeRecordObject(const AdditionalArguStru& record);
// Reads lLParam, lMParam, lHParam and sComments by name into `record`;
// fields the object lacks stay as they were. False if nothing was read.
bool ReadRecordFields(IDispatch* object, AdditionalArguStru& record);
// Writes the four fields back by name; fields the object refuses are skipped.
void WriteRecordFields(IDispatch* object, const AdditionalArguStru& record);

}  // namespace zx
