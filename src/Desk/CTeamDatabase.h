#pragma once
// The team's store on a PostgreSQL server: what every desk of the team saved through the
// panel, in the schema "bond_desk". Each store update is one transaction that first checks
// the bond's revision: a save based on an allocation another desk has replaced since is
// refused whole, naming who saved it and when, so no one's save is lost or mixed with
// another's. Each commit notifies the other desks (CTeamLiveFeed) of the bond it changed.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CAllocationHistory.h"
#include "services/HostStore.h"

namespace desk {

class CPgConnection;

class CTeamDatabase : public ttservice::IHostStorePersistence, public IAllocationHistoryReader {
public:
    // The layout this desk writes; a server whose schema a later desk wrote is refused.
    static constexpr int kSchemaVersion = 2;   // 2: with the allocation history
    // The channel the desks' saves are announced on.
    static const char* const kChannel;

    // Whether --db names a server rather than a file.
    static bool isServerUri(const QString& db);
    // Connects and creates or migrates the schema. savedBy names this desk's user in the
    // conflict messages of the other desks. Null with a message when the server cannot be
    // reached or holds a newer schema (then nothing on it was changed).
    static std::unique_ptr<CTeamDatabase> open(const QString& uri, const QString& savedBy, QString* error);
    // The desk's user as the other desks name them: login name and machine.
    static QString currentUser();

    ~CTeamDatabase() override;
    CTeamDatabase(const CTeamDatabase&) = delete;
    CTeamDatabase& operator=(const CTeamDatabase&) = delete;

    // Every bond's saved record sets and revision, as the server holds them at one moment.
    struct SSnapshot {
        std::map<std::pair<std::string, int>, ttservice::IDataList> sets;   // (bond, type) -> rows
        std::map<std::string, long long> revisions;                        // bond -> revision
        QStringList skipped;   // records that could not be read, left out and named here
    };
    // Reads all bonds (bondCode empty) or one; false with a message when the server could
    // not be read. A record that cannot be read is left out, not the rest with it.
    static bool read(CPgConnection& connection, const std::string& bondCode, SSnapshot* out, QString* error);

    // Puts everything saved into the store; each bond's allocation is then the one the
    // desk's next save of it is based on. skipped: the records that could not be read.
    bool loadInto(ttservice::CHostStore& store, QString* error, QStringList* skipped = nullptr);
    // Reads one bond again after a refused save, replaces it in the store and bases the
    // next save on it.
    bool reloadBond(ttservice::CHostStore& store, const std::string& bondCode, QString* error);

    // Store hook: one transaction, refused whole when a bond changed on the server since.
    bool commit(const SUnit& unit, QString* error) override;

    // A bond's allocation history, oldest first (written with each commit).
    bool readHistory(const std::string& bondCode, std::vector<SHistoryEntry>* entries, QString* error) const override;

    // Who saved first when the last commit was refused for another desk's save.
    struct SConflict {
        std::string bondCode;   // empty: the last commit was not refused for that
        QString savedBy;
        QDateTime savedAt;
    };
    const SConflict& lastConflict() const { return lastConflict_; }

    // Revisions: the one the store holds of a bond (live changes included) and the one
    // this desk's next save of the bond is based on.
    long long revisionInStore(const std::string& bondCode) const;
    long long baseRevision(const std::string& bondCode) const;
    // Live changes reached the store; shownBond: the panel now shows the bond as stored.
    void noteInStore(const std::string& bondCode, long long revision);
    void takeUp(const std::string& bondCode);

    const QString& uri() const { return uri_; }
    const QString& session() const { return session_; }   // tells this desk's notifications apart

private:
    CTeamDatabase(std::unique_ptr<CPgConnection> connection, const QString& uri, const QString& savedBy);
    bool ensureConnected(QString* error);
    QString failureText() const;   // why a statement failed, a lost server said plainly
    // Checks and locks the bond's revision row; false with the reason.
    bool lockRevision(const std::string& bondCode, QString* error);
    bool writeReplacement(const SReplacement& replacement);
    bool writeCommandIds(const std::vector<int>& commandIds);
    bool writeHistory(const SUnit& unit);
    bool finishBond(const std::string& bondCode, long long* revision);

    std::unique_ptr<CPgConnection> connection_;
    QString uri_;
    QString savedBy_;
    QString session_;
    SConflict lastConflict_;

    mutable std::mutex revisionsMutex_;   // the live feed's thread notes revisions too
    std::map<std::string, long long> inStore_;
    std::map<std::string, long long> base_;
};

} // namespace desk
