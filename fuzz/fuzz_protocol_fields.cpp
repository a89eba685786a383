// The answer parser on arbitrary answers: cutting, error recognition and checksum checks.
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
    return 0;
}
