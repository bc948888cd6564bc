// The allocation's history: every action that changes a bond's allocation is kept as an
// entry with the records before and after, written with the save itself (a desk killed
// while saving leaves both or neither), never changed or deleted, and shown row by row;
// on the desk's file and on the team's server alike.

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <boost/make_shared.hpp>
#include <limits>
#include <sqlite3.h>

#include "CAllocationDump.h"
#include "CAllocationHistory.h"
#include "CAllocationTransfer.h"
#include "CDeskDatabase.h"
#include "CPgConnection.h"
#include "CTeamDatabase.h"
#include "CDeskWindow.h"
#include "CHistoryDialog.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "CScenario.h"
#include "KZ/Widgets.h"
#include "TC/OpButton.h"
#include "allocation_split_support.h"
#include "desk_process_support.h"
#include "support/PgTestServer.h"
#include "support/TestSupport.h"

using namespace desk;
using namespace desktest;
using ttservice::CHostStore;

namespace {

const int kCouponRateCell = 14;
const int kHeadSaveButton = 15;
const int kReturnButton = 34;

class AllocationHistoryTest : public testsupport::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        QString error;
        ASSERT_TRUE(CScenario::loadFile(CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();
        database = CDeskDatabase::open(dir.filePath(QStringLiteral("desk.sqlite")), &error);
        ASSERT_TRUE(database) << error.toStdString();
        CHostStore& store = CHostStore::instance();
        sample.applyTo(store);
        store.setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
        store.setPersistence(database.get());
    }

    void TearDown() override
    {
        CHostStore::instance().setPersistence(nullptr);
        HostTest::TearDown();
    }

    std::vector<SHistoryEntry> history()
    {
        std::vector<SHistoryEntry> entries;
        QString error;
        EXPECT_TRUE(database->readHistory(kBond, &entries, &error)) << error.toStdString();
        return entries;
    }

    static void click(CDeskWindow& window, int buttonId)
    {
        for (TC::COpButton* button : window.panel()->findChildren<TC::COpButton*>())
            if (button->id() == buttonId)
                button->click();
        QApplication::processEvents();   // an action without a box commits when control returns
    }

    static void typeCouponRate(CDeskWindow& window, const char* rate)
    {
        for (KZ::CParameterCell* cell : window.panel()->findChildren<KZ::CParameterCell*>()) {
            if (cell->id() != kCouponRateCell)
                continue;
            cell->getEditor()->setFocus();
            cell->getEditor()->selectAll();
            QTest::keyClicks(cell->getEditor(), QLatin1String(rate));
            QTest::keyClick(cell->getEditor(), Qt::Key_Return);
        }
        QApplication::processEvents();
    }

    QTemporaryDir dir;
    CScenario sample;
    std::unique_ptr<CDeskDatabase> database;
};

QStringList textsOf(const QTableWidget& table, int row)
{
    QStringList texts;
    for (int c = 0; c < table.columnCount(); ++c)
        texts << table.item(row, c)->text();
    return texts;
}

} // namespace

TEST_F(AllocationHistoryTest, shouldKeepEveryActionWithTheRecordsBeforeAndAfterAndShowWhatChangedRowByRow)
{
    // Given a desk showing the won mixed tender, when the user saves a split, marks the
    // tender as lost and saves the head strip alone, and returns to tender execution
    CDeskWindow window(sample);
    window.showBond(kBond);
    window.show();
    std::vector<SAllocationCsvRow> rows;
    QString message;
    ASSERT_TRUE(CAllocationCsv::read(csvOf(kSplit), &rows, &message)) << message.toStdString();
    ASSERT_EQ(CAllocationTransfer::importRows(window.panel(), rows, &message), CAllocationTransfer::O_SAVED)
        << message.toStdString();
    testsupport::MessageBoxRecorder boxes;
    boxes.expect(2);   // the head strip's "保存成功!" and the return's question
    window.panel()->refreshLoseBidAllocationPanel();
    typeCouponRate(window, "2.05");
    click(window, kHeadSaveButton);
    click(window, kReturnButton);
    ASSERT_EQ(boxes.boxes().size(), 2u) << boxes.texts().join(QLatin1Char('/')).toStdString();

    // Then each is an entry of its own, with time, user and the areas it touched
    const std::vector<SHistoryEntry> entries = history();
    ASSERT_EQ(entries.size(), 3u);
    const QStringList areas = {"accounts", "bidParameters", "products", "underwriters"};
    EXPECT_EQ(entries[0].action, QStringLiteral("保存"));
    EXPECT_EQ(entries[0].before().keys(), areas);
    EXPECT_TRUE(entries[0].before().value(QStringLiteral("accounts")).toArray().isEmpty());
    EXPECT_EQ(entries[0].after().value(QStringLiteral("accounts")).toArray().size(), static_cast<int>(kSplit.size()));
    EXPECT_EQ(entries[1].action, QStringLiteral("保存中标参数"));
    EXPECT_EQ(entries[1].after().keys(), QStringList{"bidParameters"});
    EXPECT_EQ(entries[2].action, QStringLiteral("返回执行投标"));
    EXPECT_EQ(entries[2].before().value(QStringLiteral("accounts")), entries[0].after().value(QStringLiteral("accounts")));
    for (const QString& area : areas)
        EXPECT_TRUE(entries[2].after().value(area).toArray().isEmpty()) << area.toStdString();
    for (const SHistoryEntry& entry : entries) {
        EXPECT_EQ(entry.time, QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
        EXPECT_EQ(entry.user, CAllocationHistory::hostUserName());
        EXPECT_EQ(entry.bondCode, QString::fromStdString(kBond));
    }
    EXPECT_EQ(CAllocationHistory::toJson(entries)[2].toObject().value(QStringLiteral("action")).toString(),
              QStringLiteral("返回执行投标"));

    // And the dialog lists the entries and, for the split's save, each row's change in 亿
    CHistoryDialog dialog(QString::fromStdString(kBond), entries);
    ASSERT_EQ(dialog.entryList()->rowCount(), 3);
    EXPECT_EQ(textsOf(*dialog.entryList(), 0), (QStringList{"2026-12-05 10:30:00", entries[0].user, "保存"}));
    dialog.entryList()->selectRow(0);
    QList<QStringList> shown;
    for (int r = 0; r < dialog.changeList()->rowCount(); ++r)
        shown << textsOf(*dialog.changeList(), r);
    EXPECT_TRUE(shown.contains(QStringList{"表三", "稳健增利1号 100.0500 B880012301", "—", "0.5000"}));
    EXPECT_TRUE(shown.contains(QStringList{"表一", "广泰银行 99.8500", "—", "2.0000"}));
    EXPECT_TRUE(shown.contains(QStringList{"表二", "恒信利率债 99.9200", "—", "1.2000"}));
    dialog.entryList()->selectRow(2);
    EXPECT_EQ(dialog.changeList()->rowCount(), 13 + 3 + 12 + 4);   // every row of the four areas gone
}

TEST_F(AllocationHistoryTest, shouldRefuseToChangeOrDeleteAnEntry)
{
    // Given a saved entry
    CDeskWindow window(sample);
    window.showBond(kBond);
    window.panel()->refreshLoseBidAllocationPanel();
    testsupport::MessageBoxRecorder boxes;
    boxes.expect();
    click(window, kHeadSaveButton);
    ASSERT_EQ(history().size(), 1u);

    // When another program tries to change or delete it, then the file refuses
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(database->path()).constData(), &raw), SQLITE_OK);
    for (const char* sql : {"UPDATE allocation_history SET user_name = 'x'", "DELETE FROM allocation_history"}) {
        char* error = nullptr;
        EXPECT_NE(sqlite3_exec(raw, sql, nullptr, nullptr, &error), SQLITE_OK) << sql;
        sqlite3_free(error);
    }
    sqlite3_close(raw);
    EXPECT_EQ(history().size(), 1u);
}

TEST(AllocationHistoryKill, shouldLeaveTheSaveAndItsEntryBothOrNeitherWhenTheDeskIsKilled)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString split = dir.filePath(QStringLiteral("split.csv"));
    {
        QFile file(split);
        const QByteArray bytes = csvOf(kSplit);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    const auto count = [](sqlite3* db, const char* sql) {
        sqlite3_stmt* stmt = nullptr;
        int n = -1;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            n = sqlite3_column_int(stmt, 0);
        sqlite3_finalize(stmt);
        return n;
    };
    // Kills spread over the import's run: before, during and after its one commit.
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const QString db = dir.filePath(QStringLiteral("desk-%1.sqlite").arg(round));
        QProcess desk;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), dir.path());
        desk.setProcessEnvironment(env);
        desk.start(QStringLiteral(BTA_DESK_EXECUTABLE),
                   {QStringLiteral("--db"), db, QStringLiteral("--import-allocation"), split, QStringLiteral("--bond"),
                    QString::fromStdString(kBond)});
        ASSERT_TRUE(desk.waitForStarted());
        if (!desk.waitForFinished(150 * round))
            desk.kill();
        desk.waitForFinished();

        sqlite3* raw = nullptr;
        if (!QFile::exists(db))
            continue;   // killed before the file was made
        ASSERT_EQ(sqlite3_open(QFile::encodeName(db).constData(), &raw), SQLITE_OK);
        const int saved = count(raw, "SELECT count(*) FROM records WHERE bond_code = '260205.IB' AND type_id = 30097");
        const int entries = count(raw, "SELECT count(*) FROM allocation_history");
        sqlite3_close(raw);
        if (entries < 0)
            continue;   // killed before the tables were made
        EXPECT_TRUE((saved == static_cast<int>(kSplit.size()) && entries == 1) || (saved <= 0 && entries == 0))
            << saved << " rows saved, " << entries << " history entries";
    }
}

TEST(AllocationHistoryFile, shouldGiveAFileFromBeforeTheHistoryItsHistoryAndKeepItsRecords)
{
    // Given a file of the first layout holding a saved record set
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("first.sqlite"));
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw,
                           "CREATE TABLE record_sets (bond_code TEXT NOT NULL, type_id INTEGER NOT NULL,"
                           "  PRIMARY KEY (bond_code, type_id));"
                           "CREATE TABLE records (bond_code TEXT NOT NULL, type_id INTEGER NOT NULL,"
                           "  position INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY (bond_code, type_id, position));"
                           "CREATE TABLE command_updates (id INTEGER PRIMARY KEY AUTOINCREMENT, command_ids TEXT NOT NULL);"
                           "INSERT INTO record_sets VALUES ('260205.IB', 30097);"
                           "PRAGMA user_version = 1;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);

    // When this desk opens it (twice), then it is taken, keeps its record set and has an empty history
    for (int run = 0; run < 2; ++run) {
        QString error;
        const auto database = CDeskDatabase::open(path, &error);
        ASSERT_TRUE(database) << error.toStdString();
        std::vector<SHistoryEntry> entries;
        EXPECT_TRUE(database->readHistory(kBond, &entries, &error)) << error.toStdString();
        EXPECT_TRUE(entries.empty());
    }
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &raw), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw, "SELECT count(*) FROM record_sets", -1, &stmt, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 1);
    sqlite3_finalize(stmt);
    sqlite3_close(raw);
}

class TeamAllocationHistoryTest : public testsupport::PgServerTest {};

TEST_F(TeamAllocationHistoryTest, shouldKeepTheEntriesOnTheTeamsServerWithTheSaveAndRefuseToChangeThem)
{
    // Given the team's store on a server, when a save of the bond's accounts is committed
    QString error;
    const std::unique_ptr<CTeamDatabase> team = CTeamDatabase::open(uri, QStringLiteral("甲"), &error);
    ASSERT_TRUE(team) << error.toStdString();
    auto row = boost::make_shared<ttservice::CWinBidInfoDetail>();
    row->bondCode = kBond;
    row->productName = "稳健增利1号";
    row->account = "IB0010001";
    row->winBidAmount = 15000;
    ttservice::IHostStorePersistence::SUnit unit;
    unit.before.push_back({kBond, ttservice::RT_WIN_BID_DETAIL, {}});
    unit.after.push_back({kBond, ttservice::RT_WIN_BID_DETAIL, {row}});
    ASSERT_TRUE(team->commit(unit, &error)) << error.toStdString();

    // Then its entry is there, and the server refuses to change or delete it
    std::vector<SHistoryEntry> entries;
    ASSERT_TRUE(team->readHistory(kBond, &entries, &error)) << error.toStdString();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].action, QStringLiteral("保存"));
    EXPECT_EQ(CAllocationHistory::changesOf(entries[0]).size(), 1u);
    const auto admin = CPgConnection::connect(uri, &error);
    ASSERT_TRUE(admin) << error.toStdString();
    for (const char* sql : {"UPDATE bond_desk.allocation_history SET user_name = 'x'", "DELETE FROM bond_desk.allocation_history",
                            "TRUNCATE bond_desk.allocation_history"})
        EXPECT_FALSE(admin->run(sql)) << sql;
    EXPECT_EQ(admin->exec("SELECT count(*) FROM bond_desk.allocation_history").number(0, 0), 1);
}

// The history keeps each record as JSON text written straight from its document: every
// value must read back as the document holds it, whatever its text or number.
TEST(AllocationHistoryText, shouldWriteRecordsAsJsonThatReadsBackAsTheirDocuments)
{
    // Given account rows with texts that need escaping or are not UTF-8, and numbers at
    // their no-value marks, at the volume cap and beyond what JSON can hold
    auto row = boost::make_shared<ttservice::CWinBidInfoDetail>();
    row->productName = "稳健\"增利\\1号\n\t\x01\x1f end/";
    row->remark = std::string("a\0b", 3);
    row->account = "\xff\xfe IB";
    row->winBidAmount = ttservice::kInvalidInt;   // the cap: a volume
    row->bidPrice = std::numeric_limits<double>::quiet_NaN();
    row->bidAmount = 0.1 + 0.2;
    auto second = boost::make_shared<ttservice::CWinBidInfoDetail>();
    second->bidAmount = -1e300;
    second->winBidAmount = -5;

    // When they are written as the history writes them
    std::string text = "[0,";
    CAllocationDump::appendRecordsAsJson(text, {row, nullptr, second});
    text += ']';
    QJsonParseError error{};
    const QJsonDocument read = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);

    // Then the text is JSON, the null record is left out, and each value reads back as the
    // document holds it (no-value marks and what JSON cannot hold as null)
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    ASSERT_EQ(read.array().size(), 2);
    const QJsonArray rows = read.array().at(1).toArray();
    ASSERT_EQ(rows.size(), 2);
    const QJsonObject first = rows[0].toObject();
    EXPECT_EQ(first.keys().size(), 19);
    EXPECT_EQ(first.value(QStringLiteral("productName")).toString(), QString::fromStdString(row->productName));
    EXPECT_EQ(first.value(QStringLiteral("remark")).toString(), QString::fromStdString(row->remark));
    EXPECT_EQ(first.value(QStringLiteral("account")).toString(), QString::fromUtf8("\xff\xfe IB"));
    EXPECT_EQ(first.value(QStringLiteral("winBidAmount")), QJsonValue(ttservice::kInvalidInt));
    for (const char* noValue : {"portfolioId", "winBidPrice", "bidPrice"})
        EXPECT_TRUE(first.value(QLatin1String(noValue)).isNull()) << noValue;
    EXPECT_EQ(first.value(QStringLiteral("bidAmount")).toDouble(), 0.1 + 0.2);
    const QJsonObject last = rows[1].toObject();
    EXPECT_EQ(last.value(QStringLiteral("bidAmount")).toDouble(), -1e300);
    EXPECT_EQ(last.value(QStringLiteral("winBidAmount")).toInt(), -5);
}
