// A tender command's extension document from arbitrary bytes: validated before use (both
// readers of stored bytes give libbson's own verdict), the tender parameters read only from
// an embedded "btdparam" document, and the panel's purchase-type lookup over such a command
// never crashes and finds only a real match.
#include <bson/bson.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <boost/make_shared.hpp>

#include "CPanelBondTenderAllocationHelper.h"
#include "services/HostStore.h"
#include "ttservice/BondTenderRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ttservice;
    BSONObj document;
    const bool valid = BSONObj::fromBytes(data, size, &document);
    std::vector<BSONElementView> elements;
    bson_t view;
    size_t offset = 0;
    const bool libbsonValid = bson_init_static(&view, data, size)
        && bson_validate(&view, static_cast<bson_validate_flags_t>(BSON_VALIDATE_UTF8 | BSON_VALIDATE_UTF8_ALLOW_NULL), &offset);
    if (BSONObj::readValidated(data, size, &elements) != valid || valid != libbsonValid
        || elements.size() != document.elements().size())
        std::abort();
    if (!valid)
        return 0;
    auto command = boost::make_shared<CTenderCommandInfo>();
    command->commandId = 1;
    command->productId = 7;
    command->extension = document;
    const auto param = command->tenderParam();
    const bool embedded = document.getField("btdparam").type() == BSON_OBJECT;
    if (static_cast<bool>(param) != embedded)
        std::abort();
    for (const auto& element : document.elements())
        (void)element.str();
    (void)document.jsonString();

    // The command as the host would hold it, read back through the record's own BSON.
    CTenderCommandInfo copy;
    (void)copy.bsonValueFromObj(command->bsonValueToObj(), false);

    CHostStore& store = CHostStore::instance();
    store.reset();
    store.addTenderCommand(command);
    if (param) {
        (void)param->bsonValueToObj();
        const auto found = TC::CPanelBondTenderAllocationHelper::getETenderPurchaseTypeFromCmd(
            param->bondCode, 7, param->tenderPrice);
        // A price that equals itself (not NaN, not infinite) finds this command's type.
        const bool comparable = TC::CPanelBondTenderAllocationHelper::isEqual(param->tenderPrice, param->tenderPrice);
        if (comparable && static_cast<int>(found) != param->purchaseType)
            std::abort();
    }
    (void)TC::CPanelBondTenderAllocationHelper::getETenderPurchaseTypeFromCmd("", 7, 0.0);
    return 0;
}
