#pragma once
// A desk on the team's server: the store kept by CTeamDatabase, the other desks' saves
// brought in live by CTeamLiveFeed, and what the window shows of both: the server's state
// in the status bar, and a save refused because another desk saved the bond first, with
// the offer to load that allocation.

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

class QLabel;

namespace ttservice {
class CHostStore;
}

namespace desk {

class CDeskWindow;
class CTeamDatabase;
class CTeamLiveFeed;

class CTeamDesk : public QObject {
    Q_OBJECT
public:
    // Connects as the current user; null with a message.
    static std::unique_ptr<CTeamDesk> open(const QString& uri, QString* error);
    ~CTeamDesk() override;

    CTeamDatabase& database() const { return *database_; }
    bool loadInto(ttservice::CHostStore& store, QString* error, QStringList* skipped);
    // Starts the live feed and shows its state and the refused saves in the window;
    // window: not owned, outlives this desk's feed (detach before it goes).
    void attachTo(CDeskWindow& window);
    void detach();

    // What the status bar says of the server.
    static QString stateText(bool connected);
    // Asked under a save refused for another desk's save ("确定" reloads).
    static QString reloadQuestion() { return QStringLiteral("是否重新载入最新的分配？"); }

private:
    explicit CTeamDesk(std::unique_ptr<CTeamDatabase> database);
    void showState(bool connected);
    void tellRefusal(const QString& message);
    void reload(const std::string& bondCode);

    std::unique_ptr<CTeamDatabase> database_;
    std::unique_ptr<CTeamLiveFeed> feed_;
    CDeskWindow* window_ = nullptr;   // not owned
    QLabel* stateLabel_ = nullptr;    // owned by the window's status bar
};

} // namespace desk
