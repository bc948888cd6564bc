// Table two as a widget: typing won volumes, the save check, the rebuilds from the
// execution reports, read-only views and the records written back to the host.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTableView>
#include <QtTest/QTest>
#include <boost/make_shared.hpp>
#include <cfloat>
#include <map>

#include "CAllocationProductModel.h"
#include "CPanelBondAllocationProductTable.h"
#include "KZ/ColumnDelegates.h"
#include "KZ/Format.h"
#include "KZ/StandardHpfTable.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"

using namespace ttservice;
using TC::CAllocationProductData;
using TC::CPanelBondAllocationProductTable;

namespace {

const char* const kBond = "240001";

boost::shared_ptr<CIBondTenderAllocProductInfo> storedRow(int productId, double price, double bid, double win)
{
    auto record = boost::make_shared<CIBondTenderAllocProductInfo>();
    record->bondCode = kBond;
    record->bondName = "24附息国债01";
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
    record->bondName = "24附息国债01";
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
              double unit, double marginal = 100.0)
    {
        table.updateProductTableDatas(rows, marginal, kBond, type, unit, TTG_PRICE);
        table.getTable()->syncNow();
    }

    KZ::CBaseTableColumnLineeditDelegate* winDelegate() const
    {
        return dynamic_cast<KZ::CBaseTableColumnLineeditDelegate*>(table.getTable()->columnDelegate(6));
    }

    QModelIndex winCell(const QString& key) const
    {
        QAbstractItemModel* qt = table.getTable()->qtModel();
        for (int row = 0; row < qt->rowCount(); ++row) {
            const QModelIndex index = qt->index(row, 6);
            if (index.data(KZ::kRowKeyRole).toString() == key)
                return index;
        }
        return QModelIndex();
    }

    // Opens the real column-6 editor of a row, types the text and presses Enter.
    void typeWinAmount(const QString& key, const QString& text)
    {
        table.getTable()->syncNow();
        const QModelIndex index = winCell(key);
        ASSERT_TRUE(index.isValid()) << "no row " << key.toStdString();
        QTableView* view = table.getTable()->view();
        view->setCurrentIndex(index);
        view->edit(index);
        auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(index));
        ASSERT_NE(nullptr, editor) << "column 6 opened no line edit";
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The view commits and closes the editor from a queued call.
        QCoreApplication::processEvents();
        table.getTable()->syncNow();
    }

    boost::shared_ptr<CAllocationProductData> row(int rowNumber) const
    {
        return table.getRowNum2ProductData().value(rowNumber);
    }

    testsupport::MessageBoxRecorder boxes;
    CPanelBondAllocationProductTable table{0, nullptr};
};

} // namespace

TEST_F(ProductTableTest, shouldCutTypedVolumeToWholeUnitsAndCapItAtTheBid)
{
    struct SCase {
        double unit;
        QString typed;
        double expectedWin;
        QString expectedText;
    };
    const SCase cases[] = {
        {0.1, "1.2345", 1.2, "1.2000"},
        {0.1, "1.2", 1.2, "1.2000"},
        {0.5, "2.99", 2.5, "2.5000"},
        {0.1, "7", 5.0, "5.0000"},       // above the bid of 5: the bid
        {0.1, "5.05", 5.0, "5.0000"},
        {0.0, "3", 0.0, "0.0000"},       // no unit: nothing can be won
        {0.0001, "0.0001", 0.0001, "0.0001"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "unit " << c.unit << " typed " << c.typed.toStdString());
        // Given a row bidding 5 that won 0.5 and one bidding 2 that won 2
        load({storedRow(1, DBL_MAX, 5.0, 0.5), storedRow(2, DBL_MAX, 2.0, 2.0)}, TT_DUTCH, c.unit);

        // When the user types into the won-volume cell of row 1
        typeWinAmount("1", c.typed);

        // Then the row holds the cut volume, the cell shows it and the totals follow
        EXPECT_NEAR(c.expectedWin, row(1)->info->winAmount, 1e-12);
        EXPECT_EQ(c.expectedText, winDelegate()->getItemText("1"));
        EXPECT_NEAR(7.0, table.getModel()->getTotalBidAmount(), 1e-12);
        EXPECT_NEAR(c.expectedWin + 2.0, table.getModel()->getTotalWinAmount(), 1e-12);
        EXPECT_EQ(KZ::formatDoubleNumber(c.expectedWin + 2.0, 4, 0, false, "非法值"),
                  table.getModel()->getStatDispalyQString(6));
    }
}

TEST_F(ProductTableTest, shouldAcceptOnlyRowsWithinTheirBidAndATotalMatchingTableOne)
{
    struct SCase {
        const char* name;
        std::vector<std::pair<double, double>> bidAndWin;
        double tableOneTotal;
        bool ok;
        QString message;
    };
    const SCase cases[] = {
        {"row 3 over its bid by 0.00002", {{1.0, 1.0}, {2.0, 2.0}, {3.0, 3.00002}}, 6.00002, false,
         "表二第 3 行中标量大于投标量,无法保存!"},
        {"row over its bid by 0.000005 passes", {{1.0, 1.000005}, {2.0, 2.0}}, 3.000005, true, ""},
        {"nothing won", {{1.0, 0.0}, {2.0, 0.0}}, 0.0, false, "表二中标合计数据必须大于0!"},
        {"total 10.000005 against 10", {{6.0, 6.0}, {5.0, 4.000005}}, 10.0, true, ""},
        {"total 10.00002 against 10", {{6.0, 6.0}, {5.0, 4.00002}}, 10.0, false,
         "表二中标数量合计与表一中标总量不一致!"},
        {"total below table one", {{6.0, 6.0}, {5.0, 3.0}}, 10.0, false, "表二中标数量合计与表一中标总量不一致!"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<boost::shared_ptr<CIBondTenderAllocProductInfo>> rows;
        for (const auto& bidAndWin : c.bidAndWin)
            rows.push_back(storedRow(int(rows.size()) + 1, DBL_MAX, bidAndWin.first, bidAndWin.second));
        load(rows, TT_DUTCH, 0.1);

        QString message;
        EXPECT_EQ(c.ok, table.check(c.tableOneTotal, message));
        EXPECT_EQ(c.message, message);
    }
}

TEST_F(ProductTableTest, shouldRebuildTheDutchWonViewWithOneRowPerReportOfItsValidBids)
{
    // Given a Dutch tender at marginal price 100 and the stored context
    load({}, TT_DUTCH, 0.1, 100.0);

    // When the won view is rebuilt from reports
    table.refreshWinBidAllocationProductTable({
        report(1, {{"100.5", 1.0}, {"100", 2.0}, {"99.5", 3.0}, {"abc", 4.0}, {"101", DBL_MAX}}),
        report(2, {{"99", 5.0}}),                         // nothing won: no row
        nullptr,
        report(3, {{"100.2", 0.123456}}),
        report(4, {{"100.2", 1.0}}, "240002"),            // another bond
    });
    table.getTable()->syncNow();

    // Then each report with won bids gives one row without a position, bid rounded to 4 decimals
    const auto rows = table.getRowNum2ProductData();
    ASSERT_EQ(2, rows.size());
    EXPECT_EQ(1, rows.value(1)->info->productId);
    EXPECT_NEAR(3.0, rows.value(1)->info->bidAmount, 1e-12);
    EXPECT_EQ(3, rows.value(2)->info->productId);
    EXPECT_NEAR(0.1235, rows.value(2)->info->bidAmount, 1e-12);
    for (const auto& r : rows) {
        EXPECT_EQ(DBL_MAX, r->info->tenderPrice);
        EXPECT_EQ("-", r->getDisplayQString(3));
        EXPECT_EQ(0.0, r->info->winAmount);
        EXPECT_EQ("0.0000", winDelegate()->getItemText(QString::fromStdString(r->key())));
    }
    EXPECT_TRUE(winDelegate()->isLineEditable());
    EXPECT_NEAR(3.1235, table.getModel()->getTotalBidAmount(), 1e-12);
    EXPECT_EQ(2, table.getTable()->qtModel()->rowCount());
}

TEST_F(ProductTableTest, shouldRebuildTheAmericanWonViewWithOneRowPerWonPrice)
{
    load({storedRow(9, 100.0, 1.0, 1.0)}, TT_AMERICAN, 0.1, 100.0);

    table.refreshWinBidAllocationProductTable({
        report(1, {{"100.5", 1.0}, {"100", 2.0}, {"99.5", 3.0}, {"100.1", 0.0}, {"x1", 1.0}}),
        report(2, {{"101", 0.5}, {"102", DBL_MAX}}),
    });
    table.getTable()->syncNow();

    const auto rows = table.getRowNum2ProductData();
    ASSERT_EQ(3, rows.size());
    // bid details are read in price-text order: "100" before "100.5"
    EXPECT_EQ(100.0, rows.value(1)->info->tenderPrice);
    EXPECT_NEAR(2.0, rows.value(1)->info->bidAmount, 1e-12);
    EXPECT_EQ(100.5, rows.value(2)->info->tenderPrice);
    EXPECT_EQ(1, rows.value(2)->info->productId);
    EXPECT_EQ(101.0, rows.value(3)->info->tenderPrice);
    EXPECT_EQ(2, rows.value(3)->info->productId);
    EXPECT_EQ(TPT_NONE, rows.value(3)->info->purchaseType);   // no tender command placed it
    EXPECT_NEAR(3.5, table.getModel()->getTotalBidAmount(), 1e-12);
    EXPECT_EQ(0.0, table.getModel()->getTotalWinAmount());
}

TEST_F(ProductTableTest, shouldRebuildTheNotWonViewReadOnlyWithEveryBid)
{
    struct SCase {
        ETenderingType type;
        int rows;
        double bidTotal;
    };
    // Dutch: one row per report summing every bid; American: one row per non-zero bid.
    for (const SCase& c : {SCase{TT_DUTCH, 2, 6.0}, SCase{TT_AMERICAN, 3, 6.0}, SCase{TT_NONE, 0, 0.0}}) {
        SCOPED_TRACE(c.type);
        load({storedRow(1, DBL_MAX, 5.0, 5.0)}, TT_DUTCH, 0.1);

        table.refreshLoseBidAllocationProductTable(
            {report(1, {{"99", 1.0}, {"101", 2.0}, {"98", 0.0}, {"97", DBL_MAX}}), report(2, {{"95", 3.0}})}, c.type);
        table.getTable()->syncNow();

        const auto rows = table.getRowNum2ProductData();
        ASSERT_EQ(c.rows, rows.size());
        for (const auto& r : rows) {
            EXPECT_EQ(0.0, r->info->winAmount);
            EXPECT_EQ(TPT_NONE, r->info->purchaseType);
            EXPECT_EQ("0.0000", winDelegate()->getItemText(QString::fromStdString(r->key())));
            EXPECT_FALSE(winDelegate()->isCellEditable(QString::fromStdString(r->key())));
        }
        EXPECT_NEAR(c.bidTotal, table.getModel()->getTotalBidAmount(), 1e-12);
        EXPECT_EQ(0.0, table.getModel()->getTotalWinAmount());
    }
}

TEST_F(ProductTableTest, shouldStopEditingWhenDisabledUntilTheNextLoad)
{
    load({storedRow(1, DBL_MAX, 5.0, 1.0), storedRow(2, DBL_MAX, 2.0, 0.0)}, TT_DUTCH, 0.1);

    table.disableProductTableDelegate();
    EXPECT_FALSE(winDelegate()->isCellEditable("1"));
    EXPECT_FALSE(winDelegate()->isItemVisible("2"));

    load({storedRow(1, DBL_MAX, 5.0, 1.0)}, TT_DUTCH, 0.1);
    EXPECT_TRUE(winDelegate()->isCellEditable("1"));
    EXPECT_EQ("1.0000", winDelegate()->getItemText("1"));
}

TEST_F(ProductTableTest, shouldWriteEveryRowBackAndClearWithOneRecord)
{
    auto product = boost::make_shared<CProduct>();
    product->productId = 4;
    product->productName = "稳健一号";
    CHostStore::instance().setProducts({product});
    load({storedRow(4, 100.5, 3.0, 1.5), nullptr, storedRow(5, 100.0, 2.0, 0.0)}, TT_AMERICAN, 0.1);
    CHostStore::instance().clearCalls();

    table.placeProductTableDatas();
    table.clearProductTableBackStageData();

    const auto calls = CHostStore::instance().calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(kBond, calls[0].bondCode);
    EXPECT_EQ(30103, calls[0].typeId);
    ASSERT_EQ(2u, calls[0].records.size());
    const auto first = boost::dynamic_pointer_cast<CIBondTenderAllocProductInfo>(calls[0].records[0]);
    ASSERT_TRUE(first);
    EXPECT_EQ(kBond, first->bondCode);
    EXPECT_EQ(2147483647, first->portfolioId);
    EXPECT_EQ(4, first->productId);
    EXPECT_EQ("稳健一号", first->productName);
    EXPECT_EQ(100.5, first->tenderPrice);
    EXPECT_EQ(3.0, first->bidAmount);
    EXPECT_EQ(1.5, first->winAmount);
    EXPECT_EQ(TPT_SECONDARY, first->purchaseType);

    EXPECT_EQ(30103, calls[1].typeId);
    ASSERT_EQ(1u, calls[1].records.size());
    const auto clearing = boost::dynamic_pointer_cast<CIBondTenderAllocProductInfo>(calls[1].records[0]);
    ASSERT_TRUE(clearing);
    EXPECT_EQ(kBond, clearing->bondCode);
    EXPECT_EQ(2147483647, clearing->productId);
    EXPECT_EQ("", clearing->productName);
}
