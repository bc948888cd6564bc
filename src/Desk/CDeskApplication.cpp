#include "CDeskApplication.h"

#include <QApplication>
#include <QBackingStore>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QLibraryInfo>
#include <QImage>
#include <QPixmap>
#include <QRegularExpression>
#include <QSettings>
#include <QTranslator>
#include <cstdio>
#include <memory>

#include "CAllocationDump.h"
#include "CBackOffice.h"
#include "CDeskDatabase.h"
#include "DisplayWidth.h"
#include "CDeskTimings.h"
#include "CDeskWindow.h"
#include "CExecutionReportView.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "CScenario.h"
#include "CTeamDatabase.h"
#include "CTeamDesk.h"
#include "KZ/MessageBox.h"
#include "services/HostServices.h"
#include "services/HostStore.h"
#include "services/LogCentre.h"

namespace desk {

namespace {

int fail(int status, const QString& message)
{
    std::fprintf(stderr, "bond-allocation-desk: %s\n", message.toUtf8().constData());
    return status;
}

// Detaches the database from the store however the desk ends.
struct SPersistenceAttachment {
    explicit SPersistenceAttachment(ttservice::IHostStorePersistence* db) { ttservice::CHostStore::instance().setPersistence(db); }
    ~SPersistenceAttachment()
    {
        ttservice::CHostStore& store = ttservice::CHostStore::instance();
        store.setCommitFailureHandler(nullptr);   // the window is gone
        QString error;
        if (!store.commitPending(&error))
            std::fprintf(stderr, "bond-allocation-desk: %s\n", error.toUtf8().constData());
        ttservice::TraderCenter::instance()->waitForDeliveries();
        ttservice::CHostStore::instance().setPersistence(nullptr);
    }
};

// QCommandLineParser's own texts (usage, headings, the help option, its parse errors)
// in Chinese; Qt ships none for them.
class CParserTextsZh : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation, int n) const override
    {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (qstrcmp(context, "QCommandLineParser") != 0)
            return QString();
        static const QHash<QByteArray, QString> texts = {
            {"Usage: %1", QStringLiteral("用法：%1")},
            {"[options]", QStringLiteral("[选项]")},
            {"Options:", QStringLiteral("选项：")},
            {"Arguments:", QStringLiteral("参数：")},
            {"Displays help on commandline options.", QStringLiteral("显示本帮助。")},
            {"Displays help including Qt specific options.", QStringLiteral("显示本帮助（含 Qt 的选项）。")},
            {"Displays version information.", QStringLiteral("显示版本信息。")},
            {"Unknown option '%1'.", QStringLiteral("未知的选项 '%1'。")},
            {"Unknown options: %1.", QStringLiteral("未知的选项：%1。")},
            {"Missing value after '%1'.", QStringLiteral("选项 '%1' 后缺少取值。")},
            {"Unexpected value after '%1'.", QStringLiteral("选项 '%1' 不接受取值。")},
        };
        return texts.value(QByteArray(sourceText));
    }
};

void installParserTexts()
{
    QCoreApplication* app = QCoreApplication::instance();
    const QString name = QStringLiteral("deskParserTexts");
    if (!app || app->findChild<QTranslator*>(name, Qt::FindDirectChildrenOnly))
        return;
    auto* texts = new CParserTextsZh(app);  // owned by the application
    texts->setObjectName(name);
    QCoreApplication::installTranslator(texts);
}

// Where a message names the scenario: the user's file, or the sample built into the desk.
QString scenarioName(const QString& path)
{
    return path == CScenario::kBuiltInPath ? QStringLiteral("内置示例场景") : path;
}

void defineOptions(QCommandLineParser& parser)
{
    installParserTexts();
    parser.setApplicationDescription(QStringLiteral("债券中标分配台"));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("db"), QStringLiteral("本程序的数据库文件（默认在用户数据目录中），或团队数据库服务器的 postgresql:// 地址。"),
                      QStringLiteral("路径")});
    parser.addOption({QStringLiteral("scenario"), QStringLiteral("改用指定的招标场景文件（JSON），不用内置示例。"),
                      QStringLiteral("文件")});
    parser.addOption({QStringLiteral("screenshot"), QStringLiteral("把窗口截图保存为 PNG 文件后退出。"), QStringLiteral("文件")});
    parser.addOption({QStringLiteral("bond"), QStringLiteral("启动时先显示的债券。"), QStringLiteral("债券代码")});
    parser.addOption({QStringLiteral("dump-bond"), QStringLiteral("以 JSON 输出一只债券已保存的分配结果后退出。"),
                      QStringLiteral("债券代码")});
    parser.addOption({QStringLiteral("export-allocation"), QStringLiteral("把 --bond 的表三分配导出为 CSV 文件后退出。"),
                      QStringLiteral("文件")});
    parser.addOption({QStringLiteral("import-allocation"),
                      QStringLiteral("把 CSV 文件载入 --bond 的分配表并按“保存”保存后退出（3：面板检查未通过）。"),
                      QStringLiteral("文件")});
    parser.addOption({QStringLiteral("timings"), QStringLiteral("结束时在标准错误输出启动各阶段的用时（毫秒）。")});
    parser.addOption({QStringLiteral("history"), QStringLiteral("以 JSON 输出一只债券的中标分配历史后退出。"),
                      QStringLiteral("债券代码")});
}

// QCommandLineParser pads the option column by characters; re-pad it by columns so the
// Chinese value names keep the descriptions in line.
QString alignHelpColumns(const QString& help)
{
    static const QRegularExpression optionLine(QStringLiteral("^(  -\\S.*?)  +(\\S.*)$"));
    QStringList lines = help.split(QLatin1Char('\n'));
    int namesWidth = 0;
    for (const QString& line : lines) {
        const QRegularExpressionMatch m = optionLine.match(line);
        if (m.hasMatch())
            namesWidth = qMax(namesWidth, displayWidth(m.captured(1)));
    }
    for (QString& line : lines) {
        const QRegularExpressionMatch m = optionLine.match(line);
        if (m.hasMatch())
            line = m.captured(1) + QString(namesWidth - displayWidth(m.captured(1)) + 2, QLatin1Char(' ')) + m.captured(2);
    }
    return lines.join(QLatin1Char('\n'));
}

bool hasOption(const QStringList& arguments, const QString& name)
{
    for (const QString& argument : arguments)
        if (argument == QStringLiteral("--") + name || argument.startsWith(QStringLiteral("--") + name + QLatin1Char('=')))
            return true;
    return false;
}

QString databasePath(const SDeskOptions& options)
{
    if (!options.dbPath.isEmpty())
        return options.dbPath;
    const QString path = CDeskDatabase::defaultPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}

int dumpBond(const QString& bondCode)
{
    const QJsonObject dump = CAllocationDump::bondAllocation(ttservice::CHostStore::instance(), bondCode.toStdString());
    const QByteArray text = QJsonDocument(dump).toJson(QJsonDocument::Indented);
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    std::fflush(stdout);
    return CDeskApplication::ES_OK;
}

// The CSV export or import of --bond; the panel's verdict on an import goes to stdout
// when it saved, to stderr when it refused.
int transfer(CDeskWindow& window, const SDeskOptions& options, const std::vector<SAllocationCsvRow>& rows)
{
    // A save the file did not take is the import's failure, whatever the panel said.
    QString commitFailure;
    ttservice::CHostStore::instance().setCommitFailureHandler(
        [&commitFailure](const QString& message) { commitFailure = message; });
    QString message;
    const int status = options.importPath.isEmpty()
        ? CBackOffice::exportAllocation(window, options.exportPath, &message)
        : CBackOffice::importAllocation(window, options.importPath, rows, &message);
    ttservice::CHostStore::instance().setCommitFailureHandler(nullptr);
    if (!commitFailure.isEmpty())
        return fail(CDeskApplication::ES_FAILED, commitFailure);
    if (status != CDeskApplication::ES_OK)
        return fail(status, message);
    std::fprintf(stdout, "%s\n", message.toUtf8().constData());
    return CDeskApplication::ES_OK;
}

// The window as it was painted offscreen, where its surface is an image painted as soon as
// the window is shown: written out as it is, without painting the window a second time into
// a second picture of it. On a screen, where the paint waits for the display, it is grabbed.
QImage paintedImage(QWidget& window)
{
    const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");
    QBackingStore* store = offscreen ? window.backingStore() : nullptr;
    const auto* painted = store ? dynamic_cast<const QImage*>(store->paintDevice()) : nullptr;
    if (painted && painted->size() == window.size() * window.devicePixelRatioF() && !painted->hasAlphaChannel())
        return *painted;
    return window.grab().toImage();
}

int screenshot(CDeskWindow& window, const QString& path)
{
    // Offscreen the desk's full size; on a real (or virtual) screen what that screen fits.
    const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");
    window.fitTo(offscreen ? CDeskWindow::kPreferredSize : CDeskWindow::fittedSize(window.screen()));
    window.show();
    // Let the tables sync with their models and the layouts settle before grabbing.
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        window.panel()->onTimer(TC::TUF_NORMAL);
    }
    QCoreApplication::processEvents();
    const QImage picture = paintedImage(window);
    CDeskTimings::instance().mark("paint");
    if (!picture.save(path, "PNG"))
        return fail(CDeskApplication::ES_FAILED, path + QStringLiteral(": 无法写入截图"));
    CDeskTimings::instance().mark("png");
    return CDeskApplication::ES_OK;
}

} // namespace

bool CDeskApplication::parseOptions(const QStringList& arguments, SDeskOptions* out, QString* error)
{
    QCommandLineParser parser;
    defineOptions(parser);
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("多余的参数：") + parser.positionalArguments().first();
        return false;
    }
    // An empty path is a mistake, not a wish for the default file.
    for (const QString& option : {QStringLiteral("db"), QStringLiteral("scenario")}) {
        if (parser.isSet(option) && parser.value(option).isEmpty()) {
            *error = QStringLiteral("选项 '--%1' 的取值为空：请给出文件路径，或不写此选项以使用默认文件").arg(option);
            return false;
        }
    }
    out->dbPath = parser.value(QStringLiteral("db"));
    out->scenarioPath = parser.value(QStringLiteral("scenario"));
    out->screenshotPath = parser.value(QStringLiteral("screenshot"));
    out->bondCode = parser.value(QStringLiteral("bond"));
    out->dumpBondCode = parser.value(QStringLiteral("dump-bond"));
    out->exportPath = parser.value(QStringLiteral("export-allocation"));
    out->importPath = parser.value(QStringLiteral("import-allocation"));
    out->historyBondCode = parser.value(QStringLiteral("history"));
    if ((!out->exportPath.isEmpty() || !out->importPath.isEmpty()) && out->bondCode.isEmpty()) {
        *error = QStringLiteral("导出或导入分配时须用 --bond 指定债券");
        return false;
    }
    out->timings = parser.isSet(QStringLiteral("timings"));
    return true;
}

bool CDeskApplication::isHeadless(const QStringList& arguments)
{
    return hasOption(arguments, QStringLiteral("dump-bond")) || hasOption(arguments, QStringLiteral("history"))
        || hasOption(arguments, QStringLiteral("help"))
        || arguments.contains(QStringLiteral("-h"));
}

bool CDeskApplication::rendersOffscreen(const QStringList& arguments)
{
    return hasOption(arguments, QStringLiteral("screenshot")) || hasOption(arguments, QStringLiteral("export-allocation"))
        || hasOption(arguments, QStringLiteral("import-allocation"));
}

bool CDeskApplication::hasDisplay()
{
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (!qEnvironmentVariableIsEmpty(variable))
            return true;
    return false;
}

int CDeskApplication::refuseWithoutDisplay()
{
    return fail(ES_BAD_INPUT, QStringLiteral(
        "没有可用的显示器，无法打开窗口。请在图形桌面中运行；在没有显示器的机器上可用 "
        "xvfb-run -a bond-allocation-desk 在虚拟显示器上运行，或用 --screenshot 文件.png 把窗口离屏保存为图片"));
}

bool CDeskApplication::installQtTranslations()
{
    QCoreApplication* app = QCoreApplication::instance();
    const QString name = QStringLiteral("deskQtTexts");
    if (!app)
        return false;
    if (app->findChild<QTranslator*>(name, Qt::FindDirectChildrenOnly))
        return true;
    auto texts = std::make_unique<QTranslator>();
    if (!texts->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        std::fprintf(stderr, "bond-allocation-desk: 找不到 Qt 的中文翻译（qttranslations5-l10n），标准按钮将显示英文\n");
        return false;
    }
    texts->setObjectName(name);
    texts->setParent(app);   // owned by the application from here on
    QCoreApplication::installTranslator(texts.release());
    return true;
}

void CDeskApplication::logToStderr()
{
    // The host's log centre sets up stderr logging when nothing else has been configured.
    ttservice::CLogCentre::instance();
}

int CDeskApplication::run(QCoreApplication& app)
{
    const QStringList arguments = app.arguments();
    if (hasOption(arguments, QStringLiteral("help")) || arguments.contains(QStringLiteral("-h"))) {
        QCommandLineParser parser;
        defineOptions(parser);
        std::fprintf(stdout, "%s", alignHelpColumns(parser.helpText()).toUtf8().constData());
        return ES_OK;
    }
    SDeskOptions options;
    QString error;
    if (!parseOptions(arguments, &options, &error))
        return fail(ES_BAD_INPUT, error);
    CDeskTimings& timings = CDeskTimings::instance();
    timings.mark("start");
    // Declared first, so the window and the database are gone when it prints.
    const CDeskTimings::CPrintAtExit printTimings(options.timings ? stderr : nullptr);

    // The scenario and a file to import are checked completely before the database or the store is touched.
    std::vector<SAllocationCsvRow> importRows;
    if (!options.importPath.isEmpty()) {
        const int status = CBackOffice::readImportFile(options.importPath, &importRows, &error);
        if (status != ES_OK)
            return fail(status, error);
    }
    CScenario scenario;
    const QString scenarioPath = options.scenarioPath.isEmpty() ? CScenario::kBuiltInPath : options.scenarioPath;
    if (!CScenario::loadFile(scenarioPath, &scenario, &error))
        return fail(ES_BAD_INPUT, error.replace(CScenario::kBuiltInPath, scenarioName(scenarioPath)));
    for (const QString& code : {options.bondCode, options.dumpBondCode})
        if (!code.isEmpty() && !scenario.bond(code.toStdString()))
            return fail(ES_BAD_INPUT, QStringLiteral("%1: 场景中没有债券 %2").arg(scenarioName(scenarioPath), code));
    timings.mark("scenario");

    // A file of the desk's own, or the team's server.
    std::unique_ptr<CDeskDatabase> database;
    std::unique_ptr<CTeamDesk> team;
    if (CTeamDatabase::isServerUri(options.dbPath))
        team = CTeamDesk::open(options.dbPath, &error);
    else
        database = CDeskDatabase::open(databasePath(options), &error);
    if (!database && !team)
        return fail(ES_BAD_INPUT, error);

    // The scenario first: what the user saved then replaces the scenario's records.
    ttservice::CHostStore& store = ttservice::CHostStore::instance();
    scenario.applyTo(store);
    scenario.releaseStoredParts();
    QStringList skipped;
    if (team ? !team->loadInto(store, &error, &skipped) : !database->loadInto(store, &error, &skipped))
        return fail(ES_BAD_INPUT, error);
    for (const QString& record : skipped)
        std::fprintf(stderr, "bond-allocation-desk: %s\n", record.toUtf8().constData());
    const SPersistenceAttachment attachment(team ? static_cast<ttservice::IHostStorePersistence*>(&team->database())
                                                 : database.get());
    timings.mark("store");

    if (!options.dumpBondCode.isEmpty())
        return dumpBond(options.dumpBondCode);
    if (!options.historyBondCode.isEmpty()) {
        const IAllocationHistoryReader& history = team ? static_cast<const IAllocationHistoryReader&>(team->database())
                                                       : *database;
        const int status = CBackOffice::printHistory(history, options.historyBondCode, &error);
        return status == ES_OK ? status : fail(status, error);
    }
    if (!qobject_cast<QApplication*>(&app))
        return refuseWithoutDisplay();
    installQtTranslations();

    QSettings settings;
    CDeskWindow window(scenario);
    window.restoreSettings(settings);
    timings.mark("window");
    window.showBond(options.bondCode.isEmpty() ? scenario.defaultBondCode() : options.bondCode.toStdString());
    timings.split("report", window.reportView()->lastShowNanoseconds(), window.reportView()->lastShowCpuNanoseconds());
    timings.mark("panel");
    // Before the picture, so that a screenshot shows the window as the user gets it.
    CBackOffice::addMenu(window, team ? static_cast<const IAllocationHistoryReader*>(&team->database()) : database.get());
    if (!options.screenshotPath.isEmpty())
        return screenshot(window, options.screenshotPath);
    if (!options.exportPath.isEmpty() || !options.importPath.isEmpty())
        return transfer(window, options, importRows);

    // A save that could not be written is told in the window, instead of its success.
    if (team)
        team->attachTo(window);
    else
        store.setCommitFailureHandler([&window](const QString& message) {
            std::fprintf(stderr, "bond-allocation-desk: %s\n", message.toUtf8().constData());
            window.noteSaveFailed();
            KZ::CMessageBox::critical(0, &window, QStringLiteral("保存失败"), message);
        });
    if (options.timings)
        timings.markAfterFirstPaint(&window, "paint");
    window.show();
    const int status = app.exec();
    if (team)
        team->detach();
    window.saveSettings(settings);
    return status;
}

} // namespace desk
