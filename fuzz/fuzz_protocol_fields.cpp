// The answer parser on arbitrary answers: cutting, error recognition, checksum checks and the
// records built from them.
#include "comm/ProtocolFields.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ProtocolFields fields;
    int count = fields.CreateFields(data, static_cast<int>(size));
    if (count != static_cast<int>(fields.Fields().size()))
        __builtin_trap();
    for (const ProtocolFieldInfo& field : fields.Fields())
        if (field.Size != field.Data.size())
            __builtin_trap();
    DalvoraError code = 0;
    fields.CheckAnswer(&code);
    for (size_t i = 0; i <= fields.Fields().size(); ++i)
        (void)fields.ChecksumMatches(i);
    uint64_t dataErrors = 0;
    OBJTYPE type = OBJTYPE_NONE;
    AnswerRecord record = fields.CreateSetupItem(dataErrors, nullptr, type);
    // A refusal reports no record class; a record always reports its own.
    if (record.Empty() ? type != OBJTYPE_NONE : type != record.Type())
        __builtin_trap();
    if (const SetupItemType* item = record.Get<SetupItemType>())
        if (item->GetLinks().size() != record.Links().size())
            __builtin_trap();
    return 0;
}
