// End to end through the panel: the lost view, settled bonds, the lock date, blanking
// and the return to tender execution.

#include <QSignalSpy>

#include "panel_workflow_support.h"

using namespace wf;

namespace {

class ViewsWorkflowTest : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        seedDutchRateTender();
        seedAmericanPriceTender();
        seedMixedRateTender();
    }

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

    // An allocation of AB002 as the user saved it: 国泰 won 1.0 at 100.00 and 3.0 at 99.50,
    // fund one 1.0 at 100.00 on A001, 1.5 at 99.50 on A002, fund two 1.5 on B001.
    void saveAmericanAllocation()
    {
        PanelUnderTest p;
        allocateAmericanTender(p);
        boxes.expect();
        click(p.saveButton());
        ASSERT_EQ(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
        CHostStore::instance().clearCalls();
    }
};

} // namespace

TEST_F(ViewsWorkflowTest, shouldShowEveryBidReadOnlyInTheLostView)
{
    // Given a mixed tender shown as won
    PanelUnderTest p;
    p.panel->refreshWinBidAllocationPanel(false, kMixedBond, 0.1);
    ASSERT_EQ(p.panel->currentTenderingType(), TT_MIXED);

    // When the user chooses "未中标"
    p.chooseLost();

    // Then every bid shows with nothing won, and nothing can be edited
    EXPECT_TRUE(p.head()->couponRateCell()->isVisibleTo(p.head()));
    EXPECT_FALSE(p.fairButton()->isEnabled());
    EXPECT_FALSE(p.saveButton()->isEnabled());
    EXPECT_TRUE(p.returnButton()->isEnabled());
    ASSERT_EQ(oneRows(p).size(), 2u);
    for (const auto& row : oneRows(p)) {
        EXPECT_DOUBLE_EQ(row->info->winBidAmount + row->info->winBidPrice, 0.0);
        EXPECT_FALSE(editable(p.one(), row->key(), 7));
    }
    ASSERT_EQ(twoRows(p).size(), 3u);   // a row per position of the mixed tender
    ASSERT_EQ(threeRows(p).size(), 3u);
    for (const auto& row : threeRows(p)) {
        EXPECT_EQ(row->getDisplayQString(7), QStringLiteral("0.0000"));
        EXPECT_FALSE(editable(p.three(), row->key(), 7));
    }

    // When the user chooses "已中标" again, then the won view is back
    p.chooseResult(TC::CPanelBondAllocationHeadTable::ID_RESULT_WON);
    EXPECT_FALSE(p.head()->couponRateCell()->isVisibleTo(p.head()));
    EXPECT_TRUE(p.fairButton()->isEnabled());
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
    EXPECT_EQ(oneRows(p).size() + twoRows(p).size() + threeRows(p).size(), 2u + 3u + 3u);
    expectLocked(p);
    EXPECT_DOUBLE_EQ(p.panel->currentBasicTenderUnit(), 0.0);   // the settled view keeps the panel's unit
}

TEST_F(ViewsWorkflowTest, shouldShowAWonSettledBondFromItsStoredAllocationLocked)
{
    // Given a stored allocation
    saveAmericanAllocation();
    PanelUnderTest p;

    // When the host shows the settled bond
    p.panel->refreshSettleStatusBond(kAmericanBond, 0.1);

    // Then the stored rows are shown, not the reports, and nothing can be changed
    EXPECT_FALSE(p.head()->couponRateCell()->isVisibleTo(p.head()));
    EXPECT_DOUBLE_EQ(p.head()->getWeightedMeanPrice(), 99.80);
    ASSERT_EQ(oneRows(p).size(), 2u);
    EXPECT_DOUBLE_EQ(oneRows(p)[1]->info->winBidAmount, 3.0);
    EXPECT_EQ(twoRows(p).size(), 3u);
    std::vector<std::string> three;
    for (const auto& row : threeRows(p))
        three.push_back(row->info->account + "|" + row->getDisplayQString(7).toStdString());
    EXPECT_EQ(three, (std::vector<std::string>{"A001|1.0000", "A002|1.5000", "B001|1.5000"}));
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
            // Then it stays editable on any other day
            p.editHeadPrices(3.30, 3.15);
            EXPECT_TRUE(p.saveButton()->isEnabled() && p.fairButton()->isEnabled());
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
    EXPECT_TRUE(oneRows(p).empty() && twoRows(p).empty() && threeRows(p).empty());
    EXPECT_DOUBLE_EQ(p.head()->getMarginalPrice() + p.head()->getWeightedMeanPrice(), 0.0);
    expectLocked(p);
    EXPECT_EQ(p.panel->currentBondCode(), kAmericanBond);
    EXPECT_TRUE(updateCalls().empty());
}

TEST_F(ViewsWorkflowTest, shouldClearTheStoredAllocationAndLockOnlyWhenTheReturnIsConfirmed)
{
    // Given a stored allocation shown as won
    saveAmericanAllocation();
    PanelUnderTest p;
    p.panel->refreshWinBidAllocationPanel(false, kAmericanBond, 0.1);
    QSignalSpy showTab(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigBondExecutionShowTab);
    QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);

    // When the user clicks "返回执行投标" and cancels, then nothing but the question happens
    boxes.expect();
    boxes.setQuestionAnswer(KZ::CMessageBox::Cancel);
    click(p.returnButton());
    ASSERT_EQ(boxes.texts(), (QStringList{"保存成功!", "返回执行投标后,中标分配面板数据将会重置,确定返回执行投标?"}));
    EXPECT_EQ(boxes.boxes().back().kind, KZ::CMessageBox::Question);
    EXPECT_TRUE(updateCalls().empty());
    EXPECT_EQ(showTab.count() + amounts.count(), 0);
    EXPECT_EQ(threeRows(p).size(), 3u);
    EXPECT_TRUE(p.saveButton()->isEnabled());

    // When the user clicks it again and confirms
    boxes.expect();
    boxes.setQuestionAnswer(KZ::CMessageBox::Ok);
    click(p.returnButton());

    // Then one clearing record per area, then the command status, went to the host
    const auto calls = updateCalls();
    ASSERT_EQ(calls.size(), 5u);
    const int areas[] = {RT_ALLOC_PARAMS, RT_ALLOC_UNDERWRITER, RT_ALLOC_PRODUCT, 0};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(calls[i].typeId, areas[i]);
        ASSERT_EQ(calls[i].records.size(), 1u);
        EXPECT_TRUE(CHostStore::isClearingRecord(*calls[i].records[0])) << i;
    }
    EXPECT_EQ(calls[3].kind, SHostCall::TenderCmds);
    EXPECT_TRUE(calls[3].commandIds.empty());
    EXPECT_EQ(calls[4].kind, SHostCall::CommandStatus);
    EXPECT_EQ(calls[4].commandStatus, 204);
    EXPECT_EQ(calls[4].bondCode, kAmericanBond);

    // And the host dropped the bond's allocation
    EXPECT_TRUE(stored<CIBondTenderAllocUnderWriterInfo>(kAmericanBond, RT_ALLOC_UNDERWRITER).empty());
    EXPECT_TRUE(stored<CIBondTenderAllocProductInfo>(kAmericanBond, RT_ALLOC_PRODUCT).empty());
    EXPECT_TRUE(stored<CWinBidInfoDetail>(kAmericanBond, RT_WIN_BID_DETAIL).empty());

    // And the panel is blank and locked, and told the host to show the tender execution
    EXPECT_TRUE(oneRows(p).empty() && twoRows(p).empty() && threeRows(p).empty());
    expectLocked(p);
    ASSERT_EQ(showTab.count(), 1);
    EXPECT_EQ(showTab.at(0).at(0).toString(), QStringLiteral("AB002|0.1000"));
    ASSERT_EQ(amounts.count(), 1);
    EXPECT_EQ(amounts.at(0).at(0).toString(), QStringLiteral("AB002|0.000000"));
}

TEST_F(ViewsWorkflowTest, shouldFindTargetAndMethodInCommandsThenReportsThenStoredRows)
{
    // Given a later conflicting command for MB003, a command whose "btdparam" is no document,
    // and a bond XB009 known only from an internal report and a stored underwriter row
    addTenderCommand(9300, kFundTwo, kMixedBond, 2.55, TPT_PRIMARY, TTG_PRICE, TT_AMERICAN);
    addCommandWithExtension(9301, kFundOne, BSONObjBuilder().append("btdparam", std::string("XB009")).obj());
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
