#pragma once
// The desk's SQLite file: what the user saved through the panel (bid parameters,
// underwriter, product and account rows). Every store update is one transaction,
// committed (WAL, synchronous=FULL) before the update call returns, so a save the
// panel reports as done survives a crash of the process or of the machine.

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "services/HostStore.h"

struct sqlite3;
struct sqlite3_stmt;

namespace desk {

class CDeskDatabase : public ttservice::IHostStorePersistence {
public:
    // The layout this desk writes; a file of a later version is refused.
    static constexpr int kSchemaVersion = 1;

    // Opens (creating if need be) the file and brings its schema up to date. Returns null
    // with a message naming the file for a file that cannot be opened or written, that is
    // not a database, or that a newer desk wrote.
    static std::unique_ptr<CDeskDatabase> open(const QString& path, QString* error);
    // The file in the user's data directory.
    static QString defaultPath();

    ~CDeskDatabase() override;
    CDeskDatabase(const CDeskDatabase&) = delete;
    CDeskDatabase& operator=(const CDeskDatabase&) = delete;

    // Puts every saved record set into the store (replacing what is there); false with a
    // message for a record that cannot be read back.
    bool loadInto(ttservice::CHostStore& store, QString* error) const;

    // Store hook: the rows of each (bond, type) become exactly the given ones, atomically.
    void commit(const std::vector<SReplacement>& replacements, const std::vector<int>& commandIds) override;

    // Told of a commit that failed (rolled back); the default writes to stderr.
    using FailureHandler = std::function<void(const QString& message)>;
    void setFailureHandler(FailureHandler handler) { failureHandler_ = std::move(handler); }

    const QString& path() const { return path_; }

private:
    CDeskDatabase(sqlite3* db, const QString& path);
    bool prepareStatements(QString* error);
    bool writeReplacement(const SReplacement& replacement);
    bool writeCommandIds(const std::vector<int>& commandIds);
    bool exec(const char* sql);
    QString lastSqliteError() const;
    void reportFailure(const QString& what);

    sqlite3* db_;                               // owned, closed in the destructor
    QString path_;
    sqlite3_stmt* deleteRows_ = nullptr;        // owned
    sqlite3_stmt* insertRow_ = nullptr;         // owned
    sqlite3_stmt* markSet_ = nullptr;           // owned
    sqlite3_stmt* insertCommandIds_ = nullptr;  // owned
    FailureHandler failureHandler_;
};

} // namespace desk
