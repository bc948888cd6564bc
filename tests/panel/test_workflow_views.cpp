// End to end through the panel: the lost view, settled bonds, the lock date, blanking
// and the return to tender execution.

#include <QSignalSpy>

#include "panel_workflow_support.h"

using namespace wf;

namespace {

// An allocation of AB002 as an earlier full save left it: fund one won 1.0 at 100.00
// through 国泰, on account A001.
void seedSavedAmericanAllocation()
{
    boost::shared_ptr<CIBondTenderAllocUnderWriterInfo> uw(new CIBondTenderAllocUnderWriterInfo());
    uw->bondCode = kAmericanBond;
    uw->bondName = "24国开02";
    uw->tenderingType = TT_AMERICAN;
    uw->underWriterName = kGuotai;
    uw->tenderPrice = 100.00;
    uw->bidAmount = 2.0;
    uw->winBidPrice = 100.00;
    uw->winAmount = 1.0;
    CHostStore::instance().putRecords(kAmericanBond, RT_ALLOC_UNDERWRITER, {uw});

    boost::shared_ptr<CIBondTenderAllocProductInfo> pr(new CIBondTenderAllocProductInfo());
    pr->bondCode = kAmericanBond;
    pr->bondName = "24国开02";
    pr->productId = kFundOne;
    pr->productName = kFundOneName;
    pr->tenderPrice = 100.00;
    pr->bidAmount = 1.0;
    pr->winAmount = 1.0;
    pr->purchaseType = TPT_SECONDARY;
    CHostStore::instance().putRecords(kAmericanBond, RT_ALLOC_PRODUCT, {pr});

    boost::shared_ptr<CWinBidInfoDetail> d(new CWinBidInfoDetail());
    d->tradingDay = kToday;
    d->productId = kFundOne;
    d->productName = kFundOneName;
    d->bondCode = kAmericanBond;
    d->bondName = "24国开02";
    d->tenderTarget = TTG_PRICE;
    d->winBidPrice = 100.00;
    d->account = "A001";
    d->accountTypeText = "证券账号";
    d->underWriter = kGuotai;
    d->winBidAmount = 10000;
    d->rowKey = "1";
    d->purchaseType = TPT_SECONDARY;
    d->tenderMarket = TM_SSE;
    d->bidAmount = 1.0;
    d->bidPrice = 100.00;
    d->fixedRowIndex = "1";
    CHostStore::instance().putRecords(kAmericanBond, RT_WIN_BID_DETAIL, {d});
}

class ViewsWorkflowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        freshHost();
        seedDutchRateTender();
        seedAmericanPriceTender();
        seedMixedRateTender();
    }
    void TearDown() override { testsupport::resetHost(); }

    static bool editable(const QWidget* area, const std::string& key, int column)
    {
        QLineEdit* edit = openEditor(area, QString::fromStdString(key), column);
        if (edit)
            QTest::keyClick(edit, Qt::Key_Escape);
        return edit != nullptr;
    }

    // Locked: head, buttons and every table's editable column closed.
    static void expectLocked(const PanelUnderTest& p)
    {
        EXPECT_FALSE(p.head()->isControllorEnable());
        EXPECT_FALSE(p.head()->marginalPriceCell()->isEnabled());
        EXPECT_FALSE(p.fairButton()->isEnabled());
        EXPECT_FALSE(p.saveButton()->isEnabled());
        EXPECT_FALSE(p.returnButton()->isEnabled());
        for (const auto& row : oneRows(p)) EXPECT_FALSE(editable(p.one(), row->key(), 7));
        for (const auto& row : twoRows(p)) EXPECT_FALSE(editable(p.two(), row->key(), 6));
        auto* operation = dynamic_cast<KZ::CBaseTableColumnSimpleTextDelegate*>(hpfTable(p.three())->columnDelegate(9));
        ASSERT_NE(operation, nullptr);
        for (const auto& row : threeRows(p)) {
            EXPECT_FALSE(editable(p.three(), row->key(), 7));
            EXPECT_FALSE(operation->isItemEnabled(QString::fromStdString(row->key())));
        }
    }

    testsupport::MessageBoxRecorder boxes;
};

} // namespace

TEST_F(ViewsWorkflowTest, shouldShowEveryBidReadOnlyInTheLostView)
{
    // Given a mixed tender shown as won
    PanelUnderTest p;
    p.panel->refreshWinBidAllocationPanel(false, kMixedBond, 0.1);
    ASSERT_EQ(p.panel->currentTenderingType(), TT_MIXED);

    // When the user chooses "未中标"
    QAbstractButton* lost = p.head()->resultGroup()->button(11);
    QTest::mouseClick(lost, Qt::LeftButton, Qt::NoModifier, QPoint(5, lost->height() / 2));
    QApplication::processEvents();

    // Then every bid shows with nothing won, and nothing can be edited
    EXPECT_TRUE(p.head()->couponRateCell()->isVisibleTo(p.head()));
    EXPECT_FALSE(p.fairButton()->isEnabled());
    EXPECT_FALSE(p.saveButton()->isEnabled());
    EXPECT_TRUE(p.returnButton()->isEnabled());
    const auto one = oneRows(p);
    ASSERT_EQ(one.size(), 2u);
    for (const auto& row : one) {
        EXPECT_DOUBLE_EQ(row->info->winBidAmount, 0.0);
        EXPECT_DOUBLE_EQ(row->info->winBidPrice, 0.0);
        EXPECT_FALSE(editable(p.one(), row->key(), 7));
    }
    ASSERT_EQ(twoRows(p).size(), 3u);   // a row per position of the mixed tender
    const auto three = threeRows(p);
    ASSERT_EQ(three.size(), 3u);
    for (const auto& row : three) {
        EXPECT_EQ(row->getDisplayQString(7), QStringLiteral("0.0000"));
        EXPECT_FALSE(editable(p.three(), row->key(), 7));
    }
}

TEST_F(ViewsWorkflowTest, shouldShowALostSettledBondWithTheBondsOwnTenderingMethod)
{
    // Given stored bid parameters with marginal 0 (the bond was lost) and a panel that
    // never showed the bond (its own method is still unknown)
    putAllocParams(kMixedBond, 0.0, 0.0, 2.85);
    PanelUnderTest p;
    ASSERT_EQ(p.panel->currentTenderingType(), TT_NONE);

    // When the host shows the settled bond
    p.panel->refreshSettleStatusBond(kMixedBond, 0.1);

    // Then the lost view shows the mixed tender's bids per position, locked
    EXPECT_EQ(p.panel->currentBondCode(), kMixedBond);
    EXPECT_TRUE(p.head()->couponRateCell()->isVisibleTo(p.head()));
    EXPECT_DOUBLE_EQ(p.head()->couponRateCell()->toDouble(), 2.85);
    EXPECT_EQ(oneRows(p).size(), 2u);
    EXPECT_EQ(twoRows(p).size(), 3u);
    EXPECT_EQ(threeRows(p).size(), 3u);
    expectLocked(p);
    EXPECT_DOUBLE_EQ(p.panel->currentBasicTenderUnit(), 0.0);   // the settled view keeps the panel's unit
}

TEST_F(ViewsWorkflowTest, shouldShowAWonSettledBondFromItsStoredAllocationLocked)
{
    // Given a stored allocation
    seedSavedAmericanAllocation();
    PanelUnderTest p;

    // When the host shows the settled bond
    p.panel->refreshSettleStatusBond(kAmericanBond, 0.1);

    // Then the stored rows are shown, not the reports, and nothing can be changed
    EXPECT_FALSE(p.head()->couponRateCell()->isVisibleTo(p.head()));
    EXPECT_DOUBLE_EQ(p.head()->getMarginalPrice(), 99.50);
    EXPECT_DOUBLE_EQ(p.head()->getWeightedMeanPrice(), 99.80);
    const auto one = oneRows(p);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_DOUBLE_EQ(one[0]->info->winBidAmount, 1.0);
    ASSERT_EQ(twoRows(p).size(), 1u);
    const auto three = threeRows(p);
    ASSERT_EQ(three.size(), 1u);
    EXPECT_EQ(three[0]->info->account, "A001");
    EXPECT_EQ(three[0]->getDisplayQString(7), QStringLiteral("1.0000"));
    expectLocked(p);
}

TEST_F(ViewsWorkflowTest, shouldLockTheWonViewOnTheBondsLockDate)
{
    struct Case { std::string lockDate; bool locked; };
    for (const Case& c : {Case{"20261210", false}, Case{kToday, true}}) {
        SCOPED_TRACE(c.lockDate);
        // Given the exchange's lock date
        setLockDate(kDutchBond, "24附息国债05", c.lockDate);
        PanelUnderTest p;

        // When the won view is loaded with the rates typed
        p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
        if (!c.locked) {
            p.editHeadPrices(3.30, 3.15);
            // Then it stays editable on any other day
            EXPECT_TRUE(p.saveButton()->isEnabled());
            EXPECT_TRUE(p.fairButton()->isEnabled());
            EXPECT_TRUE(p.head()->isControllorEnable());
            ASSERT_FALSE(oneRows(p).empty());
            EXPECT_TRUE(editable(p.one(), oneRows(p)[0]->key(), 7));
        } else {
            // Then on the lock date it is locked at once
            putAllocParams(kDutchBond, 3.30, 3.15, 0.0);
            p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
            ASSERT_FALSE(oneRows(p).empty());
            expectLocked(p);
        }
    }
}

TEST_F(ViewsWorkflowTest, shouldBlankAllAreasAndKeepTheBond)
{
    // Given a loaded won view
    PanelUnderTest p;
    p.panel->refreshWinBidAllocationPanel(false, kAmericanBond, 0.1);
    ASSERT_FALSE(oneRows(p).empty());
    ASSERT_FALSE(threeRows(p).empty());

    // When the host blanks the panel
    p.panel->clearAllocationPanel();

    // Then all areas are empty and locked, the bond stays
    EXPECT_TRUE(oneRows(p).empty());
    EXPECT_TRUE(twoRows(p).empty());
    EXPECT_TRUE(threeRows(p).empty());
    EXPECT_DOUBLE_EQ(p.head()->getMarginalPrice(), 0.0);
    EXPECT_DOUBLE_EQ(p.head()->getWeightedMeanPrice(), 0.0);
    EXPECT_FALSE(p.head()->isControllorEnable());
    EXPECT_FALSE(p.fairButton()->isEnabled());
    EXPECT_FALSE(p.saveButton()->isEnabled());
    EXPECT_FALSE(p.returnButton()->isEnabled());
    EXPECT_EQ(p.panel->currentBondCode(), kAmericanBond);
    EXPECT_TRUE(updateCalls().empty());
}

TEST_F(ViewsWorkflowTest, shouldChangeNothingWhenTheReturnIsDeclined)
{
    // Given a stored allocation shown as won
    seedSavedAmericanAllocation();
    PanelUnderTest p;
    p.panel->refreshWinBidAllocationPanel(false, kAmericanBond, 0.1);
    QSignalSpy showTab(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigBondExecutionShowTab);
    QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);

    // When the user clicks "返回执行投标" and cancels
    boxes.expect();
    boxes.setQuestionAnswer(KZ::CMessageBox::Cancel);
    click(p.returnButton());

    // Then the question was asked and nothing else happened
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].kind, KZ::CMessageBox::Question);
    EXPECT_EQ(boxes.boxes()[0].text,
              QStringLiteral("返回执行投标后,中标分配面板数据将会重置,确定返回执行投标?"));
    EXPECT_TRUE(updateCalls().empty());
    EXPECT_EQ(showTab.count(), 0);
    EXPECT_EQ(amounts.count(), 0);
    EXPECT_EQ(threeRows(p).size(), 1u);
    EXPECT_TRUE(p.saveButton()->isEnabled());
}

TEST_F(ViewsWorkflowTest, shouldClearTheStoredAllocationAndLockWhenTheReturnIsConfirmed)
{
    // Given a stored allocation shown as won
    seedSavedAmericanAllocation();
    PanelUnderTest p;
    p.panel->refreshWinBidAllocationPanel(false, kAmericanBond, 0.1);
    QSignalSpy showTab(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigBondExecutionShowTab);
    QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);

    // When the user confirms the return
    boxes.expect();
    click(p.returnButton());

    // Then one clearing record per area, then the command status, went to the host
    const auto calls = updateCalls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].typeId, RT_ALLOC_PARAMS);
    auto params = boost::dynamic_pointer_cast<CIBondTenderAllocParams>(calls[0].records.at(0));
    ASSERT_TRUE(params);
    EXPECT_EQ(params->bondCode, kAmericanBond);
    EXPECT_DOUBLE_EQ(params->marginalPrice, 0.0);
    EXPECT_DOUBLE_EQ(params->weightedMeanPrice, 0.0);
    EXPECT_DOUBLE_EQ(params->issuePrice, 0.0);
    EXPECT_DOUBLE_EQ(params->couponRate, 0.0);
    EXPECT_EQ(calls[1].typeId, RT_ALLOC_UNDERWRITER);
    ASSERT_EQ(calls[1].records.size(), 1u);
    EXPECT_EQ(boost::dynamic_pointer_cast<CIBondTenderAllocUnderWriterInfo>(calls[1].records[0])->underWriterName, "");
    EXPECT_EQ(calls[2].typeId, RT_ALLOC_PRODUCT);
    ASSERT_EQ(calls[2].records.size(), 1u);
    EXPECT_EQ(boost::dynamic_pointer_cast<CIBondTenderAllocProductInfo>(calls[2].records[0])->productId, kInvalidInt);
    EXPECT_EQ(calls[3].kind, SHostCall::TenderCmds);
    EXPECT_EQ(calls[3].operation, 3);
    EXPECT_TRUE(calls[3].commandIds.empty());
    ASSERT_EQ(calls[3].records.size(), 1u);
    auto detail = boost::dynamic_pointer_cast<CWinBidInfoDetail>(calls[3].records[0]);
    EXPECT_EQ(detail->bondCode, kAmericanBond);
    EXPECT_EQ(detail->productId, kInvalidInt);
    EXPECT_EQ(detail->productName, "");
    EXPECT_EQ(calls[4].kind, SHostCall::CommandStatus);
    EXPECT_EQ(calls[4].commandStatus, 204);
    EXPECT_EQ(calls[4].bondCode, kAmericanBond);

    // And the host dropped the bond's allocation
    EXPECT_TRUE(stored<CIBondTenderAllocUnderWriterInfo>(kAmericanBond, RT_ALLOC_UNDERWRITER).empty());
    EXPECT_TRUE(stored<CIBondTenderAllocProductInfo>(kAmericanBond, RT_ALLOC_PRODUCT).empty());
    EXPECT_TRUE(stored<CWinBidInfoDetail>(kAmericanBond, RT_WIN_BID_DETAIL).empty());

    // And the panel is blank and locked, and told the host to show the tender execution
    EXPECT_TRUE(oneRows(p).empty());
    EXPECT_TRUE(twoRows(p).empty());
    EXPECT_TRUE(threeRows(p).empty());
    EXPECT_DOUBLE_EQ(p.head()->getMarginalPrice(), 0.0);
    expectLocked(p);
    ASSERT_EQ(showTab.count(), 1);
    EXPECT_EQ(showTab.at(0).at(0).toString(), QStringLiteral("AB002|0.1000"));
    ASSERT_EQ(amounts.count(), 1);
    EXPECT_EQ(amounts.at(0).at(0).toString(), QStringLiteral("AB002|0.000000"));
}

TEST_F(ViewsWorkflowTest, shouldSettleMixedTenderBidsUpToTheWeightedMeanAtIt)
{
    // Given the mixed rate tender shown as won
    PanelUnderTest p;
    p.panel->refreshWinBidAllocationPanel(false, kMixedBond, 0.1);

    // When the user types marginal rate 2.60 and weighted mean 2.55
    p.editHeadPrices(2.60, 2.55);

    // Then a bid at or below the weighted mean settles at it, one above at its own rate
    const auto one = oneRows(p);
    ASSERT_EQ(one.size(), 2u);
    EXPECT_DOUBLE_EQ(one[0]->info->bidPrice, 2.50);
    EXPECT_DOUBLE_EQ(one[0]->info->winBidPrice, 2.55);
    EXPECT_DOUBLE_EQ(one[1]->info->bidPrice, 2.60);
    EXPECT_DOUBLE_EQ(one[1]->info->winBidPrice, 2.60);
    // And table two has a row per won position: fund one at 2.50 and 2.60, fund two at 2.55
    EXPECT_EQ(twoRows(p).size(), 3u);
    EXPECT_EQ(threeRows(p).size(), 3u);
}

TEST_F(ViewsWorkflowTest, shouldFindTargetAndMethodInCommandsThenReportsThenStoredRows)
{
    // Given a later conflicting command for MB003, a command whose "btdparam" is no document,
    // and a bond XB009 known only from an internal report and a stored underwriter row
    addTenderCommand(9300, kFundTwo, kMixedBond, 2.55, TPT_PRIMARY, TTG_PRICE, TT_AMERICAN);
    BSONObjBuilder notADocument;
    notADocument.append("btdparam", std::string("XB009"));
    boost::shared_ptr<CTenderCommandInfo> broken(new CTenderCommandInfo());
    broken->commandId = 9301;
    broken->productId = kFundOne;
    broken->extension = notADocument.obj();
    CHostStore::instance().addTenderCommand(broken);
    addInternalReport("XB009", "x", TTG_PRICE, kFundOne, {{"100.00", 1.0}});
    boost::shared_ptr<CIBondTenderAllocUnderWriterInfo> uw(new CIBondTenderAllocUnderWriterInfo());
    uw->bondCode = "XB009";
    uw->underWriterName = kGuotai;
    uw->tenderingType = TT_DUTCH;
    CHostStore::instance().putRecords("XB009", RT_ALLOC_UNDERWRITER, {uw});
    PanelUnderTest p;

    struct Case { std::string bond; ETenderTarget target; ETenderingType type; };
    for (const Case& c : {Case{kMixedBond, TTG_RATE, TT_MIXED},       // the first command wins
                          Case{"XB009", TTG_PRICE, TT_DUTCH},         // report, stored row
                          Case{"ZZ000", TTG_NONE, TT_NONE}}) {        // nothing known
        SCOPED_TRACE(c.bond);
        EXPECT_EQ(p.panel->getETenderTarget(c.bond), c.target);
        EXPECT_EQ(p.panel->getETenderingType(c.bond), c.type);
    }
}
