// End to end through the panel: an American price tender with stored bid parameters,
// positions off the marginal price kept in full by the fair distribution, each position
// saved with its own price and purchase type.

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

    testsupport::MessageBoxRecorder boxes;
};

} // namespace

TEST_F(AmericanWorkflowTest, shouldKeepOffMarginalBidsAndSaveEachPosition)
{
    // Given the stored parameters, the reports, the fair distribution and table three completed
    PanelUnderTest p;
    allocateAmericanTender(p);
    EXPECT_DOUBLE_EQ(p.head()->getMarginalPrice(), 99.50);
    EXPECT_DOUBLE_EQ(oneRows(p)[0]->info->winBidPrice, 100.00);   // settled at its own bid
    std::vector<std::string> two;
    for (const auto& row : twoRows(p))
        two.push_back(std::to_string(row->info->productId) + "@" + row->getDisplayQString(3).toStdString() + ":"
                      + row->getDisplayQString(6).toStdString() + "/" + std::to_string(row->info->purchaseType));
    EXPECT_EQ(two, (std::vector<std::string>{"101@100.0000:1.0000/2", "101@99.5000:1.5000/1", "102@99.5000:1.5000/1"}));

    // When saved
    QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);
    boxes.expect();
    click(p.saveButton());

    // Then each position is stored with its own price and purchase type
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
    ASSERT_EQ(amounts.count(), 1);
    EXPECT_EQ(amounts.at(0).at(0).toString(), QStringLiteral("AB002|4.000000"));
    const auto calls = updateCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[3].commandIds, (std::vector<int>{9101, 9102, 9103}));
    std::vector<std::string> details;
    for (const auto& d : stored<CWinBidInfoDetail>(kAmericanBond, RT_WIN_BID_DETAIL)) {
        EXPECT_EQ(d->tenderTarget, TTG_PRICE);
        EXPECT_EQ(d->bidPrice, d->winBidPrice);
        details.push_back(std::to_string(d->productId) + "@" + KZ::printFixed6(d->bidPrice) + "|"
                          + std::to_string(d->purchaseType) + "|" + std::to_string(d->winBidAmount) + "|"
                          + d->fixedRowIndex);
    }
    EXPECT_EQ(details, (std::vector<std::string>{"101@100.000000|2|10000|1", "101@99.500000|1|15000|2",
                                                 "102@99.500000|1|15000|3"}));
    const auto underWriters = stored<CIBondTenderAllocUnderWriterInfo>(kAmericanBond, RT_ALLOC_UNDERWRITER);
    ASSERT_EQ(underWriters.size(), 2u);
    EXPECT_EQ(underWriters[1]->tenderingType, TT_AMERICAN);
    EXPECT_DOUBLE_EQ(underWriters[1]->winBidPrice, 99.50);
    EXPECT_DOUBLE_EQ(underWriters[1]->winAmount, 3.0);
}
