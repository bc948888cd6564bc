// The desk executable end to end: an allocation saved through the panel on the desk's
// database is what a later desk process shows, and input the desk cannot use (a bad
// scenario file, a database of a newer desk) ends it with its reason and status 2.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <sqlite3.h>

#include "../panel/panel_workflow_support.h"
#include "CAllocationDump.h"
#include "CDeskDatabase.h"
#include "CDeskWindow.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "CScenario.h"

using namespace wf;
using TC::CPanelBondTenderAllocationHelper;

namespace {

struct SDeskRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the desk with a home of its own, so the user's settings and data stay untouched.
SDeskRun runDesk(const QStringList& arguments, const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    QProcess desk;
    desk.setProcessEnvironment(env);
    desk.start(QStringLiteral(BTA_DESK_EXECUTABLE), arguments);
    SDeskRun run;
    if (!desk.waitForFinished(120000)) {
        desk.kill();
        desk.waitForFinished();
        ADD_FAILURE() << "the desk did not finish: " << arguments.join(' ').toStdString();
        return run;
    }
    run.exitCode = desk.exitStatus() == QProcess::NormalExit ? desk.exitCode() : -1;
    run.out = QString::fromUtf8(desk.readAllStandardOutput());
    run.err = QString::fromUtf8(desk.readAllStandardError());
    return run;
}

class DeskProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::resetHost();
        ASSERT_TRUE(dir.isValid());
        dbPath = dir.filePath(QStringLiteral("desk.sqlite"));
        QString error;
        ASSERT_TRUE(desk::CScenario::loadFile(desk::CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();
    }
    void TearDown() override { testsupport::resetHost(); }

    QString writeFile(const QString& name, const QByteArray& content)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    QTemporaryDir dir;
    QString dbPath;
    desk::CScenario sample;
};

// The user's side of the first run, on the sample's won mixed tender: table one's won
// volumes (the marginal position only partly won), the fair distribution, table three
// through the interbank accounts and each position's underwriter, and "保存".
class SampleAllocation {
public:
    SampleAllocation(const desk::CScenario& sample, PanelUnderTest& p) : sample_(sample), p_(p) {}

    void run()
    {
        const desk::SScenarioBond& bond = *sample_.bond(sample_.defaultBondCode());
        p_.panel->refreshWinBidAllocationPanel(false, bond.code, bond.basicTenderUnit);
        const auto one = oneRows(p_);
        ASSERT_FALSE(one.empty());
        for (const auto& row : one) {
            const bool marginal = CPanelBondTenderAllocationHelper::isEqual(row->info->bidPrice, bond.marginalPrice);
            const double won = marginal ? row->info->bidAmount - 1.0 : row->info->bidAmount;
            typeInto(p_.one(), row->key(), 7, CPanelBondTenderAllocationHelper::format4(won, 0));
        }
        click(p_.fairButton());

        const auto three = threeRows(p_);
        ASSERT_FALSE(three.empty());
        for (const auto& row : three) {
            completeRow(p_, row->key(), "银行间", "一级分销", underwriterAt(bond.code, row->info->bidPrice),
                        interbankAccountOf(row->info->productName));
            typeInto(p_.three(), row->key(), 7,
                     CPanelBondTenderAllocationHelper::format4(distributedTo(row->info->productName, row->info->bidPrice), 0));
        }
        click(p_.saveButton());
    }

private:
    // What the fair distribution gave the product at that position in table two.
    double distributedTo(const std::string& productName, double price) const
    {
        for (const auto& row : twoRows(p_))
            if (productNameOf(row->info->productId) == productName
                && CPanelBondTenderAllocationHelper::isEqual(row->info->tenderPrice, price))
                return row->info->winAmount;
        ADD_FAILURE() << "no table two row for " << productName << " at " << price;
        return 0.0;
    }

    std::string productNameOf(int productId) const
    {
        for (const desk::SScenarioProduct& product : sample_.products())
            if (product.id == productId)
                return product.name;
        return std::string();
    }

    // In the sample each position of this bond was bid through one underwriter.
    std::string underwriterAt(const std::string& bondCode, double price) const
    {
        for (const desk::SUnderwriterReport& r : sample_.underwriterReports())
            if (r.bondCode == bondCode && CPanelBondTenderAllocationHelper::isEqual(r.tenderPrice, price))
                return r.underwriter;
        ADD_FAILURE() << "no underwriter at " << price;
        return std::string();
    }

    std::string interbankAccountOf(const std::string& productName) const
    {
        for (const desk::SScenarioProduct& product : sample_.products())
            for (const desk::SScenarioAccount& account : product.accounts)
                if (product.name == productName && account.type == 15002)
                    return account.id;
        ADD_FAILURE() << "no interbank account for " << productName;
        return std::string();
    }

    const desk::CScenario& sample_;
    PanelUnderTest& p_;
};

} // namespace

TEST_F(DeskProcessTest, shouldShowInALaterDeskRunTheAllocationSavedInTheFirst)
{
    // Given a first run on the sample: the store loaded from the database, the panel
    // driven through a full allocation of the won mixed tender and saved
    const std::string bond = sample.defaultBondCode();
    QJsonObject saved;
    {
        QString error;
        auto db = desk::CDeskDatabase::open(dbPath, &error);
        ASSERT_TRUE(db) << error.toStdString();
        CHostStore& store = CHostStore::instance();
        sample.applyTo(store);
        ASSERT_TRUE(db->loadInto(store, &error)) << error.toStdString();
        store.setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
        store.setPersistence(db.get());

        testsupport::MessageBoxRecorder boxes;
        boxes.expect();
        PanelUnderTest p;
        SampleAllocation(sample, p).run();
        ASSERT_EQ(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
        saved = desk::CAllocationDump::bondAllocation(store, bond);
        store.setPersistence(nullptr);
    }
    for (const char* part : {"bidParameters", "underwriters", "products", "accounts"})
        ASSERT_FALSE(saved.value(QLatin1String(part)).toArray().isEmpty()) << part;

    // When a desk process dumps that bond from the same database
    const SDeskRun dump = runDesk({QStringLiteral("--db"), dbPath, QStringLiteral("--dump-bond"), QString::fromStdString(bond)},
                                  dir.path());

    // Then it shows exactly the saved allocation
    ASSERT_EQ(dump.exitCode, 0) << dump.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(dump.out.toUtf8()).object(), saved) << dump.out.toStdString();

    // And a desk window renders with it, full size; BTA_DESK_SCREENSHOT keeps the picture
    const QString picture = qEnvironmentVariableIsEmpty("BTA_DESK_SCREENSHOT")
        ? dir.filePath(QStringLiteral("desk.png")) : QDir::current().absoluteFilePath(qEnvironmentVariable("BTA_DESK_SCREENSHOT"));
    const SDeskRun shot = runDesk({QStringLiteral("--db"), dbPath, QStringLiteral("--screenshot"), picture}, dir.path());
    ASSERT_EQ(shot.exitCode, 0) << shot.err.toStdString();
    const QImage image(picture);
    EXPECT_GE(image.width(), desk::CDeskWindow::kPreferredSize.width());
    EXPECT_GE(image.height(), desk::CDeskWindow::kPreferredSize.height());
}

TEST_F(DeskProcessTest, shouldRefuseEachBadScenarioFileWithItsPlaceAndReason)
{
    const QByteArray valid = R"({"bonds": [{"code": "B1", "name": "测试债", "basicTenderUnit": 0.1,
 "tenderTarget": "price", "tenderingMethod": "dutch"}],
 "underwriters": [], "products": []})";
    struct Case {
        const char* file;
        QByteArray content;
        QString expected;
    };
    const std::vector<Case> cases{
        {"valid-but-for-a-comma.json", QByteArray(valid).replace("\"name\": \"测试债\",", "\"name\": \"测试债\""),
         QStringLiteral(":1:42: malformed JSON")},
        {"missing-field.json", QByteArray(valid).replace("\"tenderTarget\": \"price\", ", ""),
         QStringLiteral(": bonds[0].tenderTarget: missing")},
        {"wrong-type.json", QByteArray(valid).replace("0.1", "\"0.1\""),
         QStringLiteral(": bonds[0].basicTenderUnit: expected a number, found a string")},
        {"negative-unit.json", QByteArray(valid).replace("0.1", "-0.1"),
         QStringLiteral(": bonds[0].basicTenderUnit: must be greater than 0")},
        {"unknown-method.json", QByteArray(valid).replace("dutch", "english"),
         QStringLiteral(": bonds[0].tenderingMethod: unknown tendering method \"english\"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        // Given a scenario file with one mistake
        const QString file = writeFile(QLatin1String(c.file), c.content);

        // When the desk is started on it
        const SDeskRun run = runDesk({QStringLiteral("--scenario"), file, QStringLiteral("--db"), dbPath,
                                      QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("never.png"))},
                                     dir.path());

        // Then it names the file, the place and the mistake, ends with 2 and writes nothing
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(file + c.expected)) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(dbPath));
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("never.png"))));
    }
}

TEST_F(DeskProcessTest, shouldRefuseADatabaseOfANewerDesk)
{
    // Given a database whose schema version is beyond this desk's
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(dbPath).constData(), &raw), SQLITE_OK);
    sqlite3_exec(raw, "PRAGMA user_version = 9", nullptr, nullptr, nullptr);
    sqlite3_close(raw);

    // When the desk is started on it
    const SDeskRun run = runDesk({QStringLiteral("--db"), dbPath, QStringLiteral("--dump-bond"), QStringLiteral("260205.IB")},
                                 dir.path());

    // Then it refuses with the reason and status 2
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(dbPath + QStringLiteral(": the database has schema version 9"))) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
}
