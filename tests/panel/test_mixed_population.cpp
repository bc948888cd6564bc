// Rows, model and the three ways table three is filled.
#include <gtest/gtest.h>

#include <cfloat>

#include "KZ/UiResource.h"
#include "test_mixed_support.h"

using namespace mixedtest;
using TC::CAllocationMixedData;
using TC::CAllocationMixedInfo;
using TC::CAllocationMixedModel;
using TC::CPanelBondAllocationMixedTable;

namespace {

CAllocationMixedData makeRow(int number, int market, double bidPrice)
{
    CAllocationMixedData row;
    row.info.reset(new CAllocationMixedInfo());
    row.rowNumber = number;
    row.info->tenderMarket = market;
    row.info->bidPrice = bidPrice;
    row.info->bidAmount = 1.5;
    return row;
}

} // namespace

TEST_F(MixedTableTest, shouldShowRowCellsAndNoValueMarks)
{
    // Given rows of each market, one without a position (Dutch)
    const struct { int market; const char* text; } markets[] = {
        {-1, ""}, {1, "上交所"}, {2, "深交所"}, {3, "银行间"}, {7, ""}};
    for (const auto& m : markets) {
        const CAllocationMixedData row = makeRow(7, m.market, DBL_MAX);
        // Then
        EXPECT_EQ(row.getDisplayQString(1), QString::fromUtf8(m.text)) << m.market;
        EXPECT_EQ(row.getDisplayQString(4), QStringLiteral("-"));
        EXPECT_EQ(row.getDouble(4), DBL_MAX);
        EXPECT_EQ(row.getDisplayQString(5), QStringLiteral("1.5000"));
        EXPECT_EQ(row.key(), "7");
        for (int column : {0, 1, 2, 3, 8, 9})
            EXPECT_EQ(row.getDouble(column), DBL_MAX) << column;
        for (int column = 0; column < 10; ++column) {
            EXPECT_EQ(row.getInt(column), 2147483647);
            EXPECT_EQ(row.getLongLong(column), 9223372036854775807LL);
        }
        EXPECT_TRUE(row.getDisplayQString(9).isEmpty());
    }
    EXPECT_EQ(CAllocationMixedData().key(), "");
}

TEST_F(MixedTableTest, shouldShowTotalsOnlyUnderTheVolumesWithTheUsersGrouping)
{
    CAllocationMixedModel model;
    model.setTotalData(1.5, 12345.6);
    ttservice::CHostStore::instance().setSegmentedFormat(true);
    EXPECT_EQ(model.getStatDispalyQString(5), QStringLiteral("1.5000"));
    EXPECT_EQ(model.getStatDispalyQString(7), QStringLiteral("12,345.6000"));
    EXPECT_TRUE(model.getStatDispalyQString(4).isEmpty());
    EXPECT_EQ(model.getTotalWinBidAmount(), 12345.6);
    EXPECT_EQ(model.getBackgroundColor(0), KZ::CUiResource::getColor("clr_table_background"));
    EXPECT_EQ(model.getBackgroundColor(1), KZ::CUiResource::getColor("clr_table_background2"));
    EXPECT_EQ(model.getBackgroundColor(2), KZ::CUiResource::getColor("clr_table_background"));
}

TEST_F(MixedTableTest, shouldPutFixedRowFirstWhateverTheHostOrder)
{
    for (bool fixedFirst : {true, false}) {
        // Given two saved rows of product 12 at 100.5, one fixed, one added
        CPanelBondAllocationMixedTable table(0, nullptr);
        const DetailPtr fixed = detail(12, "P12", 100.5, 30000, true);
        const DetailPtr added = detail(12, "P12", 100.5, 10000, false);
        // When loaded in either order
        load(table, fixedFirst ? std::vector<DetailPtr>{fixed, added} : std::vector<DetailPtr>{added, fixed});
        // Then they form one group, fixed row first, and the model follows group order
        ASSERT_EQ(table.getProductDataMap().size(), 1);
        const auto& group = table.getProductDataMap().first();
        ASSERT_EQ(group.size(), 2);
        EXPECT_EQ(group[0]->info->operationText, "+添加");
        EXPECT_EQ(group[1]->info->operationText, "删除");
        EXPECT_EQ(rowSummary(table).front().substr(1), ":P12|3.0000|+添加");
        EXPECT_EQ(table.getAllocationMixedModel()->getTotalWinBidAmount(), 4.0);
        EXPECT_TRUE(table.isMixedTableHasData());
        auto* operations = delegateAt<KZ::CBaseTableColumnSimpleTextDelegate>(table, 9);
        EXPECT_EQ(operations->getText(fixedFirst ? "1" : "2"), QStringLiteral("+添加"));
        EXPECT_EQ(operations->getText(fixedFirst ? "2" : "1"), QStringLiteral("删除"));
    }
}

TEST_F(MixedTableTest, shouldOrderGroupsByKeyTextAndShowVolumesWithFourDecimals)
{
    // Given products 9 and 10 at one price, won volume stored as 12345
    CPanelBondAllocationMixedTable table(0, nullptr);
    load(table, {detail(9, "P9", 100.0, 10000, true), detail(10, "P10", 100.0, 12345, true)});
    // Then product 10's group comes first ("10100.0000" < "9100.0000")
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"2:P10|1.2345|+添加", "1:P9|1.0000|+添加"}));
    EXPECT_EQ(table.getProductDataMap().value(1).first()->info->productName, "P10");
}

TEST_F(MixedTableTest, shouldShowDashAndSettleAtMarginalPriceInDutchTender)
{
    CPanelBondAllocationMixedTable table(0, nullptr);
    load(table, {detail(12, "P12", 100.5, 10000, true)}, ttservice::TT_DUTCH);
    const auto row = rowByKey(table, "1");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->getDisplayQString(4), QStringLiteral("-"));
    EXPECT_EQ(row->info->winBidPrice, 100.0);
}

TEST_F(MixedTableTest, shouldOfferAccountsOfTheRowsMarketAndKeepASavedAccount)
{
    // Given saved rows of product 12: interbank, Shanghai, and one with an account it no longer has
    CPanelBondAllocationMixedTable table(0, nullptr);
    const DetailPtr interbank = detail(12, "P12", 100.5, 10000, true);
    interbank->tenderMarket = 3;
    interbank->account = "IB1";
    const DetailPtr shanghai = detail(12, "P12", 100.5, 10000, false);
    const DetailPtr gone = detail(12, "P12", 100.5, 10000, false);
    gone->account = "OLD";
    gone->underWriter = "UW9";
    load(table, {interbank, shanghai, gone});
    // Then
    EXPECT_EQ(choices(table, 8, "1"), (QStringList{"", "IB1"}));
    EXPECT_EQ(choices(table, 8, "2"), (QStringList{"", "SH1", "SH2"}));
    EXPECT_EQ(choices(table, 8, "3"), (QStringList{"", "SH1", "SH2", "OLD"}));
    EXPECT_EQ(choices(table, 3, "3"), (QStringList{"", "UW1", "UW2", "UW9"}));
    EXPECT_EQ(choices(table, 1, "1"), (QStringList{"", "上交所", "深交所", "银行间"}));
    EXPECT_EQ(delegateAt<TC::CBaseTableColumnAutoLineEditDelegate>(table, 1)->getCurText("1"),
              QStringLiteral("银行间"));

    // And an unknown product gets only the empty entry, appended to what is there
    QStringList out{"x"};
    table.getAllocationAccounts(out, ttservice::TM_SSE, "nobody");
    EXPECT_EQ(out, (QStringList{"x", ""}));
}

TEST_F(MixedTableTest, shouldBuildOneFixedRowPerProductRowOfAWonBid)
{
    // Given table two with two rows of different purchase types
    CPanelBondAllocationMixedTable table(0, nullptr);
    load(table, {});   // the tender's prices come from the last load
    QMap<int, ProductRowPtr> products{{1, productRow(1, 12, 99.5, 3.123456, 2.0)},
                                      {2, productRow(2, 9, 99.0, 1.0, 0.5, ttservice::TPT_SECONDARY)}};
    // When
    table.refreshWinBidAllocationMixedTable(products, ttservice::TT_AMERICAN, "Bond 1");
    // Then
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"1:P12|2.0000|+添加", "2:P9|0.5000|+添加"}));
    const auto first = rowByKey(table, "1");
    EXPECT_EQ(first->info->bidAmount, 3.1235);
    EXPECT_EQ(first->info->purchaseType, "一级分销");
    EXPECT_EQ(first->info->tenderMarket, -1);
    EXPECT_EQ(rowByKey(table, "2")->info->purchaseType, "二级上市");
    EXPECT_EQ(choices(table, 8, "1"), QStringList{""});
    EXPECT_EQ(table.getProductDataMap().size(), 2);
    EXPECT_TRUE(delegateAt<KZ::CBaseTableColumnSimpleTextDelegate>(table, 9)->isItemEnabled("2"));
}

TEST_F(MixedTableTest, shouldShowALostBidReadOnlyAndKeepTheStoredGroups)
{
    // Given a saved allocation of one group
    CPanelBondAllocationMixedTable table(0, nullptr);
    load(table, {detail(12, "P12", 100.5, 10000, true)});
    QMap<int, ProductRowPtr> products{{1, productRow(1, 12, 99.5, 3.0, 0.0)}, {2, productRow(2, 9, 99.0, 1.0, 0.0)}};
    // When the bid is shown as lost
    table.refreshLoseBidAllocationMixedTable(products, ttservice::TT_DUTCH);
    // Then rows show the bids only, nothing can be changed, and the store is untouched
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"1:P12|0.0000|", "2:P9|0.0000|"}));
    EXPECT_EQ(rowByKey(table, "1")->getDisplayQString(4), QStringLiteral("-"));
    auto* operations = delegateAt<KZ::CBaseTableColumnSimpleTextDelegate>(table, 9);
    EXPECT_FALSE(operations->isItemEnabled("1"));
    EXPECT_TRUE(operations->getText("1").isEmpty());
    EXPECT_FALSE(delegateAt<KZ::CBaseTableColumnLineeditDelegate>(table, 7)->isLineEditable());
    EXPECT_EQ(delegateAt<KZ::CBaseTableColumnLineeditDelegate>(table, 7)->getItemText("2"), QStringLiteral("0.0000"));
    EXPECT_EQ(table.getProductDataMap().size(), 1);
}

TEST_F(MixedTableTest, shouldBuildCrossTableKeysPerTenderingType)
{
    const struct { ttservice::ETenderingType type; double price; const char* key; } cases[] = {
        {ttservice::TT_AMERICAN, 3.25, "A|3.250000"},
        {ttservice::TT_MIXED, 100.123456789, "A|100.123457"},
        {ttservice::TT_DUTCH, 3.25, "A"},
        {ttservice::TT_NONE, 3.25, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CPanelBondAllocationMixedTable::getProductAndTenderKey(c.type, "A", c.price), c.key);
        EXPECT_EQ(CPanelBondAllocationMixedTable::getUnderWriterAndTenderkey(c.type, "A", c.price), c.key);
    }
}
