#include "CTeamLiveFeed.h"

#include <QStringList>
#include <chrono>
#include <poll.h>

#include "CPgConnection.h"
#include "CTeamDatabase.h"
#include "services/HostStore.h"

namespace desk {

namespace {

// How long one wait for the server lasts: the longest a stop waits for the thread.
constexpr int kPollMs = 200;

} // namespace

CTeamLiveFeed::CTeamLiveFeed(CTeamDatabase& database, ttservice::CHostStore& store, StateHandler onState,
                             ChangeHandler onChange)
    : database_(database), store_(store), onState_(std::move(onState)), onChange_(std::move(onChange)),
      thread_([this] { run(); })
{
}

CTeamLiveFeed::~CTeamLiveFeed()
{
    stop_ = true;
    thread_.join();
}

void CTeamLiveFeed::run()
{
    while (!stop_) {
        QString error;
        std::unique_ptr<CPgConnection> connection = CPgConnection::connect(database_.uri(), &error);
        // Listening starts before the catch-up read, so no save falls between the two.
        if (connection && listen(*connection) && catchUp(*connection)) {
            setConnected(true);
            while (!stop_ && waitAndDispatch(*connection)) {
            }
        }
        if (stop_)
            return;
        setConnected(false);
        sleepUnlessStopped(kRetryMs);
    }
}

bool CTeamLiveFeed::listen(CPgConnection& connection)
{
    return connection.run((std::string("LISTEN ") + CTeamDatabase::kChannel).c_str());
}

bool CTeamLiveFeed::waitAndDispatch(CPgConnection& connection)
{
    pollfd socket{connection.socket(), POLLIN, 0};
    const int ready = poll(&socket, 1, kPollMs);
    if (ready < 0)
        return errno == EINTR;
    if (ready == 0)
        return connection.isConnected();
    if (!connection.consumeInput())
        return false;
    std::string channel;
    std::string payload;
    while (connection.nextNotification(&channel, &payload)) {
        // bond code, revision and the saving desk's session, one per line
        const QStringList parts = QString::fromStdString(payload).split(QLatin1Char('\n'));
        if (parts.size() != 3 || parts[2] == database_.session())
            continue;
        const std::string bondCode = parts[0].toStdString();
        if (parts[1].toLongLong() > database_.revisionInStore(bondCode) && !apply(connection, bondCode))
            return false;
    }
    return true;
}

bool CTeamLiveFeed::apply(CPgConnection& connection, const std::string& bondCode)
{
    CTeamDatabase::SSnapshot snapshot;
    QString error;
    if (!CTeamDatabase::read(connection, bondCode, &snapshot, &error))
        return connection.isConnected();   // an unreadable save is skipped, a lost server retried
    const long long revision = snapshot.revisions.count(bondCode) ? snapshot.revisions[bondCode] : 0;
    if (revision <= database_.revisionInStore(bondCode))
        return true;
    for (const auto& set : snapshot.sets)
        store_.applySavedElsewhere(set.first.first, set.first.second, set.second);
    database_.noteInStore(bondCode, revision);
    if (onChange_)
        onChange_(bondCode);
    return true;
}

bool CTeamLiveFeed::catchUp(CPgConnection& connection)
{
    const CPgResult revisions = connection.exec("SELECT bond_code, revision FROM bond_desk.bond_revisions");
    if (!revisions.ok())
        return false;
    for (int i = 0; i < revisions.rows(); ++i) {
        const std::string bondCode = revisions.text(i, 0);
        if (revisions.number(i, 1) > database_.revisionInStore(bondCode) && !apply(connection, bondCode))
            return false;
    }
    return true;
}

void CTeamLiveFeed::setConnected(bool connected)
{
    if (connected_ == static_cast<int>(connected))
        return;
    connected_ = connected;
    if (onState_)
        onState_(connected);
}

void CTeamLiveFeed::sleepUnlessStopped(int ms) const
{
    for (int waited = 0; waited < ms && !stop_; waited += kPollMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
}

} // namespace desk
