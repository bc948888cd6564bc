#include "CDeskDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <map>
#include <sqlite3.h>
#include <unistd.h>

#include "CAllocationHistory.h"

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
    "PRAGMA user_version = 2;";
// A file of the first layout (version 1) gains the history table; the rest is as it was.
const char* const kAddHistory = "PRAGMA user_version = 2;";

// Closes a connection that never became a CDeskDatabase.
struct SConnectionGuard {
    sqlite3* db;
    ~SConnectionGuard() { if (db) sqlite3_close(db); }
    sqlite3* release() { sqlite3* d = db; db = nullptr; return d; }
};

const char* const kReadOnly = "数据库为只读，无法保存（请检查文件及所在文件夹的写权限）";

bool isReadOnly(sqlite3* db)
{
    return db && (sqlite3_errcode(db) & 0xff) == SQLITE_READONLY;
}

// The reason of the connection's last failure in the user's words; SQLite's own text
// only for the rare kinds a user cannot act on anyway.
QString sqliteMessage(sqlite3* db)
{
    if (!db)
        return QStringLiteral("内存不足");
    switch (sqlite3_errcode(db) & 0xff) {
    case SQLITE_READONLY: return QStringLiteral("数据库为只读");
    case SQLITE_NOTADB: return QStringLiteral("这不是数据库文件");
    case SQLITE_CORRUPT: return QStringLiteral("数据库文件已损坏");
    case SQLITE_CANTOPEN: return QStringLiteral("无法打开文件（文件夹不存在或没有权限）");
    case SQLITE_PERM: return QStringLiteral("没有访问权限");
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("数据库正被另一个程序使用");
    case SQLITE_FULL: return QStringLiteral("磁盘已满");
    case SQLITE_IOERR: return QStringLiteral("读写磁盘出错");
    case SQLITE_NOMEM: return QStringLiteral("内存不足");
    default: break;
    }
    return QStringLiteral("数据库出错（SQLite：%1）").arg(QString::fromUtf8(sqlite3_errmsg(db)));
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

namespace {

const char* const kTables[] = {"record_sets", "records", "command_updates"};

// Why the desk must not use the file that is at path; empty when it may, *isEmpty
// telling whether it holds nothing yet and *needsHistory whether it is of the first
// layout, from before the allocation history. Read as an immutable file: no lock, no journal,
// no -wal or -shm beside it, not a byte written, whatever the file turns out to be.
QString refusalOf(const QString& path, bool* isEmpty, bool* needsHistory)
{
    SConnectionGuard guard{nullptr};
    QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded();
    uri += "?immutable=1";
    if (sqlite3_open_v2(uri.constData(), &guard.db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK)
        return QStringLiteral("无法打开数据库：") + sqliteMessage(guard.db);
    QString versionText;
    if (!queryText(guard.db, "PRAGMA user_version", &versionText))
        return QStringLiteral("无法读取数据库：") + sqliteMessage(guard.db);
    const int version = versionText.toInt();
    if (version > CDeskDatabase::kSchemaVersion)
        return QStringLiteral("数据库版本 %1 比本程序支持的版本 %2 新（由更新的程序写入），文件未被修改")
            .arg(version)
            .arg(CDeskDatabase::kSchemaVersion);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(guard.db, "SELECT name FROM sqlite_master WHERE name NOT LIKE 'sqlite!_%' ESCAPE '!'",
                           -1, &stmt, nullptr) != SQLITE_OK)
        return QStringLiteral("无法读取数据库：") + sqliteMessage(guard.db);
    QStringList names;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    *isEmpty = names.isEmpty() && version == 0;
    if (*isEmpty)
        return QString();
    QStringList ours;
    for (const char* table : kTables)
        ours << QString::fromLatin1(table);
    *needsHistory = version == 1;
    if (!*needsHistory)
        ours << CAllocationHistory::schemaNames();
    QStringList others;
    for (const QString& name : names)
        if (!ours.contains(name))
            others << name;
    const bool complete = std::all_of(ours.cbegin(), ours.cend(), [&](const QString& t) { return names.contains(t); });
    if (version >= 1 && complete && others.isEmpty())
        return QString();
    others.sort();
    return QStringLiteral("这不是本程序的数据库文件（%1），文件未被修改")
        .arg(others.isEmpty() ? QStringLiteral("缺少本程序的表") : QStringLiteral("含有其他程序的表 ") + others.join(QStringLiteral("、")));
}

bool canWrite(const QString& path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

} // namespace

std::unique_ptr<CDeskDatabase> CDeskDatabase::open(const QString& path, QString* error)
{
    const auto fail = [&](const QString& what) {
        *error = QStringLiteral("%1: %2").arg(path, what);
        return std::unique_ptr<CDeskDatabase>();
    };
    // A file or folder without the right to write fails at different steps; it is one reason.
    const auto failWith = [&](sqlite3* db, const QString& what) {
        return fail(isReadOnly(db) ? QString::fromUtf8(kReadOnly) : what + sqliteMessage(db));
    };
    const QFileInfo info(path);
    if (info.isDir())
        return fail(QStringLiteral("无法打开数据库：这是一个文件夹"));
    // A file that is there is judged before anything touches it: another program's file,
    // a newer desk's or one that cannot be written is refused as it was found.
    bool isEmpty = true;
    bool needsHistory = false;
    if (info.exists()) {
        const QString refusal = refusalOf(path, &isEmpty, &needsHistory);
        if (!refusal.isEmpty())
            return fail(refusal);
        if (!canWrite(path) || !canWrite(info.absolutePath()))
            return fail(QString::fromUtf8(kReadOnly));
    }

    SConnectionGuard guard{nullptr};
    const QByteArray file = QFile::encodeName(path);
    if (sqlite3_open_v2(file.constData(), &guard.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        return failWith(guard.db, QStringLiteral("无法打开数据库："));
    sqlite3_busy_timeout(guard.db, kBusyWaitMs);
    if (sqlite3_db_readonly(guard.db, "main") == 1)
        return fail(QString::fromUtf8(kReadOnly));

    QString journalMode;
    if (!queryText(guard.db, "PRAGMA journal_mode=WAL", &journalMode) || journalMode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return failWith(guard.db, QStringLiteral("无法将数据库切换到预写日志（WAL）模式："));
    char* message = nullptr;
    if (sqlite3_exec(guard.db, "PRAGMA synchronous=FULL", nullptr, nullptr, &message) != SQLITE_OK) {
        sqlite3_free(message);
        return failWith(guard.db, QStringLiteral("无法写入数据库："));
    }
    // Our own file keeps its schema; only a new one is given it, and one of the first
    // layout its history table.
    const char* const schema = isEmpty ? kCreateSchema : needsHistory ? kAddHistory : nullptr;
    if (schema && (sqlite3_exec(guard.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK
                   || sqlite3_exec(guard.db, schema, nullptr, nullptr, nullptr) != SQLITE_OK
                   || sqlite3_exec(guard.db, CAllocationHistory::schemaSql(), nullptr, nullptr, nullptr) != SQLITE_OK
                   || sqlite3_exec(guard.db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)) {
        failWith(guard.db, QStringLiteral("无法写入数据库："));   // before ROLLBACK resets the reason
        sqlite3_exec(guard.db, "ROLLBACK", nullptr, nullptr, nullptr);
        return std::unique_ptr<CDeskDatabase>();
    }

    std::unique_ptr<CDeskDatabase> database(new CDeskDatabase(guard.release(), path));
    QString statementError;
    if (!database->prepareStatements(&statementError))
        return fail(QStringLiteral("无法使用数据库：") + statementError);
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

bool CDeskDatabase::loadInto(ttservice::CHostStore& store, QString* error, QStringList* skipped) const
{
    // A set without rows stays in the file: the user cleared it, and the scenario's
    // records of that kind must not come back.
    const char* sql =
        "SELECT s.bond_code, s.type_id, r.position, r.data FROM record_sets s"
        " LEFT JOIN records r ON r.bond_code = s.bond_code AND r.type_id = s.type_id"
        " ORDER BY s.bond_code, s.type_id, r.position";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        *error = path_ + QStringLiteral(": 无法读取已保存的记录：") + lastSqliteError();
        return false;
    }
    std::map<std::pair<std::string, int>, ttservice::IDataList> sets;
    std::vector<ttservice::BSONElementView> elements;   // of the current row, kept for the next
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const std::string bondCode(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                                   static_cast<size_t>(sqlite3_column_bytes(stmt, 0)));
        const int typeId = sqlite3_column_int(stmt, 1);
        ttservice::IDataList& rows = sets[{bondCode, typeId}];
        if (sqlite3_column_type(stmt, 3) == SQLITE_NULL)
            continue;
        // Named only when it is skipped: making the text costs more than reading a record.
        const auto skip = [&](const char* why) {
            if (skipped)
                skipped->append(path_ + QString::fromUtf8(why)
                                + QStringLiteral("债券 %1，记录类型 %2，位置 %3）")
                                      .arg(QString::fromStdString(bondCode)).arg(typeId).arg(sqlite3_column_int(stmt, 2)));
        };
        // A record that cannot be read is left in the file as it is and kept out of the
        // store: the rest of the desk's work opens.
        ttservice::IDataPtr record = ttservice::createRecord(typeId);
        if (!record) {
            skip(": 已跳过未知类型的记录（");
            continue;
        }
        const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(stmt, 3));
        if (!ttservice::BSONObj::readValidated(bytes, static_cast<size_t>(sqlite3_column_bytes(stmt, 3)), &elements)
            || !record->bsonValueFromElements(elements)) {
            skip(": 已跳过无法读取的记录（");
            continue;
        }
        rows.push_back(record);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        *error = path_ + QStringLiteral(": 无法读取已保存的记录：") + lastSqliteError();
        return false;
    }
    for (const auto& set : sets)
        store.putRecords(set.first.first, set.first.second, set.second);
    // The pages read for the load are not read again: the window gets their memory.
    sqlite3_db_release_memory(db_);
    return true;
}

bool CDeskDatabase::commit(const SUnit& unit, QString* error)
{
    const auto fail = [this, error](const QString& reason) {
        *error = path_ + QStringLiteral(": ") + reason;
        return false;
    };
    if (!exec("BEGIN IMMEDIATE"))
        return fail(lastSqliteError());
    bool ok = true;
    for (const SReplacement& replacement : unit.after)
        ok = ok && writeReplacement(replacement);
    for (const std::vector<int>& commandIds : unit.commandUpdates)
        ok = ok && writeCommandIds(commandIds);
    // The history of the allocation is kept with the save itself: both or neither.
    const QDateTime now = ttservice::CHostStore::instance().now();
    for (const CAllocationHistory::Columns& entry : CAllocationHistory::columnsOf(unit, now, CAllocationHistory::hostUserName()))
        ok = ok && CAllocationHistory::append(db_, entry);
    if (ok && exec("COMMIT"))
        return true;
    const QString reason = lastSqliteError();   // before ROLLBACK resets it
    exec("ROLLBACK");
    return fail(reason);
}

bool CDeskDatabase::readHistory(const std::string& bondCode, std::vector<SHistoryEntry>* entries, QString* error) const
{
    if (CAllocationHistory::read(db_, bondCode, entries, error))
        return true;
    *error = path_ + QStringLiteral(": 无法读取中标分配历史：") + *error;
    return false;
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

} // namespace desk
