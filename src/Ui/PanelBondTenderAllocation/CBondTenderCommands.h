#pragma once

#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ttservice/BondTenderRecords.h"
#include "ttservice/TenderEnums.h"

namespace TC {

// One bond's tender commands that carry tender parameters, read from the host once per
// revision of its commands. Every load and every save asks for them, and the commands of a
// large tender are ten thousand records in memory that the tender's rows have long pushed
// out of the cache; the commands themselves change far less often than that.
class CBondTenderCommands {
public:
    struct SCommand {
        int productId;
        int commandId;
        double tenderPrice;
        int purchaseType;
    };

    // The bond's commands as the host holds them now, shared while the host's commands stay
    // the same; empty without account data.
    static boost::shared_ptr<const CBondTenderCommands> of(const std::string& bondCode);

    // Ordered by product, a product's commands in the host's order.
    const std::vector<SCommand>& byProduct() const { return byProduct_; }
    using Iterator = std::vector<SCommand>::const_iterator;
    // The product's commands within byProduct(), as [first, last). A walk over a large
    // tender's rows asks product after product in order: the lookup tries the product at
    // the cursor and the one after it before it searches. The cursor starts at 0 and is
    // written by these calls only.
    std::pair<Iterator, Iterator> ofProduct(int productId, size_t& cursor) const;
    // The purchase type of the product's first command at that price; none if no command matches.
    ttservice::ETenderPurchaseType purchaseTypeOf(int productId, double price, size_t& cursor) const;
    ttservice::ETenderPurchaseType purchaseTypeOf(int productId, double price) const;
    // The parameters of the bond's first command in the host's order; null if it has none.
    const boost::shared_ptr<const ttservice::CBondTendersParam>& first() const { return first_; }

private:
    CBondTenderCommands(std::string bondCode, uint64_t revision);
    void read(const ttservice::IDataList& records);

    std::string bondCode_;
    uint64_t revision_;
    std::vector<SCommand> byProduct_;
    boost::shared_ptr<const ttservice::CBondTendersParam> first_;
};

} // namespace TC
