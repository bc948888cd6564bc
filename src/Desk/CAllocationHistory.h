#pragma once
// The history of a bond's allocation, for compliance: every user action that changed it
// (a full save, the head strip's save, a return to tender execution) as one entry with
// the time, the host user, the action and the records of each area it touched as they
// were before and after. Entries are written in the transaction of the save itself and
// never changed or deleted: the file refuses it.

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "services/HostStore.h"

struct sqlite3;

namespace desk {

struct SHistoryEntry {
    long long id = 0;             // the file's number, in the order written
    QDateTime time;
    QString user;
    QString bondCode;
    QString action;               // "保存", "保存中标参数" or "返回执行投标"
    // Area name ("bidParameters", "underwriters", "products", "accounts") -> records as
    // documents; only the areas the action touched. Kept as the stored JSON text and read
    // when asked for: a save of a large tender keeps megabytes, and a list of entries
    // shows none of it.
    std::string beforeText;
    std::string afterText;
    QJsonObject before() const;
    QJsonObject after() const;
};

// One row of an entry that changed: its area, the row, and its volume before and after
// (in 亿, 4 decimals; "—" where the row was not there).
struct SHistoryChange {
    QString area;
    QString row;
    QString before;
    QString after;
};

// Where the desk reads a bond's history: the backend its saves go to.
class IAllocationHistoryReader {
public:
    virtual ~IAllocationHistoryReader() = default;
    // A bond's entries, oldest first; false with the reason.
    virtual bool readHistory(const std::string& bondCode, std::vector<SHistoryEntry>* entries, QString* error) const = 0;
};

class CAllocationHistory {
public:
    // An entry as the texts a backend stores in its columns, in order: time, user, bond,
    // action, before and after as JSON (UTF-8).
    using Columns = std::vector<std::string>;
    // The entries one committed unit makes, one per bond it changed.
    static std::vector<Columns> columnsOf(const ttservice::IHostStorePersistence::SUnit& unit, const QDateTime& time,
                                          const QString& user);
    // The user the host runs for: the login name of the desk's process.
    static QString hostUserName();

    // An entry as read back from those texts.
    static SHistoryEntry fromColumns(long long id, Columns columns);

    // SQLite: the table and the triggers that keep entries as written (no transaction of its own).
    static const char* schemaSql();
    // The names that schema gives the file's objects (table, index, triggers).
    static QStringList schemaNames();
    // Appends an entry's texts within the caller's transaction; false on a failure of the file.
    static bool append(sqlite3* db, const Columns& columns);
    // A bond's entries, oldest first; false with the reason.
    static bool read(sqlite3* db, const std::string& bondCode, std::vector<SHistoryEntry>* entries, QString* error);

    static QJsonArray toJson(const std::vector<SHistoryEntry>& entries);
    // The rows an entry changed, area by area (head, table one, table two, table three).
    static std::vector<SHistoryChange> changesOf(const SHistoryEntry& entry);
};

} // namespace desk
