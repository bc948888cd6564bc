// The desk's SQLite file: all the updates of one user action reach it in one commit when
// the action ends, a commit that fails writes nothing, a later start reads it back over
// the scenario, and files the desk cannot use, or cannot write, are refused with their reason.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QFile>
#include <QStringList>
#include <functional>
#include <QTemporaryDir>
#include <boost/make_shared.hpp>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CAllocationDump.h"
#include "CDeskDatabase.h"
#include "CScenario.h"
#include "services/HostServices.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"

using namespace desk;
using namespace ttservice;

namespace {

const std::string kBond = "260205.IB";

// The first value a query gives on a connection of its own, as another process would read the file.
QString readFresh(const QString& path, const QString& sql)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr);
    const QString value = sqlite3_step(stmt) == SQLITE_ROW
        ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))) : QString();
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

QString rowCount(const QString& path, int typeId)
{
    return readFresh(path, QStringLiteral("SELECT COUNT(*) FROM records WHERE bond_code = '%1' AND type_id = %2")
                               .arg(QString::fromStdString(kBond)).arg(typeId));
}

void execOn(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

boost::shared_ptr<CIBondTenderAllocUnderWriterInfo> underwriterRow(const std::string& name, double price, double won)
{
    auto row = boost::make_shared<CIBondTenderAllocUnderWriterInfo>();
    row->bondCode = kBond;
    row->tenderingType = TT_MIXED;
    row->underWriterName = name;
    row->tenderPrice = row->winBidPrice = price;
    row->bidAmount = row->winAmount = won;
    return row;
}

boost::shared_ptr<CWinBidInfoDetail> accountRow(const std::string& rowKey, int units)
{
    auto row = boost::make_shared<CWinBidInfoDetail>();
    row->productId = 1001;
    row->productName = "稳健增利1号";
    row->bondCode = kBond;
    row->account = "IB0010001";
    row->winBidAmount = units;
    row->rowKey = rowKey;
    return row;
}

// The desk's answer for the file, as an unprivileged user: *refused is set when it did
// not open it, and the text is its error.
QString errorWithoutPrivileges(const QString& path, bool* refused)
{
    int fds[2];
    if (pipe(fds) != 0)
        return QStringLiteral("no pipe");
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const passwd* nobody = getpwnam("nobody");
        if (geteuid() == 0 && (!nobody || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0))
            _exit(3);
        QString error;
        const bool opened = static_cast<bool>(CDeskDatabase::open(path, &error));
        const QByteArray text = error.toUtf8();
        const bool written = write(fds[1], text.constData(), static_cast<size_t>(text.size())) == text.size();
        _exit(opened ? 1 : written ? 0 : 4);
    }
    close(fds[1]);
    QByteArray text;
    char buffer[512];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<int>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    *refused = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 3 ? QStringLiteral("could not drop to the user nobody")
                                                         : QString::fromUtf8(text);
}

QByteArray contentsOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class DeskDatabaseTest : public testsupport::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("desk.sqlite"));
    }

    // A desk start on the file: the sample, then what the file holds; the store then saves into the file.
    std::unique_ptr<CDeskDatabase> startDesk()
    {
        testsupport::resetHost();
        CScenario sample;
        QString error;
        std::unique_ptr<CDeskDatabase> db = CDeskDatabase::open(path, &error);
        EXPECT_TRUE(db && CScenario::loadFile(CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();
        sample.applyTo(CHostStore::instance());
        EXPECT_TRUE(db && db->loadInto(CHostStore::instance(), &error)) << error.toStdString();
        CHostStore::instance().setPersistence(db.get());
        return db;
    }

    QTemporaryDir dir;
    QString path;
};

} // namespace

TEST_F(DeskDatabaseTest, shouldPutAllOfAnActionOnDiskAtOnceWhenItEnds)
{
    // Given a desk database attached to the store, in WAL mode with full syncs
    const auto db = startDesk();
    EXPECT_EQ(readFresh(path, QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));

    // When the panel's save sends underwriter rows, then account rows
    CTradeClient::instance()->updateBondTenderDatas_async(
        kBond, RT_ALLOC_UNDERWRITER, {underwriterRow("恒远证券", 100.05, 2.5), underwriterRow("瑞丰银行", 99.98, 7.1)});
    CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {53001, 53002},
                                                     {accountRow("1", 15000), accountRow("2", 10000)});

    // Then another connection sees none of it while the action runs, and all of it once
    // control is back in the event loop
    EXPECT_EQ(rowCount(path, RT_ALLOC_UNDERWRITER), QStringLiteral("0"));
    QCoreApplication::processEvents();
    EXPECT_EQ(rowCount(path, RT_ALLOC_UNDERWRITER), QStringLiteral("2"));
    EXPECT_EQ(rowCount(path, RT_WIN_BID_DETAIL), QStringLiteral("2"));
    EXPECT_EQ(readFresh(path, QStringLiteral("SELECT command_ids FROM command_updates")), QStringLiteral("53001,53002"));

    // And the next action's fewer rows replace them
    CTradeClient::instance()->updateBondTenderDatas_async(kBond, RT_ALLOC_UNDERWRITER, {underwriterRow("恒远证券", 100.05, 2.5)});
    ASSERT_TRUE(CHostStore::instance().commitPending(nullptr));
    EXPECT_EQ(rowCount(path, RT_ALLOC_UNDERWRITER), QStringLiteral("1"));
    CHostStore::instance().setPersistence(nullptr);
}

TEST_F(DeskDatabaseTest, shouldWriteNoneOfASaveItCannotWriteAndGoBackToWhatTheFileHolds)
{
    // Given a database holding a saved underwriter row
    const auto db = startDesk();
    ASSERT_TRUE(db);
    CTradeClient::instance()->updateBondTenderDatas_async(kBond, RT_ALLOC_UNDERWRITER, {underwriterRow("恒远证券", 100.05, 2.5)});
    ASSERT_TRUE(CHostStore::instance().commitPending(nullptr));

    struct SCase { const char* what; const char* otherProgram; const char* reason; };
    const SCase cases[] = {
        // another program holds the write lock past the desk's short busy wait
        {"write lock held", "BEGIN IMMEDIATE; INSERT INTO record_sets VALUES ('x', 1)", "数据库正被另一个程序使用"},
        // the table was dropped behind the desk's back
        {"table dropped", "DROP TABLE records", "数据库出错"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, c.otherProgram, nullptr, nullptr, nullptr), SQLITE_OK);

        // When a save of two areas ends
        CTradeClient::instance()->updateBondTenderDatas_async(kBond, RT_ALLOC_UNDERWRITER, {underwriterRow("瑞丰银行", 99.98, 7.1)});
        CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {53001}, {accountRow("1", 15000)});
        QString error;
        EXPECT_FALSE(CHostStore::instance().commitPending(&error));
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);

        // Then the failure names the file and the reason, and the store holds what the file holds
        EXPECT_TRUE(error.startsWith(path + QStringLiteral(": "))) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.reason))) << error.toStdString();
        const auto underwriters = CHostStore::instance().typedRecords<CIBondTenderAllocUnderWriterInfo>(kBond, RT_ALLOC_UNDERWRITER);
        ASSERT_EQ(underwriters.size(), 1u);
        EXPECT_EQ(underwriters[0]->underWriterName, "恒远证券");
        EXPECT_TRUE(CHostStore::instance().records(kBond, RT_WIN_BID_DETAIL).empty());
        EXPECT_EQ(readFresh(path, QStringLiteral("SELECT COUNT(*) FROM command_updates")), QStringLiteral("0"));
    }
    CHostStore::instance().setPersistence(nullptr);
}

TEST_F(DeskDatabaseTest, shouldBringBackWhatWasSavedAndClearedOverTheScenarioOnTheNextStart)
{
    // Given a first run that saved bid parameters and account rows for the sample's bond,
    // and returned another bond to tender execution (the panel's clearing record)
    const std::string clearedBond = "260011.IB";
    QJsonObject savedAllocation;
    {
        const auto db = startDesk();
        auto params = boost::make_shared<CIBondTenderAllocParams>();
        params->bondCode = kBond;
        params->marginalPrice = 99.80;
        params->weightedMeanPrice = 99.90;
        params->couponRate = 2.10;
        CTradeClient::instance()->updateBondTenderDatas_async(kBond, RT_ALLOC_PARAMS, {params});
        CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {53001}, {accountRow("1", 15000), accountRow("2", 5000)});
        auto clearing = boost::make_shared<CIBondTenderAllocParams>();
        clearing->bondCode = clearedBond;
        clearing->marginalPrice = clearing->weightedMeanPrice = clearing->issuePrice = clearing->couponRate = 0.0;
        CTradeClient::instance()->updateBondTenderDatas_async(clearedBond, RT_ALLOC_PARAMS, {clearing});
        ASSERT_TRUE(CHostStore::instance().commitPending(nullptr));
        savedAllocation = CAllocationDump::bondAllocation(CHostStore::instance(), kBond);
        CHostStore::instance().setPersistence(nullptr);
    }

    // When the desk starts again on the same file
    const auto db = startDesk();

    // Then the saved records win over the scenario's, row for row, and the clearing stands
    EXPECT_EQ(CAllocationDump::bondAllocation(CHostStore::instance(), kBond), savedAllocation);
    const auto params = CHostStore::instance().typedRecords<CIBondTenderAllocParams>(kBond, RT_ALLOC_PARAMS);
    ASSERT_EQ(params.size(), 1u);
    EXPECT_DOUBLE_EQ(params[0]->marginalPrice, 99.80);
    EXPECT_TRUE(CHostStore::instance().records(clearedBond, RT_ALLOC_PARAMS).empty());
    // And the scenario's read-only records are there as well
    EXPECT_FALSE(CHostStore::instance().records(kBond, RT_EXEC_EXTERNAL_REPORT).empty());
}

TEST_F(DeskDatabaseTest, shouldRefuseFilesItCannotUseWithTheirReasonAndLeaveThemUntouched)
{
    struct Case {
        const char* what;
        std::function<QString(const QDir&)> makeFile;
        QString expected;
    };
    const std::vector<Case> cases{
        {"newer schema", [](const QDir& d) {
             const QString p = d.filePath(QStringLiteral("newer.sqlite"));
             execOn(p, "CREATE TABLE future (x); PRAGMA user_version = 4");
             return p;
         },
         QStringLiteral("数据库版本 4 比本程序支持的版本")},
        {"newer schema in WAL mode", [](const QDir& d) {
             const QString p = d.filePath(QStringLiteral("newer-wal.sqlite"));
             execOn(p, "PRAGMA journal_mode=WAL; CREATE TABLE record_sets (x); PRAGMA user_version = 3");
             return p;
         },
         QStringLiteral("数据库版本 3 比本程序支持的版本")},
        {"another program's file", [](const QDir& d) {
             const QString p = d.filePath(QStringLiteral("ledger.db"));
             execOn(p, "CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT); INSERT INTO customers VALUES (1, 'x')");
             return p;
         },
         QStringLiteral("这不是本程序的数据库文件（含有其他程序的表 customers）")},
        {"another program's file in WAL mode", [](const QDir& d) {
             const QString p = d.filePath(QStringLiteral("ledger-wal.db"));
             execOn(p, "PRAGMA journal_mode=WAL; CREATE TABLE records (x); CREATE TABLE notes (y)");
             return p;
         },
         QStringLiteral("这不是本程序的数据库文件（含有其他程序的表 notes）")},
        {"not a database", [](const QDir& d) {
             const QString p = d.filePath(QStringLiteral("notes.txt"));
             QFile f(p);
             f.open(QIODevice::WriteOnly);
             f.write(QByteArray(4096, 'x'));
             return p;
         },
         QStringLiteral("无法读取数据库：这不是数据库文件")},
        {"a directory", [](const QDir& d) { d.mkdir(QStringLiteral("sub")); return d.filePath(QStringLiteral("sub")); },
         QStringLiteral("无法打开数据库：这是一个文件夹")},
        {"missing directory", [](const QDir& d) { return d.filePath(QStringLiteral("no/such/dir/desk.sqlite")); },
         QStringLiteral("无法打开数据库：")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = c.makeFile(QDir(dir.path()));
        const QByteArray before = QFileInfo(file).isFile() ? contentsOf(file) : QByteArray();
        QString error;
        EXPECT_FALSE(CDeskDatabase::open(file, &error));
        EXPECT_TRUE(error.startsWith(file + QStringLiteral(": "))) << error.toStdString();
        EXPECT_TRUE(error.contains(c.expected)) << error.toStdString();
        // A refused file keeps every byte (its journal mode in the header among them),
        // and nothing is left beside it
        EXPECT_EQ(contentsOf(file), before);
        EXPECT_FALSE(QFile::exists(file + QStringLiteral("-wal")));
        EXPECT_FALSE(QFile::exists(file + QStringLiteral("-shm")));
    }
}

TEST_F(DeskDatabaseTest, shouldReadBackEveryValueAsWrittenAndSkipOnlyARecordItCannotRead)
{
    // Given a saved account row whose texts hold a NUL and other control characters,
    // and a second row the file then damages
    std::string withNul("稳健\0增利", 10);
    withNul += "\x01\t\u00a0";
    {
        const auto db = startDesk();
        auto first = accountRow("1", kInvalidInt);   // the largest volume there is
        first->productName = withNul;
        first->remark = std::string("\0", 1);
        CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {53001}, {first, accountRow("2", 5000)});
        CHostStore::instance().setPersistence(nullptr);
    }
    execOn(path, "UPDATE records SET data = x'0500000000' WHERE position = 1");
    const QByteArray damaged = contentsOf(path);

    // When the desk starts on it
    testsupport::resetHost();
    QString error;
    QStringList skipped;
    auto db = CDeskDatabase::open(path, &error);
    ASSERT_TRUE(db) << error.toStdString();
    ASSERT_TRUE(db->loadInto(CHostStore::instance(), &error, &skipped)) << error.toStdString();
    db.reset();

    // Then the readable row is there byte for byte, the damaged one is named and left out,
    // and the file is as it was
    const auto rows = CHostStore::instance().typedRecords<CWinBidInfoDetail>(kBond, RT_WIN_BID_DETAIL);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->productName, withNul);
    const QJsonObject dumped = CAllocationDump::bondAllocation(CHostStore::instance(), kBond)
                                   .value(QStringLiteral("accounts")).toArray().at(0).toObject();
    EXPECT_EQ(dumped.value(QStringLiteral("winBidAmount")), QJsonValue(kInvalidInt));
    EXPECT_EQ(dumped.value(QStringLiteral("productName")).toString().toStdString(), withNul);
    EXPECT_EQ(rows[0]->remark, std::string("\0", 1));
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_TRUE(skipped[0].startsWith(path + QStringLiteral(": 已跳过无法读取的记录"))) << skipped[0].toStdString();
    EXPECT_TRUE(skipped[0].contains(QStringLiteral("位置 1"))) << skipped[0].toStdString();
    EXPECT_EQ(contentsOf(path), damaged);
}

// A file the user may read but not write is refused with its reason and left as it was,
// rather than showing an allocation the desk could never save. Root writes through file
// modes, so as root the opening runs in a child process that has dropped to "nobody".
using ReadOnlyDeskFile = DeskDatabaseTest;

TEST_F(ReadOnlyDeskFile, shouldRefuseAFileOrFolderItCannotWriteAndLeaveItUntouched)
{
    // Given a desk file made by an earlier run
    {
        QString error;
        ASSERT_TRUE(CDeskDatabase::open(path, &error)) << error.toStdString();
    }
    const QByteArray before = contentsOf(path);
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);

    struct SCase { const char* what; mode_t fileMode; mode_t dirMode; const char* expected; };
    const SCase cases[] = {
        // the file is in WAL mode: even reading needs the shared-memory file beside it
        {"read-only file", 0444, 0755, "数据库为只读"},
        {"read-only folder", 0666, 0555, "数据库为只读"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        chmod(QFile::encodeName(path).constData(), c.fileMode);
        chmod(QFile::encodeName(dir.path()).constData(), c.dirMode);

        // When the desk opens it without the right to write
        bool refused = false;
        const QString error = errorWithoutPrivileges(path, &refused);

        // Then it is refused, naming the file and the reason, and left as it was
        EXPECT_TRUE(refused) << error.toStdString();
        EXPECT_TRUE(error.startsWith(path + QStringLiteral(": "))) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.expected))) << error.toStdString();
        EXPECT_EQ(contentsOf(path), before);
        EXPECT_FALSE(QFile::exists(path + QStringLiteral("-wal")));
        EXPECT_FALSE(QFile::exists(path + QStringLiteral("-shm")));
    }
    chmod(QFile::encodeName(dir.path()).constData(), 0755);
    chmod(QFile::encodeName(path).constData(), 0644);
}
