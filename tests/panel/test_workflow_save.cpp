// End to end through the panel: a Dutch rate tender is won, distributed fairly,
// split over accounts in table three, saved, and shown again from what was stored; an
// American price tender keeps its positions off the marginal price and saves each one
// with its own price and purchase type.

#include <QSignalSpy>
#include <functional>

#include "panel_workflow_support.h"

using namespace wf;

namespace {

class SaveWorkflowTest : public PanelTest {
protected:
    // Table three's rows as "product|account|underwriter|won|operation".
    static std::vector<std::string> shownThree(const PanelUnderTest& p)
    {
        std::vector<std::string> shown;
        for (const auto& row : threeRows(p))
            shown.push_back(row->info->productName + "|" + row->info->account + "|" + row->info->underWriter + "|"
                            + row->getDisplayQString(7).toStdString() + "|" + row->info->operationText);
        return shown;
    }
};

} // namespace

TEST_F(SaveWorkflowTest, shouldSaveTheWholeAllocationAndShowItAgain)
{
    // Given a won Dutch tender, distributed and completed in table three
    seedDutchRateTender();
    PanelUnderTest p;
    allocateDutchTender(p);
    QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);
    QSignalSpy showTab(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigBondExecutionShowTab);

    // When the user clicks "保存"
    boxes.expect();
    click(p.saveButton());

    // Then the success box is shown and the total goes to the host
    ASSERT_EQ(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
    EXPECT_EQ(boxes.boxes()[0].kind, KZ::CMessageBox::Information);
    EXPECT_EQ(boxes.boxes()[0].title, QStringLiteral("中标分配信息"));
    ASSERT_EQ(amounts.count(), 1);
    EXPECT_EQ(amounts.at(0).at(0).toString(), QStringLiteral("DB001|4.500000"));
    EXPECT_EQ(showTab.count(), 0);

    // And the four areas were written in order: 30101, 30109, 30103, then the details with
    // fund one's commands of this bond, then fund two's; never another bond's
    const auto calls = updateCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].typeId, RT_ALLOC_PARAMS);
    EXPECT_EQ(calls[1].typeId, RT_ALLOC_UNDERWRITER);
    EXPECT_EQ(calls[2].typeId, RT_ALLOC_PRODUCT);
    EXPECT_EQ(calls[3].kind, SHostCall::TenderCmds);
    EXPECT_EQ(calls[3].commandIds, (std::vector<int>{9001, 9003, 9002}));

    // And the store holds what the user sees
    const auto params = stored<CIBondTenderAllocParams>(kDutchBond, RT_ALLOC_PARAMS);
    ASSERT_EQ(params.size(), 1u);
    EXPECT_DOUBLE_EQ(params[0]->marginalPrice, 3.30);
    EXPECT_DOUBLE_EQ(params[0]->weightedMeanPrice, 3.15);
    EXPECT_DOUBLE_EQ(params[0]->couponRate, 0.0);

    std::vector<std::string> underWriters;
    for (const auto& u : stored<CIBondTenderAllocUnderWriterInfo>(kDutchBond, RT_ALLOC_UNDERWRITER)) {
        EXPECT_EQ(u->bondName, "24附息国债05");
        EXPECT_EQ(u->tenderingType, TT_DUTCH);
        EXPECT_DOUBLE_EQ(u->winBidPrice, 3.30);
        underWriters.push_back(u->underWriterName + "|" + KZ::printFixed6(u->tenderPrice) + "|"
                               + KZ::printFixed6(u->bidAmount) + "|" + KZ::printFixed6(u->winAmount));
    }
    EXPECT_EQ(underWriters, (std::vector<std::string>{"国泰证券|3.100000|5.000000|2.700000",
                                                      "中信证券|3.200000|3.000000|1.800000"}));

    // (a Dutch row has no position; fund one's bid counts 3.10 and 3.20, not the lost 3.40)
    std::vector<std::string> products;
    for (const auto& r : stored<CIBondTenderAllocProductInfo>(kDutchBond, RT_ALLOC_PRODUCT)) {
        EXPECT_EQ(r->portfolioId, kInvalidInt);
        EXPECT_EQ(r->tenderPrice, kInvalidDouble);
        products.push_back(std::to_string(r->productId) + "|" + r->productName + "|" + KZ::printFixed6(r->bidAmount)
                           + "|" + KZ::printFixed6(r->winAmount));
    }
    EXPECT_EQ(products, (std::vector<std::string>{"101|稳健一号|3.000000|2.700000", "102|成长二号|2.000000|1.800000"}));

    std::vector<std::string> details;
    for (const auto& d : stored<CWinBidInfoDetail>(kDutchBond, RT_WIN_BID_DETAIL)) {
        EXPECT_EQ(d->tradingDay, kToday);
        EXPECT_EQ(d->portfolioId, kInvalidInt);
        EXPECT_EQ(d->bondName, "24附息国债05");
        EXPECT_EQ(d->tenderTarget, TTG_RATE);
        EXPECT_DOUBLE_EQ(d->winBidPrice, 3.30);
        EXPECT_EQ(d->purchaseType, TPT_PRIMARY);
        EXPECT_EQ(d->bidPrice, kInvalidDouble);
        details.push_back(d->rowKey + "|" + d->fixedRowIndex + "|" + d->productName + "|" + d->account + "|"
                          + d->accountTypeText + "|" + std::to_string(d->tenderMarket) + "|" + d->underWriter + "|"
                          + std::to_string(d->winBidAmount) + "|" + KZ::printFixed6(d->bidAmount));
    }
    EXPECT_EQ(details, (std::vector<std::string>{"1|1|稳健一号|A001|证券账号|1|国泰证券|12000|3.000000",
                                                 "2||稳健一号|IB001|银行间账号|3|国泰证券|15000|3.000000",
                                                 "3|2|成长二号|B001|证券账号|2|中信证券|18000|2.000000"}));

    // When the host shows the bond again, then the saved allocation is shown, not the reports
    p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
    EXPECT_DOUBLE_EQ(p.head()->getMarginalPrice(), 3.30);
    EXPECT_DOUBLE_EQ(oneRows(p).at(0)->info->winBidAmount, 2.7);
    EXPECT_DOUBLE_EQ(twoRows(p).at(1)->info->winAmount, 1.8);
    EXPECT_EQ(shownThree(p), (std::vector<std::string>{"稳健一号|A001|国泰证券|1.2000|+添加",
                                                       "稳健一号|IB001|国泰证券|1.5000|删除",
                                                       "成长二号|B001|中信证券|1.8000|+添加"}));

    // And saving it unchanged succeeds again
    boxes.expect();
    click(p.saveButton());
    EXPECT_EQ(boxes.boxes().back().text, QStringLiteral("保存成功!"));
    EXPECT_EQ(stored<CWinBidInfoDetail>(kDutchBond, RT_WIN_BID_DETAIL).size(), 3u);
}

TEST_F(SaveWorkflowTest, shouldRefuseEachBrokenRuleWithItsOwnMessageAndWriteNothing)
{
    const struct {
        const char* rule;
        std::function<void(PanelUnderTest&)> breakIt;
        const char* message;
    } cases[] = {
        {"head", [](PanelUnderTest& p) { p.head()->setMarginalPrice(0.0); }, "边际价格/利率为0,无法保存!"},
        // table one at 0 stops before table two, whose won total is not 0
        {"table one",
         [](PanelUnderTest& p) {
             for (const auto& row : oneRows(p)) typeInto(p.one(), row->key(), 7, "0");
         },
         "表一中标量合计为0!"},
        {"table two", [](PanelUnderTest& p) { typeInto(p.two(), "2", 6, "1.5"); },
         "表二中标数量合计与表一中标总量不一致!"},
        {"table three total", [](PanelUnderTest& p) { typeInto(p.three(), "3", 7, "1.7"); },
         "表三中标数量合计与表一中标总量不一致!"},
        // the totals agree, fund two has 1.5 instead of 1.8 and sorts first
        {"table three product",
         [](PanelUnderTest& p) {
             typeInto(p.three(), "1", 7, "1.5");
             typeInto(p.three(), "3", 7, "1.5");
         },
         "表三产品 成长二号实际分配合计与表二中该产品中标数量不一致,无法保存!"},
        {"table three underwriter", [](PanelUnderTest& p) { typeInto(p.three(), "2", 3, kCitic); },
         "表三承销商 中信证券实际分配合计与表一中该承销商中标量合计不一致,无法保存!"},
        // a market no longer chosen empties the account too: only the market is named
        {"table three market", [](PanelUnderTest& p) { typeInto(p.three(), "1", 1, "xyz"); },
         "表三第 1 行数据未选择投标市场!"},
        {"table three account", [](PanelUnderTest& p) { typeInto(p.three(), "2", 1, "深交所"); },
         "表三第 2 行数据未选择账号!"},
    };
    seedDutchRateTender();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        // Given a completed allocation with one rule broken
        PanelUnderTest p;
        allocateDutchTender(p);
        c.breakIt(p);
        CHostStore::instance().clearCalls();
        QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);

        // When the user saves
        const int before = boxes.texts().size();
        boxes.expect();
        click(p.saveButton());

        // Then only that rule's message is shown and nothing is written
        ASSERT_EQ(boxes.texts().mid(before), QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(boxes.boxes().back().kind, KZ::CMessageBox::Critical);
        EXPECT_EQ(boxes.boxes().back().title, QStringLiteral("检查错误"));
        EXPECT_TRUE(updateCalls().empty());
        EXPECT_EQ(amounts.count(), 0);
    }
}

TEST_F(SaveWorkflowTest, shouldSaveTheBidParametersAloneFromTheLostView)
{
    // Given the lost view with a coupon rate
    seedDutchRateTender();
    PanelUnderTest p;
    p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
    p.chooseLost();
    p.head()->setCouponRate(2.85);
    QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);

    // When the user clicks the head's "保存"
    boxes.expect();
    click(p.head()->saveButton());

    // Then only the bid parameters are stored: no prices, the coupon rate
    EXPECT_EQ(boxes.boxes().back().title, QStringLiteral("中标分配参数信息"));
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
    ASSERT_EQ(updateCalls().size(), 1u);
    const auto params = stored<CIBondTenderAllocParams>(kDutchBond, RT_ALLOC_PARAMS);
    ASSERT_EQ(params.size(), 1u);
    EXPECT_DOUBLE_EQ(params[0]->marginalPrice + params[0]->weightedMeanPrice, 0.0);
    EXPECT_DOUBLE_EQ(params[0]->couponRate, 2.85);
    ASSERT_EQ(amounts.count(), 1);
    EXPECT_EQ(amounts.at(0).at(0).toString(), QStringLiteral("DB001|0.000000"));
}

TEST_F(SaveWorkflowTest, shouldKeepOffMarginalBidsAndSaveEachPosition)
{
    // Given the stored parameters, the reports, the fair distribution and table three completed
    seedAmericanPriceTender();
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
