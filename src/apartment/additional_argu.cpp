// The AdditionalArguStru record: copies that own their string, and the
// record's description for the kit's record handling.
#include "apartment/additional_argu.h"

#include <cstddef>

#include "com/record_object.h"
#include "com/type_library.h"
#include "zentrix_catalog.h"

namespace zx {

const GUID kAdditionalArguStruGuid = catalog::kRecord_AdditionalArguStru;

void CopyRecord(const AdditionalArguStru& from, AdditionalArguStru& to) {
    if (&from == &to) return;
    BSTR comments = Bstr::Copy(from.sComments);
    if (from.sComments && !comments) throw std::bad_alloc();
    SysFreeString(to.sComments);
    to.lLParam = from.lLParam;
    to.lMParam = from.lMParam;
    to.lHParam = from.lHParam;
    to.sComments = comments;
}

void ClearRecord(AdditionalArguStru& record) {
    SysFreeString(record.sComments);
    record = AdditionalArguStru{};
}

IRecordInfo* AdditionalArguRecordInfo() noexcept { return RecordInfoOf(kAdditionalArguStruGuid); }

ComPtr<IDispatch> MakeRecordObject(const AdditionalArguStru& record) {
    return MakeRecordObject(AdditionalArguRecordInfo(), &record);
}

bool ReadRecordFields(IDispatch* object, AdditionalArguStru& record) {
    return ReadRecordFields(object, AdditionalArguRecordInfo(), &record);
}

void WriteRecordFields(IDispatch* object, const AdditionalArguStru& record) {
    WriteRecordFields(object, AdditionalArguRecordInfo(), &record);
}

}  // namespace zx

// The record's published layout on 32-bit Windows: 16 bytes, alignment 4.
static_assert(sizeof(void*) != 4 || (sizeof(AdditionalArguStru) == 16 && alignof(AdditionalArguStru) == 4));
static_assert(offsetof(AdditionalArguStru, lHParam) == 8);
