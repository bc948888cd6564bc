// The desk's SQLite file: every update the panel makes is on disk when the call
// returns, a later start reads it back over the scenario, and files the desk cannot
// use are refused with their reason.

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <boost/make_shared.hpp>
#include <gtest/gtest.h>
#include <sqlite3.h>

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

// Reads the file through a connection of its own, as another process would.
class FreshConnection {
public:
    explicit FreshConnection(const QString& path)
    {
        EXPECT_EQ(sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    }
    ~FreshConnection() { sqlite3_close(db_); }
    int count(const std::string& bond, int typeId) const
    {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db_, "SELECT COUNT(*) FROM records WHERE bond_code = ?1 AND type_id = ?2", -1, &stmt, nullptr);
        sqlite3_bind_text(stmt, 1, bond.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(stmt, 2, typeId);
        const int n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
        sqlite3_finalize(stmt);
        return n;
    }
    QString pragma(const char* sql) const
    {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
        const QString value = sqlite3_step(stmt) == SQLITE_ROW
            ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))) : QString();
        sqlite3_finalize(stmt);
        return value;
    }

private:
    sqlite3* db_ = nullptr;
};

boost::shared_ptr<CIBondTenderAllocUnderWriterInfo> underwriterRow(const std::string& name, double price, double won)
{
    auto row = boost::make_shared<CIBondTenderAllocUnderWriterInfo>();
    row->bondCode = kBond;
    row->bondName = "26政金05(增发)";
    row->tenderingType = TT_MIXED;
    row->underWriterName = name;
    row->tenderPrice = price;
    row->bidAmount = won;
    row->winBidPrice = price;
    row->winAmount = won;
    return row;
}

boost::shared_ptr<CWinBidInfoDetail> accountRow(const std::string& rowKey, int units)
{
    auto row = boost::make_shared<CWinBidInfoDetail>();
    row->tradingDay = "20261205";
    row->productId = 1001;
    row->productName = "稳健增利1号";
    row->bondCode = kBond;
    row->account = "IB0010001";
    row->underWriter = "恒远证券";
    row->winBidAmount = units;
    row->rowKey = rowKey;
    row->fixedRowIndex = rowKey == "1" ? "1" : "";
    return row;
}

class DeskDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::resetHost();
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("desk.sqlite"));
    }
    void TearDown() override { testsupport::resetHost(); }

    std::unique_ptr<CDeskDatabase> openOrFail()
    {
        QString error;
        std::unique_ptr<CDeskDatabase> db = CDeskDatabase::open(path, &error);
        EXPECT_TRUE(db) << error.toStdString();
        return db;
    }

    // A desk start: the sample, then what the file holds.
    void startDesk(CDeskDatabase& db)
    {
        testsupport::resetHost();
        CScenario sample;
        QString error;
        ASSERT_TRUE(CScenario::loadFile(CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();
        sample.applyTo(CHostStore::instance());
        ASSERT_TRUE(db.loadInto(CHostStore::instance(), &error)) << error.toStdString();
    }

    QTemporaryDir dir;
    QString path;
};

} // namespace

TEST_F(DeskDatabaseTest, shouldHaveEachUpdateOnDiskWhenTheCallReturns)
{
    // Given a desk database attached to the store, in WAL mode with full syncs
    auto db = openOrFail();
    ASSERT_TRUE(db);
    CHostStore::instance().setPersistence(db.get());
    EXPECT_EQ(FreshConnection(path).pragma("PRAGMA journal_mode"), QStringLiteral("wal"));

    // When the panel saves underwriter rows, then account rows
    CTradeClient::instance()->updateBondTenderDatas_async(
        kBond, RT_ALLOC_UNDERWRITER, {underwriterRow("恒远证券", 100.05, 2.5), underwriterRow("瑞丰银行", 99.98, 7.1)});

    // Then another connection sees the rows right after each call
    EXPECT_EQ(FreshConnection(path).count(kBond, RT_ALLOC_UNDERWRITER), 2);

    CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {53001, 53002},
                                                     {accountRow("1", 15000), accountRow("2", 10000)});
    EXPECT_EQ(FreshConnection(path).count(kBond, RT_WIN_BID_DETAIL), 2);

    // And a smaller save replaces the bond's rows rather than adding to them
    CTradeClient::instance()->updateBondTenderDatas_async(kBond, RT_ALLOC_UNDERWRITER, {underwriterRow("恒远证券", 100.05, 2.5)});
    EXPECT_EQ(FreshConnection(path).count(kBond, RT_ALLOC_UNDERWRITER), 1);
    CHostStore::instance().setPersistence(nullptr);
}

TEST_F(DeskDatabaseTest, shouldReportASaveThatCouldNotBeWrittenAndWriteNoneOfIt)
{
    // Given a database whose records table another program dropped behind the desk's back
    auto db = openOrFail();
    ASSERT_TRUE(db);
    QStringList failures;
    db->setFailureHandler([&failures](const QString& message) { failures << message; });
    CHostStore::instance().setPersistence(db.get());
    {
        sqlite3* other = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &other);
        sqlite3_exec(other, "DROP TABLE records", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    }

    // When the panel saves underwriter rows
    CTradeClient::instance()->updateBondTenderDatas_async(kBond, RT_ALLOC_UNDERWRITER, {underwriterRow("恒远证券", 100.05, 2.5)});
    CHostStore::instance().setPersistence(nullptr);

    // Then the failure is reported with the file, and the transaction left nothing behind
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].startsWith(path + QStringLiteral(": the save was not written"))) << failures[0].toStdString();
    EXPECT_EQ(FreshConnection(path).pragma("SELECT COUNT(*) FROM record_sets"), QStringLiteral("0"));
}

TEST_F(DeskDatabaseTest, shouldBringBackWhatWasSavedOverTheScenarioOnTheNextStart)
{
    // Given a first run that saved new bid parameters and account rows for the sample's bond
    QJsonObject savedAllocation;
    {
        auto db = openOrFail();
        ASSERT_TRUE(db);
        startDesk(*db);
        CHostStore::instance().setPersistence(db.get());
        auto params = boost::make_shared<CIBondTenderAllocParams>();
        params->bondCode = kBond;
        params->marginalPrice = 99.80;
        params->weightedMeanPrice = 99.90;
        params->couponRate = 2.10;
        CTradeClient::instance()->updateBondTenderDatas_async(kBond, RT_ALLOC_PARAMS, {params});
        CTradeClient::instance()->updateTenderCmds_async(TOP_SAVE_WIN_BID, {53001}, {accountRow("1", 15000), accountRow("2", 5000)});
        savedAllocation = CAllocationDump::bondAllocation(CHostStore::instance(), kBond);
        CHostStore::instance().setPersistence(nullptr);
    }

    // When the desk starts again on the same file
    auto db = openOrFail();
    ASSERT_TRUE(db);
    startDesk(*db);

    // Then the saved records win over the scenario's, row for row
    EXPECT_EQ(CAllocationDump::bondAllocation(CHostStore::instance(), kBond), savedAllocation);
    const auto params = CHostStore::instance().typedRecords<CIBondTenderAllocParams>(kBond, RT_ALLOC_PARAMS);
    ASSERT_EQ(params.size(), 1u);
    EXPECT_DOUBLE_EQ(params[0]->marginalPrice, 99.80);
    // And the scenario's read-only records are there as well
    EXPECT_FALSE(CHostStore::instance().records(kBond, RT_EXEC_EXTERNAL_REPORT).empty());
}

TEST_F(DeskDatabaseTest, shouldKeepAClearedAllocationClearedAcrossStarts)
{
    // Given a run that returned the bond to tender execution: the panel's clearing records
    {
        auto db = openOrFail();
        ASSERT_TRUE(db);
        startDesk(*db);
        CHostStore::instance().setPersistence(db.get());
        auto clearing = boost::make_shared<CIBondTenderAllocParams>();
        clearing->bondCode = kBond;
        clearing->marginalPrice = clearing->weightedMeanPrice = clearing->issuePrice = clearing->couponRate = 0.0;
        CTradeClient::instance()->updateBondTenderDatas_async(kBond, RT_ALLOC_PARAMS, {clearing});
        CHostStore::instance().setPersistence(nullptr);
    }

    // When the desk starts again with the sample, which has a result for the bond
    auto db = openOrFail();
    ASSERT_TRUE(db);
    startDesk(*db);

    // Then the bond has no bid parameters: the user's clearing stands
    EXPECT_TRUE(CHostStore::instance().records(kBond, RT_ALLOC_PARAMS).empty());
}

TEST_F(DeskDatabaseTest, shouldRefuseFilesItCannotUseWithTheirReason)
{
    struct Case {
        const char* what;
        std::function<QString(const QDir&)> makeFile;
        QString expected;
    };
    const std::vector<Case> cases{
        {"newer schema", [](const QDir& d) {
             const QString p = d.filePath(QStringLiteral("newer.sqlite"));
             sqlite3* db = nullptr;
             sqlite3_open(QFile::encodeName(p).constData(), &db);
             sqlite3_exec(db, "PRAGMA user_version = 2", nullptr, nullptr, nullptr);
             sqlite3_close(db);
             return p;
         },
         QStringLiteral("schema version 2, written by a newer desk")},
        {"not a database", [](const QDir& d) {
             const QString p = d.filePath(QStringLiteral("notes.txt"));
             QFile f(p);
             f.open(QIODevice::WriteOnly);
             f.write(QByteArray(4096, 'x'));
             return p;
         },
         QStringLiteral("cannot read the database: file is not a database")},
        {"a directory", [](const QDir& d) { d.mkdir(QStringLiteral("sub")); return d.filePath(QStringLiteral("sub")); },
         QStringLiteral("cannot open the database: this is a directory")},
        {"missing directory", [](const QDir& d) { return d.filePath(QStringLiteral("no/such/dir/desk.sqlite")); },
         QStringLiteral("cannot open the database")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = c.makeFile(QDir(dir.path()));
        QString error;
        EXPECT_FALSE(CDeskDatabase::open(file, &error));
        EXPECT_TRUE(error.startsWith(file + QStringLiteral(": "))) << error.toStdString();
        EXPECT_TRUE(error.contains(c.expected)) << error.toStdString();
    }
}

TEST_F(DeskDatabaseTest, shouldLeaveANewerFileUntouched)
{
    // Given a file of a newer desk
    {
        sqlite3* raw = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &raw);
        sqlite3_exec(raw, "CREATE TABLE future (x); PRAGMA user_version = 7", nullptr, nullptr, nullptr);
        sqlite3_close(raw);
    }
    // When this desk tries to open it
    QString error;
    EXPECT_FALSE(CDeskDatabase::open(path, &error));
    // Then its version and tables are as they were
    FreshConnection check(path);
    EXPECT_EQ(check.pragma("PRAGMA user_version"), QStringLiteral("7"));
    EXPECT_EQ(check.pragma("SELECT COUNT(*) FROM sqlite_master WHERE name = 'records'"), QStringLiteral("0"));
}
