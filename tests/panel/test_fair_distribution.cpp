// Fair distribution of a won total over the rows of table two: proportional shares in
// whole basic tender units, fixed rows away from the marginal price, leftover units at random.
#include <boost/make_shared.hpp>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <map>
#include <set>

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

    // Distributes the total; the won volumes of rows 1, 2, ...
    std::vector<double> distribute(double total)
    {
        table.refreshFairWinBidAllocationProductTable(total);
        std::vector<double> wins;
        const auto rows = table.getRowNum2ProductData();
        for (const auto& row : rows)
            wins.push_back(row->info->winAmount);
        EXPECT_NEAR(std::accumulate(wins.begin(), wins.end(), 0.0), table.getModel()->getTotalWinAmount(), 1e-9);
        return wins;
    }

    testsupport::MessageBoxRecorder boxes;
    CPanelBondAllocationProductTable table{0, nullptr};
};

} // namespace

TEST_F(FairDistributionTest, shouldGiveTheWorkedExampleShares)
{
    const struct { const char* name; STender tender; double total; std::vector<double> wins; } cases[] = {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        load(c.tender);
        const std::vector<double> wins = distribute(c.total);
        ASSERT_EQ(c.wins.size(), wins.size());
        for (size_t i = 0; i < wins.size(); ++i)
            EXPECT_NEAR(c.wins[i], wins[i], 1e-9) << "row " << i + 1;
    }
}

TEST_F(FairDistributionTest, shouldKeepSharesWholeAndCloseToProportionalOverRandomTenders)
{
    std::srand(4242);
    const double units[] = {0.01, 0.05, 0.1};
    const auto randomUnits = [](int maxUnits) { return 1 + std::rand() % maxUnits; };
    std::set<int> leftoverReceivers;

    for (int tender = 0; tender < 400; ++tender) {
        SCOPED_TRACE(testing::Message() << "tender " << tender);
        // Given a random tender: up to 8 rows with bids in whole units, a whole-unit total.
        // (With few rows and a unit of at most 0.1 the unit-as-addend rounding can never
        // push round one over the total.)
        const double unit = units[std::rand() % 3];
        const bool dutch = std::rand() % 2 == 0;
        STender t{dutch ? TT_DUTCH : TT_AMERICAN, 3.0, unit, {}};
        double marginalBids = 0.0;
        double fixedBids = 0.0;
        for (int i = 0, rowCount = 1 + std::rand() % 8; i < rowCount; ++i) {
            const bool atMarginal = dutch || i == 0 || std::rand() % 3 != 0;
            t.bids.push_back({dutch ? DBL_MAX : (atMarginal ? 3.0 : 3.1), randomUnits(300) * unit});
            (atMarginal ? marginalBids : fixedBids) += t.bids.back().bid;
        }
        const double total = fixedBids + randomUnits(int(std::lround(marginalBids / unit)) + 1) * unit;
        load(t);

        // Round one's shares of the pooled rows, for comparison
        CPanelBondAllocationProductTable::SharePool pool;
        const auto rows = table.getRowNum2ProductData();
        for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
            if (dutch || it.value()->info->tenderPrice == 3.0)
                pool.push_back({it.key(), it.value()->info->bidAmount, 0.0, 0});
        }
        table.round1Distribution(pool, total - fixedBids);
        std::map<int, double> round1;
        for (const auto& pooled : pool)
            round1[pooled.rowNumber] = pooled.share;

        // When the distribution runs
        const std::vector<double> wins = distribute(total);

        // Then every share is whole units; pooled rows are within a unit of their exact
        // proportion and at most one unit above round one; the sum is the total.
        for (int row = 1; row <= int(wins.size()); ++row) {
            const double won = wins[size_t(row) - 1];
            const double bid = t.bids[size_t(row) - 1].bid;
            EXPECT_NEAR(std::round(won / unit) * unit, won, 1e-9) << "row " << row;
            if (!round1.count(row)) {
                EXPECT_NEAR(bid, won, 1e-9);
                continue;
            }
            EXPECT_LT(std::fabs(round1.at(row) - bid / marginalBids * (total - fixedBids)), unit) << "row " << row;
            const double extra = won - round1.at(row);
            EXPECT_TRUE(std::fabs(extra) < 1e-9 || std::fabs(extra - unit) < 1e-9) << "row " << row << " " << extra;
            if (std::fabs(extra - unit) < 1e-9)
                leftoverReceivers.insert(row);
        }
        EXPECT_NEAR(total, std::accumulate(wins.begin(), wins.end(), 0.0), 1e-6);
    }
    // And the leftover units reached many different rows
    EXPECT_GE(leftoverReceivers.size(), 6u);
}

// Which rows get the leftover units must not change from one version to the next: a
// host that seeds rand() expects the same allocation for the same tender.
TEST_F(FairDistributionTest, shouldPickTheSameLeftoverRowsAndDrawsForTheSameSeed)
{
    // Given twelve Dutch rows with uneven bids, unit 0.1, and a total leaving several units over
    std::vector<SBid> bids;
    for (int i = 0; i < 12; ++i)
        bids.push_back({DBL_MAX, 0.3 + 0.7 * i});
    load({TT_DUTCH, 0.0, 0.1, bids});
    std::srand(77);

    // When the distribution runs
    const std::vector<double> wins = distribute(17.3);
    const int nextDraw = std::rand();

    // Then rows 1, 2, 5 and 7 get the four leftover units, as they always have, and the
    // distribution drew from rand() exactly as often as before
    const std::vector<double> expected = {0.2, 0.4, 0.6, 0.8, 1.1, 1.3, 1.6, 1.8, 2.0, 2.3, 2.5, 2.7};
    ASSERT_EQ(expected.size(), wins.size());
    for (size_t i = 0; i < wins.size(); ++i)
        EXPECT_NEAR(expected[i], wins[i], 1e-9) << "row " << i + 1;
    EXPECT_EQ(2006235011, nextDraw);
}
