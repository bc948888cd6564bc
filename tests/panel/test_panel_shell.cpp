// The panel's shell: event dispatch, refusals, message gating, parameter string,
// trade type, and the win-bid subscription drained once per timer tick.

#include <QSignalSpy>
#include <atomic>
#include <log4cxx/appenderskeleton.h>
#include <log4cxx/helpers/transcoder.h>
#include <log4cxx/spi/loggingevent.h>
#include <memory>
#include <mutex>
#include <thread>

#include "services/LogCentre.h"

#include "panel_workflow_support.h"

using namespace wf;

namespace {

class PanelShellTest : public ::testing::Test {
protected:
    void SetUp() override { freshHost(); }
    void TearDown() override { testsupport::resetHost(); }

    QString lastBoxText() const { return boxes.boxes().empty() ? QString() : boxes.boxes().back().text; }

    testsupport::MessageBoxRecorder boxes;
};

const QString kUnitZero = QStringLiteral("基本投标单位为0,无法进行公平分配!");
const QString kNoBond = QStringLiteral("没有债券信息,无法进行公平分配!");
const QString kMarginalZero = QStringLiteral("边际价格/利率为0,无法保存!");

} // namespace

TEST_F(PanelShellTest, shouldBuildAllAreasInOrderInsideTheScrollArea)
{
    // Given a new panel
    PanelUnderTest p;

    // Then every area exists, the hidden data table is hidden and the areas lie top to bottom
    ASSERT_NE(p.head(), nullptr);
    ASSERT_NE(p.one(), nullptr);
    ASSERT_NE(p.two(), nullptr);
    ASSERT_NE(p.three(), nullptr);
    ASSERT_NE(p.bar(false), nullptr);
    ASSERT_NE(p.bar(true), nullptr);
    ASSERT_NE(p.panel->winBidDetailDataTable(), nullptr);
    EXPECT_FALSE(p.panel->winBidDetailDataTable()->isVisibleTo(p.panel.get()));
    auto top = [&](QWidget* w) { return w->mapTo(p.panel.get(), QPoint(0, 0)).y(); };
    EXPECT_LT(top(p.head()), top(p.one()));
    EXPECT_LT(top(p.one()), top(p.two()));
    EXPECT_LT(top(p.two()), top(p.bar(false)));
    EXPECT_LT(top(p.bar(false)), top(p.three()));
    EXPECT_LT(top(p.three()), top(p.bar(true)));
    EXPECT_EQ(p.panel->findChildren<KZ::CScrollArea*>().size(), 1);
    EXPECT_EQ(p.panel->panelName(), QStringLiteral("btdallo"));
}

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

TEST_F(PanelShellTest, shouldShowWonAndLostViewsForTheResultEvents)
{
    // Given a panel showing nothing
    PanelUnderTest p;

    // When the head reports "已中标"
    EXPECT_TRUE(p.panel->deliver(95, 10));
    // Then the won face is shown and the buttons are enabled
    EXPECT_TRUE(p.head()->isControllorEnable());
    EXPECT_TRUE(p.fairButton()->isEnabled());
    EXPECT_TRUE(p.saveButton()->isEnabled());
    EXPECT_FALSE(p.head()->couponRateCell()->isVisibleTo(p.head()));

    // When the head reports "未中标"
    EXPECT_TRUE(p.panel->deliver(95, 11));
    // Then the lost face is shown: coupon rate instead of prices, no fair allocation, no save
    EXPECT_TRUE(p.head()->couponRateCell()->isVisibleTo(p.head()));
    EXPECT_FALSE(p.head()->marginalPriceCell()->isVisibleTo(p.head()));
    EXPECT_FALSE(p.fairButton()->isEnabled());
    EXPECT_FALSE(p.saveButton()->isEnabled());
    EXPECT_TRUE(p.returnButton()->isEnabled());

    // When any other result id arrives, it is consumed and changes nothing
    EXPECT_TRUE(p.panel->deliver(95, 99));
    EXPECT_TRUE(p.head()->couponRateCell()->isVisibleTo(p.head()));
}

TEST_F(PanelShellTest, shouldRecomputeTablesOnPriceEditsOnlyWhileHeadControlsAreEnabled)
{
    // Given a Dutch rate tender shown as won, with nothing stored yet (marginal 0: nothing won)
    seedDutchRateTender();
    PanelUnderTest p;
    p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
    ASSERT_TRUE(oneRows(p).empty());

    for (int sender : {12, 13}) {
        SCOPED_TRACE(sender);
        // When the locked head gets a new marginal rate and reports the edit
        p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
        p.head()->disableBidHeadTable();
        p.head()->setMarginalPrice(3.30);
        EXPECT_TRUE(p.panel->deliver(114, sender));
        // Then nothing is recomputed
        EXPECT_TRUE(oneRows(p).empty());

        // When the head is enabled again and the edit is reported
        p.head()->showWinBidHeadTable();
        p.head()->setMarginalPrice(3.30);
        EXPECT_TRUE(p.panel->deliver(114, sender));
        // Then table one shows the won positions against the edited rate, settled at it
        const auto rows = oneRows(p);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0]->info->underWriter, kGuotai);
        EXPECT_DOUBLE_EQ(rows[0]->info->winBidPrice, 3.30);
        EXPECT_EQ(rows[1]->info->underWriter, kCitic);
        p.head()->setMarginalPrice(0);
        p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
    }
}

TEST_F(PanelShellTest, shouldDispatchButtonsFromClicksAndParameterEvents)
{
    // Given a panel without a bond
    PanelUnderTest p;
    const std::vector<std::pair<int, int>> unknownSenders{{5, 30}, {5, 31}, {114, 14}, {114, 77}};
    for (const auto& event : unknownSenders) {
        // When an unknown sender arrives: consumed, nothing happens
        EXPECT_TRUE(p.panel->deliver(event.first, event.second));
    }
    EXPECT_TRUE(boxes.boxes().empty());

    for (int eventId : {5, 114}) {
        SCOPED_TRACE(eventId);
        // Fair allocation (33) without a unit is refused
        boxes.expect();
        EXPECT_TRUE(p.panel->deliver(eventId, 33));
        EXPECT_EQ(lastBoxText(), kUnitZero);
        // The head-only save (15) and the full save (32) stop at the head's check
        boxes.expect(2);
        EXPECT_TRUE(p.panel->deliver(eventId, 15));
        EXPECT_EQ(lastBoxText(), kMarginalZero);
        EXPECT_TRUE(p.panel->deliver(eventId, 32));
        EXPECT_EQ(lastBoxText(), kMarginalZero);
        EXPECT_EQ(boxes.boxes().back().title, QStringLiteral("检查错误"));
        EXPECT_EQ(boxes.boxes().back().kind, KZ::CMessageBox::Critical);
        // The return (34) asks first; declined, nothing happens
        boxes.expect();
        boxes.setQuestionAnswer(KZ::CMessageBox::Cancel);
        EXPECT_TRUE(p.panel->deliver(eventId, 34));
        EXPECT_EQ(boxes.boxes().back().kind, KZ::CMessageBox::Question);
        EXPECT_EQ(boxes.boxes().back().title, QStringLiteral("提示"));
    }
    EXPECT_TRUE(updateCalls().empty());

    // Any other event goes to the base widget, which consumes nothing
    EXPECT_FALSE(p.panel->deliver(226, 7, 7, QStringLiteral("1"), nullptr));
}

TEST_F(PanelShellTest, shouldReachPanelFromRealClicksOnButtonAndRadio)
{
    // Given a won view without a basic tender unit, shown on screen
    PanelUnderTest p;
    p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.0);

    // When the user clicks "公平分配"
    boxes.expect();
    click(p.fairButton());
    // Then the panel refuses for the missing unit
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, kUnitZero);

    // When the user clicks the "未中标" radio
    QAbstractButton* lost = p.head()->resultGroup()->button(11);
    ASSERT_NE(lost, nullptr);
    QTest::mouseClick(lost, Qt::LeftButton, Qt::NoModifier, QPoint(5, lost->height() / 2));
    QApplication::processEvents();
    // Then the lost view is shown
    EXPECT_TRUE(p.head()->couponRateCell()->isVisibleTo(p.head()));
    EXPECT_FALSE(p.fairButton()->isEnabled());
}

TEST_F(PanelShellTest, shouldRefuseFairAllocationWithoutUnitOrBond)
{
    struct Case { std::string bond; double unit; QString message; };
    const std::vector<Case> cases{
        {"", 0.0, kUnitZero},
        {kDutchBond, 0.000001, kUnitZero},   // ignored as zero: the unit stays 0
        {"", 0.00002, kNoBond},              // a unit, but no bond named yet
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        // Given a new panel told about the bond and unit
        PanelUnderTest p;
        p.panel->refreshWinBidAllocationPanel(false, c.bond, c.unit);
        // When fair allocation is asked for
        const size_t before = boxes.boxes().size();
        boxes.expect();
        EXPECT_TRUE(p.panel->deliver(5, 33));
        // Then the first missing precondition is reported
        ASSERT_EQ(boxes.boxes().size(), before + 1);
        EXPECT_EQ(boxes.boxes().back().text, c.message);
        EXPECT_EQ(boxes.boxes().back().title, QStringLiteral("检查错误"));
    }
}

TEST_F(PanelShellTest, shouldShowNoBoxWhenBothHintSettingsAreOff)
{
    struct Case { bool beforeOrder; bool global; bool shown; };
    for (const Case& c : {Case{false, false, false}, Case{true, false, true}, Case{false, true, true}}) {
        SCOPED_TRACE(testing::Message() << c.beforeOrder << c.global);
        // Given the hint settings
        CHostStore::instance().setHintSettings(c.beforeOrder, c.global);
        PanelUnderTest p;
        const size_t before = boxes.boxes().size();
        if (c.shown)
            boxes.expect(2);
        // When a refusal and an information would be shown
        p.panel->deliver(5, 33);
        QString text = QStringLiteral("保存成功!");
        p.panel->showTips(QStringLiteral("中标分配信息"), text);
        // Then both show, or none
        ASSERT_EQ(boxes.boxes().size(), before + (c.shown ? 2u : 0u));
        if (c.shown) {
            EXPECT_EQ(boxes.boxes().back().kind, KZ::CMessageBox::Information);
            EXPECT_EQ(boxes.boxes().back().title, QStringLiteral("中标分配信息"));
            EXPECT_EQ(boxes.boxes().back().text, text);
        }
    }
}

TEST_F(PanelShellTest, shouldRestoreOnlyTheFirstPartOfTheParameterString)
{
    // Given a panel and a saved data-table configuration
    PanelUnderTest p;
    const QString fresh = p.panel->param();
    const QString config = QStringLiteral("hpf1;w=120,90;o=1,0;s=1,1");
    ASSERT_NE(fresh, config);

    // When the configuration comes back with a second part
    p.panel->setParam(config + "|ignored|");

    // Then the first part is restored and the rest ignored
    EXPECT_EQ(p.panel->param(), config);

    // When an empty string comes back, the table keeps what it has
    p.panel->setParam(QString());
    EXPECT_EQ(p.panel->param(), config);
}

TEST_F(PanelShellTest, shouldIgnoreTheCurrentTradeTypeAndLoadRecordsOnANewOne)
{
    // Given a stored win-bid detail of one of the user's funds
    boost::shared_ptr<CWinBidInfoDetail> d(new CWinBidInfoDetail());
    d->bondCode = kDutchBond;
    d->rowKey = "1";
    d->productId = kFundOne;
    d->productName = kFundOneName;
    CHostStore::instance().putRecords(kDutchBond, RT_WIN_BID_DETAIL, {d});
    PanelUnderTest p;
    TC::CHpfDataTable* table = p.panel->winBidDetailDataTable();

    // When the current trade type is set again
    p.panel->setTradeType(p.panel->tradeType());
    // Then nothing is loaded
    EXPECT_EQ(table->updateCount(), 0);

    // When a new trade type is set
    p.panel->setTradeType(VTT_NORMAL);
    // Then the stored record is loaded once
    EXPECT_EQ(p.panel->tradeType(), VTT_NORMAL);
    EXPECT_EQ(table->updateCount(), 1);
}

TEST_F(PanelShellTest, shouldUpdateEachChangedKeyOnceAtTheNextTickWhileThreadsDeliver)
{
    // Given details of two of the user's funds and one of a fund the user does not have
    auto detail = [](const std::string& row, int productId) {
        boost::shared_ptr<CWinBidInfoDetail> d(new CWinBidInfoDetail());
        d->bondCode = kDutchBond;
        d->rowKey = row;
        d->productId = productId;
        return d;
    };
    const std::vector<boost::shared_ptr<CWinBidInfoDetail>> details{
        detail("1", kFundOne), detail("2", kFundTwo), detail("3", kFundOne), detail("4", 555)};
    CHostStore::instance().putRecords(kDutchBond, RT_WIN_BID_DETAIL, {details.begin(), details.end()});
    PanelUnderTest p;
    TC::CHpfDataTable* table = p.panel->winBidDetailDataTable();

    // When four threads deliver the same and different keys many times while the UI ticks
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            for (int i = 0; i < 500; ++i)
                p.panel->onPositionStat(details[static_cast<size_t>((i + t) % 4)]);
        });
    }
    go = true;
    for (int tick = 0; tick < 50; ++tick)
        p.panel->onTimer(TC::TUF_NORMAL);
    for (auto& t : threads) t.join();
    p.panel->onTimer(TC::TUF_NORMAL);
    const int drained = table->updateCount();

    // Then a tick with nothing delivered updates nothing
    p.panel->onTimer(TC::TUF_NORMAL);
    EXPECT_EQ(table->updateCount(), drained);

    // When threads deliver keys between two ticks, each key many times
    threads.clear();
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i)
                for (const auto& d : details) p.panel->onPositionStat(d);
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(table->updateCount(), drained);   // the data thread never touches the table
    p.panel->onTimer(TC::TUF_NORMAL);

    // Then each key of the user's funds is updated exactly once, the other fund never
    EXPECT_EQ(table->updateCount(), drained + 3);
    p.panel->onTimer(TC::TUF_NORMAL);
    EXPECT_EQ(table->updateCount(), drained + 3);
}

TEST_F(PanelShellTest, shouldReceiveSavedDetailsThroughItsSubscription)
{
    // Given a subscribed panel
    PanelUnderTest p;
    p.panel->refreshAccounts();
    TC::CHpfDataTable* table = p.panel->winBidDetailDataTable();
    const int before = table->updateCount();

    // When the host stores details of a user's fund and of a stranger
    auto detail = [](const std::string& row, int productId) {
        boost::shared_ptr<CWinBidInfoDetail> d(new CWinBidInfoDetail());
        d->bondCode = kDutchBond;
        d->rowKey = row;
        d->productId = productId;
        d->productName = "x";
        return d;
    };
    CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {}, {detail("1", kFundTwo), detail("2", 555)});
    TraderCenter::instance()->waitForDeliveries();
    EXPECT_EQ(table->updateCount(), before);

    // Then the next tick shows the user's record only
    p.panel->onTimer(TC::TUF_NORMAL);
    EXPECT_EQ(table->updateCount(), before + 1);
}

TEST_F(PanelShellTest, shouldBeSafeToDestroyWhileTheHostDelivers)
{
    // Given subscribed panels and a thread storing details all the time
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        int n = 0;
        while (!stop.load()) {
            boost::shared_ptr<CWinBidInfoDetail> d(new CWinBidInfoDetail());
            d->bondCode = kDutchBond;
            d->rowKey = std::to_string(++n % 7);
            d->productId = kFundOne;
            CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {}, {d});
        }
    });
    // When panels subscribe and are destroyed again
    for (int i = 0; i < 20; ++i) {
        PanelUnderTest p;
        p.panel->refreshAccounts();
        p.panel->onTimer(TC::TUF_NORMAL);
    }
    stop = true;
    writer.join();
    TraderCenter::instance()->waitForDeliveries();
    // Then nothing was delivered to a destroyed panel (ASan/TSan runs would say otherwise)
    SUCCEED();
}

TEST_F(PanelShellTest, shouldClearAndResubscribeOnANewTradingDay)
{
    // Given a panel with a loaded record
    boost::shared_ptr<CWinBidInfoDetail> d(new CWinBidInfoDetail());
    d->bondCode = kDutchBond;
    d->rowKey = "1";
    d->productId = kFundOne;
    CHostStore::instance().putRecords(kDutchBond, RT_WIN_BID_DETAIL, {d});
    PanelUnderTest p;
    p.panel->refreshAccounts();
    TC::CHpfDataTable* table = p.panel->winBidDetailDataTable();
    const int loaded = table->updateCount();
    EXPECT_EQ(loaded, 1);

    // When a new trading day begins
    p.panel->slotNewTradingDay("20261206");

    // Then the table is cleared and loaded again
    EXPECT_EQ(table->updateCount(), loaded + 1);
    EXPECT_EQ(p.panel->subscriptionCount(), 0);
}

namespace logcapture {

using namespace log4cxx;   // the object macros below name log4cxx's helpers unqualified

// Keeps the messages logged to the logger it is attached to.
class CaptureAppender : public log4cxx::AppenderSkeleton {
public:
    DECLARE_LOG4CXX_OBJECT(CaptureAppender)
    BEGIN_LOG4CXX_CAST_MAP()
    LOG4CXX_CAST_ENTRY(CaptureAppender)
    LOG4CXX_CAST_ENTRY_CHAIN(log4cxx::AppenderSkeleton)
    END_LOG4CXX_CAST_MAP()

    void append(const log4cxx::spi::LoggingEventPtr& event, log4cxx::helpers::Pool&) override
    {
        std::string text;
        log4cxx::helpers::Transcoder::encode(event->getRenderedMessage(), text);
        std::lock_guard<std::mutex> guard(mutex);
        lines.push_back(text);
    }
    void close() override {}
    bool requiresLayout() const override { return false; }

    std::vector<std::string> taken()
    {
        std::lock_guard<std::mutex> guard(mutex);
        return std::move(lines);
    }

private:
    std::mutex mutex;
    std::vector<std::string> lines;
};

IMPLEMENT_LOG4CXX_OBJECT(CaptureAppender)

} // namespace logcapture

TEST_F(PanelShellTest, shouldLogTimerAndUnsubscribeLinesOnlyForEnabledDebugIds)
{
    // Given a capture of the debug logger
    auto capture = std::make_shared<logcapture::CaptureAppender>();
    ::log4cxx::LoggerPtr debugLogger = CLogCentre::instance()->debugLogger();
    debugLogger->addAppender(capture);
    PanelUnderTest p;

    // When ticks and a clear run with no debug id enabled
    CLogCentre::instance()->setDebugIds("");
    p.panel->onTimer(TC::TUF_NORMAL);
    p.panel->clear();
    // Then nothing is logged
    EXPECT_TRUE(capture->taken().empty());

    // When the ids 54, 53 and 50 are enabled
    CLogCentre::instance()->setDebugIds("54,53,50");
    p.panel->onTimer(TC::TUF_NORMAL);
    p.panel->clear();
    CLogCentre::instance()->setDebugIds("");
    debugLogger->removeAppender(capture);

    // Then the tick's begin and end and the unsubscription are logged
    const auto lines = capture->taken();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "[dbg_id=54] TC::CPanelBondTenderAllocationPanel::onTimer begin.");
    EXPECT_NE(lines[1].find("TC::CPanelBondTenderAllocationPanel::onTimer end, time = "), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(" msec."), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("CPanelBondTenderAllocationPanel (0x"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find(") unsubscribe all."), std::string::npos) << lines[2];
}
