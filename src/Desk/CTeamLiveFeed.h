#pragma once
// Brings the other desks' saves into this desk's store as they commit: a connection of
// its own listens on the team database's channel, reads each bond another desk saved and
// hands its rows to the store, which announces the changed win-bid details to the
// panel's subscription like any save. When the server goes away the feed says so, keeps
// trying every second, and once back reads every bond that changed meanwhile.

#include <QString>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace ttservice {
class CHostStore;
}

namespace desk {

class CPgConnection;
class CTeamDatabase;

class CTeamLiveFeed {
public:
    // Told on the feed's thread whenever the server is lost or is back.
    using StateHandler = std::function<void(bool connected)>;
    // Told on the feed's thread of each bond another desk's save brought into the store.
    using ChangeHandler = std::function<void(const std::string& bondCode)>;

    // database and store: not owned, must outlive the feed. Starts listening at once.
    CTeamLiveFeed(CTeamDatabase& database, ttservice::CHostStore& store, StateHandler onState,
                  ChangeHandler onChange = ChangeHandler());
    // Stops and joins the feed's thread.
    ~CTeamLiveFeed();
    CTeamLiveFeed(const CTeamLiveFeed&) = delete;
    CTeamLiveFeed& operator=(const CTeamLiveFeed&) = delete;

    static constexpr int kRetryMs = 1000;

private:
    void run();
    bool listen(CPgConnection& connection);
    // Waits for input up to a short while; false when the connection broke.
    bool waitAndDispatch(CPgConnection& connection);
    bool apply(CPgConnection& connection, const std::string& bondCode);   // one bond from the server
    bool catchUp(CPgConnection& connection);                              // every bond that moved
    void setConnected(bool connected);
    void sleepUnlessStopped(int ms) const;

    CTeamDatabase& database_;
    ttservice::CHostStore& store_;
    StateHandler onState_;
    ChangeHandler onChange_;
    std::atomic<bool> stop_{false};
    int connected_ = -1;   // -1 unknown, on the feed's thread only
    std::thread thread_;
};

} // namespace desk
