#pragma once
// The desk's SQLite file: what the user saved through the panel (bid parameters,
// underwriter, product and account rows). Everything one user action changed is one
// transaction, committed (WAL, synchronous=FULL) before the user is told it is done, so
// a save reported as done survives a crash of the process or of the machine, and a
// crash at any moment leaves all of an action or none of it.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CAllocationHistory.h"
#include "services/HostStore.h"

struct sqlite3;
struct sqlite3_stmt;

namespace desk {


class CDeskDatabase : public ttservice::IHostStorePersistence, public IAllocationHistoryReader {
public:
    // The layout this desk writes; a file of a later version is refused.
    static constexpr int kSchemaVersion = 2;   // 2: with the allocation history

    // Opens (creating if need be) the file, giving a new one the schema. Returns null with
    // a message naming the file for a file that cannot be opened or written, that is not a
    // database, that another program or a newer desk wrote; such a file is left as it
    // was found (same bytes, same journal mode, nothing beside it).
    static std::unique_ptr<CDeskDatabase> open(const QString& path, QString* error);
    // The file in the user's data directory.
    static QString defaultPath();

    ~CDeskDatabase() override;
    CDeskDatabase(const CDeskDatabase&) = delete;
    CDeskDatabase& operator=(const CDeskDatabase&) = delete;

    // Puts every saved record set into the store (replacing what is there); false with a
    // message when the file cannot be read. A record that cannot be read back is left
    // out, and named in skipped.
    bool loadInto(ttservice::CHostStore& store, QString* error, QStringList* skipped = nullptr) const;

    // Store hook: the rows of each (bond, type) become exactly the unit's, and its command
    // updates are recorded, in one transaction. On failure nothing is written and the
    // message names the file and the reason.
    bool commit(const SUnit& unit, QString* error) override;

    // How long a commit waits for another program's write to end before it fails: short,
    // because the user waits with it.
    static constexpr int kBusyWaitMs = 2000;

    // A bond's allocation history, oldest first (written with each commit).
    bool readHistory(const std::string& bondCode, std::vector<SHistoryEntry>* entries, QString* error) const override;

    const QString& path() const { return path_; }

private:
    CDeskDatabase(sqlite3* db, const QString& path);
    bool prepareStatements(QString* error);
    bool writeReplacement(const SReplacement& replacement);
    bool writeCommandIds(const std::vector<int>& commandIds);
    bool exec(const char* sql);
    QString lastSqliteError() const;

    sqlite3* db_;                               // owned, closed in the destructor
    QString path_;
    sqlite3_stmt* deleteRows_ = nullptr;        // owned
    sqlite3_stmt* insertRow_ = nullptr;         // owned
    sqlite3_stmt* markSet_ = nullptr;           // owned
    sqlite3_stmt* insertCommandIds_ = nullptr;  // owned
};

} // namespace desk
