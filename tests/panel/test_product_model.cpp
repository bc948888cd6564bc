// Rows and model of table two, and the Qt adapter over a loaded table.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <boost/make_shared.hpp>
#include <cfloat>

#include "CAllocationProductData.h"
#include "CAllocationProductModel.h"
#include "CPanelBondAllocationProductTable.h"
#include "KZ/StandardHpfTable.h"
#include "KZ/UiResource.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"

using namespace ttservice;
using TC::CAllocationProductData;
using TC::CAllocationProductInfo;
using TC::CAllocationProductModel;

namespace {

boost::shared_ptr<CAllocationProductData> makeRow(int rowNumber, double price, int purchaseType)
{
    auto row = boost::make_shared<CAllocationProductData>();
    row->rowNumber = rowNumber;
    row->info = boost::make_shared<CAllocationProductInfo>();
    row->info->bondCode = "240001";
    row->info->bondName = "24附息国债01";
    row->info->productId = 7;
    row->info->tenderPrice = price;
    row->info->purchaseType = purchaseType;
    row->info->bidAmount = 1234.5;
    row->info->winAmount = 0.25;
    return row;
}

class ProductModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::resetHost();
        auto product = boost::make_shared<CProduct>();
        product->productId = 7;
        product->productName = "稳健一号";
        CHostStore::instance().setProducts({product});
    }
};

} // namespace

TEST_F(ProductModelTest, shouldShowEachColumnOfARow)
{
    struct SCase {
        double price;
        int purchaseType;
        bool segmented;
        QStringList display;   // columns 0..6
    };
    const SCase cases[] = {
        {100.25, TPT_PRIMARY, false,
         {"240001", "24附息国债01", "稳健一号", "100.2500", "一级分销", "1234.5000", "0.2500"}},
        {100.25, TPT_SECONDARY, true,
         {"240001", "24附息国债01", "稳健一号", "100.2500", "二级上市", "1,234.5000", "0.2500"}},
        {DBL_MAX, TPT_NONE, false,
         {"240001", "24附息国债01", "稳健一号", "-", "-", "1234.5000", "0.2500"}},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.display.join("|").toStdString());
        // Given a row and the user's number format
        CHostStore::instance().setSegmentedFormat(c.segmented);
        const auto row = makeRow(12, c.price, c.purchaseType);

        // Then the cells show their texts, numbers only through getDouble
        for (int column = 0; column < 7; ++column)
            EXPECT_EQ(c.display.at(column), row->getDisplayQString(column)) << "column " << column;
        EXPECT_EQ("", row->getDisplayQString(7));
        EXPECT_EQ("稳健一号", row->getQString(2));
        EXPECT_EQ(c.display.at(4), row->getQString(4));
        EXPECT_EQ("", row->getQString(3));
        EXPECT_EQ("", row->getQString(6));
        EXPECT_EQ(c.price, row->getDouble(3));
        EXPECT_EQ(1234.5, row->getDouble(5));
        EXPECT_EQ(0.25, row->getDouble(6));
        EXPECT_EQ(DBL_MAX, row->getDouble(0));
        EXPECT_EQ(2147483647, row->getInt(5));
        EXPECT_EQ(9223372036854775807LL, row->getLongLong(5));
        EXPECT_EQ("12", row->key());
    }
}

TEST_F(ProductModelTest, shouldKeyByRowNumberAndShareTheInfoBetweenCopies)
{
    auto row = makeRow(-3, DBL_MAX, 0);
    EXPECT_EQ("-3", row->key());

    CAllocationProductData copy(*row);
    copy.info->winAmount = 9.0;
    EXPECT_EQ(9.0, row->info->winAmount);
    EXPECT_EQ(-3, copy.rowNumber);
}

TEST_F(ProductModelTest, shouldDescribeSevenColumnsAndShowTotalsOnlyWhereGiven)
{
    CAllocationProductModel model;
    ASSERT_EQ(7, model.columnCount());
    const QStringList headers{"债券代码", "债券名称", "产品", "标位", "申购方式", "投标量(亿)", "中标量(亿)"};
    for (int column = 0; column < 7; ++column)
        EXPECT_EQ(headers.at(column), model.columnHeader(column));
    EXPECT_EQ(QVariant::String, model.columnType(2));
    EXPECT_EQ(QVariant::Double, model.columnType(3));
    EXPECT_EQ(QVariant::Double, model.columnType(6));
    EXPECT_EQ(QVariant::Invalid, model.columnType(7));

    // Before any totals: 0 with 4 decimals under the volumes, nothing elsewhere
    EXPECT_EQ("0.0000", model.getStatDispalyQString(5));
    EXPECT_EQ("0.0000", model.getStatDispalyQString(6));
    EXPECT_EQ("", model.getStatDispalyQString(0));

    CHostStore::instance().setSegmentedFormat(true);
    model.setTotalData(12345.5, 2.25);
    EXPECT_EQ("12,345.5000", model.getStatDispalyQString(5));
    EXPECT_EQ("2.2500", model.getStatDispalyQString(6));
    EXPECT_EQ(12345.5, model.getTotalBidAmount());

    EXPECT_EQ(KZ::CUiResource::getColor("clr_table_background"), model.getBackgroundColor(0));
    EXPECT_EQ(KZ::CUiResource::getColor("clr_table_background2"), model.getBackgroundColor(1));
    EXPECT_EQ(0, model.columnFlag(6));
    EXPECT_FALSE(model.columnFlashChange(6));
}

TEST_F(ProductModelTest, shouldKeepTheQtAdapterConsistentThroughLoadsEditsAndClears)
{
    // Given a shown table two under the Qt model tester
    TC::CPanelBondAllocationProductTable table(0, nullptr);
    table.show();
    KZ::CStandardHpfTable* hpf = table.getTable();
    QAbstractItemModelTester tester(hpf->qtModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);

    std::vector<boost::shared_ptr<CIBondTenderAllocProductInfo>> stored;
    for (int i = 0; i < 3; ++i) {
        auto record = boost::make_shared<CIBondTenderAllocProductInfo>();
        record->bondCode = "240001";
        record->productId = 7;
        record->tenderPrice = 100.0 + i;
        record->bidAmount = 1.0 + i;
        record->winAmount = 0.0;
        stored.push_back(record);
    }

    // When it is loaded, distributed, sorted and emptied
    table.updateProductTableDatas(stored, 100.0, "240001", TT_AMERICAN, 0.1, TTG_PRICE);
    hpf->syncNow();
    EXPECT_EQ(3, hpf->qtModel()->rowCount());
    table.refreshFairWinBidAllocationProductTable(2.0);
    hpf->sortByColumn(5, Qt::DescendingOrder);
    hpf->syncNow();
    EXPECT_EQ(3, hpf->qtModel()->rowCount());
    table.refreshProductModel();
    hpf->syncNow();

    // Then the tester found nothing wrong and the table is empty
    EXPECT_EQ(0, hpf->qtModel()->rowCount());
    EXPECT_FALSE(table.isProductTableHasData());
}
