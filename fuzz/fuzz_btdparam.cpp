// A tender command's extension document from arbitrary bytes: validated before use,
// and the tender parameters read only from an embedded "btdparam" document.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ttservice/BondTenderRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ttservice::BSONObj document;
    if (!ttservice::BSONObj::fromBytes(data, size, &document))
        return 0;
    ttservice::CTenderCommandInfo command;
    command.extension = document;
    const auto param = command.tenderParam();
    const bool embedded = document.getField("btdparam").type() == ttservice::BSON_OBJECT;
    if (static_cast<bool>(param) != embedded)
        std::abort();
    if (param)
        (void)param->bsonValueToObj();
    for (const auto& element : document.elements())
        (void)element.str();
    (void)document.jsonString();
    return 0;
}
