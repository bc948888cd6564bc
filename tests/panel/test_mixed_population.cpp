// Table three filled from saved rows and from table two: groups, order, positions and the
// choices each row offers.
#include "test_mixed_support.h"

using namespace mixedtest;

TEST_F(MixedTableTest, shouldGroupSavedRowsFixedFirstInKeyTextOrder)
{
    // Given saved rows in the host's order: P12 added, P9, P12 fixed, P10 (won 1.2345)
    load(table, {detail(12, "P12", 100.5, 10000, false), detail(9, "P9", 100.0, 10000, true),
                 detail(12, "P12", 100.5, 30000, true), detail(10, "P10", 100.0, 12345, true)});

    // Then each product and position is one group with its fixed row first, the groups in
    // key text order ("10100.0000" < "12100.5000" < "9100.0000"), rows keyed in host order
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"4:P10|1.2345|+添加", "3:P12|3.0000|+添加",
                                                            "1:P12|1.0000|删除", "2:P9|1.0000|+添加"}));
    EXPECT_EQ(table.getProductDataMap().size(), 3);
    EXPECT_DOUBLE_EQ(wonTotal(), 6.2345);
    EXPECT_EQ(rowByKey(table, "3")->getDisplayQString(4), QStringLiteral("100.5000"));

    // Given keys that agree in their first 16 bytes ("123456781234.500x"), then the 17th decides
    load(table, {detail(12345678, "PA", 1234.5001, 10000, true), detail(12345678, "PA", 1234.5, 20000, true),
                 detail(12345678, "PA", 1234.5001, 10000, false)});
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"2:PA|2.0000|+添加", "1:PA|1.0000|+添加",
                                                            "3:PA|1.0000|删除"}));
    // and the three groups of the load before are gone, not only refilled
    EXPECT_EQ(table.getProductDataMap().keys(), (QList<int>{1, 2}));
    EXPECT_EQ(table.getProductDataMap().value(2).size(), 2);

    // When a Dutch tender is loaded, then positions show "-" and rows settle at the marginal
    load(table, {detail(12, "P12", 100.5, 10000, true)}, ttservice::TT_DUTCH);
    EXPECT_EQ(rowByKey(table, "1")->getDisplayQString(4), QStringLiteral("-"));
    EXPECT_DOUBLE_EQ(rowByKey(table, "1")->info->winBidPrice, 100.0);
}

TEST_F(MixedTableTest, shouldOfferAccountsOfTheRowsMarketAndKeepASavedAccount)
{
    // Given saved rows of product 12: interbank, Shanghai, and one with an account and an
    // underwriter it no longer has
    const DetailPtr interbank = detail(12, "P12", 100.5, 10000, true);
    interbank->tenderMarket = ttservice::TM_INTERBANK;
    interbank->account = "IB1";
    const DetailPtr gone = detail(12, "P12", 100.5, 10000, false);
    gone->account = "OLD";
    gone->underWriter = "UW9";
    load(table, {interbank, detail(12, "P12", 100.5, 10000, false), gone});

    // Then each row offers its market's accounts, and the saved values stay offered
    EXPECT_EQ(choices(table, 8, "1"), (QStringList{"", "IB1"}));
    EXPECT_EQ(choices(table, 8, "2"), (QStringList{"", "SH1", "SH2"}));
    EXPECT_EQ(choices(table, 8, "3"), (QStringList{"", "SH1", "SH2", "OLD"}));
    EXPECT_EQ(choices(table, 3, "3"), (QStringList{"", "UW1", "UW2", "UW9"}));
    EXPECT_EQ(choices(table, 1, "1"), (QStringList{"", "上交所", "深交所", "银行间"}));
}

TEST_F(MixedTableTest, shouldStartAWonAllocationWithOneFixedRowPerRowOfTableTwo)
{
    // Given a saved allocation loaded before (underwriter UW1, account SH1), one of whose
    // rows a caller still holds
    load(table, {detail(12, "P12", 99.5, 10000, true), detail(9, "P9", 99.0, 20000, true)});
    const auto held = rowByKey(table, "2");
    // and table two with rows of two purchase types
    QMap<int, ProductRowPtr> products{{1, productRow(1, 12, 99.5, 3.123456, 2.0)},
                                      {2, productRow(2, 9, 99.0, 1.0, 0.5, ttservice::TPT_SECONDARY)}};

    // When the won allocation starts
    table.refreshWinBidAllocationMixedTable(products, ttservice::TT_AMERICAN, "Bond 1");

    // Then each row copies its product row: won volume, bid to 4 decimals, purchase type, no market
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"1:P12|2.0000|+添加", "2:P9|0.5000|+添加"}));
    const auto first = rowByKey(table, "1");
    EXPECT_EQ(first->info->bidAmount, 3.1235);
    EXPECT_EQ(first->info->purchaseType, "一级分销");
    EXPECT_EQ(first->info->tenderMarket, -1);
    EXPECT_EQ(first->info->underWriter, "");
    EXPECT_EQ(first->info->account, "");
    // and the held row of the load before is still that row
    EXPECT_EQ(held->info->productName, "P9");
    EXPECT_EQ(held->info->winBidAmount, 2.0);
    EXPECT_EQ(held->info->account, "SH1");
    EXPECT_EQ(rowByKey(table, "2")->info->purchaseType, "二级上市");
    EXPECT_EQ(choices(table, 8, "1"), QStringList{""});
}
