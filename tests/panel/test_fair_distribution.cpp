// Fair distribution of a won total over the rows of table two: proportional shares in
// whole basic tender units, fixed rows away from the marginal price, leftover units at random.
#include <boost/make_shared.hpp>
#include <cmath>
#include <cstdlib>

#include "CAllocationProductModel.h"
#include "panel_workflow_support.h"

using namespace wf;
using TC::CPanelBondAllocationProductTable;

namespace {

struct SBid {
    double price;
    double bid;
};

struct STender {
    ETenderingType type;
    double marginal;
    double unit;
    std::vector<SBid> bids;
};

class FairDistributionTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::resetHost(); }

    // Rows 1, 2, ... of products 1, 2, ..., nothing won yet.
    void load(const STender& tender)
    {
        std::vector<boost::shared_ptr<CIBondTenderAllocProductInfo>> rows;
        for (const SBid& bid : tender.bids) {
            auto record = boost::make_shared<CIBondTenderAllocProductInfo>();
            record->bondCode = "240001";
            record->productId = int(rows.size()) + 1;
            record->tenderPrice = bid.price;
            record->purchaseType = TPT_PRIMARY;
            record->bidAmount = bid.bid;
            record->winAmount = 0.0;
            rows.push_back(record);
        }
        table.updateProductTableDatas(rows, tender.marginal, "240001", tender.type, tender.unit, TTG_PRICE);
    }

    // Won volume per row number after the distribution has been shown.
    std::map<int, double> winAmounts() const
    {
        std::map<int, double> wins;
        const auto rows = table.getRowNum2ProductData();
        for (auto it = rows.cbegin(); it != rows.cend(); ++it)
            wins[it.key()] = it.value()->info->winAmount;
        return wins;
    }

    static double sum(const std::map<int, double>& wins)
    {
        double total = 0.0;
        for (const auto& win : wins)
            total += win.second;
        return total;
    }

    testsupport::MessageBoxRecorder boxes;
    CPanelBondAllocationProductTable table{0, nullptr};
};

struct SFixedCase {
    const char* name;
    STender tender;
    double total;
    std::vector<double> expectedWins;   // by row number 1, 2, ...
};

} // namespace

TEST_F(FairDistributionTest, shouldGiveTheWorkedExampleShares)
{
    const SFixedCase cases[] = {
        {"Dutch 2:1 without leftover", {TT_DUTCH, 0.0, 0.1, {{DBL_MAX, 2.0}, {DBL_MAX, 1.0}}}, 0.9, {0.6, 0.3}},
        // The unit itself is added to the quotient: 2.95 units count as 3, 2.85 as 2.
        {"quotient 2.95 rounds up", {TT_DUTCH, 0.0, 0.1, {{DBL_MAX, 1.0}}}, 0.295, {0.3}},
        {"quotient 2.85 rounds down", {TT_DUTCH, 0.0, 0.1, {{DBL_MAX, 1.0}}}, 0.285, {0.2}},
        {"American: fixed row keeps its bid, marginal pool 1:3",
         {TT_AMERICAN, 3.00, 0.1, {{3.05, 2.0}, {3.00, 1.0}, {3.00, 3.0}}}, 4.0, {2.0, 0.5, 1.5}},
        {"mixed: same rule as American",
         {TT_MIXED, 3.00, 0.1, {{3.05, 2.0}, {3.00, 1.0}, {3.00, 3.0}}}, 4.0, {2.0, 0.5, 1.5}},
        {"American: fixed rows cover the total, marginal rows get nothing",
         {TT_AMERICAN, 3.00, 0.1, {{3.05, 2.0}, {3.10, 3.0}, {3.00, 1.0}}}, 4.0, {2.0, 3.0, 0.0}},
        {"American: fixed rows equal to the total within tolerance",
         {TT_AMERICAN, 3.00, 0.1, {{3.05, 4.000005}, {3.00, 1.0}}}, 4.0, {4.000005, 0.0}},
        {"American: no row at the marginal price keeps every bid, below the total",
         {TT_AMERICAN, 3.00, 0.1, {{3.05, 1.0}, {3.10, 1.0}}}, 4.0, {1.0, 1.0}},
        {"marginal price matched within tolerance",
         {TT_AMERICAN, 3.00, 0.1, {{3.000005, 1.0}, {3.05, 1.0}}}, 1.5, {0.5, 1.0}},
        {"Dutch total 0", {TT_DUTCH, 0.0, 0.1, {{DBL_MAX, 1.0}, {DBL_MAX, 2.0}}}, 0.0, {0.0, 0.0}},
        {"basic tender unit 0", {TT_DUTCH, 0.0, 0.0, {{DBL_MAX, 1.0}, {DBL_MAX, 2.0}}}, 3.0, {0.0, 0.0}},
        {"American with unit 0", {TT_AMERICAN, 3.0, 0.0, {{3.05, 1.0}, {3.0, 2.0}}}, 3.0, {0.0, 0.0}},
        {"unknown tendering type", {TT_NONE, 0.0, 0.1, {{DBL_MAX, 1.0}, {DBL_MAX, 2.0}}}, 3.0, {0.0, 0.0}},
        // Rows that bid nothing cannot claim a proportion (and nothing divides by zero).
        {"Dutch pool bidding nothing", {TT_DUTCH, 0.0, 0.1, {{DBL_MAX, 0.0}, {DBL_MAX, 0.0}}}, 1.0, {0.0, 0.0}},
    };
    for (const SFixedCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Given a loaded table two with earlier won volumes
        load(c.tender);

        // When the total is distributed
        table.refreshFairWinBidAllocationProductTable(c.total);

        // Then every row shows its share, and the statistics row the sums
        const std::map<int, double> wins = winAmounts();
        ASSERT_EQ(c.expectedWins.size(), wins.size());
        double bidTotal = 0.0;
        for (size_t i = 0; i < c.expectedWins.size(); ++i) {
            EXPECT_NEAR(c.expectedWins[i], wins.at(int(i) + 1), 1e-9) << "row " << i + 1;
            bidTotal += c.tender.bids[i].bid;
        }
        EXPECT_NEAR(sum(wins), table.getModel()->getTotalWinAmount(), 1e-9);
        EXPECT_NEAR(bidTotal, table.getModel()->getTotalBidAmount(), 1e-9);
    }
}

TEST_F(FairDistributionTest, shouldGiveTheLeftoverUnitToOneRowChosenAtRandom)
{
    // Given three Dutch rows bidding 1.0 each, unit 0.1, total 1.0
    load({TT_DUTCH, 0.0, 0.1, {{DBL_MAX, 1.0}, {DBL_MAX, 1.0}, {DBL_MAX, 1.0}}});
    std::srand(20261205);

    std::map<int, int> extraUnitsPerRow;
    const int runs = 3000;
    for (int run = 0; run < runs; ++run) {
        // When the distribution runs
        table.refreshFairWinBidAllocationProductTable(1.0);

        // Then exactly one row holds 0.4, the others 0.3, and the sum is the total
        const std::map<int, double> wins = winAmounts();
        int rowsWithExtra = 0;
        for (const auto& win : wins) {
            if (std::fabs(win.second - 0.4) < 1e-9) {
                ++rowsWithExtra;
                ++extraUnitsPerRow[win.first];
            } else {
                ASSERT_NEAR(0.3, win.second, 1e-9);
            }
        }
        ASSERT_EQ(1, rowsWithExtra);
        ASSERT_NEAR(1.0, sum(wins), 1e-9);
    }
    // And over many runs each row gets the extra unit about a third of the time
    ASSERT_EQ(3u, extraUnitsPerRow.size());
    for (const auto& count : extraUnitsPerRow)
        EXPECT_NEAR(runs / 3.0, count.second, runs * 0.05) << "row " << count.first;
}

TEST_F(FairDistributionTest, shouldKeepSharesWholeAndCloseToProportionalOverRandomTenders)
{
    std::srand(4242);
    const double units[] = {0.01, 0.05, 0.1};
    const auto randomUnits = [](int maxUnits) { return 1 + std::rand() % maxUnits; };
    std::map<int, int> leftoverReceivers;

    for (int tender = 0; tender < 400; ++tender) {
        SCOPED_TRACE(testing::Message() << "tender " << tender);
        // Given a random tender: up to 8 rows with bids in whole units, a whole-unit total.
        // (With few rows and a unit of at most 0.1 the unit-as-addend rounding can never
        // push round one over the total.)
        const double unit = units[std::rand() % 3];
        const bool dutch = std::rand() % 2 == 0;
        STender t{dutch ? TT_DUTCH : TT_AMERICAN, 3.0, unit, {}};
        const int rowCount = 1 + std::rand() % 8;
        double marginalBids = 0.0;
        double fixedBids = 0.0;
        for (int i = 0; i < rowCount; ++i) {
            const bool atMarginal = dutch || i == 0 || std::rand() % 3 != 0;
            const double bid = randomUnits(300) * unit;
            t.bids.push_back({dutch ? DBL_MAX : (atMarginal ? 3.0 : 3.1), bid});
            (atMarginal ? marginalBids : fixedBids) += bid;
        }
        const double total = fixedBids + randomUnits(int(std::lround(marginalBids / unit)) + 1) * unit;
        load(t);

        // Round one's shares of the pooled rows, for comparison
        CPanelBondAllocationProductTable::RowPool pool;
        const auto rows = table.getRowNum2ProductData();
        for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
            if (dutch || it.value()->info->tenderPrice == 3.0)
                pool.insert(it.key(), it.value());
        }
        QMap<int, double> round1;
        table.round1Distribution(pool, round1, total - fixedBids);

        // When the distribution runs
        table.refreshFairWinBidAllocationProductTable(total);
        const std::map<int, double> wins = winAmounts();

        // Then every share is whole units; pooled rows are within a unit of their exact
        // proportion and at most one unit above round one; the sum is the total.
        for (const auto& win : wins) {
            const double inUnits = win.second / unit;
            EXPECT_NEAR(std::round(inUnits) * unit, win.second, 1e-9) << "row " << win.first;
            if (!pool.contains(win.first)) {
                EXPECT_NEAR(t.bids[win.first - 1].bid, win.second, 1e-9);
                continue;
            }
            const double exact = t.bids[win.first - 1].bid / marginalBids * (total - fixedBids);
            EXPECT_LT(std::fabs(round1.value(win.first) - exact), unit) << "row " << win.first;
            const double extra = win.second - round1.value(win.first);
            EXPECT_TRUE(std::fabs(extra) < 1e-9 || std::fabs(extra - unit) < 1e-9)
                << "row " << win.first << " extra " << extra;
            if (std::fabs(extra - unit) < 1e-9)
                ++leftoverReceivers[win.first];
        }
        EXPECT_NEAR(total, sum(wins), 1e-6);
    }
    // And the leftover units reached many different rows
    EXPECT_GE(leftoverReceivers.size(), 6u);
}
