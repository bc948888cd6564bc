// Table two as a widget: typing won volumes, the save check, locking and the Qt adapter.
#include <QAbstractItemModelTester>
#include <boost/make_shared.hpp>
#include <cfloat>

#include "CAllocationProductModel.h"
#include "CPanelBondTenderAllocationHelper.h"
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

    testsupport::MessageBoxRecorder boxes;
    TC::CPanelBondAllocationProductTable table{0, nullptr};
};

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
    for (int i = 0; i < model->rowCount(); ++i) {
        const auto row = boost::dynamic_pointer_cast<TC::CAllocationProductData>(model->dataAt(i));
        ASSERT_TRUE(row && row->info);
        EXPECT_EQ(row->info->purchaseType, TC::CPanelBondTenderAllocationHelper::getETenderPurchaseTypeFromCmd(
                                               kBond, row->info->productId, row->info->tenderPrice))
            << "product " << row->info->productId << " price " << row->info->tenderPrice;
    }
}

TEST_F(ProductTableTest, shouldFillAReloadWithFreshRowsAndLeaveARowACallerHoldsAlone)
{
    // Given an American tender's rows loaded, one of which a caller still holds
    load({saved(7, 100.0, 1.0, 0.5), saved(8, 101.0, 2.0, 1.5)}, TT_AMERICAN, 0.1);
    const auto held = table.getRowNum2ProductData().value(2);
    ASSERT_TRUE(held && held->info);

    // When rows of a tender without positions are loaded in their place
    load({saved(9, 102.0, 3.0, 0.0), saved(10, 103.0, 4.0, 0.0)}, TT_NONE, 0.1);

    // Then the new rows carry no position or purchase type of the rows before them
    const auto rows = table.getRowNum2ProductData();
    ASSERT_EQ(rows.size(), 2);
    for (const auto& row : rows) {
        EXPECT_EQ(row->info->tenderPrice, kInvalidDouble);
        EXPECT_EQ(row->info->purchaseType, TPT_NONE);
    }
    EXPECT_EQ(rows.value(1)->info->productId, 9);
    // and the held row is still product 8's
    EXPECT_EQ(held->info->productId, 8);
    EXPECT_EQ(held->info->tenderPrice, 101.0);
    EXPECT_EQ(held->info->winAmount, 1.5);
}
