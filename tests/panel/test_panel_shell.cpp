// The panel's shell: event dispatch, refusals, message gating, parameter string,
// trade type, and the win-bid subscription drained once per timer tick.

#include <atomic>
#include <functional>
#include <thread>

#include "panel_workflow_support.h"

using namespace wf;

namespace {

class PanelShellTest : public PanelTest {};

const QString kUnitZero = QStringLiteral("基本投标单位为0,无法进行公平分配!");
const QString kMarginalZero = QStringLiteral("边际价格/利率为0,无法保存!");
const QString kReturn = QStringLiteral("返回执行投标后,中标分配面板数据将会重置,确定返回执行投标?");

boost::shared_ptr<CWinBidInfoDetail> winBidDetail(const std::string& row, int productId)
{
    boost::shared_ptr<CWinBidInfoDetail> d(new CWinBidInfoDetail());
    d->bondCode = kDutchBond;
    d->rowKey = row;
    d->productId = productId;
    d->productName = "x";   // a named row: not the clearing record
    return d;
}

} // namespace

TEST_F(PanelShellTest, shouldOfferItsSignalsAndSlotsToTheHostInOrder)
{
    // The host connects by method index: two signals, then the three slots
    const QMetaObject& meta = TC::CPanelBondTenderAllocationPanel::staticMetaObject;
    const int offset = meta.methodOffset();
    EXPECT_EQ(meta.indexOfSignal("sigBondExecutionShowTab(QString)") - offset, 0);
    EXPECT_EQ(meta.indexOfSignal("sigRefreshBondTenderWinBidAmount(QString)") - offset, 1);
    EXPECT_EQ(meta.indexOfSlot("slotNewTradingDay(std::string)") - offset, 2);
    EXPECT_EQ(meta.indexOfSlot("handleEvent(int,int,int,QString,void*)") - offset, 3);
    EXPECT_EQ(meta.indexOfSlot("handleReturnExecutionPanelOperation()") - offset, 4);
}

TEST_F(PanelShellTest, shouldDispatchButtonClicksAndParameterEventsAlike)
{
    // Given a panel without a bond, the return question declined
    PanelUnderTest p;
    boxes.setQuestionAnswer(KZ::CMessageBox::Cancel);
    const struct { int sender; QString box; } rows[] = {
        {33, kUnitZero}, {15, kMarginalZero}, {32, kMarginalZero}, {34, kReturn}, {30, {}}, {31, {}}, {14, {}}, {77, {}},
    };
    for (int eventId : {5, 114}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << eventId << "/" << row.sender);
            // When the event arrives, then it is consumed and shows its box, or nothing
            const int before = boxes.texts().size();
            boxes.expect(row.box.isEmpty() ? 0 : 1);
            EXPECT_TRUE(p.panel->deliver(eventId, row.sender));
            EXPECT_EQ(boxes.texts().mid(before), row.box.isEmpty() ? QStringList() : QStringList{row.box});
        }
    }
    EXPECT_TRUE(updateCalls().empty());
    EXPECT_EQ(boxes.boxes()[0].title, QStringLiteral("检查错误"));
    EXPECT_EQ(boxes.boxes()[0].kind, KZ::CMessageBox::Critical);
    EXPECT_EQ(boxes.boxes()[3].kind, KZ::CMessageBox::Question);

    // And a result event switches the face; an unknown result or another event changes nothing
    EXPECT_TRUE(p.panel->deliver(95, 10));
    EXPECT_TRUE(p.fairButton()->isEnabled());
    EXPECT_TRUE(p.panel->deliver(95, 11));
    EXPECT_TRUE(p.panel->deliver(95, 99));
    EXPECT_TRUE(p.head()->couponRateCell()->isVisibleTo(p.head()));
    EXPECT_FALSE(p.fairButton()->isEnabled());
    EXPECT_FALSE(p.panel->deliver(226, 7, 7, QStringLiteral("1"), nullptr));
}

TEST_F(PanelShellTest, shouldRecomputeTablesOnPriceEditsOnlyWhileHeadControlsAreEnabled)
{
    // Given a Dutch rate tender shown as won, with nothing stored yet (marginal 0: nothing won)
    seedDutchRateTender();
    PanelUnderTest p;
    for (int sender : {12, 13}) {
        SCOPED_TRACE(sender);
        p.head()->setMarginalPrice(0);
        p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
        ASSERT_TRUE(oneRows(p).empty());

        // When the locked head gets a new marginal rate and reports the edit, then nothing is recomputed
        p.head()->disableBidHeadTable();
        p.head()->setMarginalPrice(3.30);
        EXPECT_TRUE(p.panel->deliver(114, sender));
        EXPECT_TRUE(oneRows(p).empty());

        // When the head is enabled again and the edit is reported, then table one shows the
        // won positions against the edited rate, settled at it
        p.head()->showWinBidHeadTable();
        p.head()->setMarginalPrice(3.30);
        EXPECT_TRUE(p.panel->deliver(114, sender));
        const auto rows = oneRows(p);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0]->info->underWriter, kGuotai);
        EXPECT_DOUBLE_EQ(rows[0]->info->winBidPrice, 3.30);
        EXPECT_EQ(rows[1]->info->underWriter, kCitic);
    }
}

TEST_F(PanelShellTest, shouldRefuseFairAllocationWithoutUnitOrBond)
{
    const struct { std::string bond; double unit; const char* message; } cases[] = {
        {"", 0.0, "基本投标单位为0,无法进行公平分配!"},
        {kDutchBond, 0.000001, "基本投标单位为0,无法进行公平分配!"},   // ignored as zero: the unit stays 0
        {"", 0.00002, "没有债券信息,无法进行公平分配!"},               // a unit, but no bond named yet
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        PanelUnderTest p;
        p.panel->refreshWinBidAllocationPanel(false, c.bond, c.unit);
        const int before = boxes.texts().size();
        boxes.expect();
        EXPECT_TRUE(p.panel->deliver(5, 33));
        EXPECT_EQ(boxes.texts().mid(before), QStringList{QString::fromUtf8(c.message)});
    }
}

TEST_F(PanelShellTest, shouldShowNoBoxWhenBothHintSettingsAreOff)
{
    for (auto [beforeOrder, global] : {std::pair{false, false}, std::pair{true, false}, std::pair{false, true}}) {
        SCOPED_TRACE(testing::Message() << beforeOrder << global);
        // Given the hint settings
        CHostStore::instance().setHintSettings(beforeOrder, global);
        PanelUnderTest p;
        const bool shown = beforeOrder || global;
        const size_t before = boxes.boxes().size();
        boxes.expect(shown ? 2 : 0);
        // When a refusal and an information would be shown, then both show, or none
        p.panel->deliver(5, 33);
        QString text = QStringLiteral("保存成功!");
        p.panel->showTips(QStringLiteral("中标分配信息"), text);
        ASSERT_EQ(boxes.boxes().size(), before + (shown ? 2u : 0u));
    }
}

TEST_F(PanelShellTest, shouldRestoreOnlyTheFirstPartOfTheParameterString)
{
    PanelUnderTest p;
    const QString config = QStringLiteral("hpf1;w=120,90;o=1,0;s=1,1");
    ASSERT_NE(p.panel->param(), config);
    p.panel->setParam(config + "|ignored|");
    EXPECT_EQ(p.panel->param(), config);
    p.panel->setParam(QString());   // nothing given: the table keeps what it has
    EXPECT_EQ(p.panel->param(), config);
}

TEST_F(PanelShellTest, shouldIgnoreTheCurrentTradeTypeAndLoadRecordsOnANewOne)
{
    // Given a stored win-bid detail of one of the user's funds
    CHostStore::instance().putRecords(kDutchBond, RT_WIN_BID_DETAIL, {winBidDetail("1", kFundOne)});
    PanelUnderTest p;
    TC::CHpfDataTable* table = p.panel->winBidDetailDataTable();

    // When the current trade type is set again, then nothing is loaded
    p.panel->setTradeType(p.panel->tradeType());
    EXPECT_EQ(table->updateCount(), 0);

    // When a new trade type is set, then the stored record is loaded once
    p.panel->setTradeType(VTT_NORMAL);
    EXPECT_EQ(p.panel->tradeType(), VTT_NORMAL);
    EXPECT_EQ(table->updateCount(), 1);
}

TEST_F(PanelShellTest, shouldUpdateEachChangedKeyOnceAtTheNextTickWhileThreadsDeliver)
{
    // Given details of two of the user's funds and one of a fund the user does not have
    const std::vector<boost::shared_ptr<CWinBidInfoDetail>> details{
        winBidDetail("1", kFundOne), winBidDetail("2", kFundTwo), winBidDetail("3", kFundOne), winBidDetail("4", 555)};
    CHostStore::instance().putRecords(kDutchBond, RT_WIN_BID_DETAIL, {details.begin(), details.end()});
    PanelUnderTest p;
    TC::CHpfDataTable* table = p.panel->winBidDetailDataTable();

    // Four threads deliver every key many times while something else runs in the UI thread
    const auto deliverFromThreads = [&](const std::function<void()>& meanwhile) {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < 200; ++i)
                    for (const auto& d : details) p.panel->onPositionStat(d);
            });
        }
        meanwhile();
        for (auto& t : threads) t.join();
    };

    // When they deliver while the UI ticks, and then between two ticks
    deliverFromThreads([&] {
        for (int tick = 0; tick < 50; ++tick) p.panel->onTimer(TC::TUF_NORMAL);
    });
    p.panel->onTimer(TC::TUF_NORMAL);
    const int drained = table->updateCount();
    deliverFromThreads([] {});
    EXPECT_EQ(table->updateCount(), drained);   // the data thread never touches the table

    // Then the next tick updates each key of the user's funds exactly once, the other fund never
    p.panel->onTimer(TC::TUF_NORMAL);
    EXPECT_EQ(table->updateCount(), drained + 3);
    p.panel->onTimer(TC::TUF_NORMAL);
    EXPECT_EQ(table->updateCount(), drained + 3);
}

TEST_F(PanelShellTest, shouldReceiveSavedDetailsThroughItsSubscriptionAndResubscribeOnANewDay)
{
    // Given a subscribed panel
    PanelUnderTest p;
    p.panel->refreshAccounts();
    TC::CHpfDataTable* table = p.panel->winBidDetailDataTable();
    const int before = table->updateCount();

    // When the host stores details of a user's fund and of a stranger
    CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {},
                                                      {winBidDetail("1", kFundTwo), winBidDetail("2", 555)});
    TraderCenter::instance()->waitForDeliveries();
    EXPECT_EQ(table->updateCount(), before);

    // Then the next tick shows the user's record only
    p.panel->onTimer(TC::TUF_NORMAL);
    EXPECT_EQ(table->updateCount(), before + 1);

    // When a new trading day begins, then the table is cleared and the stored record loaded again
    p.panel->slotNewTradingDay("20261206");
    EXPECT_EQ(table->updateCount(), before + 2);
    EXPECT_EQ(p.panel->subscriptionCount(), 0);
}

TEST_F(PanelShellTest, shouldBeSafeToDestroyWhileTheHostDelivers)
{
    // Given a thread storing details all the time
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int n = 0; !stop.load(); ++n)
            CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {},
                                                              {winBidDetail(n % 2 ? "1" : "2", kFundOne)});
    });
    // When panels subscribe and are destroyed again, then nothing reaches a destroyed panel
    // (sanitizer runs would say otherwise)
    for (int i = 0; i < 20; ++i) {
        PanelUnderTest p;
        p.panel->refreshAccounts();
        p.panel->onTimer(TC::TUF_NORMAL);
    }
    stop = true;
    writer.join();
    TraderCenter::instance()->waitForDeliveries();
}
