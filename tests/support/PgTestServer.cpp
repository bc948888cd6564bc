#include "PgTestServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>
#include <QUrlQuery>
#include <libpq-fe.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CPgConnection.h"
#include "CTeamDatabase.h"

namespace testsupport {

namespace {

// The server's programs: the newest installed major version.
QString serverProgram(const QString& name)
{
    const QString given = qEnvironmentVariable("BTA_PG_BINDIR");
    if (!given.isEmpty())
        return QDir(given).filePath(name);
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    return versions.isEmpty() ? name : QStringLiteral("/usr/lib/postgresql/%1/bin/%2").arg(versions.last(), name);
}

// The server refuses to run as root: as root the cluster belongs to a system user.
QString serverUser()
{
    if (getuid() != 0)
        return QString();
    return getpwnam("postgres") ? QStringLiteral("postgres") : QStringLiteral("nobody");
}

} // namespace

PgTestServer::~PgTestServer()
{
    QString ignored;
    if (running_)
        stopServer(&ignored);
    endWatcher();
    if (!ownsCluster() && !created_.isEmpty())
        if (const auto admin = desk::CPgConnection::connect(givenUri_, &ignored))
            for (const QString& name : created_)
                admin->run(("DROP DATABASE IF EXISTS " + name.toStdString() + " WITH (FORCE)").c_str());
}

bool PgTestServer::start(QString* error)
{
    givenUri_ = qEnvironmentVariable("BTA_TEST_PG_URI");
    if (!givenUri_.isEmpty()) {
        const std::unique_ptr<desk::CPgConnection> connection = desk::CPgConnection::connect(givenUri_, error);
        return connection != nullptr;
    }
    folder_.reset(new QTemporaryDir(QStringLiteral("/tmp/bta-pg-XXXXXX")));
    if (!folder_->isValid()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    const QString user = serverUser();
    const QByteArray path = QFile::encodeName(folder_->path());
    if (!user.isEmpty()) {
        const passwd* entry = getpwnam(user.toLocal8Bit().constData());
        if (!entry || chown(path.constData(), entry->pw_uid, entry->pw_gid) != 0) {
            *error = QStringLiteral("cannot hand %1 to %2").arg(folder_->path(), user);
            return false;
        }
    }
    return runAsServerUser(serverProgram(QStringLiteral("initdb")),
                           {QStringLiteral("-D"), folder_->filePath(QStringLiteral("data")), QStringLiteral("-U"),
                            QStringLiteral("bta"), QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
                            QStringLiteral("UTF8"), QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
                           error)
        && startServer(error) && (startWatcher(), true);
}

void PgTestServer::startWatcher()
{
    const QString user = serverUser();
    const QString stop = QStringLiteral("%1'%2' -D '%3/data' -m immediate stop >/dev/null 2>&1; rm -rf '%3'")
                             .arg(user.isEmpty() ? QString() : QStringLiteral("runuser -u %1 -- ").arg(user),
                                  serverProgram(QStringLiteral("pg_ctl")), folder_->path());
    const QByteArray command = stop.toLocal8Bit();
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child != 0) {
        watcher_ = child > 0 ? child : 0;
        return;
    }
    // Only async-signal-safe calls from here: the parent has threads.
    while (getppid() == parent)
        sleep(1);
    execl("/bin/sh", "sh", "-c", command.constData(), static_cast<char*>(nullptr));
    _exit(1);
}

void PgTestServer::endWatcher()
{
    if (watcher_ == 0)
        return;
    kill(watcher_, SIGKILL);
    waitpid(watcher_, nullptr, 0);
    watcher_ = 0;
}

bool PgTestServer::startServer(QString* error)
{
    if (!ownsCluster())
        return false;
    const QString options = QStringLiteral("-k %1 -c listen_addresses='' -c fsync=off -c max_connections=40")
                                .arg(folder_->path());
    running_ = runAsServerUser(serverProgram(QStringLiteral("pg_ctl")),
                               {QStringLiteral("-D"), folder_->filePath(QStringLiteral("data")), QStringLiteral("-l"),
                                folder_->filePath(QStringLiteral("server.log")), QStringLiteral("-w"), QStringLiteral("-t"),
                                QStringLiteral("60"), QStringLiteral("-o"), options, QStringLiteral("start")},
                               error);
    return running_;
}

bool PgTestServer::stopServer(QString* error)
{
    if (!ownsCluster())
        return false;
    running_ = false;
    return runAsServerUser(serverProgram(QStringLiteral("pg_ctl")),
                           {QStringLiteral("-D"), folder_->filePath(QStringLiteral("data")), QStringLiteral("-m"),
                            QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
                           error);
}

bool PgTestServer::runAsServerUser(const QString& program, const QStringList& arguments, QString* error) const
{
    const QString user = serverUser();
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(folder_->path());
    if (user.isEmpty())
        process.start(program, arguments);
    else
        process.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), user, QStringLiteral("--"), program} + arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAll());
        return false;
    }
    return true;
}

QString PgTestServer::uriFor(const QString& database) const
{
    QUrlQuery query;
    if (ownsCluster()) {
        query.addQueryItem(QStringLiteral("host"), folder_->path());
        query.addQueryItem(QStringLiteral("user"), QStringLiteral("bta"));
    } else {
        // The given server's settings, with another database.
        PQconninfoOption* options = PQconninfoParse(givenUri_.toUtf8().constData(), nullptr);
        for (PQconninfoOption* o = options; o && o->keyword; ++o)
            if (o->val && *o->val && qstrcmp(o->keyword, "dbname") != 0)
                query.addQueryItem(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));
        PQconninfoFree(options);
    }
    query.addQueryItem(QStringLiteral("dbname"), database);
    return QStringLiteral("postgresql:///?") + query.toString(QUrl::FullyEncoded);
}

QString PgTestServer::createDatabase(QString* error)
{
    const QString name = QStringLiteral("bta_test_%1_%2").arg(getpid()).arg(++databases_);
    const std::unique_ptr<desk::CPgConnection> admin
        = desk::CPgConnection::connect(ownsCluster() ? uriFor(QStringLiteral("postgres")) : givenUri_, error);
    if (!admin)
        return QString();
    admin->run(("DROP DATABASE IF EXISTS " + name.toStdString()).c_str());
    if (!admin->run(("CREATE DATABASE " + name.toStdString()).c_str())) {
        *error = admin->lastError();
        return QString();
    }
    if (!ownsCluster())
        created_ << name;
    return uriFor(name);
}

PgTestServer* PgServerTest::server = nullptr;
QString PgServerTest::serverError_;

void PgServerTest::SetUpTestSuite()
{
    server = new PgTestServer;
    serverError_.clear();
    server->start(&serverError_);
}

void PgServerTest::TearDownTestSuite()
{
    delete server;
    server = nullptr;
}

void PgServerTest::SetUp()
{
    HostTest::SetUp();
    ASSERT_TRUE(serverError_.isEmpty()) << serverError_.toStdString();
    QString error;
    uri = server->createDatabase(&error);
    ASSERT_FALSE(uri.isEmpty()) << error.toStdString();
}

std::vector<int> PgServerTest::serverWinBidAmounts(const std::string& bondCode) const
{
    QString error;
    const auto connection = desk::CPgConnection::connect(uri, &error);
    desk::CTeamDatabase::SSnapshot snapshot;
    EXPECT_TRUE(connection && desk::CTeamDatabase::read(*connection, bondCode, &snapshot, &error)) << error.toStdString();
    std::vector<int> amounts;
    for (const ttservice::IDataPtr& row : snapshot.sets[{bondCode, ttservice::RT_WIN_BID_DETAIL}])
        amounts.push_back(boost::dynamic_pointer_cast<ttservice::CWinBidInfoDetail>(row)->winBidAmount);
    return amounts;
}

} // namespace testsupport
