#include "CDeskApplication.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMessageBox>
#include <QPixmap>
#include <QSettings>
#include <cstdio>
#include <memory>

#include "CAllocationDump.h"
#include "CDeskDatabase.h"
#include "CDeskWindow.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "CScenario.h"
#include "services/HostServices.h"
#include "services/HostStore.h"

namespace desk {

namespace {

int fail(int status, const QString& message)
{
    std::fprintf(stderr, "bond-allocation-desk: %s\n", message.toUtf8().constData());
    return status;
}

// Detaches the database from the store however the desk ends.
struct SPersistenceAttachment {
    explicit SPersistenceAttachment(CDeskDatabase* db) { ttservice::CHostStore::instance().setPersistence(db); }
    ~SPersistenceAttachment()
    {
        ttservice::TraderCenter::instance()->waitForDeliveries();
        ttservice::CHostStore::instance().setPersistence(nullptr);
    }
};

void defineOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral("Bond tender allocation desk"));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("db"), QStringLiteral("The desk's database file (default: in the user's data directory)."),
                      QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("scenario"), QStringLiteral("A tender scenario (JSON) instead of the built-in sample."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("screenshot"), QStringLiteral("Render the window into FILE (PNG) and exit."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("bond"), QStringLiteral("The bond to show first."), QStringLiteral("CODE")});
    parser.addOption({QStringLiteral("dump-bond"), QStringLiteral("Print the stored allocation of a bond as JSON and exit."),
                      QStringLiteral("CODE")});
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

int screenshot(CDeskWindow& window, const QString& path)
{
    window.resize(CDeskWindow::kPreferredSize);
    window.show();
    // Let the tables sync with their models and the layouts settle before grabbing.
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        window.panel()->onTimer(TC::TUF_NORMAL);
    }
    QCoreApplication::processEvents();
    if (!window.grab().save(path, "PNG"))
        return fail(CDeskApplication::ES_FAILED, path + QStringLiteral(": cannot write the screenshot"));
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
        *error = QStringLiteral("unexpected argument: ") + parser.positionalArguments().first();
        return false;
    }
    out->dbPath = parser.value(QStringLiteral("db"));
    out->scenarioPath = parser.value(QStringLiteral("scenario"));
    out->screenshotPath = parser.value(QStringLiteral("screenshot"));
    out->bondCode = parser.value(QStringLiteral("bond"));
    out->dumpBondCode = parser.value(QStringLiteral("dump-bond"));
    return true;
}

bool CDeskApplication::isHeadless(const QStringList& arguments)
{
    return hasOption(arguments, QStringLiteral("dump-bond")) || hasOption(arguments, QStringLiteral("help"))
        || arguments.contains(QStringLiteral("-h"));
}

bool CDeskApplication::wantsScreenshot(const QStringList& arguments)
{
    return hasOption(arguments, QStringLiteral("screenshot"));
}

int CDeskApplication::run(QCoreApplication& app)
{
    const QStringList arguments = app.arguments();
    if (hasOption(arguments, QStringLiteral("help")) || arguments.contains(QStringLiteral("-h"))) {
        QCommandLineParser parser;
        defineOptions(parser);
        std::fprintf(stdout, "%s", parser.helpText().toUtf8().constData());
        return ES_OK;
    }
    SDeskOptions options;
    QString error;
    if (!parseOptions(arguments, &options, &error))
        return fail(ES_BAD_INPUT, error);

    // The scenario is checked completely before the database or the store is touched.
    CScenario scenario;
    const QString scenarioPath = options.scenarioPath.isEmpty() ? CScenario::kBuiltInPath : options.scenarioPath;
    if (!CScenario::loadFile(scenarioPath, &scenario, &error))
        return fail(ES_BAD_INPUT, error);
    for (const QString& code : {options.bondCode, options.dumpBondCode})
        if (!code.isEmpty() && !scenario.bond(code.toStdString()))
            return fail(ES_BAD_INPUT, QStringLiteral("%1: no bond %2 in this scenario").arg(scenarioPath, code));

    std::unique_ptr<CDeskDatabase> database = CDeskDatabase::open(databasePath(options), &error);
    if (!database)
        return fail(ES_BAD_INPUT, error);

    // The scenario first: what the user saved then replaces the scenario's records.
    ttservice::CHostStore& store = ttservice::CHostStore::instance();
    scenario.applyTo(store);
    if (!database->loadInto(store, &error))
        return fail(ES_BAD_INPUT, error);
    const SPersistenceAttachment attachment(database.get());

    if (!options.dumpBondCode.isEmpty())
        return dumpBond(options.dumpBondCode);
    if (!qobject_cast<QApplication*>(&app))
        return fail(ES_FAILED, QStringLiteral("the desk needs a display (try xvfb-run, or --screenshot offscreen)"));

    QSettings settings;
    CDeskWindow window(scenario);
    window.restoreSettings(settings);
    window.showBond(options.bondCode.isEmpty() ? scenario.defaultBondCode() : options.bondCode.toStdString());
    if (!options.screenshotPath.isEmpty())
        return screenshot(window, options.screenshotPath);

    // The store is locked while it commits: the box waits for the event loop.
    database->setFailureHandler([&window](const QString& message) {
        std::fprintf(stderr, "bond-allocation-desk: %s\n", message.toUtf8().constData());
        QMetaObject::invokeMethod(&window, [&window, message] {
            QMessageBox::critical(&window, QObject::tr("保存失败"), message);
        }, Qt::QueuedConnection);
    });
    window.show();
    const int status = app.exec();
    window.saveSettings(settings);
    return status;
}

} // namespace desk
