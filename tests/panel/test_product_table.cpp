// Table two as a widget: typing won volumes, the save check, locking, the rebuild from
// the commands, and the fair distribution of a won total over its rows: proportional shares
// in whole basic tender units, fixed rows away from the marginal price, leftover units at random.
#include <QAbstractItemModelTester>
#include <boost/make_shared.hpp>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>
#include <set>

#include "CAllocationProductModel.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "panel_workflow_support.h"

using namespace wf;
using TC::CPanelBondAllocationProductTable;

namespace {

const char* const kBond = "240001";

boost::shared_ptr<CIBondTenderAllocProductInfo> saved(int productId, double price, double bid, double win,
                                                      int purchaseType = TPT_SECONDARY)
{
    auto record = boost::make_shared<CIBondTenderAllocProductInfo>();
    record->bondCode = kBond;
    record->productId = productId;
    record->tenderPrice = price;
    record->purchaseType = purchaseType;
    record->bidAmount = bid;
    record->winAmount = win;
    return record;
}

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

class ProductTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::resetHost();
        table.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    }

    void load(const std::vector<boost::shared_ptr<CIBondTenderAllocProductInfo>>& rows, ETenderingType type,
              double unit, double marginal = 100.0)
    {
        table.updateProductTableDatas(rows, marginal, kBond, type, unit, TTG_PRICE);
    }

    // Rows 1, 2, ... of products 1, 2, ..., nothing won yet.
    void load(const STender& tender)
    {
        std::vector<boost::shared_ptr<CIBondTenderAllocProductInfo>> rows;
        for (const SBid& bid : tender.bids)
            rows.push_back(saved(int(rows.size()) + 1, bid.price, bid.bid, 0.0, TPT_PRIMARY));
        load(rows, tender.type, tender.unit, tender.marginal);
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

using FairDistributionTest = ProductTableTest;

} // namespace

TEST_F(ProductTableTest, shouldCutTypedVolumeToWholeUnitsAndCapItAtTheBid)
{
    QAbstractItemModelTester tester(table.getTable()->qtModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const struct { const char* typed; const char* shown; const char* total; } cases[] = {
        {"1.2345", "1.2000", "3.2000"}, {"7", "5.0000", "7.0000"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        // Given a row bidding 5 that won 0.5 and one bidding 2 that won 2, unit 0.1
        load({saved(1, DBL_MAX, 5.0, 0.5), saved(2, DBL_MAX, 2.0, 2.0)}, TT_DUTCH, 0.1);

        // When the user types into the won-volume cell of row 1
        typeInto(&table, "1", 6, c.typed);

        // Then the cell shows the cut volume and the won total follows
        EXPECT_EQ(QString::fromUtf8(c.shown), cellIndex(&table, "1", 6).data().toString());
        EXPECT_EQ(QString::fromUtf8(c.total), table.getModel()->getStatDispalyQString(6));
    }

    // And emptied, the table shows no row (the tester watching it found nothing wrong)
    table.refreshProductModel();
    EXPECT_FALSE(table.isProductTableHasData());
    EXPECT_FALSE(cellIndex(&table, "1", 6).isValid());
}

TEST_F(ProductTableTest, shouldAcceptOnlyRowsWithinTheirBidAndATotalMatchingTableOne)
{
    const struct {
        std::vector<std::pair<double, double>> bidAndWin;
        double tableOne;
        const char* message;
    } cases[] = {
        {{{1.0, 1.0}, {2.0, 2.0}, {3.0, 3.00002}}, 6.00002, "表二第 3 行中标量大于投标量,无法保存!"},
        {{{1.0, 1.000005}, {2.0, 2.0}}, 3.000005, ""},
        {{{1.0, 0.0}, {2.0, 0.0}}, 0.0, "表二中标合计数据必须大于0!"},
        {{{6.0, 6.0}, {5.0, 4.000005}}, 10.0, ""},
        {{{6.0, 6.0}, {5.0, 4.00002}}, 10.0, "表二中标数量合计与表一中标总量不一致!"},
        {{{6.0, 6.0}, {5.0, 3.0}}, 10.0, "表二中标数量合计与表一中标总量不一致!"},
    };
    for (const auto& c : cases) {
        std::vector<boost::shared_ptr<CIBondTenderAllocProductInfo>> rows;
        for (const auto& [bid, won] : c.bidAndWin)
            rows.push_back(saved(int(rows.size()) + 1, DBL_MAX, bid, won));
        load(rows, TT_DUTCH, 0.1);

        QString message;
        EXPECT_EQ(table.check(c.tableOne, message), *c.message == '\0') << c.message;
        EXPECT_EQ(message, QString::fromUtf8(c.message));
    }
}

TEST_F(ProductTableTest, shouldStopEditingWhenDisabledUntilTheNextLoad)
{
    load({saved(1, DBL_MAX, 5.0, 1.0)}, TT_DUTCH, 0.1);
    table.disableProductTableDelegate();
    EXPECT_EQ(openEditor(&table, "1", 6), nullptr);

    load({saved(1, DBL_MAX, 5.0, 1.0)}, TT_DUTCH, 0.1);
    EXPECT_NE(openEditor(&table, "1", 6), nullptr);
}

TEST_F(ProductTableTest, shouldTakeEachRebuiltRowsPurchaseTypeFromTheFirstMatchingCommand)
{
    // Given commands of 30 products in no product order: every product at 100 and 101, some
    // twice at one price with another type, some at 102.000004 (within tolerance), and
    // another bond's command at 103
    int commandId = 0;
    for (int round = 0; round < 2; ++round) {
        for (int productId = 30; productId >= 1; --productId) {
            const double price = round == 0 ? 100.0 : 101.0;
            const int type = (productId + round) % 2 ? TPT_PRIMARY : TPT_SECONDARY;
            addTenderCommand(++commandId, productId, kBond, price, type, TTG_PRICE, TT_AMERICAN);
            if (productId % 4 == 0)
                addTenderCommand(++commandId, productId, kBond, price, TPT_PRIMARY + TPT_SECONDARY - type, TTG_PRICE,
                                 TT_AMERICAN);
            if (productId % 5 == 0 && round == 1)
                addTenderCommand(++commandId, productId, kBond, 102.000004, TPT_SECONDARY, TTG_PRICE, TT_AMERICAN);
        }
    }
    addTenderCommand(++commandId, 7, "OTHER", 103.0, TPT_PRIMARY, TTG_PRICE, TT_AMERICAN);
    // and reports bidding at 100 to 103 for every product
    std::vector<boost::shared_ptr<CIBondTenderExecInternalReportInfo>> reports;
    for (int productId = 1; productId <= 30; ++productId) {
        auto report = boost::make_shared<CIBondTenderExecInternalReportInfo>();
        report->bondCode = kBond;
        report->tenderTarget = TTG_PRICE;
        report->productId = productId;
        report->bidDetails = {{"100.0", 1.0}, {"101.0", 1.0}, {"102.0", 1.0}, {"103.0", 1.0}};
        reports.push_back(report);
    }

    // When table two is rebuilt from them
    load({}, TT_AMERICAN, 0.1);
    table.refreshWinBidAllocationProductTable(reports);

    // Then every row has the type the helper finds for its product and price
    TC::CAllocationProductModel* model = table.getModel();
    ASSERT_EQ(model->rowCount(), 120);
    for (const auto& entry : model->getDatas()) {
        const auto row = boost::dynamic_pointer_cast<TC::CAllocationProductData>(entry);
        ASSERT_TRUE(row && row->info);
        EXPECT_EQ(row->info->purchaseType, TC::CPanelBondTenderAllocationHelper::getETenderPurchaseTypeFromCmd(
                                               kBond, row->info->productId, row->info->tenderPrice))
            << "product " << row->info->productId << " price " << row->info->tenderPrice;
    }
}

// ------------------------------------------------------------------ fair distribution

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
        QMap<int, boost::shared_ptr<TC::CAllocationProductData>> pool;
        const auto rows = table.getRowNum2ProductData();
        for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
            if (dutch || it.value()->info->tenderPrice == 3.0)
                pool.insert(it.key(), it.value());
        }
        QMap<int, double> shares;
        table.round1Distribution(pool, shares, total - fixedBids);
        std::map<int, double> round1(shares.toStdMap());

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
