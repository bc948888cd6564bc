// The desk end to end: an allocation saved through the panel on the desk's database is
// what a later desk process shows, and input the desk cannot use (a bad scenario file, a
// database of a newer desk, no display) ends it with its reason and status 2. And the desk
// window as the panel's host: the bond list names the bond, the panel's signals reach the
// status bar and the report view, unsaved work is asked about before it would be lost, the
// next step and the tables' captions are on screen, and the panel's configuration string
// survives a restart through the settings.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QSettings>
#include <QHeaderView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <functional>
#include <sqlite3.h>

#include "desk_process_support.h"
#include "CAllocationDump.h"
#include "CDeskApplication.h"
#include "CDeskDatabase.h"
#include "CDeskWindow.h"
#include "CEditTracker.h"
#include "CExecutionReportView.h"
#include "CPanelFrame.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "CScenario.h"
#include "desk_sample_allocation.h"

using namespace desk;
using namespace wf;
using TC::CPanelBondTenderAllocationHelper;

namespace {

using desktest::SDeskRun;

class DeskProcessTest : public testsupport::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        dbPath = dir.filePath(QStringLiteral("desk.sqlite"));
        QString error;
        ASSERT_TRUE(desk::CScenario::loadFile(desk::CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();
    }

    SDeskRun runDesk(const QStringList& arguments, bool withDisplay = true)
    {
        return desktest::runDesk(dir, arguments, withDisplay);
    }

    // A desk start in-process: the sample, then what the desk's file holds, at a fixed time.
    std::unique_ptr<desk::CDeskDatabase> startOnSample()
    {
        QString error;
        auto db = desk::CDeskDatabase::open(dbPath, &error);
        sample.applyTo(CHostStore::instance());
        EXPECT_TRUE(db && db->loadInto(CHostStore::instance(), &error)) << error.toStdString();
        CHostStore::instance().setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
        return db;
    }

    QTemporaryDir dir;
    QString dbPath;
    desk::CScenario sample;
};

// The window on the sample applied to the store.
class DeskWindowTest : public DeskProcessTest {
protected:
    void SetUp() override
    {
        DeskProcessTest::SetUp();
        sample.applyTo(CHostStore::instance());
        CHostStore::instance().setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
    }

    int rowOf(const CDeskWindow& window, const QString& code) const
    {
        for (int row = 0; row < window.bondList()->rowCount(); ++row)
            if (window.bondList()->item(row, 0)->text() == code)
                return row;
        return -1;
    }

    testsupport::MessageBoxRecorder boxes;   // the desk's loads show no box
};

// The areas of a desk window's panel, as PanelUnderTest names them.
struct WindowPanel {
    TC::CPanelBondTenderAllocationPanel* panel;
    QWidget* one() const { return panel->findChild<TC::CPanelBondAllocationUnderWriteTable*>(); }
    QWidget* two() const { return panel->findChild<TC::CPanelBondAllocationProductTable*>(); }
    QWidget* three() const { return panel->findChild<TC::CPanelBondAllocationMixedTable*>(); }
    TC::COpButton* button(TC::COpButton* (TC::CPanelBondAllocationButtonTable::*which)() const) const
    {
        for (auto* bar : panel->findChildren<TC::CPanelBondAllocationButtonTable*>())
            if ((bar->*which)() != nullptr)
                return (bar->*which)();
        return nullptr;
    }
    TC::COpButton* fairButton() const { return button(&TC::CPanelBondAllocationButtonTable::fairAllocButton); }
    TC::COpButton* saveButton() const { return button(&TC::CPanelBondAllocationButtonTable::saveButton); }
};


} // namespace

TEST_F(DeskProcessTest, shouldShowInALaterDeskRunTheAllocationSavedInTheFirst)
{
    // Given a first run on the sample: the store loaded from the database, the panel
    // driven through a full allocation of the won mixed tender and saved
    const std::string bond = sample.defaultBondCode();
    QJsonObject saved;
    {
        const auto db = startOnSample();
        ASSERT_TRUE(db);
        CHostStore& store = CHostStore::instance();
        store.setPersistence(db.get());
        testsupport::MessageBoxRecorder boxes;
        boxes.expect();
        PanelUnderTest p;
        allocateSample(sample, p);
        ASSERT_EQ(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
        saved = desk::CAllocationDump::bondAllocation(store, bond);
        store.setPersistence(nullptr);
    }
    for (const char* part : {"bidParameters", "underwriters", "products", "accounts"})
        ASSERT_FALSE(saved.value(QLatin1String(part)).toArray().isEmpty()) << part;

    // When a desk process dumps that bond from the same database, then it shows exactly the saved allocation
    const SDeskRun dump = runDesk({QStringLiteral("--db"), dbPath, QStringLiteral("--dump-bond"), QString::fromStdString(bond)});
    ASSERT_EQ(dump.exitCode, 0) << dump.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(dump.out.toUtf8()).object(), saved) << dump.out.toStdString();

    // And a desk window renders with it, full size; BTA_DESK_SCREENSHOT keeps the picture
    const QString picture = qEnvironmentVariableIsEmpty("BTA_DESK_SCREENSHOT")
        ? dir.filePath(QStringLiteral("desk.png")) : QDir::current().absoluteFilePath(qEnvironmentVariable("BTA_DESK_SCREENSHOT"));
    const SDeskRun shot = runDesk({QStringLiteral("--db"), dbPath, QStringLiteral("--screenshot"), picture});
    ASSERT_EQ(shot.exitCode, 0) << shot.err.toStdString();
    EXPECT_TRUE(shot.out.isEmpty()) << "log lines belong on stderr: " << shot.out.toStdString();
    const QImage image(picture);
    EXPECT_GE(image.width(), desk::CDeskWindow::kPreferredSize.width());
    EXPECT_GE(image.height(), desk::CDeskWindow::kPreferredSize.height());
}

// Forwards each commit to the desk's file and keeps it, so that a test sees the commits an action made.
struct SCommitsSeen : ttservice::IHostStorePersistence {
    explicit SCommitsSeen(ttservice::IHostStorePersistence& file) : file(file) {}
    bool commit(const SUnit& unit, QString* error) override
    {
        units.push_back(unit);
        return file.commit(unit, error);
    }
    std::vector<int> typesOf(size_t unit) const
    {
        std::vector<int> types;
        for (const SReplacement& set : units.at(unit).after)
            types.push_back(set.typeId);
        return types;
    }
    ttservice::IHostStorePersistence& file;
    std::vector<SUnit> units;
};

TEST_F(DeskProcessTest, shouldCommitEachOfTheUsersActionsOnceWithAllItChanged)
{
    // Given the sample on a desk file
    const auto db = startOnSample();
    ASSERT_TRUE(db);
    CHostStore& store = CHostStore::instance();
    SCommitsSeen commits(*db);
    store.setPersistence(&commits);
    testsupport::MessageBoxRecorder boxes;
    boxes.expect();
    PanelUnderTest p;

    // When the user allocates the bond and presses "保存"
    allocateSample(sample, p);
    // Then one commit holds the four areas and the command update
    ASSERT_EQ(commits.units.size(), 1u);
    EXPECT_EQ(commits.typesOf(0), (std::vector<int>{RT_ALLOC_PARAMS, RT_ALLOC_UNDERWRITER, RT_ALLOC_PRODUCT, RT_WIN_BID_DETAIL}));
    EXPECT_EQ(commits.units[0].commandUpdates.size(), 1u);

    // When the user marks the tender lost and presses the head strip's own save, then it
    // is one commit of the bid parameters
    p.chooseLost();
    p.typeIntoCell(p.head()->couponRateCell(), 2.15);
    boxes.expect();
    click(p.head()->saveButton());
    ASSERT_EQ(boxes.texts().size(), 2u);
    ASSERT_EQ(commits.units.size(), 2u);
    EXPECT_EQ(commits.typesOf(1), std::vector<int>{RT_ALLOC_PARAMS});
    p.panel->refreshWinBidAllocationPanel(false, sample.defaultBondCode(), sample.bond(sample.defaultBondCode())->basicTenderUnit);

    // When the user returns to tender execution and confirms
    boxes.expect();
    click(p.returnButton());
    ASSERT_EQ(boxes.texts().size(), 3u);   // the question
    // Then the four clearings are one commit, made once control is back in the event loop
    QCoreApplication::processEvents();
    ASSERT_EQ(commits.units.size(), 3u);
    EXPECT_EQ(commits.typesOf(2), commits.typesOf(0));
    for (const auto& set : commits.units[2].after)
        EXPECT_TRUE(set.rows.empty()) << set.typeId;
    EXPECT_EQ(commits.units[2].before.at(3).rows.size(), commits.units[0].after.at(3).rows.size());
    store.setPersistence(nullptr);
}

TEST_F(DeskProcessTest, shouldTellASaveAnotherProgramKeptFromTheFileInsteadOfItsSuccessAndKeepNoneOfIt)
{
    // Given a desk on the sample whose file another program holds the write lock of
    const std::string bond = sample.defaultBondCode();
    const auto db = startOnSample();
    ASSERT_TRUE(db);
    CHostStore& store = CHostStore::instance();
    store.setPersistence(db.get());
    const QJsonObject unsaved = desk::CAllocationDump::bondAllocation(store, bond);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(dbPath).constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    // When the user allocates the bond and presses "保存"
    testsupport::MessageBoxRecorder boxes;
    boxes.expect();
    PanelUnderTest p;
    allocateSample(sample, p);

    // Then the one box says what failed and that the previous allocation is intact, and
    // no success is shown
    ASSERT_EQ(boxes.boxes().size(), 1u);
    const auto& box = boxes.boxes().front();
    EXPECT_EQ(box.kind, KZ::CMessageBox::Critical);
    EXPECT_EQ(box.title, QStringLiteral("保存失败"));
    for (const QString& part : {dbPath, QStringLiteral("数据库正被另一个程序使用"), QStringLiteral("之前保存的分配结果保持不变")})
        EXPECT_TRUE(box.text.contains(part)) << box.text.toStdString();
    // And the host holds what the file holds: none of the four areas
    EXPECT_EQ(desk::CAllocationDump::bondAllocation(store, bond), unsaved);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    // When the other program is done and the user presses "保存" again, then it is saved
    boxes.expect();
    click(p.saveButton());
    EXPECT_EQ(boxes.texts().back(), QStringLiteral("保存成功!"));
    const QJsonObject saved = desk::CAllocationDump::bondAllocation(store, bond);
    for (const char* part : {"bidParameters", "underwriters", "products", "accounts"})
        EXPECT_NE(saved.value(QLatin1String(part)), unsaved.value(QLatin1String(part))) << part;
    store.setPersistence(nullptr);
}

TEST_F(DeskProcessTest, shouldRefuseABadScenarioFileOrANewerDatabaseWithItsPlaceReasonAndStatus2)
{
    const QByteArray valid = R"({"bonds": [{"code": "B1", "name": "测试债", "basicTenderUnit": 0.1,
 "tenderTarget": "price", "tenderingMethod": "dutch"}], "underwriters": [], "products": []})";
    const struct { const char* file; QByteArray content; const char* expected; } cases[] = {
        {"valid-but-for-a-comma.json", QByteArray(valid).replace("\"name\": \"测试债\",", "\"name\": \"测试债\""),
         ":1:42: JSON 格式错误"},
        {"missing-field.json", QByteArray(valid).replace("\"tenderTarget\": \"price\", ", ""), ": bonds[0].tenderTarget: 缺少字段"},
        {"wrong-type.json", QByteArray(valid).replace("0.1", "\"0.1\""),
         ": bonds[0].basicTenderUnit: 类型错误：应为数字，实际为文本"},
        {"negative-unit.json", QByteArray(valid).replace("0.1", "-0.1"),
         ": bonds[0].basicTenderUnit: 基本投标单位应在 0.0001 到 1000000 之间"},
        {"unknown-method.json", QByteArray(valid).replace("dutch", "english"),
         ": bonds[0].tenderingMethod: 未知的招标方式 \"english\""},
    };
    const QString picture = dir.filePath(QStringLiteral("never.png"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        // Given a scenario file with one mistake
        const QString file = dir.filePath(QLatin1String(c.file));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(c.content) == c.content.size());
        out.close();

        // When the desk is started on it, then it names the file, the place and the mistake, ends with 2 and writes nothing
        const SDeskRun run = runDesk({QStringLiteral("--scenario"), file, QStringLiteral("--db"), dbPath,
                                      QStringLiteral("--screenshot"), picture});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(file + QString::fromUtf8(c.expected))) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(dbPath) || QFile::exists(picture));
    }

    // Given a database whose schema version is beyond this desk's, when the desk is started on it
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(dbPath).constData(), &raw), SQLITE_OK);
    sqlite3_exec(raw, "PRAGMA user_version = 9", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    const SDeskRun run = runDesk({QStringLiteral("--db"), dbPath, QStringLiteral("--dump-bond"), QStringLiteral("260205.IB")});

    // Then it refuses with the reason and status 2
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(dbPath + QStringLiteral(": 数据库版本 9 比本程序支持的版本"))) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
}

TEST_F(DeskProcessTest, shouldExplainABadCommandLineInChineseWithStatus2AndHelpInChinese)
{
    const struct { const char* what; QStringList arguments; const char* expected; } cases[] = {
        {"unknown option", {QStringLiteral("--bogus")}, "未知的选项 'bogus'"},
        {"option without its value", {QStringLiteral("--db")}, "选项 '--db' 后缺少取值"},
        // an empty path would otherwise quietly mean the default file
        {"empty database path", {QStringLiteral("--db"), QString(), QStringLiteral("--dump-bond"), QStringLiteral("260205.IB")},
         "选项 '--db' 的取值为空"},
        {"empty scenario path", {QStringLiteral("--scenario="), QStringLiteral("--db"), dbPath}, "选项 '--scenario' 的取值为空"},
        {"stray argument", {QStringLiteral("--db"), dbPath, QStringLiteral("extra")}, "多余的参数：extra"},
        {"bond not in the scenario", {QStringLiteral("--db"), dbPath, QStringLiteral("--dump-bond"), QStringLiteral("NOPE")},
         "内置示例场景: 场景中没有债券 NOPE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // When the desk is started with a command line it cannot use
        const SDeskRun run = runDesk(c.arguments);

        // Then it says what is wrong in Chinese and ends with 2 before touching the database
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.expected))) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains(QStringLiteral(":/"))) << "an internal path: " << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(dbPath));
    }

    // When the window is asked for where there is no display, then the desk says so, names
    // the ways to do without one and ends with 2 (a picture or a dump needs none)
    const SDeskRun noDisplay = runDesk({QStringLiteral("--db"), dbPath}, false);
    EXPECT_EQ(noDisplay.exitCode, 2);
    for (const char* text : {"没有可用的显示器", "xvfb-run", "--screenshot"})
        EXPECT_TRUE(noDisplay.err.contains(QString::fromUtf8(text))) << text << "\n" << noDisplay.err.toStdString();
    const SDeskRun dump = runDesk({QStringLiteral("--db"), dbPath, QStringLiteral("--dump-bond"), QStringLiteral("260205.IB")}, false);
    EXPECT_EQ(dump.exitCode, 0) << dump.err.toStdString();
    EXPECT_TRUE(QJsonDocument::fromJson(dump.out.toUtf8()).isObject()) << dump.out.toStdString();

    // When help is asked for, then the usage, headings and descriptions are Chinese, the option names as they are
    const SDeskRun help = runDesk({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* text : {"用法：", "选项：", "显示本帮助", "--db <路径>", "--dump-bond <债券代码>"})
        EXPECT_TRUE(help.out.contains(QString::fromUtf8(text))) << text << "\n" << help.out.toStdString();
    EXPECT_FALSE(help.out.contains(QStringLiteral("Usage"))) << help.out.toStdString();
}

// ------------------------------------------------------------------ the desk window

TEST_F(DeskWindowTest, shouldListEveryBondWithMethodAndStoredResultAndLoadTheChosenOneIntoThePanel)
{
    // Given the window on the sample
    CDeskWindow window(sample);
    window.show();

    // Then each bond is listed with its method and what is stored for it
    ASSERT_EQ(window.bondList()->rowCount(), static_cast<int>(sample.bonds().size()));
    const struct { const char* code; int column; const char* text; } listed[] = {
        {"260205.IB", 2, "混合式"}, {"260205.IB", 3, "已中标"}, {"260011.IB", 2, "荷兰式"}, {"262403.IB", 2, "美国式"},
        {"264201.IB", 3, "未中标"}, {"260301.IB", 3, "已中标(已结算)"}, {"260006.IB", 3, "待录入"},
    };
    for (const auto& l : listed)
        EXPECT_EQ(window.bondList()->item(rowOf(window, QLatin1String(l.code)), l.column)->text(), QString::fromUtf8(l.text));

    // When the user picks the American tender in the list
    ASSERT_TRUE(window.showBond(sample.defaultBondCode()));
    window.bondList()->setCurrentCell(rowOf(window, QStringLiteral("262403.IB")), 1);

    // Then the panel shows it with its basic tender unit and method, and its reports are listed
    EXPECT_EQ(window.panel()->currentBondCode(), "262403.IB");
    EXPECT_DOUBLE_EQ(window.panel()->currentBasicTenderUnit(), 0.1);
    EXPECT_EQ(window.panel()->currentTenderingType(), TT_AMERICAN);
    EXPECT_EQ(window.reportView()->bondCode(), "262403.IB");
    EXPECT_GT(window.reportView()->productTable()->rowCount(), 0);
    EXPECT_TRUE(window.statusText().contains(QStringLiteral("262403.IB")));

    // And the bond without a result shows as well, while a code the scenario does not know changes nothing
    window.bondList()->setCurrentCell(rowOf(window, QStringLiteral("260006.IB")), 0);
    EXPECT_EQ(window.panel()->currentTenderingType(), TT_DUTCH);
    EXPECT_FALSE(window.showBond("NOPE"));
    EXPECT_EQ(window.panel()->currentBondCode(), "260006.IB");
}

TEST_F(DeskWindowTest, shouldShowThePanelsSignalsAndTheReportsOfTheReturnedBond)
{
    CDeskWindow window(sample);
    window.showBond(sample.defaultBondCode());

    emit window.panel()->sigRefreshBondTenderWinBidAmount(QStringLiteral("260205.IB|17.300000"));
    EXPECT_EQ(window.statusText(), QStringLiteral("中标分配已保存: 260205.IB, 中标总量 17.3000 亿"));

    emit window.panel()->sigBondExecutionShowTab(QStringLiteral("260011.IB|0.1000"));
    EXPECT_EQ(window.statusText(), QStringLiteral("返回投标执行: 260011.IB, 基本投标单位 0.1000"));
    EXPECT_EQ(window.reportView()->bondCode(), "260011.IB");
    EXPECT_GT(window.reportView()->underwriterTable()->rowCount(), 0);
}

TEST_F(DeskWindowTest, shouldKeepThePanelsConfigurationAcrossRuns)
{
    // Given a first run whose panel has a configuration of its data table (widths, order, sort)
    const QString file = dir.filePath(QStringLiteral("desk.ini"));
    QString configured;
    {
        CDeskWindow first(sample);
        first.panel()->setParam(QStringLiteral("hpf1;w=137,90;o=1,0;s=1,1"));
        configured = first.panel()->param();
        QSettings settings(file, QSettings::IniFormat);
        first.saveSettings(settings);
    }

    // When the desk starts again with those settings, then the panel has the first run's configuration
    CDeskWindow second(sample);
    second.show();
    ASSERT_NE(second.panel()->param(), configured);
    QSettings settings(file, QSettings::IniFormat);
    second.restoreSettings(settings);
    EXPECT_EQ(second.panel()->param(), configured);
}

TEST_F(DeskWindowTest, shouldAskBeforeUnsavedWorkIsLostAndSaveDiscardOrStayAsAnswered)
{
    // Given the window on the sample's won mixed tender, whose questions are answered here
    CDeskWindow window(sample);
    window.show();
    const std::string first = sample.defaultBondCode();
    ASSERT_TRUE(window.showBond(first));
    QStringList asked;
    CDeskWindow::EUnsavedAnswer answer = CDeskWindow::UA_CANCEL;
    window.setUnsavedPrompt([&](const QString& bond) { asked << bond; return answer; });
    const auto pick = [&](const char* code) { window.bondList()->setCurrentCell(rowOf(window, QLatin1String(code)), 0); };

    // When nothing was changed, then switching bonds asks nothing
    pick("260011.IB");
    pick(first.c_str());
    EXPECT_TRUE(asked.isEmpty());

    // When the user allocates it up to "保存" and then picks another bond, answering 取消
    WindowPanel p{window.panel()};
    allocateSample(sample, p, 1.0, false);
    EXPECT_TRUE(window.editTracker()->hasUnsavedChanges());
    EXPECT_EQ(window.hintText(), QStringLiteral("下一步：保存"));
    pick("260011.IB");

    // Then the question names the bond, and the panel and the list stay with the work
    EXPECT_EQ(asked, QStringList{QString::fromStdString(first)});
    EXPECT_EQ(window.panel()->currentBondCode(), first);
    EXPECT_EQ(window.bondList()->currentRow(), rowOf(window, QString::fromStdString(first)));
    EXPECT_TRUE(window.editTracker()->hasUnsavedChanges());
    // and closing the window with 取消 keeps it open
    EXPECT_FALSE(window.close());

    // When the answer is 保存, then the panel's own save runs and the other bond is shown
    answer = CDeskWindow::UA_SAVE;
    boxes.expect();
    pick("260011.IB");
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
    EXPECT_FALSE(CHostStore::instance().records(first, RT_WIN_BID_DETAIL).empty());
    EXPECT_EQ(window.panel()->currentBondCode(), "260011.IB");
    EXPECT_EQ(asked.size(), 3);   // the switch, the close, the switch

    // Given a change on the bond without a result, answered with 保存 while it cannot be saved
    pick("260006.IB");
    EXPECT_EQ(window.hintText(), QStringLiteral("下一步：在表一录入中标量"));
    const auto oneRows = rowsOf<TC::CAllocationUnderWriteData>(p.one());
    ASSERT_FALSE(oneRows.empty());
    typeInto(p.one(), oneRows.front()->key(), 7, "0.1");
    EXPECT_EQ(window.hintText(), QStringLiteral("下一步：点击公平分配（或在表二录入中标量）"));
    boxes.expect();
    pick("262403.IB");

    // Then the check's message is shown and the user stays on the bond
    EXPECT_EQ(boxes.texts().last(), QStringLiteral("边际价格/利率为0,无法保存!"));
    EXPECT_EQ(window.panel()->currentBondCode(), "260006.IB");

    // When the answer is 放弃, then the bond is left and nothing of it was stored
    answer = CDeskWindow::UA_DISCARD;
    pick("262403.IB");
    EXPECT_EQ(window.panel()->currentBondCode(), "262403.IB");
    EXPECT_TRUE(CHostStore::instance().records("260006.IB", RT_ALLOC_UNDERWRITER).empty());
    EXPECT_FALSE(window.editTracker()->hasUnsavedChanges());
    EXPECT_TRUE(window.close());
}

TEST_F(DeskWindowTest, shouldKeepTheWorkAndTheBondWhenTheSaveAnsweredWithCannotBeWritten)
{
    // Given a window whose store cannot write (as a full disk), wired as the desk wires it
    struct SRefusingFile : IHostStorePersistence {
        bool commit(const SUnit&, QString* error) override
        {
            *error = QStringLiteral("磁盘已满");
            return false;
        }
    } file;
    CDeskWindow window(sample);
    window.show();
    QStringList told;
    CHostStore::instance().setPersistence(&file);
    CHostStore::instance().setCommitFailureHandler([&](const QString& message) {
        told << message;
        window.noteSaveFailed();
    });
    window.setUnsavedPrompt([](const QString&) { return CDeskWindow::UA_SAVE; });
    const std::string first = sample.defaultBondCode();
    ASSERT_TRUE(window.showBond(first));
    WindowPanel p{window.panel()};
    allocateSample(sample, p, 1.0, false);

    // When the user picks another bond and answers 保存
    window.bondList()->setCurrentCell(rowOf(window, QStringLiteral("260011.IB")), 0);

    // Then the failure was told, and the bond and its unsaved work stay
    EXPECT_EQ(told.size(), 1);
    EXPECT_EQ(window.panel()->currentBondCode(), first);
    EXPECT_TRUE(window.editTracker()->hasUnsavedChanges());
    EXPECT_EQ(window.hintText(), QStringLiteral("下一步：保存"));
    CHostStore::instance().setCommitFailureHandler(nullptr);
    CHostStore::instance().setPersistence(nullptr);
}

// The user guide's pictures come from this walk: BTA_GUIDE_PICTURES=DIR keeps the window
// as it is after each step, at the size it takes on a 1366 x 768 screen.
TEST_F(DeskWindowTest, shouldNameEachNextStepOfAnAllocationInTheStatusBar)
{
    CDeskWindow window(sample);
    window.fitTo(QSize(1362, 732));
    window.show();
    const QString pictures = qEnvironmentVariable("BTA_GUIDE_PICTURES");
    const auto picture = [&](int step) {
        window.panel()->onTimer(TC::TUF_NORMAL);
        QApplication::processEvents();
        if (!pictures.isEmpty()) {
            ASSERT_TRUE(window.grab().save(QDir(pictures).filePath(QStringLiteral("guide-%1.png").arg(step)), "PNG"));
        }
    };

    // Given the bond as it comes from the tender execution, nothing allocated yet
    for (const auto type : {RT_ALLOC_UNDERWRITER, RT_ALLOC_PRODUCT, RT_WIN_BID_DETAIL})
        ASSERT_TRUE(CHostStore::instance().records(sample.defaultBondCode(), type).empty());
    ASSERT_TRUE(window.showBond(sample.defaultBondCode()));
    EXPECT_EQ(window.hintText(), QStringLiteral("下一步：在表一录入中标量"));
    picture(0);

    // When the user takes each step, then the status bar names the next one
    const QString expected[] = {
        QStringLiteral("下一步：点击公平分配（或在表二录入中标量）"),
        QStringLiteral("下一步：在表三选择账号（双击单元格打开选项）"),
        QStringLiteral("下一步：保存"),
        QStringLiteral("已保存"),
    };
    WindowPanel p{window.panel()};
    boxes.expect();
    allocateSample(sample, p, 1.0, true, [&](int step) {
        EXPECT_EQ(window.hintText(), expected[step - 1]) << "after step " << step;
        picture(step);
    });
    EXPECT_FALSE(window.editTracker()->hasUnsavedChanges());
}

TEST_F(DeskWindowTest, shouldCaptionTheTablesAndNameTheNextStepOrWhyThereIsNone)
{
    CDeskWindow window(sample);
    window.show();
    QApplication::processEvents();

    // The captions that the check messages' 表一, 表二 and 表三 refer to, beside their tables
    EXPECT_EQ(window.panelFrame()->captions(),
              (QStringList{QStringLiteral("表一 承销商中标"), QStringLiteral("表二 产品中标"), QStringLiteral("表三 账号分配")}));

    // For each kind of bond of the sample, the status bar's hint and the settled notice
    const struct { const char* code; const char* hint; bool settledNotice; } bonds[] = {
        {"260006.IB", "下一步：在表一录入中标量", false},   // nothing stored yet
        {"260205.IB", "下一步：在表一录入中标量", false},   // won, its bid parameters stored
        {"264201.IB", "未中标：无需分配", false},           // lost
        {"260301.IB", "已结算：只可查看", true},             // settled, no allocation stored
    };
    for (const auto& b : bonds) {
        SCOPED_TRACE(b.code);
        ASSERT_TRUE(window.showBond(b.code));
        EXPECT_EQ(window.hintText(), QString::fromUtf8(b.hint));
        EXPECT_EQ(window.panelFrame()->settledNoticeShown(), b.settledNotice);
    }
}

TEST_F(DeskWindowTest, shouldOpenWithinTheScreenWithThePanelAsTheMainAreaAndQtsButtonsInChinese)
{
    // Given a screen smaller than the desk's preferred size, the window fits it
    const QSize available = QGuiApplication::primaryScreen()->availableGeometry().size();
    const QSize fitted = CDeskWindow::fittedSize(QGuiApplication::primaryScreen());
    EXPECT_TRUE(fitted.width() <= available.width() && fitted.height() <= available.height());
    EXPECT_TRUE(fitted.width() <= CDeskWindow::kPreferredSize.width() && fitted.height() <= CDeskWindow::kPreferredSize.height());

    // At 1366 x 768 the side gets the room that shows its reports' numbers whole and the
    // panel the rest, through which it scrolls sideways
    CDeskWindow window(sample);
    window.fitTo(QSize(1362, 732));
    window.show();
    ASSERT_TRUE(window.showBond(sample.defaultBondCode()));
    QApplication::processEvents();
    QList<int> sizes = window.mainSplitter()->sizes();
    ASSERT_EQ(sizes.size(), 2);
    EXPECT_GE(sizes[0], window.reportView()->usefulWidth());
    EXPECT_LE(sizes[0], window.reportView()->usefulWidth() + 40) << "the side takes no more than it needs";
    for (const QTableView* reports : {static_cast<QTableView*>(window.reportView()->underwriterTable()),
                                      static_cast<QTableView*>(window.reportView()->productTable())}) {
        const QAbstractItemModel* rows = reports->model();
        ASSERT_GT(rows->rowCount(), 0);
        for (int row = 0; row < rows->rowCount() && reports->rowViewportPosition(row) < reports->viewport()->height(); ++row)
            for (int column = 0; column < rows->columnCount(); ++column) {
                const QString text = rows->index(row, column).data().toString();
                EXPECT_GT(reports->columnWidth(column), reports->fontMetrics().horizontalAdvance(text)) << text.toStdString();
            }
        EXPECT_LE(reports->horizontalHeader()->length(), reports->viewport()->width()) << "no sideways scrolling";
    }
    const auto* scroll = window.panel()->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    EXPECT_GE(scroll->horizontalScrollBar()->maximum(), window.panelFrame()->preferredWidth() - sizes[1] - 30);

    // At its preferred size the panel gets all its widest table needs
    window.fitTo(CDeskWindow::kPreferredSize);
    QApplication::processEvents();
    sizes = window.mainSplitter()->sizes();
    EXPECT_GE(sizes[1], window.panelFrame()->preferredWidth());
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible())
        << "panel " << sizes[1] << " px, needs " << window.panelFrame()->preferredWidth();

    // Qt's own texts are Chinese: a box's standard buttons read 确定 and 取消
    ASSERT_TRUE(CDeskApplication::installQtTranslations());
    QMessageBox box(QMessageBox::Question, QStringLiteral("提示"), QStringLiteral("?"), QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
}
