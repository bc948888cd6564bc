// The desk's file under SIGKILL while the panel saves: a child process runs the panel on
// the desk's database and presses "保存" over and over, alternating two allocations of
// the sample's won bond, and is killed at a random moment, over and over. After every
// kill the file passes SQLite's integrity check, holds one whole save (the head strip,
// tables one to three and the command update of the same press), and the last press
// whose save had returned is there.
//
// BTA_CRASH_ROUNDS sets the number of kills (default 10; scripts/crash-test runs more),
// BTA_CRASH_SEED the random seed (default: a fresh one, printed).

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <poll.h>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "CAllocationDump.h"
#include "CDeskDatabase.h"
#include "desk_sample_allocation.h"

using namespace desk;
using namespace ttservice;
using namespace wf;

namespace {

const char* const kChildDatabaseVariable = "BTA_CRASH_CHILD_DB";
const char* const kAllocationsVariable = "BTA_CRASH_ALLOCATIONS";
constexpr int kAckDescriptor = 3;   // the child writes the number of each returned save here
const char* const kAreas[] = {"bidParameters", "underwriters", "products", "accounts"};
const int kAreaTypes[] = {RT_ALLOC_PARAMS, RT_ALLOC_UNDERWRITER, RT_ALLOC_PRODUCT, RT_WIN_BID_DETAIL};

CScenario loadSample()
{
    CScenario sample;
    QString error;
    EXPECT_TRUE(CScenario::loadFile(CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();
    return sample;
}

// The host as the desk starts it on the sample, saving into the file at path.
std::unique_ptr<CDeskDatabase> startDesk(const CScenario& sample, const QString& path)
{
    testsupport::resetHost();
    CHostStore& store = CHostStore::instance();
    sample.applyTo(store);
    store.setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
    QString error;
    std::unique_ptr<CDeskDatabase> db = CDeskDatabase::open(path, &error);
    EXPECT_TRUE(db && db->loadInto(store, &error)) << error.toStdString();
    if (db)
        store.setPersistence(db.get());
    return db;
}

// The command ids of each command update in the file, oldest first.
std::vector<std::string> commandUpdates(const QString& path)
{
    std::vector<std::string> updates;
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, "SELECT command_ids FROM command_updates ORDER BY id", -1, &stmt, nullptr) == SQLITE_OK)
        while (sqlite3_step(stmt) == SQLITE_ROW)
            updates.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return updates;
}

// The two allocations the child alternates (odd saves the first, even saves the second),
// as the four areas' record sets the host holds for the bond.
struct SAllocations {
    std::vector<IDataList> sets[2];
};

// Each allocation made through the panel once, into a file of its own: table one's
// marginal position cut by one unit or by two (so tables one to three differ), and the
// second one's weighted mean raised (so the head strip differs too).
void makeAllocationFiles(const CScenario& sample, const QString& dir)
{
    for (int which = 0; which < 2; ++which) {
        const auto db = startDesk(sample, dir + (which ? "/b.sqlite" : "/a.sqlite"));
        ASSERT_TRUE(db);
        testsupport::MessageBoxRecorder boxes;
        boxes.expect();
        PanelUnderTest p;
        allocateSample(sample, p, which ? 2.0 : 1.0);
        ASSERT_EQ(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
        if (which) {
            const std::string bond = sample.defaultBondCode();
            const auto params = CHostStore::instance().typedRecords<CIBondTenderAllocParams>(bond, RT_ALLOC_PARAMS);
            ASSERT_EQ(params.size(), 1u);
            auto raised = boost::make_shared<CIBondTenderAllocParams>(*params[0]);
            raised->weightedMeanPrice += 0.05;
            CTradeClient::instance()->updateBondTenderDatas_async(bond, RT_ALLOC_PARAMS, {raised});
        }
        CHostStore::instance().setPersistence(nullptr);
    }
}

SAllocations loadAllocations(const CScenario& sample, const QString& dir)
{
    SAllocations allocations;
    for (int which = 0; which < 2; ++which) {
        testsupport::resetHost();
        QString error;
        const auto db = CDeskDatabase::open(dir + (which ? "/b.sqlite" : "/a.sqlite"), &error);
        EXPECT_TRUE(db && db->loadInto(CHostStore::instance(), &error)) << error.toStdString();
        for (int type : kAreaTypes)
            allocations.sets[which].push_back(CHostStore::instance().records(sample.defaultBondCode(), type));
    }
    return allocations;
}

// One press of "保存" on the given allocation: it is put in the host as the stored one
// (seeding, which saves nothing), the panel shows the bond, and the user presses the button.
void pressSave(const CScenario& sample, PanelUnderTest& p, const std::vector<IDataList>& sets)
{
    const SScenarioBond& bond = *sample.bond(sample.defaultBondCode());
    for (size_t area = 0; area < sets.size(); ++area)
        CHostStore::instance().putRecords(bond.code, kAreaTypes[area], sets[area]);
    p.panel->refreshWinBidAllocationPanel(false, bond.code, bond.basicTenderUnit);
    click(p.saveButton());
}

// The bond's allocation as a fresh desk start reads it from the file.
QJsonObject allocationInFile(const CScenario& sample, const QString& path)
{
    const auto db = startDesk(sample, path);
    CHostStore::instance().setPersistence(nullptr);
    return CAllocationDump::bondAllocation(CHostStore::instance(), sample.defaultBondCode());
}

// ------------------------------------------------------------------ the parent

struct SChild {
    pid_t pid = -1;
    int acks = -1;        // read end of the child's acknowledgements
    std::string pending;  // bytes of an unfinished line
    int lastAck = 0;
};

SChild startChild(const QString& databasePath, const QString& allocationsDir)
{
    int fds[2];
    SChild child;
    if (pipe(fds) != 0)
        return child;
    qputenv(kChildDatabaseVariable, QFile::encodeName(databasePath));
    qputenv(kAllocationsVariable, QFile::encodeName(allocationsDir));
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], kAckDescriptor);
        if (fds[0] != kAckDescriptor) close(fds[0]);
        if (fds[1] != kAckDescriptor) close(fds[1]);
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) { dup2(devNull, 1); }   // gtest's lines of the child
        char program[] = "/proc/self/exe";
        char filter[] = "--gtest_filter=DeskSaveUnderKill.DISABLED_childPressesSaveUntilKilled";
        char disabled[] = "--gtest_also_run_disabled_tests";
        char* argv[] = {program, filter, disabled, nullptr};
        execv(program, argv);
        _exit(127);
    }
    qunsetenv(kChildDatabaseVariable);
    qunsetenv(kAllocationsVariable);
    close(fds[1]);
    child.pid = pid;
    child.acks = fds[0];
    return child;
}

// Reads what the child wrote; false at end of file. Waits at most timeoutMs for data.
bool readAcks(SChild& child, int timeoutMs)
{
    pollfd p{child.acks, POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs);
    if (ready <= 0)
        return true;
    char buffer[4096];
    const ssize_t n = read(child.acks, buffer, sizeof buffer);
    if (n <= 0)
        return n < 0 && errno == EINTR;
    child.pending.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = child.pending.find('\n')) != std::string::npos) {
        child.lastAck = std::atoi(child.pending.substr(0, end).c_str());
        child.pending.erase(0, end + 1);
    }
    return true;
}

QString integrityOf(const QString& path)
{
    if (!QFile::exists(path))   // killed before the file was made
        return QStringLiteral("ok");
    QString integrity;
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) != SQLITE_OK)
        integrity = QStringLiteral("cannot check: ") + QString::fromUtf8(sqlite3_errmsg(db));
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW)
        integrity += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return integrity;
}

} // namespace

// Run only as the child of the test below.
TEST(DeskSaveUnderKill, DISABLED_childPressesSaveUntilKilled)
{
    const QString path = QFile::decodeName(qgetenv(kChildDatabaseVariable));
    const QString allocationsDir = QFile::decodeName(qgetenv(kAllocationsVariable));
    ASSERT_FALSE(path.isEmpty() || allocationsDir.isEmpty());
    const CScenario sample = loadSample();
    const SAllocations allocations = loadAllocations(sample, allocationsDir);
    const int saved = static_cast<int>(commandUpdates(path).size());
    const auto db = startDesk(sample, path);
    ASSERT_TRUE(db);
    // The success box answers itself; any other box (a failed commit) ends the child.
    KZ::CMessageBox::setHandler([](KZ::CMessageBox::EKind, const QString&, const QString& text, int) {
        if (text != QStringLiteral("保存成功!")) {
            std::fprintf(stderr, "unexpected box: %s\n", text.toLocal8Bit().constData());
            _exit(4);
        }
        return static_cast<int>(KZ::CMessageBox::Ok);
    });
    PanelUnderTest p;
    for (int save = saved + 1;; ++save) {
        pressSave(sample, p, allocations.sets[save % 2 ? 0 : 1]);
        const std::string ack = std::to_string(save) + "\n";   // the press returned
        ssize_t ignored = write(kAckDescriptor, ack.data(), ack.size());
        (void)ignored;
    }
}

TEST(DeskSaveUnderKill, shouldKeepEveryReturnedSaveWholeAcrossKills)
{
    // Given the two allocations, and what a file holds after a press of "保存" on each
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))   // spares each child Qt's warning
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    const CScenario sample = loadSample();
    makeAllocationFiles(sample, dir.path());
    const SAllocations allocations = loadAllocations(sample, dir.path());
    QJsonObject expected[2];   // after an odd save, after an even one
    std::string commandIds;
    qint64 pressUs = 0;
    for (int which = 0; which < 2; ++which) {
        const QString scratch = dir.filePath(QStringLiteral("expected%1.sqlite").arg(which));
        {
            const auto db = startDesk(sample, scratch);
            testsupport::MessageBoxRecorder boxes;
            boxes.expect();
            PanelUnderTest p;
            QElapsedTimer timer;
            timer.start();
            pressSave(sample, p, allocations.sets[which]);
            pressUs = std::max(pressUs, timer.nsecsElapsed() / 1000);
            ASSERT_EQ(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
            CHostStore::instance().setPersistence(nullptr);
        }
        expected[which] = allocationInFile(sample, scratch);
        const std::vector<std::string> updates = commandUpdates(scratch);
        ASSERT_EQ(updates.size(), 1u);
        commandIds = updates[0];
    }
    const QJsonObject unsaved = allocationInFile(sample, dir.filePath(QStringLiteral("unsaved.sqlite")));
    for (const char* area : kAreas) {
        EXPECT_FALSE(expected[0].value(QLatin1String(area)).toArray().isEmpty()) << area;
        EXPECT_NE(expected[0].value(QLatin1String(area)), expected[1].value(QLatin1String(area)))
            << "both allocations have the same " << area;
    }

    const QString path = dir.filePath(QStringLiteral("desk.sqlite"));
    const int asked = qEnvironmentVariableIntValue("BTA_CRASH_ROUNDS");
    const int rounds = asked > 0 ? asked : 10;
    const unsigned seed = qEnvironmentVariableIsEmpty("BTA_CRASH_SEED") ? std::random_device{}()
                                                                        : qgetenv("BTA_CRASH_SEED").toUInt();
    std::mt19937 random(seed);
    std::cout << "crash rounds " << rounds << ", seed " << seed << ", one press " << pressUs << " us" << std::endl;

    int lastReturned = 0;
    int savesSeen = 0;
    for (int round = 1; round <= rounds; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round << " of seed " << seed);
        SChild child = startChild(path, dir.path());
        ASSERT_GT(child.pid, 0);

        // When it is killed: mostly after its first save returned, at any moment of the
        // next two presses, sometimes while it still starts (opening the file, recovering the log)
        const bool whileStarting = random() % 8 == 0;
        if (!whileStarting) {
            for (int waited = 0; child.lastAck == 0 && waited < 600; ++waited)
                if (!readAcks(child, 100))
                    break;
        }
        const qint64 spanUs = whileStarting ? 300000 : std::max<qint64>(2 * pressUs, 5000);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % spanUs));
        kill(child.pid, SIGKILL);
        while (readAcks(child, 5000)) {
        }
        close(child.acks);
        int status = 0;
        waitpid(child.pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the child ended by itself (status " << status << ") before the kill";
        if (child.lastAck > 0) {
            EXPECT_GT(child.lastAck, lastReturned) << "the child did not continue after the last save";
            lastReturned = child.lastAck;
        }

        // Then the file is sound and holds one whole save: the last returned one or the
        // one in flight when the kill came, every area and command update of that press
        ASSERT_EQ(integrityOf(path), QStringLiteral("ok"));
        const std::vector<std::string> updates = commandUpdates(path);
        const int committed = static_cast<int>(updates.size());
        ASSERT_TRUE(committed == lastReturned || committed == lastReturned + 1)
            << "file holds save " << committed << ", last returned save " << lastReturned;
        for (const std::string& ids : updates)
            ASSERT_EQ(ids, commandIds);
        const QJsonObject inFile = allocationInFile(sample, path);
        for (const char* area : kAreas) {
            const QJsonObject& save = committed == 0 ? unsaved : expected[committed % 2 ? 0 : 1];
            ASSERT_EQ(inFile.value(QLatin1String(area)), save.value(QLatin1String(area)))
                << area << " is not of save " << committed;
        }
        lastReturned = committed;   // the next child goes on from what the file holds
        savesSeen = committed;
    }
    testsupport::resetHost();
    std::cout << "crash rounds survived " << rounds << ", saves committed " << savesSeen << std::endl;
}
