// End to end through the panel: a Dutch rate tender is won, distributed fairly,
// split over accounts in table three, saved, and shown again from what was stored.

#include <QLocale>
#include <QSignalSpy>
#include <clocale>

#include "panel_workflow_support.h"

using namespace wf;

namespace {

class DutchSaveWorkflowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        freshHost();
        seedDutchRateTender();
    }
    void TearDown() override { testsupport::resetHost(); }

    // The user loads the bond, types the tender's rates and table one's won volumes
    // (国泰 2.7, 中信 1.8) and runs the fair distribution (fund one 2.7, fund two 1.8).
    void distribute(PanelUnderTest& p)
    {
        p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
        p.editHeadPrices(3.30, 3.15);
        ASSERT_EQ(oneRows(p).size(), 2u);
        typeInto(p.one(), oneRows(p)[0]->key(), 7, "2.75");   // cut to whole units: 2.7
        typeInto(p.one(), oneRows(p)[1]->key(), 7, "1.8");
        click(p.fairButton());
    }

    // Table three starts with one row per fund and nothing won. Fund one's 2.7 goes to two
    // accounts (1.2 on the exchange, 1.5 interbank), fund two's 1.8 to one; rows 1 and 2
    // through 国泰, row 3 through 中信.
    void completeTableThree(PanelUnderTest& p)
    {
        ASSERT_EQ(threeRows(p).size(), 2u);
        completeRow(p, "1", "上交所", "一级分销", kGuotai, "A001");
        clickCell(p.three(), "1", 9);   // "+添加"
        ASSERT_EQ(threeRows(p).size(), 3u);
        typeInto(p.three(), "2", 1, "银行间");
        typeInto(p.three(), "2", 8, "IB001");
        typeInto(p.three(), "1", 7, "1.2");
        typeInto(p.three(), "2", 7, "1.5");
        completeRow(p, "3", "深交所", "一级分销", kCitic, "B001");
        typeInto(p.three(), "3", 7, "1.8");
    }

    testsupport::MessageBoxRecorder boxes;
};

} // namespace

TEST_F(DutchSaveWorkflowTest, shouldSaveTheWholeAllocationAndShowItAgain)
{
    // Given a won Dutch tender, distributed and completed in table three
    PanelUnderTest p;
    distribute(p);
    const auto two = twoRows(p);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_DOUBLE_EQ(two[0]->info->winAmount, 2.7);
    EXPECT_DOUBLE_EQ(two[1]->info->winAmount, 1.8);
    completeTableThree(p);
    QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);
    QSignalSpy showTab(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigBondExecutionShowTab);

    // When the user clicks "保存"
    boxes.expect();
    click(p.saveButton());

    // Then the success box is shown and the total goes to the host
    ASSERT_EQ(boxes.boxes().size(), 1u) << boxes.texts().join("\n").toStdString();
    EXPECT_EQ(boxes.boxes()[0].kind, KZ::CMessageBox::Information);
    EXPECT_EQ(boxes.boxes()[0].title, QStringLiteral("中标分配信息"));
    EXPECT_EQ(boxes.boxes()[0].text, QStringLiteral("保存成功!"));
    ASSERT_EQ(amounts.count(), 1);
    EXPECT_EQ(amounts.at(0).at(0).toString(), QStringLiteral("DB001|4.500000"));
    EXPECT_EQ(showTab.count(), 0);

    // And the four areas were written in order: 30101, 30109, 30103, then the details
    const auto calls = updateCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].typeId, RT_ALLOC_PARAMS);
    EXPECT_EQ(calls[1].typeId, RT_ALLOC_UNDERWRITER);
    EXPECT_EQ(calls[2].typeId, RT_ALLOC_PRODUCT);
    EXPECT_EQ(calls[3].kind, SHostCall::TenderCmds);
    EXPECT_EQ(calls[3].operation, 3);
    // fund one's commands of this bond, then fund two's; never another bond's
    EXPECT_EQ(calls[3].commandIds, (std::vector<int>{9001, 9003, 9002}));

    const auto params = stored<CIBondTenderAllocParams>(kDutchBond, RT_ALLOC_PARAMS);
    ASSERT_EQ(params.size(), 1u);
    EXPECT_EQ(params[0]->bondCode, kDutchBond);
    EXPECT_EQ(params[0]->bondName, "");
    EXPECT_DOUBLE_EQ(params[0]->marginalPrice, 3.30);
    EXPECT_DOUBLE_EQ(params[0]->weightedMeanPrice, 3.15);
    EXPECT_DOUBLE_EQ(params[0]->couponRate, 0.0);

    const auto underWriters = stored<CIBondTenderAllocUnderWriterInfo>(kDutchBond, RT_ALLOC_UNDERWRITER);
    ASSERT_EQ(underWriters.size(), 2u);
    EXPECT_EQ(underWriters[0]->underWriterName, kGuotai);
    EXPECT_EQ(underWriters[0]->bondName, "24附息国债05");
    EXPECT_EQ(underWriters[0]->tenderingType, TT_DUTCH);
    EXPECT_DOUBLE_EQ(underWriters[0]->tenderPrice, 3.10);
    EXPECT_DOUBLE_EQ(underWriters[0]->bidAmount, 5.0);
    EXPECT_DOUBLE_EQ(underWriters[0]->winBidPrice, 3.30);
    EXPECT_DOUBLE_EQ(underWriters[0]->winAmount, 2.7);
    EXPECT_EQ(underWriters[1]->underWriterName, kCitic);
    EXPECT_DOUBLE_EQ(underWriters[1]->tenderPrice, 3.20);
    EXPECT_DOUBLE_EQ(underWriters[1]->winBidPrice, 3.30);
    EXPECT_DOUBLE_EQ(underWriters[1]->winAmount, 1.8);

    const auto products = stored<CIBondTenderAllocProductInfo>(kDutchBond, RT_ALLOC_PRODUCT);
    ASSERT_EQ(products.size(), 2u);
    EXPECT_EQ(products[0]->productId, kFundOne);
    EXPECT_EQ(products[0]->productName, kFundOneName);
    EXPECT_EQ(products[0]->portfolioId, kInvalidInt);
    EXPECT_EQ(products[0]->tenderPrice, kInvalidDouble);   // a Dutch row has no position
    EXPECT_DOUBLE_EQ(products[0]->bidAmount, 3.0);          // 3.10 and 3.20 won, 3.40 lost
    EXPECT_DOUBLE_EQ(products[0]->winAmount, 2.7);
    EXPECT_EQ(products[0]->purchaseType, TPT_NONE);
    EXPECT_EQ(products[1]->productId, kFundTwo);
    EXPECT_DOUBLE_EQ(products[1]->bidAmount, 2.0);
    EXPECT_DOUBLE_EQ(products[1]->winAmount, 1.8);

    const auto details = stored<CWinBidInfoDetail>(kDutchBond, RT_WIN_BID_DETAIL);
    ASSERT_EQ(details.size(), 3u);
    struct Expected {
        int productId; std::string productName; std::string account; std::string accountType;
        std::string underWriter; int won; std::string rowKey; int market; double bid; std::string fixedRow;
    };
    const std::vector<Expected> expected{
        {kFundOne, kFundOneName, "A001", "证券账号", kGuotai, 12000, "1", TM_SSE, 3.0, "1"},
        {kFundOne, kFundOneName, "IB001", "银行间账号", kGuotai, 15000, "2", TM_INTERBANK, 3.0, ""},
        {kFundTwo, kFundTwoName, "B001", "证券账号", kCitic, 18000, "3", TM_SZSE, 2.0, "2"},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& d = details[i];
        const Expected& e = expected[i];
        EXPECT_EQ(d->tradingDay, kToday);
        EXPECT_EQ(d->remark, "");
        EXPECT_EQ(d->portfolioId, kInvalidInt);
        EXPECT_EQ(d->productId, e.productId);
        EXPECT_EQ(d->productName, e.productName);
        EXPECT_EQ(d->bondCode, kDutchBond);
        EXPECT_EQ(d->bondName, "24附息国债05");
        EXPECT_EQ(d->tenderTarget, TTG_RATE);
        EXPECT_DOUBLE_EQ(d->winBidPrice, 3.30);
        EXPECT_EQ(d->account, e.account);
        EXPECT_EQ(d->accountTypeText, e.accountType);
        EXPECT_EQ(d->underWriter, e.underWriter);
        EXPECT_EQ(d->winBidAmount, e.won);
        EXPECT_EQ(d->rowKey, e.rowKey);
        EXPECT_EQ(d->purchaseType, TPT_PRIMARY);
        EXPECT_EQ(d->tenderMarket, e.market);
        EXPECT_DOUBLE_EQ(d->bidAmount, e.bid);
        EXPECT_EQ(d->bidPrice, kInvalidDouble);
        EXPECT_EQ(d->fixedRowIndex, e.fixedRow);
    }

    // When the host shows the bond again
    p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);

    // Then the saved allocation is shown, not the reports
    EXPECT_DOUBLE_EQ(p.head()->getMarginalPrice(), 3.30);
    const auto one = oneRows(p);
    ASSERT_EQ(one.size(), 2u);
    EXPECT_DOUBLE_EQ(one[0]->info->winBidAmount, 2.7);
    EXPECT_DOUBLE_EQ(one[1]->info->winBidAmount, 1.8);
    const auto twoAgain = twoRows(p);
    ASSERT_EQ(twoAgain.size(), 2u);
    EXPECT_DOUBLE_EQ(twoAgain[0]->info->winAmount, 2.7);
    EXPECT_DOUBLE_EQ(twoAgain[1]->info->winAmount, 1.8);
    const auto three = threeRows(p);
    ASSERT_EQ(three.size(), 3u);
    std::vector<std::string> shown;
    for (const auto& row : three)
        shown.push_back(row->info->productName + "|" + row->info->account + "|" + row->info->underWriter + "|"
                        + row->getDisplayQString(7).toStdString() + "|" + row->info->operationText);
    EXPECT_EQ(shown, (std::vector<std::string>{"稳健一号|A001|国泰证券|1.2000|+添加", "稳健一号|IB001|国泰证券|1.5000|删除",
                                               "成长二号|B001|中信证券|1.8000|+添加"}));

    // And saving it unchanged succeeds again
    boxes.expect();
    click(p.saveButton());
    EXPECT_EQ(boxes.boxes().back().text, QStringLiteral("保存成功!"));
    EXPECT_EQ(stored<CWinBidInfoDetail>(kDutchBond, RT_WIN_BID_DETAIL).size(), 3u);
}

TEST_F(DutchSaveWorkflowTest, shouldRefuseEachBrokenRuleWithItsOwnMessageAndWriteNothing)
{
    struct Case {
        const char* rule;
        std::function<void(PanelUnderTest&)> breakIt;
        QString message;
    };
    const std::vector<Case> cases{
        {"head", [](PanelUnderTest& p) { p.head()->setMarginalPrice(0.0); },
         QStringLiteral("边际价格/利率为0,无法保存!")},
        // table one at 0 stops before table two, whose won total is not 0
        {"table one", [](PanelUnderTest& p) {
             for (const auto& row : oneRows(p)) typeInto(p.one(), row->key(), 7, "0");
         },
         QStringLiteral("表一中标量合计为0!")},
        {"table two", [](PanelUnderTest& p) { typeInto(p.two(), "2", 6, "1.5"); },
         QStringLiteral("表二中标数量合计与表一中标总量不一致!")},
        {"table three total", [](PanelUnderTest& p) { typeInto(p.three(), "3", 7, "1.7"); },
         QStringLiteral("表三中标数量合计与表一中标总量不一致!")},
        // the totals agree, fund two has 1.5 instead of 1.8 and sorts first
        {"table three product", [](PanelUnderTest& p) {
             typeInto(p.three(), "1", 7, "1.5");
             typeInto(p.three(), "3", 7, "1.5");
         },
         QStringLiteral("表三产品 成长二号实际分配合计与表二中该产品中标数量不一致,无法保存!")},
        {"table three underwriter", [](PanelUnderTest& p) { typeInto(p.three(), "2", 3, kCitic); },
         QStringLiteral("表三承销商 中信证券实际分配合计与表一中该承销商中标量合计不一致,无法保存!")},
        {"table three account", [](PanelUnderTest& p) { typeInto(p.three(), "2", 1, "深交所"); },
         QStringLiteral("表三第 2 行数据未选择账号!")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        // Given a completed allocation with one rule broken
        PanelUnderTest p;
        distribute(p);
        completeTableThree(p);
        c.breakIt(p);
        CHostStore::instance().clearCalls();
        QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);

        // When the user saves
        const size_t before = boxes.boxes().size();
        boxes.expect();
        click(p.saveButton());

        // Then only that rule's message is shown and nothing is written
        ASSERT_EQ(boxes.boxes().size(), before + 1);
        EXPECT_EQ(boxes.boxes().back().kind, KZ::CMessageBox::Critical);
        EXPECT_EQ(boxes.boxes().back().title, QStringLiteral("检查错误"));
        EXPECT_EQ(boxes.boxes().back().text, c.message);
        EXPECT_TRUE(updateCalls().empty());
        EXPECT_EQ(amounts.count(), 0);
        EXPECT_TRUE(stored<CWinBidInfoDetail>(kDutchBond, RT_WIN_BID_DETAIL).empty());
    }
}

TEST_F(DutchSaveWorkflowTest, shouldReportOnlyTheMissingMarketOfAFreshRow)
{
    // Given a fresh table three after the fair distribution, volumes typed, no market, no account
    PanelUnderTest p;
    distribute(p);
    typeInto(p.three(), "1", 7, "2.7");
    typeInto(p.three(), "2", 7, "1.8");
    CHostStore::instance().clearCalls();

    // When the user saves
    boxes.expect();
    click(p.saveButton());

    // Then only the market is reported
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, QStringLiteral("表三第 1 行数据未选择投标市场!"));
    EXPECT_TRUE(updateCalls().empty());
}

TEST_F(DutchSaveWorkflowTest, shouldShowNothingAndWriteNothingWhenBothHintsAreOffAndASaveFails)
{
    // Given both hint settings off and an allocation table three does not complete
    CHostStore::instance().setHintSettings(false, false);
    PanelUnderTest p;
    distribute(p);
    CHostStore::instance().clearCalls();

    // When the user saves
    click(p.saveButton());

    // Then no box (the recorder expects none) and nothing written
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(updateCalls().empty());
}

TEST_F(DutchSaveWorkflowTest, shouldSaveTheBidParametersAloneFromTheLostView)
{
    // Given the lost view with a coupon rate
    PanelUnderTest p;
    p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
    QAbstractButton* lost = p.head()->resultGroup()->button(11);
    QTest::mouseClick(lost, Qt::LeftButton, Qt::NoModifier, QPoint(5, lost->height() / 2));
    QApplication::processEvents();
    p.head()->setCouponRate(2.85);
    QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);

    // When the user clicks the head's "保存"
    boxes.expect();
    click(p.head()->saveButton());

    // Then only the bid parameters are stored: no prices, the coupon rate
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].kind, KZ::CMessageBox::Information);
    EXPECT_EQ(boxes.boxes()[0].title, QStringLiteral("中标分配参数信息"));
    EXPECT_EQ(boxes.boxes()[0].text, QStringLiteral("保存成功!"));
    const auto calls = updateCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].typeId, RT_ALLOC_PARAMS);
    const auto params = stored<CIBondTenderAllocParams>(kDutchBond, RT_ALLOC_PARAMS);
    ASSERT_EQ(params.size(), 1u);
    EXPECT_DOUBLE_EQ(params[0]->marginalPrice, 0.0);
    EXPECT_DOUBLE_EQ(params[0]->weightedMeanPrice, 0.0);
    EXPECT_DOUBLE_EQ(params[0]->couponRate, 2.85);
    ASSERT_EQ(amounts.count(), 1);
    EXPECT_EQ(amounts.at(0).at(0).toString(), QStringLiteral("DB001|0.000000"));
}

TEST_F(DutchSaveWorkflowTest, shouldSaveTheSameFiguresUnderAGermanLocale)
{
    // Given a process running under a locale with a decimal comma
    const std::string previous = setlocale(LC_ALL, nullptr);
    ASSERT_NE(setlocale(LC_ALL, "de_DE.utf8"), nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    PanelUnderTest p;
    distribute(p);
    completeTableThree(p);
    QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);

    // When the allocation is saved
    boxes.expect();
    click(p.saveButton());
    setlocale(LC_ALL, previous.c_str());
    QLocale::setDefault(QLocale::c());

    // Then the figures are the same as anywhere else
    ASSERT_EQ(amounts.count(), 1);
    EXPECT_EQ(amounts.at(0).at(0).toString(), QStringLiteral("DB001|4.500000"));
    const auto details = stored<CWinBidInfoDetail>(kDutchBond, RT_WIN_BID_DETAIL);
    ASSERT_EQ(details.size(), 3u);
    EXPECT_EQ(details[0]->winBidAmount, 12000);
    EXPECT_EQ(details[1]->winBidAmount, 15000);
    EXPECT_EQ(details[2]->winBidAmount, 18000);
    const auto underWriters = stored<CIBondTenderAllocUnderWriterInfo>(kDutchBond, RT_ALLOC_UNDERWRITER);
    ASSERT_EQ(underWriters.size(), 2u);
    EXPECT_DOUBLE_EQ(underWriters[0]->winAmount, 2.7);
}
