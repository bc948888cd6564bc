// The host services over the store: getters, update calls, subscriptions, user configuration.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <mutex>
#include <thread>

#include "services/HostServices.h"
#include "services/HostStore.h"
#include "services/LogCentre.h"
#include "support/TestSupport.h"

using namespace ttservice;

namespace {

boost::shared_ptr<CWinBidInfoDetail> detail(const std::string& bond, const std::string& rowKey)
{
    auto d = boost::make_shared<CWinBidInfoDetail>();
    d->bondCode = bond; d->rowKey = rowKey; d->productId = 1; d->productName = "产品";
    return d;
}

// Collects deliveries with the thread they ran on.
struct Deliveries {
    std::mutex mutex;
    std::vector<std::string> keys;
    std::vector<std::thread::id> threads;
    CAccountData::Callback callback()
    {
        return [this](const IDataPtr& data) {
            std::lock_guard<std::mutex> lock(mutex);
            keys.push_back(data ? data->getKey() : "null");
            threads.push_back(std::this_thread::get_id());
        };
    }
};

boost::shared_ptr<CAccountData> accountData()
{
    return TraderCenter::instance()->getDataCenter()->getAccountData("");
}

class HostServicesTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::resetHost(); }
    void TearDown() override { testsupport::resetHost(); }
    CHostStore& store = CHostStore::instance();
};

} // namespace

TEST_F(HostServicesTest, shouldDeliverChangedDetailsOnTheDataThreadUntilTheHandleIsDropped)
{
    // Given subscriptions to all win-bid details and to one key
    Deliveries all, one;
    CSubscriptionPtr allHandle = accountData()->subscribe(RT_WIN_BID_DETAIL, "", all.callback());
    CSubscriptionPtr oneHandle = accountData()->subscribe(RT_WIN_BID_DETAIL, "B1|2", one.callback());
    ASSERT_TRUE(allHandle && oneHandle);

    // When the panel saves details
    CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {1}, {detail("B1", "1"), detail("B1", "2")});
    TraderCenter::instance()->waitForDeliveries();

    // Then they arrive on a thread that is not the caller's
    EXPECT_EQ(all.keys, (std::vector<std::string>{"B1|1", "B1|2"}));
    EXPECT_EQ(one.keys, std::vector<std::string>{"B1|2"});
    for (const std::thread::id& thread : all.threads)
        EXPECT_NE(thread, std::this_thread::get_id());

    // When a handle is dropped, nothing more reaches it (the removed detail still reaches the other)
    oneHandle.reset();
    CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {1}, {detail("B1", "2")});
    TraderCenter::instance()->waitForDeliveries();
    EXPECT_EQ(one.keys.size(), 1u);
    EXPECT_EQ(all.keys, (std::vector<std::string>{"B1|1", "B1|2", "B1|1", "B1|2"}));

    allHandle.reset();
    CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {}, {detail("B1", "3")});
    TraderCenter::instance()->waitForDeliveries();
    EXPECT_EQ(all.keys.size(), 4u);
}

TEST_F(HostServicesTest, shouldServeStoredRecordsThroughTheReadServices)
{
    auto command = boost::make_shared<CTenderCommandInfo>();
    command->commandId = 5;
    store.addTenderCommand(command);
    CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {}, {detail("B1", "1")});
    auto report = boost::make_shared<CIBondTenderExecExternalReportInfo>();
    report->bondCode = "B1";
    store.putRecords("B1", RT_EXEC_EXTERNAL_REPORT, {report, IDataPtr()});
    CTenderBondInfoDetail info;
    info.bondCode = "B1"; info.lockDate = "20260102";
    store.setTenderBondInfo(info);

    {
        CAccountData::Lock lock(accountData());
        EXPECT_EQ(accountData()->getDatas(RT_TENDER_COMMAND).size(), 1u);
        EXPECT_EQ(accountData()->getDatas(RT_WIN_BID_DETAIL).size(), 1u);
    }
    EXPECT_EQ(accountData()->getData(RT_TENDER_COMMAND, "5"), command);
    EXPECT_TRUE(accountData()->getData(RT_WIN_BID_DETAIL, "B1|1"));
    EXPECT_FALSE(accountData()->getData(RT_WIN_BID_DETAIL, "B1|9"));

    auto* manager = CBondTerderDataManager::instance();
    EXPECT_EQ(manager->getWinBidInfo("B1").size(), 1u);
    EXPECT_EQ(manager->getBtExecExternalReportInfo("B1"), std::vector<boost::shared_ptr<CIBondTenderExecExternalReportInfo>>{report});
    EXPECT_TRUE(manager->getBtAllocParams("B1").empty());
    EXPECT_EQ(CExchangeClient::instance()->getTenderBondInfoDetailPtr("B1")->lockDate, "20260102");
    EXPECT_FALSE(CExchangeClient::instance()->getTenderBondInfoDetailPtr("B2"));

    CInstrumentsHelper::updateCommandStatus(OCS_RETURN_TO_EXECUTION, "B1");
    ASSERT_EQ(store.calls().size(), 2u);
    EXPECT_EQ(store.calls()[1].commandStatus, OCS_RETURN_TO_EXECUTION);
}

TEST_F(HostServicesTest, shouldReadUserConfigurationAndTimeFromTheStore)
{
    auto product = boost::make_shared<CProduct>();
    product->productId = 3; product->productName = "稳健一号";
    store.setProducts({product});
    store.setNow(QDateTime(QDate(2026, 3, 9), QTime(10, 0)));

    CUserConfig* config = TC::getUserConfig();
    EXPECT_EQ(config->getProductByID(3), product);
    EXPECT_FALSE(config->getProductByID(4));
    EXPECT_EQ(config->getProductName(3), QStringLiteral("稳健一号"));
    EXPECT_TRUE(config->getProductName(4).isEmpty());
    EXPECT_EQ(getTimeService()->today(), "20260309");

    EXPECT_TRUE(config->testGlobalOrderHint(1));
    EXPECT_TRUE(config->getTradeSetting()->testHintBeforeOrderFlag(1));
    EXPECT_EQ(config->getSegmentedFormatFlag(), utils::FNF_NONE);
    store.setHintSettings(false, true);
    store.setSegmentedFormat(true);
    EXPECT_FALSE(config->getTradeSetting()->testHintBeforeOrderFlag(1));
    EXPECT_TRUE(config->testGlobalOrderHint(1));
    EXPECT_EQ(config->getSegmentedFormatFlag(), utils::FNF_SEGMENTED);
}

TEST(LogCentre, shouldEnableOnlyTheChosenDebugIds)
{
    CLogCentre* log = CLogCentre::instance();
    log->setDebugIds("54, 53");
    EXPECT_TRUE(log->fileLogEnabled(54));
    EXPECT_TRUE(log->fileLogEnabled(53));
    EXPECT_FALSE(log->fileLogEnabled(50));
    EXPECT_TRUE(log->logEnabled());
    log->ttDbgLogNew(54, "value %d of %s", 7, "test");

    log->setDebugIds("all");
    EXPECT_TRUE(log->fileLogEnabled(50));

    log->setDebugIds("");
    EXPECT_FALSE(log->fileLogEnabled(54));
    EXPECT_FALSE(log->logEnabled());
}
