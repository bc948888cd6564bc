// The user's products as table three reads them: names by id, account choices by name and
// market, the host's first product winning a shared id or name, re-read when they change.

#include "CProductDirectory.h"
#include "support/TestSupport.h"
#include "services/HostStore.h"
#include "ttservice/BondTenderRecords.h"

using ttservice::CHostStore;
using testsupport::product;

namespace {

QStringList offered(TC::CProductDirectory& directory, const std::string& name, ttservice::ETenderMarket market)
{
    return directory.accountChoices(name, market).texts;
}

using ProductDirectory = testsupport::HostTest;

} // namespace

TEST_F(ProductDirectory, shouldFindProductsInAnyOrderTheHostsFirstWinningAndFollowTheirChanges)
{
    // Given products in the host's order, with an id and a name given twice
    CHostStore::instance().setProducts({
        product(30, "丙", {{2, "SH3"}}),
        product(10, "甲", {{2, "SH1"}, {15002, "IB1"}, {2, "SH2"}}),
        product(20, "乙", {{15002, "IB2"}}),
        product(10, "丁", {{2, "SHX"}}),
        product(40, "甲", {{2, "SHY"}}),
    });
    TC::CProductDirectory directory;
    directory.refresh();

    // Then each id and each name finds the host's first, asked in rising, falling or mixed order
    const std::vector<std::pair<int, std::string>> names{{10, "甲"}, {20, "乙"}, {30, "丙"}, {40, "甲"}, {99, ""}};
    for (const auto& order : {std::vector<size_t>{0, 1, 2, 3, 4}, {4, 3, 2, 1, 0}, {2, 0, 4, 1, 3, 3, 0}}) {
        for (size_t i : order)
            EXPECT_EQ(directory.nameOf(names[i].first), names[i].second) << names[i].first;
    }
    const QString none;
    struct SCase { std::string name; ttservice::ETenderMarket market; QStringList expected; };
    const SCase cases[] = {
        {"甲", ttservice::TM_SSE, {none, "SH1", "SH2"}},
        {"甲", ttservice::TM_SZSE, {none, "SH1", "SH2"}},
        {"甲", ttservice::TM_INTERBANK, {none, "IB1"}},
        {"甲", ttservice::TM_NONE, {none}},
        {"甲", static_cast<ttservice::ETenderMarket>(77), {none}},
        {"乙", ttservice::TM_SSE, {none}},
        {"丙", ttservice::TM_SSE, {none, "SH3"}},
        {"丁", ttservice::TM_SSE, {none, "SHX"}},
        {"戊", ttservice::TM_SSE, {none}},
        {"乙", ttservice::TM_INTERBANK, {none, "IB2"}},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(offered(directory, c.name, c.market), c.expected) << c.name << " " << c.market;

    // When the host's products change, a refresh reads them again
    CHostStore::instance().setProducts({product(10, "甲", {{2, "SH9"}}), product(50, "戊", {})});
    directory.refresh();
    EXPECT_EQ(directory.nameOf(20), "");
    EXPECT_EQ(directory.nameOf(50), "戊");
    EXPECT_EQ(offered(directory, "甲", ttservice::TM_SSE), (QStringList{none, "SH9"}));
    EXPECT_EQ(offered(directory, "丙", ttservice::TM_SSE), (QStringList{none}));
}
