// The host store and its services: replace and clear semantics, recorded calls,
// persistence, lookups by key and by product, and subscriptions to the changes.

#include <algorithm>
#include <boost/make_shared.hpp>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include <QCoreApplication>

#include "services/HostServices.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"

using namespace ttservice;
using testsupport::product;

namespace {

struct RecordingPersistence : IHostStorePersistence {
    bool commit(const SUnit& unit, QString* error) override
    {
        if (failWith.isEmpty()) {
            units.push_back(unit);
            return true;
        }
        *error = failWith;
        return false;
    }
    std::vector<SUnit> units;
    QString failWith;   // non-empty: every commit fails with it
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

TEST_F(HostStoreTest, shouldReplaceOrDropABondsRowsPerTypeAndCommitEachAction)
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
        ASSERT_TRUE(store.commitPending(nullptr));
        store.applyBondTenderDatas("B1", c.typeId, c.second);
        EXPECT_TRUE(store.hasPending());
        ASSERT_TRUE(store.commitPending(nullptr));

        const IDataList rows = store.records("B1", c.typeId);
        EXPECT_EQ(rows.size(), c.expectedRows);
        ASSERT_EQ(persistence.units.size(), 2u);   // one commit per action
        EXPECT_EQ(persistence.units[1].after.at(0).rows.size(), c.expectedRows);
        EXPECT_EQ(persistence.units[1].before.at(0).rows.size(), c.first.size() - std::count(c.first.begin(), c.first.end(), nullptr));
        EXPECT_EQ(std::count(rows.begin(), rows.end(), nullptr), 0);
        EXPECT_EQ(store.records("B2", c.typeId).size(), c.first.size());
    }
}

TEST_F(HostStoreTest, shouldGroupSavedDetailsByBondAndAnnounceThemOnlyOnceTheActionIsCommitted)
{
    // Given stored details of two bonds, a persistence and a change listener
    store.putRecords("B1", RT_WIN_BID_DETAIL, {detail("B1", "1"), detail("B1", "2")});
    store.putRecords("B2", RT_WIN_BID_DETAIL, {detail("B2", "1")});
    RecordingPersistence persistence;
    store.setPersistence(&persistence);
    Keys announced;
    store.setChangeListener([&](const IDataList& changed) {
        EXPECT_EQ(persistence.units.size(), 1u);   // announced only after the commit
        announced = keys(changed);
        std::sort(announced.begin(), announced.end());
    });

    // When a tender-command update names details of B1 and B3 (and a null entry), and the action ends
    store.applyTenderCmds(TOP_SAVE_WIN_BID, {7, 9}, {detail("B3", "1"), detail("B1", "5"), nullptr, detail("B1", "6")});
    EXPECT_TRUE(announced.empty());
    ASSERT_TRUE(store.commitPending(nullptr));

    // Then each named bond holds exactly its details in order, others are untouched
    EXPECT_EQ(keys(store.recordsOfType(RT_WIN_BID_DETAIL)), (Keys{"B1|5", "B1|6", "B2|1", "B3|1"}));
    EXPECT_EQ(store.recordByKey(RT_WIN_BID_DETAIL, "B2|1")->getKey(), "B2|1");
    EXPECT_FALSE(store.recordByKey(RT_WIN_BID_DETAIL, "B1|1"));
    // And one commit holds both bonds' replacements with the command ids
    ASSERT_EQ(persistence.units.size(), 1u);
    const auto& unit = persistence.units[0];
    EXPECT_EQ(unit.commandUpdates, (std::vector<std::vector<int>>{{7, 9}}));
    ASSERT_EQ(unit.after.size(), 2u);
    for (const auto& replacement : unit.after)
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
    EXPECT_FALSE(store.hasPending());   // a status change stores nothing
}

TEST_F(HostStoreTest, shouldCommitAllCallsOfAnActionAsOneUnitAndPutTheStoreBackWhenItFails)
{
    // Given a persistence, and a first save that ends when control returns to the event loop
    RecordingPersistence persistence;
    store.setPersistence(&persistence);
    Keys announced;
    store.setChangeListener([&](const IDataList& changed) {
        for (const IDataPtr& row : changed)
            announced.push_back(row->getKey());
    });
    store.applyBondTenderDatas("B1", RT_ALLOC_PARAMS, {params(2.3)});
    store.applyTenderCmds(TOP_SAVE_WIN_BID, {1}, {detail("B1", "1")});
    QCoreApplication::processEvents();
    ASSERT_EQ(persistence.units.size(), 1u);
    EXPECT_EQ(announced, Keys{"B1|1"});

    // When a save of three calls ends with its success box
    testsupport::MessageBoxRecorder boxes;
    boxes.expect();
    store.applyBondTenderDatas("B1", RT_ALLOC_PARAMS, {params(2.4)});
    store.applyBondTenderDatas("B1", RT_ALLOC_UNDERWRITER, {underWriter("a")});
    store.applyTenderCmds(TOP_SAVE_WIN_BID, {1, 2}, {detail("B1", "2")});
    KZ::CMessageBox::information(0, nullptr, QStringLiteral("中标分配信息"), QStringLiteral("保存成功!"));

    // Then the box came after one commit of all three, each set with what it replaced
    ASSERT_EQ(persistence.units.size(), 2u);
    const IHostStorePersistence::SUnit& unit = persistence.units[1];
    ASSERT_EQ(unit.after.size(), 3u);
    ASSERT_EQ(unit.before.size(), 3u);
    EXPECT_EQ(unit.before[0].typeId, RT_ALLOC_PARAMS);
    EXPECT_EQ(keys(unit.before[0].rows), keys({params(2.3)}));
    EXPECT_TRUE(unit.before[1].rows.empty());
    EXPECT_EQ(keys(unit.before[2].rows), Keys{"B1|1"});
    EXPECT_EQ(keys(unit.after[2].rows), Keys{"B1|2"});
    EXPECT_EQ(unit.commandUpdates, (std::vector<std::vector<int>>{{1, 2}}));
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
    EXPECT_EQ(announced, (Keys{"B1|1", "B1|1", "B1|2"}));

    // When the next save cannot be written
    persistence.failWith = QStringLiteral("desk.sqlite: 数据库正被另一个程序使用");
    boxes.expect();
    store.applyBondTenderDatas("B1", RT_ALLOC_PARAMS, {params(2.5)});
    store.applyBondTenderDatas("B1", RT_ALLOC_PRODUCT, {productRow(1, "产品")});
    store.applyTenderCmds(TOP_SAVE_WIN_BID, {1}, {detail("B1", "3")});
    const int answer = KZ::CMessageBox::information(0, nullptr, QStringLiteral("中标分配信息"), QStringLiteral("保存成功!"));

    // Then the user is told what failed instead of the success, once
    EXPECT_EQ(answer, KZ::CMessageBox::Ok);
    ASSERT_EQ(boxes.boxes().size(), 2u);
    const auto& failure = boxes.boxes().back();
    EXPECT_EQ(failure.kind, KZ::CMessageBox::Critical);
    EXPECT_EQ(failure.title, QStringLiteral("保存失败"));
    EXPECT_TRUE(failure.text.contains(persistence.failWith)) << failure.text.toStdString();
    EXPECT_TRUE(failure.text.contains(QStringLiteral("之前保存的分配结果保持不变"))) << failure.text.toStdString();
    // And the store holds what the last commit left, of which nothing was announced again
    EXPECT_FALSE(store.hasPending());
    EXPECT_EQ(persistence.units.size(), 2u);
    EXPECT_EQ(keys(store.records("B1", RT_ALLOC_PARAMS)), keys({params(2.4)}));
    EXPECT_DOUBLE_EQ(store.typedRecords<CIBondTenderAllocParams>("B1", RT_ALLOC_PARAMS).at(0)->marginalPrice, 2.4);
    EXPECT_TRUE(store.records("B1", RT_ALLOC_PRODUCT).empty());
    EXPECT_EQ(keys(store.records("B1", RT_WIN_BID_DETAIL)), Keys{"B1|2"});
    EXPECT_EQ(store.recordByKey(RT_WIN_BID_DETAIL, "B1|2")->getKey(), "B1|2");
    EXPECT_EQ(announced.size(), 3u);
    store.setPersistence(nullptr);
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

TEST_F(HostStoreTest, shouldAnnounceTheGoneKeysWhetherASaveKeepsTheStoredOrderOrNot)
{
    // Row keys stored, row keys sent, and the stored ones a save leaves behind
    const struct { const char* name; Keys stored, sent, gone; } cases[] = {
        {"same order", {"1", "2", "3"}, {"1", "2", "3"}, {}},
        {"one renamed in the middle", {"1", "2", "3"}, {"1", "x", "3"}, {"2"}},
        {"shuffled", {"1", "2", "3"}, {"3", "1", "2"}, {}},
        {"one more at the end", {"1", "2"}, {"1", "2", "3"}, {}},
        {"the last dropped", {"1", "2", "3"}, {"1", "2"}, {"3"}},
        {"the first dropped", {"1", "2", "3"}, {"2", "3"}, {"1"}},
        {"a key sent twice", {"1", "2"}, {"2", "2"}, {"1"}},
        {"nothing stored", {}, {"1"}, {}},
    };
    Keys announced;
    store.setChangeListener([&](const IDataList& changed) { announced = keys(changed); });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        IDataList stored;
        for (const std::string& key : c.stored)
            stored.push_back(detail("B1", key));
        store.putRecords("B1", RT_WIN_BID_DETAIL, stored);
        std::vector<boost::shared_ptr<CWinBidInfoDetail>> sent;
        for (const std::string& key : c.sent)
            sent.push_back(detail("B1", key));
        announced.clear();

        store.applyTenderCmds(TOP_SAVE_WIN_BID, {1}, sent);

        // The gone ones first, in stored order, then every row sent
        Keys expected;
        for (const std::string& key : c.gone)
            expected.push_back("B1|" + key);
        for (const std::string& key : c.sent)
            expected.push_back("B1|" + key);
        EXPECT_EQ(announced, expected);
        EXPECT_EQ(keys(store.records("B1", RT_WIN_BID_DETAIL)), keys(IDataList(sent.begin(), sent.end())));
    }
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
