// The team's store on a PostgreSQL server, from one desk's side: its schema is created
// once and a newer one is refused untouched; a save of another desk reaches this desk's
// store and its subscribers; a save based on an allocation another desk replaced since is
// refused whole, naming who saved it and when; a lost server refuses saves and the desk
// catches up by itself once it is back.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <mutex>

#include "CDeskWindow.h"
#include "CPgConnection.h"
#include "CScenario.h"
#include "CTeamDatabase.h"
#include "CTeamDesk.h"
#include "CTeamLiveFeed.h"
#include "services/HostStore.h"
#include "support/PgTestServer.h"
#include "support/TestSupport.h"

using namespace desk;
using namespace ttservice;

namespace {

constexpr int kWaitMs = 20000;   // a bound for things that happen in well under a second

// Polls a condition until it holds or kWaitMs pass (a bound, not a timing check).
template <class Condition>
bool eventually(Condition condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > kWaitMs)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    return true;
}

IDataPtr winBid(const std::string& bond, const std::string& rowKey, int amount)
{
    boost::shared_ptr<CWinBidInfoDetail> row(new CWinBidInfoDetail);
    row->bondCode = bond;
    row->rowKey = rowKey;
    row->winBidAmount = amount;
    row->productName = "产品一";
    return row;
}

IHostStorePersistence::SReplacement allocation(const std::string& bond, std::vector<int> amounts)
{
    IHostStorePersistence::SReplacement replacement{bond, RT_WIN_BID_DETAIL, {}};
    for (size_t i = 0; i < amounts.size(); ++i)
        replacement.rows.push_back(winBid(bond, std::to_string(i + 1), amounts[i]));
    return replacement;
}

std::vector<int> amountsOf(const IDataList& rows)
{
    std::vector<int> out;
    for (const IDataPtr& row : rows)
        out.push_back(boost::dynamic_pointer_cast<CWinBidInfoDetail>(row)->winBidAmount);
    return out;
}

class TeamDatabaseTest : public testsupport::PgServerTest {
protected:
    std::unique_ptr<CTeamDatabase> openAs(const QString& user)
    {
        QString error;
        std::unique_ptr<CTeamDatabase> db = CTeamDatabase::open(uri, user, &error);
        EXPECT_TRUE(db) << error.toStdString();
        return db;
    }
};

// The server's comings and goings as a desk's live feed told them.
struct SFeedStates {
    std::mutex mutex;
    std::vector<bool> states;
    CTeamLiveFeed::StateHandler handler()
    {
        return [this](bool connected) {
            std::lock_guard<std::mutex> lock(mutex);
            states.push_back(connected);
        };
    }
    bool last(bool connected)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return !states.empty() && states.back() == connected;
    }
};

// One user action's unit: these sets as they are after it, and its command updates.
struct SSaved {
    bool ok = false;
    QString error;
};
SSaved save(CTeamDatabase& db, std::vector<IHostStorePersistence::SReplacement> after,
            std::vector<std::vector<int>> commandUpdates = {})
{
    IHostStorePersistence::SUnit unit;
    unit.after = std::move(after);
    unit.commandUpdates = std::move(commandUpdates);
    SSaved saved;
    saved.ok = db.commit(unit, &saved.error);
    return saved;
}

} // namespace

TEST_F(TeamDatabaseTest, shouldCreateTheSchemaOnceAndRefuseANewerOneUntouched)
{
    // Given a server on which two desks opened the store, one after the other
    ASSERT_TRUE(openAs(QStringLiteral("甲")));
    ASSERT_TRUE(openAs(QStringLiteral("乙")));
    QString error;
    const auto admin = CPgConnection::connect(uri, &error);
    ASSERT_TRUE(admin) << error.toStdString();
    EXPECT_EQ(admin->exec("SELECT version FROM bond_desk.schema_version").rows(), 1);

    // When a later desk has moved the schema on, then this desk refuses it and changes nothing
    ASSERT_TRUE(admin->run("UPDATE bond_desk.schema_version SET version = 3"));
    EXPECT_FALSE(CTeamDatabase::open(uri, QStringLiteral("甲"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("数据库版本 3 比本程序支持的版本 2 新（由更新的程序写入），数据库未被修改")))
        << error.toStdString();
    EXPECT_EQ(admin->exec("SELECT version FROM bond_desk.schema_version").number(0, 0), 3);

    // And a server that cannot be reached is named without the password
    EXPECT_FALSE(CTeamDatabase::open(QStringLiteral("postgresql://u:secret@/x?host=/nonexistent"), QStringLiteral("甲"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("无法连接数据库服务器"))) << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("secret")));
}

TEST_F(TeamDatabaseTest, shouldBringAnotherDesksSaveIntoTheStoreAndAnnounceTheChangedRows)
{
    // Given desk A on the shared store with its live feed, and desk B on the same server
    CHostStore& store = CHostStore::instance();
    const auto a = openAs(QStringLiteral("甲@desk-a"));
    const auto b = openAs(QStringLiteral("乙@desk-b"));
    ASSERT_TRUE(a && b);
    QString error;
    ASSERT_TRUE(a->loadInto(store, &error)) << error.toStdString();
    std::mutex mutex;
    std::vector<std::string> announced;
    store.setChangeListener([&](const IDataList& changed) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const IDataPtr& row : changed)
            announced.push_back(row->getKey());
    });
    SFeedStates feedStates;
    CTeamLiveFeed feed(*a, store, feedStates.handler());
    ASSERT_TRUE(eventually([&] { return feedStates.last(true); }));

    // When B saves two rows of a bond, then A's store holds them and announced both
    ASSERT_TRUE(save(*b, {allocation("B1", {100, 200})}, {{7}}).ok);
    ASSERT_TRUE(eventually([&] { return store.records("B1", RT_WIN_BID_DETAIL).size() == 2; }));
    EXPECT_EQ(amountsOf(store.records("B1", RT_WIN_BID_DETAIL)), (std::vector<int>{100, 200}));
    ASSERT_TRUE(eventually([&] { std::lock_guard<std::mutex> lock(mutex); return announced.size() == 2; }));

    // When B saves the bond again with one row, then the row that went away is announced too
    ASSERT_TRUE(save(*b, {allocation("B1", {300})}).ok);
    ASSERT_TRUE(eventually([&] { return store.records("B1", RT_WIN_BID_DETAIL).size() == 1; }));
    EXPECT_EQ(amountsOf(store.records("B1", RT_WIN_BID_DETAIL)), std::vector<int>{300});
    EXPECT_EQ(a->revisionInStore("B1"), 2);
    EXPECT_EQ(a->baseRevision("B1"), 0) << "a live change is not what A's next save is based on";
    store.setChangeListener(nullptr);
}

TEST_F(TeamDatabaseTest, shouldRefuseASaveBasedOnAReplacedAllocationNamingWhoSavedItAndWhen)
{
    // Given desks A and B that both loaded the bond, and B's save of it
    CHostStore& store = CHostStore::instance();
    const auto a = openAs(QStringLiteral("甲@desk-a"));
    const auto b = openAs(QStringLiteral("乙@desk-b"));
    ASSERT_TRUE(a && b);
    QString error;
    ASSERT_TRUE(a->loadInto(store, &error)) << error.toStdString();
    ASSERT_TRUE(save(*b, {allocation("B1", {100, 200})}).ok);

    // When A saves the bond on what it loaded before, then the save is refused whole,
    // with who saved it and when, and the server keeps B's allocation
    const SSaved refused = save(*a, {allocation("B1", {999}), allocation("B2", {5})}, {{8}});
    ASSERT_FALSE(refused.ok);
    const CTeamDatabase::SConflict conflict = a->lastConflict();
    EXPECT_EQ(conflict.bondCode, "B1");
    EXPECT_EQ(conflict.savedBy, QStringLiteral("乙@desk-b"));
    EXPECT_LT(qAbs(conflict.savedAt.secsTo(QDateTime::currentDateTime())), 600);
    EXPECT_EQ(refused.error, QStringLiteral("债券 B1 的分配已由 乙@desk-b 于 %1 保存")
                                 .arg(conflict.savedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    EXPECT_EQ(serverWinBidAmounts("B1"), (std::vector<int>{100, 200}));
    EXPECT_TRUE(serverWinBidAmounts("B2").empty()) << "nothing of a refused save is written";

    // When A reloads the bond and saves again, then its save is based on B's and goes through
    ASSERT_TRUE(a->reloadBond(store, "B1", &error)) << error.toStdString();
    EXPECT_EQ(amountsOf(store.records("B1", RT_WIN_BID_DETAIL)), (std::vector<int>{100, 200}));
    EXPECT_TRUE(save(*a, {allocation("B1", {150, 150})}).ok);
    EXPECT_TRUE(a->lastConflict().bondCode.empty());
    EXPECT_EQ(serverWinBidAmounts("B1"), (std::vector<int>{150, 150}));

    // And B, whose allocation A replaced, is refused in turn
    EXPECT_FALSE(save(*b, {allocation("B1", {1})}).ok);
    EXPECT_EQ(b->lastConflict().savedBy, QStringLiteral("甲@desk-a"));
}

TEST_F(TeamDatabaseTest, shouldRefuseSavesWithoutTheServerAndCatchUpByItselfWhenItIsBack)
{
    if (!server->ownsCluster())
        GTEST_SKIP() << "a given server is not stopped by the tests";
    // Given desk A with its live feed, on the bond B saved
    CHostStore& store = CHostStore::instance();
    const auto a = openAs(QStringLiteral("甲@desk-a"));
    ASSERT_TRUE(a);
    QString error;
    ASSERT_TRUE(a->loadInto(store, &error)) << error.toStdString();
    SFeedStates feedStates;
    CTeamLiveFeed feed(*a, store, feedStates.handler());
    ASSERT_TRUE(eventually([&] { return feedStates.last(true); }));
    const auto b = openAs(QStringLiteral("乙@desk-b"));
    ASSERT_TRUE(b);
    ASSERT_TRUE(save(*b, {allocation("B1", {100})}).ok);
    ASSERT_TRUE(eventually([&] { return store.records("B1", RT_WIN_BID_DETAIL).size() == 1; }));

    // When the server stops, then the feed says so, the store keeps what it holds, and a
    // save is refused with a message that says the server is away
    ASSERT_TRUE(server->stopServer(&error)) << error.toStdString();
    ASSERT_TRUE(eventually([&] { return feedStates.last(false); }));
    EXPECT_EQ(amountsOf(store.records("B1", RT_WIN_BID_DETAIL)), std::vector<int>{100});
    a->takeUp("B1");
    const SSaved refused = save(*a, {allocation("B1", {200})});
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, QStringLiteral("无法连接数据库服务器（已显示的内容保持不变，连接恢复后可再次保存）"));
    EXPECT_TRUE(a->lastConflict().bondCode.empty());

    // When it is back, then the feed reconnects by itself, the next save goes through, and
    // another desk's saves arrive live again
    ASSERT_TRUE(server->startServer(&error)) << error.toStdString();
    ASSERT_TRUE(eventually([&] { return feedStates.last(true); }));
    EXPECT_TRUE(save(*a, {allocation("B1", {200})}).ok);
    EXPECT_EQ(serverWinBidAmounts("B1"), std::vector<int>{200});
    ASSERT_TRUE(save(*b, {allocation("B2", {300})}).ok);
    ASSERT_TRUE(eventually([&] { return store.records("B2", RT_WIN_BID_DETAIL).size() == 1; }));
}

TEST_F(TeamDatabaseTest, shouldKeepNothingOfAnActionWhoseCommitTheServerRefusedAndPutTheStoreBack)
{
    // Given a desk whose first action saved two bonds
    CHostStore& store = CHostStore::instance();
    const auto a = openAs(QStringLiteral("甲@desk-a"));
    ASSERT_TRUE(a);
    QString error;
    ASSERT_TRUE(a->loadInto(store, &error)) << error.toStdString();
    store.setPersistence(a.get());
    const auto act = [&](int amount) {
        for (const char* bond : {"B1", "B2"})
            store.applyBondTenderDatas(bond, RT_WIN_BID_DETAIL, allocation(bond, {amount, amount}).rows);
        return store.commitPending(&error);
    };
    ASSERT_TRUE(act(100)) << error.toStdString();

    // When the server fails the second bond's rows of the next action
    const auto admin = CPgConnection::connect(uri, &error);
    ASSERT_TRUE(admin && admin->run(
        "CREATE FUNCTION bond_desk.refuse_row() RETURNS trigger LANGUAGE plpgsql AS"
        " $$ BEGIN RAISE EXCEPTION 'no space left on device'; END $$;"
        "CREATE TRIGGER refuse_b2 BEFORE INSERT ON bond_desk.records FOR EACH ROW"
        " WHEN (NEW.bond_code = 'B2') EXECUTE FUNCTION bond_desk.refuse_row()"));
    EXPECT_FALSE(act(200));

    // Then the reason is told, neither bond changed on the server, and the store holds
    // what the server holds
    EXPECT_EQ(error, QStringLiteral("no space left on device"));
    EXPECT_TRUE(a->lastConflict().bondCode.empty());
    for (const char* bond : {"B1", "B2"}) {
        EXPECT_EQ(serverWinBidAmounts(bond), (std::vector<int>{100, 100})) << bond;
        EXPECT_EQ(amountsOf(store.records(bond, RT_WIN_BID_DETAIL)), (std::vector<int>{100, 100})) << bond;
    }

    // And once the server takes rows again, the desk's next action is not taken for a conflict
    ASSERT_TRUE(admin->run("DROP TRIGGER refuse_b2 ON bond_desk.records"));
    EXPECT_TRUE(act(300)) << error.toStdString();
    EXPECT_EQ(serverWinBidAmounts("B2"), (std::vector<int>{300, 300}));
    store.setPersistence(nullptr);
}

TEST_F(TeamDatabaseTest, shouldShowTheServersStateInTheWindowAndReloadTheOtherDesksAllocationWhenTheUserAgrees)
{
    // Given the desk window on the sample, on the team's server, and another desk's save
    // of the bond it shows
    CHostStore& store = CHostStore::instance();
    CScenario sample;
    QString error;
    ASSERT_TRUE(CScenario::loadFile(CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();
    sample.applyTo(store);
    const std::unique_ptr<CTeamDesk> team = CTeamDesk::open(uri, &error);
    ASSERT_TRUE(team) << error.toStdString();
    ASSERT_TRUE(team->loadInto(store, &error, nullptr)) << error.toStdString();
    store.setPersistence(&team->database());
    const std::string bond = sample.defaultBondCode();
    {
        CDeskWindow window(sample);
        window.showBond(bond);
        team->attachTo(window);
        ASSERT_TRUE(eventually([&] { return window.statusText() == CTeamDesk::stateText(true); }));
        const auto b = openAs(QStringLiteral("乙@desk-b"));
        ASSERT_TRUE(b && save(*b, {allocation(bond, {100, 200})}).ok);
        ASSERT_TRUE(eventually([&] { return store.records(bond, RT_WIN_BID_DETAIL).size() == 2; }));

        // When this desk saves the bond on what it showed before, and the user agrees to reload
        testsupport::MessageBoxRecorder boxes;
        boxes.expect();
        boxes.setQuestionAnswer(KZ::CMessageBox::Ok);
        store.applyBondTenderDatas(bond, RT_WIN_BID_DETAIL, allocation(bond, {999}).rows);
        EXPECT_FALSE(store.finishAction());

        // Then one question says who saved the bond, and the bond comes back as the other desk saved it
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].kind, KZ::CMessageBox::Question);
        EXPECT_TRUE(boxes.boxes()[0].text.startsWith(
            QStringLiteral("保存失败：债券 %1 的分配已由 乙@desk-b 于 ").arg(QString::fromStdString(bond))))
            << boxes.boxes()[0].text.toStdString();
        EXPECT_TRUE(boxes.boxes()[0].text.endsWith(CTeamDesk::reloadQuestion()));
        EXPECT_EQ(amountsOf(store.records(bond, RT_WIN_BID_DETAIL)), (std::vector<int>{100, 200}));
        ASSERT_TRUE(eventually([&] { return team->database().baseRevision(bond) == 1; }));

        // And the desk's next save of the bond goes through
        store.applyBondTenderDatas(bond, RT_WIN_BID_DETAIL, allocation(bond, {300}).rows);
        EXPECT_TRUE(store.finishAction());
        EXPECT_EQ(serverWinBidAmounts(bond), std::vector<int>{300});
        team->detach();
    }
    store.setPersistence(nullptr);
}

TEST_F(TeamDatabaseTest, shouldLeaveOutARecordItCannotReadAndLoadTheRest)
{
    // Given a bond saved with two rows, the second of which was spoilt on the server
    const auto a = openAs(QStringLiteral("甲@desk-a"));
    ASSERT_TRUE(a && save(*a, {allocation("B1", {100, 200})}).ok);
    QString error;
    const auto admin = CPgConnection::connect(uri, &error);
    ASSERT_TRUE(admin && admin->run("UPDATE bond_desk.records SET data = '\\x0102'::bytea WHERE position = 1"));

    // When a desk loads the store, then it has the readable row and names the one left out
    CHostStore& store = CHostStore::instance();
    QStringList skipped;
    ASSERT_TRUE(openAs(QStringLiteral("乙@desk-b"))->loadInto(store, &error, &skipped)) << error.toStdString();
    EXPECT_EQ(amountsOf(store.records("B1", RT_WIN_BID_DETAIL)), std::vector<int>{100});
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_TRUE(skipped[0].endsWith(QStringLiteral("已跳过无法读取的记录（债券 B1，记录类型 30097，位置 1）")))
        << skipped[0].toStdString();
}
