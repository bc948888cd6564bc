// The host store and its services: replace and clear semantics, recorded calls,
// persistence, lookups by key and by product, and subscriptions to the changes.

#include <algorithm>
#include <boost/make_shared.hpp>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "services/HostServices.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"

using namespace ttservice;
using testsupport::product;

namespace {

struct RecordingPersistence : IHostStorePersistence {
    void commit(const std::vector<SReplacement>& replacements, const std::vector<int>& commandIds) override
    {
        commits.push_back({replacements, commandIds});
    }
    std::vector<std::pair<std::vector<SReplacement>, std::vector<int>>> commits;
};

boost::shared_ptr<CWinBidInfoDetail> detail(const std::string& bond, const std::string& rowKey, int productId = 1)
{
    auto d = boost::make_shared<CWinBidInfoDetail>();
    d->bondCode = bond; d->rowKey = rowKey; d->productId = productId; d->productName = rowKey.empty() ? "" : "产品";
    return d;
}

IDataPtr underWriter(const std::string& name)
{
    auto u = boost::make_shared<CIBondTenderAllocUnderWriterInfo>();
    u->bondCode = "B1"; u->underWriterName = name; u->tenderPrice = 2.5;
    return u;
}

IDataPtr params(double marginal, const std::string& bondName = "")
{
    auto p = boost::make_shared<CIBondTenderAllocParams>();
    p->bondCode = "B1"; p->bondName = bondName; p->marginalPrice = marginal;
    p->weightedMeanPrice = p->issuePrice = p->couponRate = 0;
    return p;
}

IDataPtr productRow(int id, const std::string& name)
{
    auto p = boost::make_shared<CIBondTenderAllocProductInfo>();
    p->bondCode = "B1"; p->productId = id; p->productName = name;
    return p;
}

std::vector<std::string> keys(const IDataList& rows)
{
    std::vector<std::string> out;
    for (const IDataPtr& r : rows)
        out.push_back(r ? r->getKey() : "null");
    return out;
}

using Keys = std::vector<std::string>;

// Collects delivered keys, counting those that came on the caller's thread.
struct Deliveries {
    std::mutex mutex;
    Keys keys;
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

// Saves details of bond B1 as the panel does and waits until they were delivered.
void saveDetails(const Keys& rowKeys)
{
    std::vector<boost::shared_ptr<CWinBidInfoDetail>> rows;
    for (const std::string& key : rowKeys)
        rows.push_back(detail("B1", key));
    CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {1}, rows);
    TraderCenter::instance()->waitForDeliveries();
}

class HostStoreTest : public testsupport::HostTest {
protected:
    CHostStore& store = CHostStore::instance();
};

} // namespace

TEST_F(HostStoreTest, shouldReplaceOrDropABondsRowsPerTypeAndCommitEachUpdate)
{
    struct Case { const char* name; int typeId; IDataList first, second; size_t expectedRows; };
    const Case cases[] = {
        {"update replaces", RT_ALLOC_UNDERWRITER, {underWriter("a"), underWriter("b")}, {underWriter("c")}, 1},
        {"underwriter clearing record", RT_ALLOC_UNDERWRITER, {underWriter("a")}, {underWriter("")}, 0},
        {"clearing record among rows", RT_ALLOC_UNDERWRITER, {underWriter("a")}, {underWriter("b"), underWriter("")}, 0},
        {"null entries ignored", RT_ALLOC_UNDERWRITER, {underWriter("a")}, {IDataPtr(), underWriter("b"), IDataPtr()}, 1},
        {"empty list stores none", RT_ALLOC_UNDERWRITER, {underWriter("a")}, {}, 0},
        {"params clearing record", RT_ALLOC_PARAMS, {params(2.3)}, {params(0)}, 0},
        {"params lost bond is not clearing", RT_ALLOC_PARAMS, {params(2.3)}, {params(0, "国债")}, 1},
        {"product clearing record", RT_ALLOC_PRODUCT, {productRow(1, "产品")}, {productRow(kInvalidInt, "")}, 0},
        {"product without id but named", RT_ALLOC_PRODUCT, {productRow(1, "产品")}, {productRow(kInvalidInt, "产品")}, 1},
        {"win-bid clearing record", RT_WIN_BID_DETAIL, {detail("B1", "1")}, {detail("B1", "", kInvalidInt)}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store.reset();
        store.putRecords("B2", c.typeId, c.first);   // another bond is never touched
        RecordingPersistence persistence;
        store.setPersistence(&persistence);

        store.applyBondTenderDatas("B1", c.typeId, c.first);
        store.applyBondTenderDatas("B1", c.typeId, c.second);

        const IDataList rows = store.records("B1", c.typeId);
        EXPECT_EQ(rows.size(), c.expectedRows);
        ASSERT_EQ(persistence.commits.size(), 2u);   // one commit per update
        EXPECT_EQ(persistence.commits[1].first.at(0).rows.size(), c.expectedRows);
        EXPECT_EQ(std::count(rows.begin(), rows.end(), nullptr), 0);
        EXPECT_EQ(store.records("B2", c.typeId).size(), c.first.size());
    }
}

TEST_F(HostStoreTest, shouldGroupSavedDetailsByBondAndCommitOncePerUpdateBeforeAnnouncing)
{
    // Given stored details of two bonds, a persistence and a change listener
    store.putRecords("B1", RT_WIN_BID_DETAIL, {detail("B1", "1"), detail("B1", "2")});
    store.putRecords("B2", RT_WIN_BID_DETAIL, {detail("B2", "1")});
    RecordingPersistence persistence;
    store.setPersistence(&persistence);
    Keys announced;
    store.setChangeListener([&](const IDataList& changed) {
        EXPECT_EQ(persistence.commits.size(), 1u);   // announced only after the commit
        announced = keys(changed);
        std::sort(announced.begin(), announced.end());
    });

    // When a tender-command update names details of B1 and B3 (and a null entry)
    store.applyTenderCmds(TOP_SAVE_WIN_BID, {7, 9}, {detail("B3", "1"), detail("B1", "5"), nullptr, detail("B1", "6")});

    // Then each named bond holds exactly its details in order, others are untouched
    EXPECT_EQ(keys(store.recordsOfType(RT_WIN_BID_DETAIL)), (Keys{"B1|5", "B1|6", "B2|1", "B3|1"}));
    EXPECT_EQ(store.recordByKey(RT_WIN_BID_DETAIL, "B2|1")->getKey(), "B2|1");
    EXPECT_FALSE(store.recordByKey(RT_WIN_BID_DETAIL, "B1|1"));
    // And one commit holds both bonds' replacements with the command ids
    ASSERT_EQ(persistence.commits.size(), 1u);
    const auto& commit = persistence.commits[0];
    EXPECT_EQ(commit.second, (std::vector<int>{7, 9}));
    ASSERT_EQ(commit.first.size(), 2u);
    for (const auto& replacement : commit.first)
        EXPECT_EQ(keys(replacement.rows), keys(store.records(replacement.bondCode, RT_WIN_BID_DETAIL)));
    // And the removed and the new details are announced
    EXPECT_EQ(announced, (Keys{"B1|1", "B1|2", "B1|5", "B1|6", "B3|1"}));
    // And the call is recorded as sent
    store.applyCommandStatus(OCS_RETURN_TO_EXECUTION, "B1");
    const auto calls = store.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, SHostCall::TenderCmds);
    EXPECT_EQ(calls[0].commandIds, (std::vector<int>{7, 9}));
    EXPECT_EQ(calls[0].records.size(), 4u);
    EXPECT_EQ(calls[1].kind, SHostCall::CommandStatus);
    EXPECT_EQ(calls[1].bondCode, "B1");
    EXPECT_EQ(persistence.commits.size(), 1u);   // a status change stores nothing
}

TEST_F(HostStoreTest, shouldGiveATypeANewRevisionOnEveryChangeOfItsRecordsOnly)
{
    const auto accountData = TraderCenter::instance()->getDataCenter()->getAccountData("");
    const auto revisions = [&] {
        return std::make_pair(accountData->getDatasRevision(RT_TENDER_COMMAND),
                              accountData->getDatasRevision(RT_WIN_BID_DETAIL));
    };
    std::set<uint64_t> seen;
    auto before = revisions();
    seen.insert({before.first, before.second});

    // A command added: only the commands' revision moves
    store.addTenderCommand(boost::make_shared<CTenderCommandInfo>());
    auto after = revisions();
    EXPECT_NE(after.first, before.first);
    EXPECT_EQ(after.second, before.second);
    EXPECT_TRUE(seen.insert(after.first).second);

    // Details put, replaced by a save, or added: only the details' revision moves, each time
    for (const auto& change : std::vector<std::function<void()>>{
             [&] { store.putRecords("B1", RT_WIN_BID_DETAIL, {detail("B1", "1")}); },
             [&] { saveDetails({"1", "2"}); },
             [&] { store.addRecord("B1", RT_WIN_BID_DETAIL, detail("B1", "3")); }}) {
        before = after;
        change();
        after = revisions();
        EXPECT_EQ(after.first, before.first);
        EXPECT_TRUE(seen.insert(after.second).second) << "a details revision handed out twice";
    }

    // A reset moves both, to numbers not handed out before
    store.reset();
    after = revisions();
    EXPECT_TRUE(seen.insert(after.first).second);
    EXPECT_EQ(after.first, after.second);
}

TEST_F(HostStoreTest, shouldKeepOnlyTheMostRecentCallsAndNoneUnlessAsked)
{
    const size_t made = CHostStore::kKeptCalls + 4;
    for (size_t i = 0; i < made; ++i)
        store.applyCommandStatus(static_cast<int>(i), "B1");
    const auto calls = store.calls();
    ASSERT_EQ(calls.size(), CHostStore::kKeptCalls);
    EXPECT_EQ(calls.front().commandStatus, 4);
    EXPECT_EQ(calls.back().commandStatus, static_cast<int>(made - 1));

    // As a desk runs it: a save's replaced rows are let go by the save after it
    store.setKeepsCalls(false);
    EXPECT_TRUE(store.calls().empty());
    const auto first = detail("B1", "1");
    store.applyTenderCmds(0, {}, {first});
    store.applyTenderCmds(0, {}, {detail("B1", "1")});
    EXPECT_TRUE(store.calls().empty());
    EXPECT_EQ(first.use_count(), 1);
    EXPECT_EQ(store.records("B1", RT_WIN_BID_DETAIL).size(), 1u);
    store.setKeepsCalls(true);
}

TEST_F(HostStoreTest, shouldDeliverChangedDetailsOnTheDataThreadUntilTheHandleIsDropped)
{
    // Given subscriptions to all win-bid details and to one key
    Deliveries all, one;
    const auto accountData = TraderCenter::instance()->getDataCenter()->getAccountData("");
    CSubscriptionPtr allHandle = accountData->subscribe(RT_WIN_BID_DETAIL, "", all.callback());
    CSubscriptionPtr oneHandle = accountData->subscribe(RT_WIN_BID_DETAIL, "B1|2", one.callback());
    ASSERT_TRUE(allHandle && oneHandle);

    // When the panel saves details, they arrive on a thread that is not the caller's
    saveDetails({"1", "2"});
    EXPECT_EQ(all.keys, (Keys{"B1|1", "B1|2"}));
    EXPECT_EQ(one.keys, Keys{"B1|2"});
    EXPECT_EQ(all.onCallerThread + one.onCallerThread, 0);

    // When a handle is dropped, nothing more reaches it (the removed detail still reaches the other)
    oneHandle.reset();
    saveDetails({"2"});
    EXPECT_EQ(one.keys.size(), 1u);
    EXPECT_EQ(all.keys, (Keys{"B1|1", "B1|2", "B1|1", "B1|2"}));
    allHandle.reset();
    saveDetails({"3"});
    EXPECT_EQ(all.keys.size(), 4u);
}

TEST_F(HostStoreTest, shouldAnnounceExactlyTheGoneKeysOfALargeReplacement)
{
    // Given 3,000 stored details of bond B1, keys 0 to 2999
    IDataList stored;
    for (int i = 0; i < 3000; ++i)
        stored.push_back(detail("B1", std::to_string(i)));
    store.putRecords("B1", RT_WIN_BID_DETAIL, stored);
    Keys announced;
    store.setChangeListener([&](const IDataList& changed) { announced = keys(changed); });

    // When a save sends every third old key (some twice) and as many new ones
    std::vector<boost::shared_ptr<CWinBidInfoDetail>> sent;
    std::set<std::string> kept;
    for (int i = 0; i < 3000; i += 3) {
        sent.push_back(detail("B1", std::to_string(i)));
        sent.push_back(detail("B1", "n" + std::to_string(i)));
        if (i % 300 == 0)
            sent.push_back(detail("B1", std::to_string(i)));
        kept.insert("B1|" + std::to_string(i));
    }
    store.applyTenderCmds(TOP_SAVE_WIN_BID, {1}, sent);

    // Then the old details whose key is not sent come first, in stored order, then all sent
    Keys expected;
    for (const IDataPtr& old : stored)
        if (!kept.count(old->getKey()))
            expected.push_back(old->getKey());
    for (const auto& row : sent)
        expected.push_back(row->getKey());
    EXPECT_EQ(announced, expected);
    // And the bond holds the details as sent, and the call is recorded with them
    EXPECT_EQ(keys(store.records("B1", RT_WIN_BID_DETAIL)), keys(IDataList(sent.begin(), sent.end())));
    EXPECT_EQ(keys(store.calls().back().records), keys(IDataList(sent.begin(), sent.end())));
}

TEST_F(HostStoreTest, shouldFindExactlyTheStoredRecordsAfterEveryKindOfChange)
{
    // Given details of two bonds, looked up once
    store.putRecords("B1", RT_WIN_BID_DETAIL, {detail("B1", "1"), detail("B1", "2")});
    ASSERT_TRUE(store.recordByKey(RT_WIN_BID_DETAIL, "B1|1"));

    // When a row is appended, an update replaces B1's rows and a clearing record drops B2's
    store.addRecord("B2", RT_WIN_BID_DETAIL, detail("B2", "1"));
    EXPECT_TRUE(store.recordByKey(RT_WIN_BID_DETAIL, "B2|1"));
    const auto replacement = detail("B1", "3");
    store.applyTenderCmds(TOP_SAVE_WIN_BID, {}, {replacement});
    store.applyTenderCmds(TOP_SAVE_WIN_BID, {}, {detail("B2", "", kInvalidInt)});

    // Then each lookup answers what the store holds now, through the account data too
    EXPECT_FALSE(store.recordByKey(RT_WIN_BID_DETAIL, "B1|1"));
    EXPECT_FALSE(store.recordByKey(RT_WIN_BID_DETAIL, "B2|1"));
    EXPECT_EQ(store.recordByKey(RT_WIN_BID_DETAIL, "B1|3"), replacement);
    EXPECT_FALSE(store.recordByKey(RT_ALLOC_PRODUCT, "B1|3"));
    const auto data = TraderCenter::instance()->getDataCenter()->getAccountData(std::string());
    EXPECT_EQ(data->getData(RT_WIN_BID_DETAIL, "B1|3"), replacement);

    // And after a reset nothing is found
    store.reset();
    EXPECT_FALSE(store.recordByKey(RT_WIN_BID_DETAIL, "B1|3"));
}

TEST_F(HostStoreTest, shouldFindTheFirstProductOfAnIdOrNameUntilTheProductsAreReplaced)
{
    // Given products where an id and a name appear twice
    const auto first = product(1, "稳健一号");
    store.setProducts({first, nullptr, product(1, "其他"), product(2, "稳健一号")});
    CUserConfig* config = TC::getUserConfig();

    // Then the first one wins, unknown ones are null
    EXPECT_EQ(config->getProductByID(1), first);
    EXPECT_EQ(config->getProductByName("稳健一号"), first);
    EXPECT_EQ(config->getProductName(2), QStringLiteral("稳健一号"));
    EXPECT_FALSE(config->getProductByID(3));
    EXPECT_FALSE(config->getProductByName("未知"));

    // When the products are replaced, the old ones are gone
    store.setProducts({product(3, "平衡三号")});
    EXPECT_FALSE(config->getProductByID(1));
    EXPECT_FALSE(config->getProductByName("稳健一号"));
    EXPECT_EQ(config->getProductName(3), QStringLiteral("平衡三号"));
}
