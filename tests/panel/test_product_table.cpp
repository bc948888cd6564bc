// Table two as a widget: typing won volumes, the save check, the rebuilds from the
// execution reports and the Qt adapter over it.
#include <QAbstractItemModelTester>
#include <boost/make_shared.hpp>
#include <cfloat>

#include "CAllocationProductModel.h"
#include "panel_workflow_support.h"

using namespace wf;

namespace {

const char* const kBond = "240001";

boost::shared_ptr<CIBondTenderAllocProductInfo> saved(int productId, double price, double bid, double win)
{
    auto record = boost::make_shared<CIBondTenderAllocProductInfo>();
    record->bondCode = kBond;
    record->productId = productId;
    record->tenderPrice = price;
    record->purchaseType = TPT_SECONDARY;
    record->bidAmount = bid;
    record->winAmount = win;
    return record;
}

boost::shared_ptr<CIBondTenderExecInternalReportInfo> report(int productId, std::map<std::string, double> bids,
                                                             const std::string& bondCode = kBond)
{
    auto record = boost::make_shared<CIBondTenderExecInternalReportInfo>();
    record->bondCode = bondCode;
    record->tenderTarget = TTG_PRICE;
    record->productId = productId;
    record->bidDetails = std::move(bids);
    return record;
}

class ProductTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::resetHost();
        table.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    }

    void load(const std::vector<boost::shared_ptr<CIBondTenderAllocProductInfo>>& rows, ETenderingType type,
              double unit)
    {
        table.updateProductTableDatas(rows, 100.0, kBond, type, unit, TTG_PRICE);
    }

    // Rows as "product@position:bid/won".
    std::vector<std::string> summary() const
    {
        std::vector<std::string> out;
        for (const auto& row : table.getRowNum2ProductData())
            out.push_back(std::to_string(row->info->productId) + "@" + row->getDisplayQString(3).toStdString() + ":"
                          + row->getDisplayQString(5).toStdString() + "/" + row->getDisplayQString(6).toStdString());
        return out;
    }

    testsupport::MessageBoxRecorder boxes;
    TC::CPanelBondAllocationProductTable table{0, nullptr};
};

} // namespace

TEST_F(ProductTableTest, shouldCutTypedVolumeToWholeUnitsAndCapItAtTheBid)
{
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

TEST_F(ProductTableTest, shouldRebuildTheWonViewFromTheReportsWonBids)
{
    // Reports at marginal price 100: unreadable prices, no-value bids, a lost-only product,
    // a null report and another bond's are left out.
    const auto reports = [] {
        return std::vector<boost::shared_ptr<CIBondTenderExecInternalReportInfo>>{
            report(1, {{"100.5", 1.0}, {"100", 2.0}, {"99.5", 3.0}, {"abc", 4.0}, {"101", DBL_MAX}}),
            report(2, {{"99", 5.0}}), nullptr, report(3, {{"100.2", 0.123456}}),
            report(4, {{"100.2", 1.0}}, "240002")};
    };
    // Dutch: one row per report without a position; American: one row per won price, in
    // price-text order ("100" before "100.5"); bids to 4 decimals, nothing won yet.
    const struct { ETenderingType type; std::vector<std::string> rows; } cases[] = {
        {TT_DUTCH, {"1@-:3.0000/0.0000", "3@-:0.1235/0.0000"}},
        {TT_AMERICAN, {"1@100.0000:2.0000/0.0000", "1@100.5000:1.0000/0.0000", "3@100.2000:0.1235/0.0000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        load({saved(9, 100.0, 1.0, 1.0)}, c.type, 0.1);
        table.refreshWinBidAllocationProductTable(reports());
        EXPECT_EQ(summary(), c.rows);
        EXPECT_NE(openEditor(&table, "1", 6), nullptr);
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

TEST_F(ProductTableTest, shouldKeepTheQtAdapterConsistentThroughLoadsEditsAndClears)
{
    KZ::CStandardHpfTable* hpf = table.getTable();
    QAbstractItemModelTester tester(hpf->qtModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);

    // When loaded, distributed, typed into, sorted and emptied
    load({saved(7, 100.0, 1.0, 0.0), saved(7, 101.0, 2.0, 0.0), saved(7, 102.0, 3.0, 0.0)}, TT_AMERICAN, 0.1);
    hpf->syncNow();
    EXPECT_EQ(3, hpf->qtModel()->rowCount());
    table.refreshFairWinBidAllocationProductTable(2.0);
    typeInto(&table, "2", 6, "1.5");
    hpf->sortByColumn(5, Qt::DescendingOrder);
    hpf->syncNow();
    EXPECT_EQ(3, hpf->qtModel()->rowCount());
    table.refreshProductModel();
    hpf->syncNow();

    // Then the tester found nothing wrong and the table is empty
    EXPECT_EQ(0, hpf->qtModel()->rowCount());
    EXPECT_FALSE(table.isProductTableHasData());
}
