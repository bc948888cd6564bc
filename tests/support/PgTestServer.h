#pragma once
// A PostgreSQL server for the team desk's tests: a throwaway cluster of the test's own
// (initdb into a temporary folder, reached only through a Unix socket in that folder, no
// TCP port), or the server BTA_TEST_PG_URI names. Each test takes a fresh database on it.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

class PgTestServer {
public:
    PgTestServer() = default;
    // Stops a cluster of its own and removes its folder.
    ~PgTestServer();
    PgTestServer(const PgTestServer&) = delete;
    PgTestServer& operator=(const PgTestServer&) = delete;

    // Starts the cluster (or checks the given server); false with the reason.
    bool start(QString* error);
    // A new empty database on the server, as a URI the desk takes with --db.
    QString createDatabase(QString* error);

    // Only a cluster of its own can be stopped and started under a running desk.
    bool ownsCluster() const { return folder_ != nullptr; }
    bool stopServer(QString* error);
    bool startServer(QString* error);

private:
    bool runAsServerUser(const QString& program, const QStringList& arguments, QString* error) const;
    QString uriFor(const QString& database) const;
    // A test program that dies leaves no server running: a watcher process stops the
    // cluster and removes its folder once this process is gone.
    void startWatcher();
    void endWatcher();

    std::unique_ptr<QTemporaryDir> folder_;   // data and socket of a cluster of its own
    QString givenUri_;
    bool running_ = false;
    QStringList created_;   // on a given server, dropped at the end
    int databases_ = 0;
    int watcher_ = 0;   // process id, 0 when none
};

// A test on a fresh host stand-in and a fresh database of the program's one server.
class PgServerTest : public HostTest {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();   // stops the cluster
    void SetUp() override;

    // The winBidAmount of each win-bid detail the server holds of the bond, in order.
    std::vector<int> serverWinBidAmounts(const std::string& bondCode) const;

    static PgTestServer* server;
    QString uri;   // the test's database

private:
    static QString serverError_;
};

} // namespace testsupport
