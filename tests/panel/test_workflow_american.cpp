// End to end through the panel: an American price tender with stored bid parameters,
// positions off the marginal price kept in full by the fair distribution, and table
// three checked per product and position.

#include <QSignalSpy>

#include "panel_workflow_support.h"

using namespace wf;

namespace {

class AmericanWorkflowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        freshHost();
        seedAmericanPriceTender();
    }
    void TearDown() override { testsupport::resetHost(); }

    // Table one: 国泰 won 1.0 at 100.00 and 3.0 at 99.50; the fair distribution keeps fund
    // one's 1.0 at 100.00 and splits 3.0 at the marginal 99.50 evenly.
    void distribute(PanelUnderTest& p)
    {
        p.panel->refreshWinBidAllocationPanel(false, kAmericanBond, 0.1);
        const auto one = oneRows(p);
        ASSERT_EQ(one.size(), 2u);
        typeInto(p.one(), one[0]->key(), 7, "1");
        typeInto(p.one(), one[1]->key(), 7, "3");
        click(p.fairButton());
        ASSERT_EQ(threeRows(p).size(), 3u);
        completeRow(p, "1", "上交所", "二级上市", kGuotai, "A001");
        completeRow(p, "2", "上交所", "一级分销", kGuotai, "A002");
        completeRow(p, "3", "上交所", "一级分销", kGuotai, "B001");
    }

    testsupport::MessageBoxRecorder boxes;
};

} // namespace

TEST_F(AmericanWorkflowTest, shouldKeepOffMarginalBidsAndSaveEachPosition)
{
    // Given the stored parameters, the reports and the fair distribution
    PanelUnderTest p;
    distribute(p);
    EXPECT_DOUBLE_EQ(p.head()->getMarginalPrice(), 99.50);
    const auto one = oneRows(p);
    EXPECT_DOUBLE_EQ(one[0]->info->bidPrice, 100.00);
    EXPECT_DOUBLE_EQ(one[0]->info->winBidPrice, 100.00);   // settled at its own bid
    std::vector<std::string> two;
    for (const auto& row : twoRows(p))
        two.push_back(std::to_string(row->info->productId) + "@" + row->getDisplayQString(3).toStdString() + ":"
                      + row->getDisplayQString(6).toStdString() + "/" + std::to_string(row->info->purchaseType));
    EXPECT_EQ(two, (std::vector<std::string>{"101@100.0000:1.0000/2", "101@99.5000:1.5000/1", "102@99.5000:1.5000/1"}));

    // When the won volumes are typed in table three and saved
    typeInto(p.three(), "1", 7, "1");
    typeInto(p.three(), "2", 7, "1.5");
    typeInto(p.three(), "3", 7, "1.5");
    QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);
    boxes.expect();
    click(p.saveButton());

    // Then each position is stored with its own price and purchase type
    ASSERT_EQ(boxes.boxes().size(), 1u) << boxes.texts().join("\n").toStdString();
    EXPECT_EQ(boxes.boxes()[0].text, QStringLiteral("保存成功!"));
    ASSERT_EQ(amounts.count(), 1);
    EXPECT_EQ(amounts.at(0).at(0).toString(), QStringLiteral("AB002|4.000000"));
    const auto calls = updateCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[3].commandIds, (std::vector<int>{9101, 9102, 9103}));
    const auto details = stored<CWinBidInfoDetail>(kAmericanBond, RT_WIN_BID_DETAIL);
    ASSERT_EQ(details.size(), 3u);
    EXPECT_DOUBLE_EQ(details[0]->bidPrice, 100.00);
    EXPECT_DOUBLE_EQ(details[0]->winBidPrice, 100.00);
    EXPECT_EQ(details[0]->purchaseType, TPT_SECONDARY);
    EXPECT_EQ(details[0]->winBidAmount, 10000);
    EXPECT_DOUBLE_EQ(details[1]->bidPrice, 99.50);
    EXPECT_EQ(details[1]->purchaseType, TPT_PRIMARY);
    EXPECT_EQ(details[1]->winBidAmount, 15000);
    EXPECT_EQ(details[2]->productId, kFundTwo);
    EXPECT_EQ(details[2]->tenderTarget, TTG_PRICE);
    EXPECT_EQ(details[2]->fixedRowIndex, "3");
    const auto products = stored<CIBondTenderAllocProductInfo>(kAmericanBond, RT_ALLOC_PRODUCT);
    ASSERT_EQ(products.size(), 3u);
    EXPECT_DOUBLE_EQ(products[0]->tenderPrice, 100.00);
    EXPECT_EQ(products[0]->purchaseType, TPT_SECONDARY);
    const auto underWriters = stored<CIBondTenderAllocUnderWriterInfo>(kAmericanBond, RT_ALLOC_UNDERWRITER);
    ASSERT_EQ(underWriters.size(), 2u);
    EXPECT_EQ(underWriters[1]->tenderingType, TT_AMERICAN);
    EXPECT_DOUBLE_EQ(underWriters[1]->winBidPrice, 99.50);
    EXPECT_DOUBLE_EQ(underWriters[1]->winAmount, 3.0);
}

TEST_F(AmericanWorkflowTest, shouldNameProductAndPositionWhenTableThreeDiffersFromTableTwo)
{
    // Given table three with the right total but fund two given 2.0 instead of 1.5 at 99.50
    PanelUnderTest p;
    distribute(p);
    typeInto(p.three(), "1", 7, "1");
    typeInto(p.three(), "2", 7, "1");
    typeInto(p.three(), "3", 7, "2");
    CHostStore::instance().clearCalls();

    // When the user saves
    boxes.expect();
    click(p.saveButton());

    // Then the product and its position are named, the position with four decimals
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
              QStringLiteral("表三产品 成长二号 标位 99.5000实际分配合计与表二中该产品该标位中标数量不一致,无法保存!"));
    EXPECT_TRUE(updateCalls().empty());
}
