#include "CTeamDatabase.h"

#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <set>
#include <unistd.h>

#include "CPgConnection.h"

namespace desk {

const char* const CTeamDatabase::kChannel = "bond_desk_saves";

namespace {

// Layouts by version: kMigrations[i] brings a schema of version i to version i + 1.
const char* const kMigrations[] = {
    "CREATE TABLE bond_desk.record_sets ("
    "  bond_code text NOT NULL, type_id integer NOT NULL,"
    "  PRIMARY KEY (bond_code, type_id));"
    "CREATE TABLE bond_desk.records ("
    "  bond_code text NOT NULL, type_id integer NOT NULL, position integer NOT NULL,"
    "  data bytea NOT NULL,"
    "  PRIMARY KEY (bond_code, type_id, position));"
    "CREATE TABLE bond_desk.command_updates ("
    "  id bigserial PRIMARY KEY, command_ids text NOT NULL);"
    "CREATE TABLE bond_desk.bond_revisions ("
    "  bond_code text PRIMARY KEY, revision bigint NOT NULL,"
    "  saved_by text NOT NULL, saved_at timestamptz NOT NULL);",
    // 2: the history of every allocation-changing action, kept as written.
    "CREATE TABLE bond_desk.allocation_history ("
    "  id bigserial PRIMARY KEY, time text NOT NULL, user_name text NOT NULL, bond_code text NOT NULL,"
    "  action text NOT NULL, before text NOT NULL, after text NOT NULL);"
    "CREATE INDEX allocation_history_of_bond ON bond_desk.allocation_history (bond_code, id);"
    "CREATE FUNCTION bond_desk.allocation_history_kept() RETURNS trigger LANGUAGE plpgsql AS"
    "  $$ BEGIN RAISE EXCEPTION '中标分配历史不可修改或删除'; END $$;"
    "CREATE TRIGGER allocation_history_kept BEFORE UPDATE OR DELETE ON bond_desk.allocation_history"
    "  FOR EACH ROW EXECUTE PROCEDURE bond_desk.allocation_history_kept();"
    "CREATE TRIGGER allocation_history_not_truncated BEFORE TRUNCATE ON bond_desk.allocation_history"
    "  FOR EACH STATEMENT EXECUTE PROCEDURE bond_desk.allocation_history_kept();",
};
static_assert(sizeof(kMigrations) / sizeof(kMigrations[0]) == CTeamDatabase::kSchemaVersion,
              "one migration per schema version");

const char* const kUnreachable = "无法连接数据库服务器（已显示的内容保持不变，连接恢复后可再次保存）";
// Rows per insert statement, well under the protocol's 65535 parameters.
constexpr size_t kRowsPerStatement = 4000;

// Rolls back a transaction that was not committed, however the function leaves.
class CTransaction {
public:
    explicit CTransaction(CPgConnection& connection, const char* begin = "BEGIN")
        : connection_(connection), open_(connection.run(begin)) {}
    ~CTransaction()
    {
        if (open_)
            connection_.run("ROLLBACK");
    }
    bool isOpen() const { return open_; }
    bool commit()
    {
        open_ = false;
        return connection_.run("COMMIT");
    }

private:
    CPgConnection& connection_;
    bool open_;
};

ttservice::IDataPtr decodeRecord(int typeId, const QByteArray& bytes)
{
    ttservice::IDataPtr record = ttservice::createRecord(typeId);
    std::vector<ttservice::BSONElementView> elements;
    if (!record || !ttservice::BSONObj::readValidated(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                                      static_cast<size_t>(bytes.size()), &elements)
        || !record->bsonValueFromElements(elements))
        return ttservice::IDataPtr();
    return record;
}

// A password in the URI never reaches a message.
QString shownUri(const QString& uri)
{
    return QUrl(uri).toString(QUrl::RemovePassword);
}

QString timeText(const QDateTime& at)
{
    return at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

bool CTeamDatabase::isServerUri(const QString& db)
{
    return db.startsWith(QLatin1String("postgresql://")) || db.startsWith(QLatin1String("postgres://"));
}

QString CTeamDatabase::currentUser()
{
    // On a shared server the machine tells apart two logins of one name.
    char host[256] = {};
    gethostname(host, sizeof(host) - 1);
    return CAllocationHistory::hostUserName() + QLatin1Char('@') + QString::fromLocal8Bit(host);
}

std::unique_ptr<CTeamDatabase> CTeamDatabase::open(const QString& uri, const QString& savedBy, QString* error)
{
    const auto fail = [&](const QString& what) {
        *error = QStringLiteral("%1: %2").arg(shownUri(uri), what);
        return std::unique_ptr<CTeamDatabase>();
    };
    QString reason;
    std::unique_ptr<CPgConnection> connection = CPgConnection::connect(uri, &reason);
    if (!connection)
        return fail(QStringLiteral("无法连接数据库服务器：") + reason);

    // Desks starting together take turns; a refused server is left as it was.
    CTransaction transaction(*connection);
    if (!transaction.isOpen() || !connection->run("SELECT pg_advisory_xact_lock(hashtext('bond_desk.schema'))")
        || !connection->run("CREATE SCHEMA IF NOT EXISTS bond_desk")
        || !connection->run("CREATE TABLE IF NOT EXISTS bond_desk.schema_version (version integer NOT NULL)"))
        return fail(QStringLiteral("无法创建数据库结构：") + connection->lastError());
    const CPgResult versionRow = connection->exec("SELECT max(version) FROM bond_desk.schema_version");
    if (!versionRow.ok())
        return fail(QStringLiteral("无法读取数据库版本：") + connection->lastError());
    const int version = versionRow.isNull(0, 0) ? 0 : static_cast<int>(versionRow.number(0, 0));
    if (version > kSchemaVersion)
        return fail(QStringLiteral("数据库版本 %1 比本程序支持的版本 %2 新（由更新的程序写入），数据库未被修改")
                        .arg(version)
                        .arg(kSchemaVersion));
    for (int v = version; v < kSchemaVersion; ++v)
        if (!connection->run(kMigrations[v]))
            return fail(QStringLiteral("无法创建数据库结构：") + connection->lastError());
    if (version < kSchemaVersion
        && (!connection->run("DELETE FROM bond_desk.schema_version")
            || !connection->run("INSERT INTO bond_desk.schema_version (version) VALUES ($1)", {pgText(kSchemaVersion)})))
        return fail(QStringLiteral("无法写入数据库版本：") + connection->lastError());
    if (!transaction.commit())
        return fail(QStringLiteral("无法创建数据库结构：") + connection->lastError());
    return std::unique_ptr<CTeamDatabase>(new CTeamDatabase(std::move(connection), uri, savedBy));
}

CTeamDatabase::CTeamDatabase(std::unique_ptr<CPgConnection> connection, const QString& uri, const QString& savedBy)
    : connection_(std::move(connection)), uri_(uri), savedBy_(savedBy),
      session_(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

CTeamDatabase::~CTeamDatabase() = default;

bool CTeamDatabase::read(CPgConnection& connection, const std::string& bondCode, SSnapshot* out, QString* error)
{
    // One snapshot: the revisions are those of exactly the rows read.
    CTransaction transaction(connection, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    const bool all = bondCode.empty();
    const std::vector<CPgConnection::SParam> bond = all ? std::vector<CPgConnection::SParam>() : std::vector<CPgConnection::SParam>{pgText(bondCode)};
    const CPgResult revisions = connection.exec(all ? "SELECT bond_code, revision FROM bond_desk.bond_revisions"
                                                    : "SELECT bond_code, revision FROM bond_desk.bond_revisions WHERE bond_code = $1",
                                                bond);
    // A set without rows stays: the user cleared it, and the scenario's rows must not come back.
    const CPgResult rows = connection.exec(
        all ? "SELECT s.bond_code, s.type_id, r.position, r.data FROM bond_desk.record_sets s"
              " LEFT JOIN bond_desk.records r ON r.bond_code = s.bond_code AND r.type_id = s.type_id"
              " ORDER BY s.bond_code, s.type_id, r.position"
            : "SELECT s.bond_code, s.type_id, r.position, r.data FROM bond_desk.record_sets s"
              " LEFT JOIN bond_desk.records r ON r.bond_code = s.bond_code AND r.type_id = s.type_id"
              " WHERE s.bond_code = $1 ORDER BY s.type_id, r.position",
        bond);
    if (!transaction.isOpen() || !revisions.ok() || !rows.ok()) {
        *error = QStringLiteral("无法读取已保存的记录：") + connection.lastError();
        return false;
    }
    transaction.commit();
    for (int i = 0; i < revisions.rows(); ++i)
        out->revisions[revisions.text(i, 0)] = revisions.number(i, 1);
    for (int i = 0; i < rows.rows(); ++i) {
        const std::string code = rows.text(i, 0);
        const int typeId = static_cast<int>(rows.number(i, 1));
        ttservice::IDataList& set = out->sets[{code, typeId}];
        if (rows.isNull(i, 3))
            continue;
        ttservice::IDataPtr record = decodeRecord(typeId, rows.bytes(i, 3));
        if (record)
            set.push_back(record);
        else
            out->skipped << QStringLiteral("已跳过无法读取的记录（债券 %1，记录类型 %2，位置 %3）")
                                .arg(QString::fromStdString(code)).arg(typeId).arg(rows.number(i, 2));
    }
    return true;
}

bool CTeamDatabase::loadInto(ttservice::CHostStore& store, QString* error, QStringList* skipped)
{
    SSnapshot snapshot;
    if (!read(*connection_, std::string(), &snapshot, error)) {
        *error = shownUri(uri_) + QStringLiteral(": ") + *error;
        return false;
    }
    for (const auto& set : snapshot.sets)
        store.putRecords(set.first.first, set.first.second, set.second);
    if (skipped)
        for (const QString& record : snapshot.skipped)
            skipped->append(shownUri(uri_) + QStringLiteral(": ") + record);
    std::lock_guard<std::mutex> lock(revisionsMutex_);
    inStore_ = snapshot.revisions;
    base_ = snapshot.revisions;
    return true;
}

bool CTeamDatabase::reloadBond(ttservice::CHostStore& store, const std::string& bondCode, QString* error)
{
    SSnapshot snapshot;
    if (!ensureConnected(error) || !read(*connection_, bondCode, &snapshot, error))
        return false;
    for (const auto& set : snapshot.sets)
        store.putRecords(set.first.first, set.first.second, set.second);
    const long long revision = snapshot.revisions.count(bondCode) ? snapshot.revisions[bondCode] : 0;
    std::lock_guard<std::mutex> lock(revisionsMutex_);
    inStore_[bondCode] = revision;
    base_[bondCode] = revision;
    return true;
}

long long CTeamDatabase::revisionInStore(const std::string& bondCode) const
{
    std::lock_guard<std::mutex> lock(revisionsMutex_);
    const auto it = inStore_.find(bondCode);
    return it == inStore_.end() ? 0 : it->second;
}

long long CTeamDatabase::baseRevision(const std::string& bondCode) const
{
    std::lock_guard<std::mutex> lock(revisionsMutex_);
    const auto it = base_.find(bondCode);
    return it == base_.end() ? 0 : it->second;
}

void CTeamDatabase::noteInStore(const std::string& bondCode, long long revision)
{
    std::lock_guard<std::mutex> lock(revisionsMutex_);
    long long& known = inStore_[bondCode];
    if (revision > known)
        known = revision;
}

void CTeamDatabase::takeUp(const std::string& bondCode)
{
    std::lock_guard<std::mutex> lock(revisionsMutex_);
    const auto it = inStore_.find(bondCode);
    base_[bondCode] = it == inStore_.end() ? 0 : it->second;
}

bool CTeamDatabase::ensureConnected(QString* error)
{
    if (connection_->isConnected() || connection_->reconnect())
        return true;
    *error = QString::fromUtf8(kUnreachable);
    return false;
}

QString CTeamDatabase::failureText() const
{
    return connection_->isConnected() ? connection_->lastError() : QString::fromUtf8(kUnreachable);
}

bool CTeamDatabase::commit(const SUnit& unit, QString* error)
{
    lastConflict_ = SConflict();
    // A connection the server dropped since the last save is only noticed when used: then
    // it is made again once, before anything of this save was sent.
    std::unique_ptr<CTransaction> transaction(new CTransaction(*connection_));
    if (!transaction->isOpen() && !connection_->isConnected()) {
        transaction.reset();
        if (connection_->reconnect())
            transaction.reset(new CTransaction(*connection_));
    }
    if (!transaction || !transaction->isOpen()) {
        *error = failureText();
        return false;
    }
    // Bonds in a fixed order, so two desks saving the same bonds never wait on each other.
    std::set<std::string> bonds;
    for (const SReplacement& replacement : unit.after)
        bonds.insert(replacement.bondCode);
    for (const std::string& bond : bonds)
        if (!lockRevision(bond, error))
            return false;
    bool ok = true;
    for (const SReplacement& replacement : unit.after)
        ok = ok && writeReplacement(replacement);
    for (const std::vector<int>& commandIds : unit.commandUpdates)
        ok = ok && writeCommandIds(commandIds);
    ok = ok && writeHistory(unit);   // with the save itself: both or neither
    std::map<std::string, long long> saved;
    for (const std::string& bond : bonds)
        ok = ok && finishBond(bond, &saved[bond]);
    // A connection lost at COMMIT leaves it unknown whether the save arrived; the other
    // desks and a reload show what the server holds.
    if (!ok || !transaction->commit()) {
        *error = failureText();
        return false;
    }
    std::lock_guard<std::mutex> lock(revisionsMutex_);
    for (const auto& s : saved) {
        inStore_[s.first] = s.second;
        base_[s.first] = s.second;
    }
    return true;
}

bool CTeamDatabase::writeHistory(const SUnit& unit)
{
    const QDateTime now = ttservice::CHostStore::instance().now();
    for (const CAllocationHistory::Columns& entry : CAllocationHistory::columnsOf(unit, now, savedBy_)) {
        std::vector<CPgConnection::SParam> params;
        for (const std::string& column : entry)
            params.push_back(pgText(column));
        if (!connection_->run("INSERT INTO bond_desk.allocation_history (time, user_name, bond_code, action, before, after)"
                              " VALUES ($1, $2, $3, $4, $5, $6)",
                              params))
            return false;
    }
    return true;
}

bool CTeamDatabase::readHistory(const std::string& bondCode, std::vector<SHistoryEntry>* entries, QString* error) const
{
    const CPgResult rows = connection_->exec("SELECT id, time, user_name, bond_code, action, before, after"
                                             " FROM bond_desk.allocation_history WHERE bond_code = $1 ORDER BY id",
                                             {pgText(bondCode)});
    if (!rows.ok()) {
        *error = shownUri(uri_) + QStringLiteral(": 无法读取中标分配历史：") + failureText();
        return false;
    }
    for (int i = 0; i < rows.rows(); ++i) {
        CAllocationHistory::Columns columns;
        for (int c = 1; c <= 6; ++c)
            columns.push_back(rows.text(i, c));
        entries->push_back(CAllocationHistory::fromColumns(rows.number(i, 0), std::move(columns)));
    }
    return true;
}

bool CTeamDatabase::lockRevision(const std::string& bondCode, QString* error)
{
    const CPgConnection::SParam bond = pgText(bondCode);
    const CPgResult row = connection_->run(
                              "INSERT INTO bond_desk.bond_revisions (bond_code, revision, saved_by, saved_at)"
                              " VALUES ($1, 0, '', now()) ON CONFLICT (bond_code) DO NOTHING",
                              {bond})
        ? connection_->exec("SELECT revision, saved_by, (extract(epoch FROM saved_at) * 1000)::bigint"
                            " FROM bond_desk.bond_revisions WHERE bond_code = $1 FOR UPDATE",
                            {bond})
        : CPgResult();
    if (row.rows() != 1) {
        *error = failureText();
        return false;
    }
    if (row.number(0, 0) == baseRevision(bondCode))
        return true;
    lastConflict_.bondCode = bondCode;
    lastConflict_.savedBy = QString::fromStdString(row.text(0, 1));
    lastConflict_.savedAt = QDateTime::fromMSecsSinceEpoch(row.number(0, 2));
    *error = QStringLiteral("债券 %1 的分配已由 %2 于 %3 保存")
                 .arg(QString::fromStdString(bondCode), lastConflict_.savedBy, timeText(lastConflict_.savedAt));
    return false;
}

bool CTeamDatabase::writeReplacement(const SReplacement& replacement)
{
    const CPgConnection::SParam bond = pgText(replacement.bondCode);
    const CPgConnection::SParam type = pgText(replacement.typeId);
    if (!connection_->run("DELETE FROM bond_desk.records WHERE bond_code = $1 AND type_id = $2", {bond, type})
        || !connection_->run("INSERT INTO bond_desk.record_sets (bond_code, type_id) VALUES ($1, $2)"
                             " ON CONFLICT DO NOTHING",
                             {bond, type}))
        return false;
    // Many rows per statement: a large tender's ten thousand rows in a few round trips.
    std::vector<CPgConnection::SParam> params;
    int position = 0;
    const auto flush = [&]() {
        if (params.empty())
            return true;
        std::string sql = "INSERT INTO bond_desk.records (bond_code, type_id, position, data) VALUES ";
        for (size_t i = 0; i < params.size(); ++i)
            sql += (i ? ",($1, $2, " : "($1, $2, ") + std::to_string(position - static_cast<int>(params.size()) + static_cast<int>(i))
                + ", $" + std::to_string(i + 3) + ")";
        params.insert(params.begin(), {bond, type});
        const bool written = connection_->run(sql.c_str(), params);
        params.clear();
        return written;
    };
    for (const ttservice::IDataPtr& row : replacement.rows) {
        if (!row)
            continue;
        const ttservice::BSONObj document = row->bsonValueToObj();
        params.push_back(pgBytes(document.objdata(), document.objsize()));
        ++position;
        if (params.size() == kRowsPerStatement && !flush())
            return false;
    }
    return flush();
}

bool CTeamDatabase::writeCommandIds(const std::vector<int>& commandIds)
{
    if (commandIds.empty())
        return true;
    QStringList ids;
    for (int id : commandIds)
        ids << QString::number(id);
    return connection_->run("INSERT INTO bond_desk.command_updates (command_ids) VALUES ($1)",
                            {pgText(ids.join(QLatin1Char(',')).toStdString())});
}

bool CTeamDatabase::finishBond(const std::string& bondCode, long long* revision)
{
    const CPgResult row = connection_->exec("UPDATE bond_desk.bond_revisions SET revision = revision + 1,"
                                            " saved_by = $2, saved_at = now() WHERE bond_code = $1 RETURNING revision",
                                            {pgText(bondCode), pgText(savedBy_.toStdString())});
    if (row.rows() != 1)
        return false;
    *revision = row.number(0, 0);
    // Delivered to the other desks when (and only if) the transaction commits.
    const std::string payload = bondCode + '\n' + std::to_string(*revision) + '\n' + session_.toStdString();
    return connection_->run("SELECT pg_notify($1, $2)", {pgText(kChannel), pgText(payload)});
}

} // namespace desk
