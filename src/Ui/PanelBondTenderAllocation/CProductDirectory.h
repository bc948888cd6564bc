#pragma once

#include <QStringList>
#include <array>
#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ttservice/TenderEnums.h"

namespace ttservice {
class CProduct;
}

namespace TC {

// The user's products as the host held them at its last change: names by id and the
// accounts each product offers per market. A load of a large tender asks for them once
// per product, thousands of times, in the order the rows come, which is mostly the order
// of the ids and names: sorted arrays read from where the last answer was found stay in
// the cache, where a hash lookup into the host's products would not.
class CProductDirectory {
public:
    // The accounts offered for one product in one market: the empty choice first, then the
    // product's accounts of the market's type, with their UTF-8 texts to find a row's
    // account among them without converting it.
    struct SAccountChoices {
        QStringList texts;
        std::vector<std::string> utf8;
    };

    // Reads the user's products again if the host's products changed since the last read.
    void refresh();
    // The product's name as the host shows it; empty for an unknown id.
    const std::string& nameOf(int productId);
    // For a product unknown by name, and for no market or an unknown one: the empty choice only.
    const SAccountChoices& accountChoices(const std::string& productName, ttservice::ETenderMarket market);

private:
    struct SNamed {
        int productId;
        std::string name;
    };
    struct SOffered {
        std::string name;
        boost::shared_ptr<ttservice::CProduct> product;
        std::array<std::optional<SAccountChoices>, 2> byAccountType;   // exchange, interbank
    };

    uint64_t revision_ = 0;   // of the host's products when read; 0 before the first read
    std::vector<SNamed> byId_;          // the first product of each id, by id
    std::vector<SOffered> byName_;      // the first product of each name, by name
    size_t idCursor_ = 0;
    size_t nameCursor_ = 0;
};

} // namespace TC
