#include "CDeskDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <cstdio>
#include <map>
#include <sqlite3.h>

namespace desk {

namespace {

const char* const kCreateSchema =
    "CREATE TABLE IF NOT EXISTS record_sets ("
    "  bond_code TEXT NOT NULL, type_id INTEGER NOT NULL,"
    "  PRIMARY KEY (bond_code, type_id));"
    "CREATE TABLE IF NOT EXISTS records ("
    "  bond_code TEXT NOT NULL, type_id INTEGER NOT NULL, position INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY (bond_code, type_id, position));"
    "CREATE TABLE IF NOT EXISTS command_updates ("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT, command_ids TEXT NOT NULL);"
    "PRAGMA user_version = 1;";

// Closes a connection that never became a CDeskDatabase.
struct SConnectionGuard {
    sqlite3* db;
    ~SConnectionGuard() { if (db) sqlite3_close(db); }
    sqlite3* release() { sqlite3* d = db; db = nullptr; return d; }
};

QString sqliteMessage(sqlite3* db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

// Runs a one-row query; false when it fails.
bool queryText(sqlite3* db, const char* sql, QString* out)
{
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return false;
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW)
        *out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

void bindText(sqlite3_stmt* stmt, int index, const std::string& text)
{
    sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// Steps a statement that returns no rows and resets it for the next use.
bool runOnce(sqlite3_stmt* stmt)
{
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    return rc == SQLITE_DONE;
}

} // namespace

QString CDeskDatabase::defaultPath()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(dir).filePath(QStringLiteral("desk.sqlite"));
}

std::unique_ptr<CDeskDatabase> CDeskDatabase::open(const QString& path, QString* error)
{
    const auto fail = [&](const QString& what) {
        *error = QStringLiteral("%1: %2").arg(path, what);
        return std::unique_ptr<CDeskDatabase>();
    };
    if (QFileInfo(path).isDir())
        return fail(QStringLiteral("cannot open the database: this is a directory"));

    SConnectionGuard guard{nullptr};
    const QByteArray file = QFile::encodeName(path);
    if (sqlite3_open_v2(file.constData(), &guard.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("cannot open the database: ") + sqliteMessage(guard.db));
    sqlite3_busy_timeout(guard.db, 5000);

    QString versionText;
    if (!queryText(guard.db, "PRAGMA user_version", &versionText))
        return fail(QStringLiteral("cannot read the database: ") + sqliteMessage(guard.db));
    const int version = versionText.toInt();
    if (version > kSchemaVersion)
        return fail(QStringLiteral("the database has schema version %1, written by a newer desk; this desk reads "
                                   "versions up to %2 and leaves the file untouched")
                        .arg(version)
                        .arg(kSchemaVersion));
    if (sqlite3_db_readonly(guard.db, "main") == 1)
        return fail(QStringLiteral("the database is read-only; the desk needs to write to it"));

    QString journalMode;
    if (!queryText(guard.db, "PRAGMA journal_mode=WAL", &journalMode) || journalMode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return fail(QStringLiteral("cannot switch the database to write-ahead logging: ") + sqliteMessage(guard.db));
    char* message = nullptr;
    if (sqlite3_exec(guard.db, "PRAGMA synchronous=FULL", nullptr, nullptr, &message) != SQLITE_OK
        || sqlite3_exec(guard.db, "BEGIN IMMEDIATE", nullptr, nullptr, &message) != SQLITE_OK) {
        const QString what = QString::fromUtf8(message ? message : "unknown error");
        sqlite3_free(message);
        return fail(QStringLiteral("cannot write to the database: ") + what);
    }
    if (sqlite3_exec(guard.db, kCreateSchema, nullptr, nullptr, &message) != SQLITE_OK
        || sqlite3_exec(guard.db, "COMMIT", nullptr, nullptr, &message) != SQLITE_OK) {
        const QString what = QString::fromUtf8(message ? message : "unknown error");
        sqlite3_free(message);
        sqlite3_exec(guard.db, "ROLLBACK", nullptr, nullptr, nullptr);
        return fail(QStringLiteral("cannot write to the database: ") + what);
    }

    std::unique_ptr<CDeskDatabase> database(new CDeskDatabase(guard.release(), path));
    QString statementError;
    if (!database->prepareStatements(&statementError))
        return fail(QStringLiteral("cannot use the database: ") + statementError);
    return database;
}

CDeskDatabase::CDeskDatabase(sqlite3* db, const QString& path) : db_(db), path_(path) {}

CDeskDatabase::~CDeskDatabase()
{
    for (sqlite3_stmt* stmt : {deleteRows_, insertRow_, markSet_, insertCommandIds_})
        sqlite3_finalize(stmt);
    sqlite3_close(db_);
}

bool CDeskDatabase::prepareStatements(QString* error)
{
    const std::pair<sqlite3_stmt**, const char*> statements[] = {
        {&deleteRows_, "DELETE FROM records WHERE bond_code = ?1 AND type_id = ?2"},
        {&insertRow_, "INSERT INTO records (bond_code, type_id, position, data) VALUES (?1, ?2, ?3, ?4)"},
        {&markSet_, "INSERT OR IGNORE INTO record_sets (bond_code, type_id) VALUES (?1, ?2)"},
        {&insertCommandIds_, "INSERT INTO command_updates (command_ids) VALUES (?1)"},
    };
    for (const auto& s : statements) {
        if (sqlite3_prepare_v2(db_, s.second, -1, s.first, nullptr) != SQLITE_OK) {
            *error = lastSqliteError();
            return false;
        }
    }
    return true;
}

bool CDeskDatabase::loadInto(ttservice::CHostStore& store, QString* error) const
{
    // A set without rows stays in the file: the user cleared it, and the scenario's
    // records of that kind must not come back.
    const char* sql =
        "SELECT s.bond_code, s.type_id, r.position, r.data FROM record_sets s"
        " LEFT JOIN records r ON r.bond_code = s.bond_code AND r.type_id = s.type_id"
        " ORDER BY s.bond_code, s.type_id, r.position";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        *error = path_ + QStringLiteral(": cannot read the saved records: ") + lastSqliteError();
        return false;
    }
    std::map<std::pair<std::string, int>, ttservice::IDataList> sets;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const std::string bondCode(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                                   static_cast<size_t>(sqlite3_column_bytes(stmt, 0)));
        const int typeId = sqlite3_column_int(stmt, 1);
        ttservice::IDataList& rows = sets[{bondCode, typeId}];
        if (sqlite3_column_type(stmt, 3) == SQLITE_NULL)
            continue;
        const QString place = QStringLiteral("bond %1, record type %2, position %3")
                                  .arg(QString::fromStdString(bondCode)).arg(typeId).arg(sqlite3_column_int(stmt, 2));
        ttservice::IDataPtr record = ttservice::createRecord(typeId);
        if (!record) {
            *error = path_ + QStringLiteral(": unknown record type in the database (") + place + QLatin1Char(')');
            sqlite3_finalize(stmt);
            return false;
        }
        ttservice::BSONObj document;
        const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(stmt, 3));
        if (!ttservice::BSONObj::fromBytes(bytes, static_cast<size_t>(sqlite3_column_bytes(stmt, 3)), &document)
            || !record->bsonValueFromObj(document, false)) {
            *error = path_ + QStringLiteral(": damaged record in the database (") + place + QLatin1Char(')');
            sqlite3_finalize(stmt);
            return false;
        }
        rows.push_back(record);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        *error = path_ + QStringLiteral(": cannot read the saved records: ") + lastSqliteError();
        return false;
    }
    for (const auto& set : sets)
        store.putRecords(set.first.first, set.first.second, set.second);
    return true;
}

void CDeskDatabase::commit(const std::vector<SReplacement>& replacements, const std::vector<int>& commandIds)
{
    if (!exec("BEGIN IMMEDIATE")) {
        reportFailure(QStringLiteral("cannot start a transaction: ") + lastSqliteError());
        return;
    }
    bool ok = true;
    for (const SReplacement& replacement : replacements)
        ok = ok && writeReplacement(replacement);
    ok = ok && writeCommandIds(commandIds);
    if (ok && exec("COMMIT"))
        return;
    const QString what = lastSqliteError();
    exec("ROLLBACK");
    reportFailure(QStringLiteral("the save was not written: ") + what);
}

bool CDeskDatabase::writeReplacement(const SReplacement& replacement)
{
    bindText(deleteRows_, 1, replacement.bondCode);
    sqlite3_bind_int(deleteRows_, 2, replacement.typeId);
    if (!runOnce(deleteRows_))
        return false;
    bindText(markSet_, 1, replacement.bondCode);
    sqlite3_bind_int(markSet_, 2, replacement.typeId);
    if (!runOnce(markSet_))
        return false;
    int position = 0;
    for (const ttservice::IDataPtr& row : replacement.rows) {
        if (!row)
            continue;
        const ttservice::BSONObj document = row->bsonValueToObj();
        bindText(insertRow_, 1, replacement.bondCode);
        sqlite3_bind_int(insertRow_, 2, replacement.typeId);
        sqlite3_bind_int(insertRow_, 3, position++);
        sqlite3_bind_blob(insertRow_, 4, document.objdata(), static_cast<int>(document.objsize()), SQLITE_TRANSIENT);
        if (!runOnce(insertRow_))
            return false;
    }
    return true;
}

bool CDeskDatabase::writeCommandIds(const std::vector<int>& commandIds)
{
    if (commandIds.empty())
        return true;
    QStringList ids;
    for (int id : commandIds)
        ids << QString::number(id);
    bindText(insertCommandIds_, 1, ids.join(QLatin1Char(',')).toStdString());
    return runOnce(insertCommandIds_);
}

bool CDeskDatabase::exec(const char* sql)
{
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

QString CDeskDatabase::lastSqliteError() const
{
    return sqliteMessage(db_);
}

void CDeskDatabase::reportFailure(const QString& what)
{
    const QString message = path_ + QStringLiteral(": ") + what;
    if (failureHandler_)
        failureHandler_(message);
    else
        std::fprintf(stderr, "bond-allocation-desk: %s\n", message.toLocal8Bit().constData());
}

} // namespace desk
