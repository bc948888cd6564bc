// Table three's split to and from a CSV file on the sample's won mixed tender: an
// imported split is saved by the panel as if typed, its export reads the same and saves
// the identical records again (under C and a German locale); an import a check of the
// panel refuses is refused with the panel's message and writes nothing; and the command
// line's exit statuses.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <clocale>
#include <functional>
#include <memory>

#include "CAllocationCsv.h"
#include "CAllocationDump.h"
#include "CAllocationTransfer.h"
#include "CDeskWindow.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "CScenario.h"
#include "allocation_split_support.h"
#include "desk_process_support.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"

using namespace desk;
using ttservice::CHostStore;
using namespace desktest;

namespace {

std::vector<SAllocationCsvRow> rowsOf(const QByteArray& csv)
{
    std::vector<SAllocationCsvRow> rows;
    QString error;
    EXPECT_TRUE(CAllocationCsv::read(csv, &rows, &error)) << error.toStdString();
    return rows;
}

class AllocationTransferTest : public testsupport::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        QString error;
        ASSERT_TRUE(CScenario::loadFile(CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();
        seed();
    }

    void seed()
    {
        testsupport::resetHost();
        sample.applyTo(CHostStore::instance());
        CHostStore::instance().setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
    }

    // The bond in a fresh desk window, as the commands have it.
    std::unique_ptr<CDeskWindow> window()
    {
        auto shown = std::make_unique<CDeskWindow>(sample);
        shown->showBond(kBond);
        shown->show();
        return shown;
    }

    CAllocationTransfer::EOutcome import(const QByteArray& csv, QString* message)
    {
        return CAllocationTransfer::importRows(window()->panel(), rowsOf(csv), message);
    }

    QByteArray exported()
    {
        std::vector<SAllocationCsvRow> rows;
        EXPECT_TRUE(CAllocationTransfer::exportRows(window()->panel(), &rows));
        return CAllocationCsv::write(rows);
    }

    static QJsonObject stored() { return CAllocationDump::bondAllocation(CHostStore::instance(), kBond); }

    CScenario sample;
};

} // namespace

TEST_F(AllocationTransferTest, shouldSaveAnImportedSplitAndTheSameRecordsAgainFromItsExportUnderAnyLocale)
{
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        if (std::setlocale(LC_ALL, locale) == nullptr)
            continue;
        SCOPED_TRACE(locale);
        seed();

        // Given a prepared split, when it is imported, then the panel saves it
        QString message;
        ASSERT_EQ(import(csvOf(kSplit), &message), CAllocationTransfer::O_SAVED) << message.toStdString();
        EXPECT_EQ(message, QStringLiteral("保存成功!"));
        const QJsonObject saved = stored();
        const QJsonArray accounts = saved.value(QStringLiteral("accounts")).toArray();
        ASSERT_EQ(accounts.size(), static_cast<int>(kSplit.size()));
        const QJsonObject added = accounts[1].toObject();   // the second row of 稳健增利1号 at 100.05
        EXPECT_EQ(added.value(QStringLiteral("account")).toString(), QStringLiteral("B880012301"));
        EXPECT_EQ(added.value(QStringLiteral("tenderMarket")).toInt(), 1);
        EXPECT_EQ(added.value(QStringLiteral("purchaseType")).toInt(), 2);
        EXPECT_EQ(added.value(QStringLiteral("winBidAmount")).toInt(), 5000);
        EXPECT_EQ(added.value(QStringLiteral("fixedRowIndex")).toString(), QString());
        for (const QJsonValue& row : saved.value(QStringLiteral("underwriters")).toArray()) {
            if (row.toObject().value(QStringLiteral("underWriterName")).toString() == QStringLiteral("广泰银行")) {
                EXPECT_DOUBLE_EQ(row.toObject().value(QStringLiteral("winAmount")).toDouble(), 2.0);
            }
        }

        // When the saved split is exported, then it reads as the file imported
        const QByteArray csv = exported();
        EXPECT_EQ(csv, csvOf(kSplit));

        // And importing that export saves the identical records
        ASSERT_EQ(import(csv, &message), CAllocationTransfer::O_SAVED) << message.toStdString();
        EXPECT_EQ(stored(), saved);
    }
    std::setlocale(LC_ALL, "C");
}

TEST_F(AllocationTransferTest, shouldRefuseAnImportThePanelRefusesWithItsMessageAndWriteNothing)
{
    using Edit = std::function<void(std::vector<Fields>&)>;
    const struct { const char* what; Edit edit; CAllocationTransfer::EOutcome outcome; const char* message; } cases[] = {
        {"nothing won", [](std::vector<Fields>& rows) { for (Fields& r : rows) r[7] = "0"; },
         CAllocationTransfer::O_REFUSED, "表一中标量合计为0!"},
        {"an underwriter table one lacks", [](std::vector<Fields>& rows) { rows[5][3] = "无名证券"; },
         CAllocationTransfer::O_REFUSED, "表二中标数量合计与表一中标总量不一致!"},
        {"a row without market", [](std::vector<Fields>& rows) { rows[0][1] = ""; },
         CAllocationTransfer::O_REFUSED, "表三第 1 行数据未选择投标市场!"},
        {"a row without purchase type", [](std::vector<Fields>& rows) { rows[1][2] = ""; },
         CAllocationTransfer::O_REFUSED, "表三第 2 行数据未选择申购方式!"},
        {"a row without account", [](std::vector<Fields>& rows) { rows[12][8] = ""; },
         CAllocationTransfer::O_REFUSED, "表三第 13 行数据未选择账号!"},
        {"a position the product did not win", [](std::vector<Fields>& rows) { rows[5][4] = "99.9300"; },
         CAllocationTransfer::O_UNMATCHED, "7:1: 表三中没有产品“恒信利率债”在标位 99.9300 的行"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        seed();
        const QJsonObject before = stored();
        std::vector<Fields> rows = kSplit;
        c.edit(rows);

        QString message;
        EXPECT_EQ(import(csvOf(rows), &message), c.outcome);
        EXPECT_EQ(message, QString::fromUtf8(c.message));
        EXPECT_EQ(stored(), before);
    }
}

TEST_F(AllocationTransferTest, shouldEndTheCommandsWithTheirStatusAndThePanelsWord)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString db = dir.filePath(QStringLiteral("desk.sqlite"));
    const auto run = [&](const QStringList& arguments, QString* err = nullptr) {
        const desktest::SDeskRun done = desktest::runDesk(dir, QStringList{QStringLiteral("--db"), db} + arguments);
        if (err)
            *err = done.err;
        return done.exitCode;
    };
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(QLatin1String(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return file.fileName();
    };
    const QString bond = QString::fromStdString(kBond);
    QString err;

    std::vector<Fields> refused = kSplit;
    refused[0][1] = "";
    EXPECT_EQ(run({QStringLiteral("--import-allocation"), write("refused.csv", csvOf(refused)), QStringLiteral("--bond"), bond}, &err), 3);
    EXPECT_TRUE(err.contains(QStringLiteral("表三第 1 行数据未选择投标市场!"))) << err.toStdString();

    const QString unreadable = write("unreadable.csv", QByteArray(csvOf(kSplit)).replace("1.2000,IB0010004", "1.2x,IB0010004"));
    EXPECT_EQ(run({QStringLiteral("--import-allocation"), unreadable, QStringLiteral("--bond"), bond}, &err), 2);
    EXPECT_TRUE(err.contains(unreadable + QStringLiteral(":7:8: 中标量(亿)：“1.2x”不是数字"))) << err.toStdString();

    EXPECT_EQ(run({QStringLiteral("--import-allocation"), write("split.csv", csvOf(kSplit))}, &err), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("--bond"))) << err.toStdString();

    EXPECT_EQ(run({QStringLiteral("--import-allocation"), dir.filePath(QStringLiteral("split.csv")), QStringLiteral("--bond"), bond}, &err), 0)
        << err.toStdString();
    const QString out = dir.filePath(QStringLiteral("out.csv"));
    EXPECT_EQ(run({QStringLiteral("--export-allocation"), out, QStringLiteral("--bond"), bond}), 0);
    QFile exported(out);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll(), csvOf(kSplit));
}
