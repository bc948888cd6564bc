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

// Saves details of bond B1 as the panel does and waits until they were delivered.
void saveDetails(const std::vector<std::string>& rowKeys)
{
    std::vector<boost::shared_ptr<CWinBidInfoDetail>> rows;
    for (const std::string& key : rowKeys) {
        rows.push_back(boost::make_shared<CWinBidInfoDetail>());
        rows.back()->bondCode = "B1"; rows.back()->rowKey = key; rows.back()->productId = 1; rows.back()->productName = "产品";
    }
    CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {1}, rows);
    TraderCenter::instance()->waitForDeliveries();
}

// Collects delivered keys, counting those that came on the caller's thread.
struct Deliveries {
    std::mutex mutex;
    std::vector<std::string> keys;
    int onCallerThread = 0;
    CAccountData::Callback callback()
    {
        const std::thread::id caller = std::this_thread::get_id();
        return [this, caller](const IDataPtr& data) {
            std::lock_guard<std::mutex> lock(mutex);
            keys.push_back(data ? data->getKey() : "null");
            onCallerThread += std::this_thread::get_id() == caller;
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

    // When the panel saves details, they arrive on a thread that is not the caller's
    saveDetails({"1", "2"});
    EXPECT_EQ(all.keys, (std::vector<std::string>{"B1|1", "B1|2"}));
    EXPECT_EQ(one.keys, std::vector<std::string>{"B1|2"});
    EXPECT_EQ(all.onCallerThread + one.onCallerThread, 0);

    // When a handle is dropped, nothing more reaches it (the removed detail still reaches the other)
    oneHandle.reset();
    saveDetails({"2"});
    EXPECT_EQ(one.keys.size(), 1u);
    EXPECT_EQ(all.keys, (std::vector<std::string>{"B1|1", "B1|2", "B1|1", "B1|2"}));
    allHandle.reset();
    saveDetails({"3"});
    EXPECT_EQ(all.keys.size(), 4u);
}

TEST_F(HostServicesTest, shouldServeTheStoreThroughTheReadServicesAndUserConfiguration)
{
    auto report = boost::make_shared<CIBondTenderExecExternalReportInfo>();
    store.putRecords("B1", RT_EXEC_EXTERNAL_REPORT, {IDataPtr(), report, IDataPtr()});
    store.setNow(QDateTime(QDate(2026, 3, 9), QTime(10, 0)));
    store.setHintSettings(false, true);
    store.setSegmentedFormat(true);

    EXPECT_EQ(CBondTerderDataManager::instance()->getBtExecExternalReportInfo("B1"),
              std::vector<boost::shared_ptr<CIBondTenderExecExternalReportInfo>>{report});
    EXPECT_FALSE(CExchangeClient::instance()->getTenderBondInfoDetailPtr("B1"));
    EXPECT_EQ(getTimeService()->today(), "20260309");
    CUserConfig* config = TC::getUserConfig();
    EXPECT_TRUE(config->getProductName(4).isEmpty());
    EXPECT_FALSE(config->getTradeSetting()->testHintBeforeOrderFlag(1));
    EXPECT_TRUE(config->testGlobalOrderHint(1));
    EXPECT_EQ(config->getSegmentedFormatFlag(), utils::FNF_SEGMENTED);
}

TEST(LogCentre, shouldEnableOnlyTheChosenDebugIds)
{
    CLogCentre* log = CLogCentre::instance();
    log->setDebugIds("54, 53");
    EXPECT_TRUE(log->fileLogEnabled(54) && log->fileLogEnabled(53) && log->logEnabled());
    EXPECT_FALSE(log->fileLogEnabled(50));
    log->ttDbgLogNew(54, "value %d of %s", 7, "test");
    log->setDebugIds("all");
    EXPECT_TRUE(log->fileLogEnabled(50));
    log->setDebugIds("");
    EXPECT_FALSE(log->fileLogEnabled(54) || log->logEnabled());
}
