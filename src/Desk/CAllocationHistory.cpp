#include "CAllocationHistory.h"

#include <QHash>
#include <QJsonDocument>
#include <algorithm>
#include <map>
#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>
#include <utility>

#include "CAllocationDump.h"
#include "KZ/Format.h"
#include "ttservice/Bson.h"

namespace desk {

namespace {

using Unit = ttservice::IHostStorePersistence::SUnit;

const char* const kTimeFormat = "yyyy-MM-dd HH:mm:ss";
const QString kAbsent = QStringLiteral("—");

struct SArea {
    int typeId;
    const char* key;     // in the entry's documents, as the dump names it
    const char* title;   // for the user
};
const SArea kAreas[] = {
    {ttservice::RT_ALLOC_PARAMS, "bidParameters", "中标参数"},
    {ttservice::RT_ALLOC_UNDERWRITER, "underwriters", "表一"},
    {ttservice::RT_ALLOC_PRODUCT, "products", "表二"},
    {ttservice::RT_WIN_BID_DETAIL, "accounts", "表三"},
};

const SArea* areaOf(int typeId)
{
    for (const SArea& area : kAreas)
        if (area.typeId == typeId)
            return &area;
    return nullptr;
}

QString number(const QJsonValue& value, double scale = 1.0)
{
    return value.isDouble() ? KZ::formatDoubleNumber(value.toDouble() / scale, 4, 0, false, QStringLiteral("非法值"))
                            : QStringLiteral("-");
}

// An area's rows as (row, volume) in their order; a row met again is numbered.
using Rows = std::vector<std::pair<QString, QString>>;

Rows rowsOf(const char* areaKey, const QJsonArray& documents)
{
    Rows rows;
    const QString key = QLatin1String(areaKey);
    for (const QJsonValue& value : documents) {
        const QJsonObject d = value.toObject();
        if (key == QLatin1String("bidParameters")) {
            rows.emplace_back(QStringLiteral("边际价位"), number(d.value(QStringLiteral("marginalPrice"))));
            rows.emplace_back(QStringLiteral("加权平均价位"), number(d.value(QStringLiteral("weightedMeanPrice"))));
            rows.emplace_back(QStringLiteral("票面利率"), number(d.value(QStringLiteral("couponRate"))));
        } else if (key == QLatin1String("underwriters")) {
            rows.emplace_back(d.value(QStringLiteral("underWriterName")).toString() + QLatin1Char(' ')
                                  + number(d.value(QStringLiteral("tenderPrice"))),
                              number(d.value(QStringLiteral("winAmount"))));
        } else if (key == QLatin1String("products")) {
            rows.emplace_back(d.value(QStringLiteral("productName")).toString() + QLatin1Char(' ')
                                  + number(d.value(QStringLiteral("tenderPrice"))),
                              number(d.value(QStringLiteral("winAmount"))));
        } else {
            rows.emplace_back(d.value(QStringLiteral("productName")).toString() + QLatin1Char(' ')
                                  + number(d.value(QStringLiteral("bidPrice"))) + QLatin1Char(' ')
                                  + d.value(QStringLiteral("account")).toString(),
                              number(d.value(QStringLiteral("winBidAmount")), 10000.0));
        }
    }
    std::map<QString, int> seen;
    for (auto& row : rows)
        if (const int n = ++seen[row.first]; n > 1)
            row.first += QStringLiteral(" (%1)").arg(n);
    return rows;
}

// Row -> volume; each row's name is unique within its list.
QHash<QString, QString> volumesOf(const Rows& rows)
{
    QHash<QString, QString> volumes;
    volumes.reserve(static_cast<int>(rows.size()));
    for (const auto& row : rows)
        volumes.insert(row.first, row.second);
    return volumes;
}

bool bindText(sqlite3_stmt* stmt, int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return sqlite3_bind_text(stmt, index, utf8.constData(), utf8.size(), SQLITE_TRANSIENT) == SQLITE_OK;
}

// What one bond's part of a committed unit becomes: the areas it touched, before and after.
struct SBondChange {
    std::string bondCode;
    std::string before;
    std::string after;
    bool touchedOtherThanHead = false;
    bool anyRowLeft = false;

    void add(const SArea& area, const ttservice::IDataList& rowsBefore, const ttservice::IDataList& rowsAfter)
    {
        appendArea(before, area, rowsBefore);
        appendArea(after, area, rowsAfter);
        touchedOtherThanHead = touchedOtherThanHead || area.typeId != kAreas[0].typeId;
        anyRowLeft = anyRowLeft || std::any_of(rowsAfter.begin(), rowsAfter.end(), [](const auto& row) { return row != nullptr; });
    }
    QString action() const
    {
        if (!anyRowLeft)
            return QStringLiteral("返回执行投标");
        return touchedOtherThanHead ? QStringLiteral("保存") : QStringLiteral("保存中标参数");
    }

private:
    static void appendArea(std::string& out, const SArea& area, const ttservice::IDataList& rows)
    {
        out += out.empty() ? "{\"" : ",\"";
        out += area.key;
        out += "\":";
        CAllocationDump::appendRecordsAsJson(out, rows);
    }
};

} // namespace

QJsonObject SHistoryEntry::before() const
{
    return QJsonDocument::fromJson(QByteArray::fromRawData(beforeText.data(), static_cast<int>(beforeText.size()))).object();
}

QJsonObject SHistoryEntry::after() const
{
    return QJsonDocument::fromJson(QByteArray::fromRawData(afterText.data(), static_cast<int>(afterText.size()))).object();
}

std::vector<CAllocationHistory::Columns> CAllocationHistory::columnsOf(const Unit& unit, const QDateTime& time,
                                                                       const QString& user)
{
    static const ttservice::IDataList kNone;
    std::vector<SBondChange> bonds;
    for (size_t i = 0; i < unit.after.size(); ++i) {
        const ttservice::IHostStorePersistence::SReplacement& after = unit.after[i];
        const SArea* area = areaOf(after.typeId);
        if (!area)
            continue;
        auto bond = std::find_if(bonds.begin(), bonds.end(), [&after](const SBondChange& b) { return b.bondCode == after.bondCode; });
        if (bond == bonds.end())
            bond = bonds.insert(bonds.end(), SBondChange{after.bondCode, {}, {}});
        bond->add(*area, i < unit.before.size() ? unit.before[i].rows : kNone, after.rows);
    }
    std::vector<Columns> entries;
    for (SBondChange& bond : bonds) {
        Columns& columns = entries.emplace_back();
        columns.reserve(6);
        columns.push_back(time.toString(QLatin1String(kTimeFormat)).toStdString());
        columns.push_back(user.toStdString());
        columns.push_back(bond.bondCode);
        columns.push_back(bond.action().toStdString());
        // Moved, never copied: at a large tender each is megabytes (a braced list would copy).
        columns.push_back(std::move(bond.before += '}'));
        columns.push_back(std::move(bond.after += '}'));
    }
    return entries;
}

QString CAllocationHistory::hostUserName()
{
    const QString login = qEnvironmentVariable("USER");
    if (!login.isEmpty())
        return login;
    const passwd* entry = getpwuid(getuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QStringLiteral("未知用户");
}

const char* CAllocationHistory::schemaSql()
{
    return "CREATE TABLE IF NOT EXISTS allocation_history ("
           "  id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, user_name TEXT NOT NULL,"
           "  bond_code TEXT NOT NULL, action TEXT NOT NULL, before TEXT NOT NULL, after TEXT NOT NULL);"
           "CREATE INDEX IF NOT EXISTS allocation_history_of_bond ON allocation_history (bond_code, id);"
           "CREATE TRIGGER IF NOT EXISTS allocation_history_kept BEFORE UPDATE ON allocation_history"
           "  BEGIN SELECT RAISE(ABORT, '中标分配历史不可修改'); END;"
           "CREATE TRIGGER IF NOT EXISTS allocation_history_not_deleted BEFORE DELETE ON allocation_history"
           "  BEGIN SELECT RAISE(ABORT, '中标分配历史不可删除'); END;";
}

QStringList CAllocationHistory::schemaNames()
{
    return {QStringLiteral("allocation_history"), QStringLiteral("allocation_history_of_bond"),
            QStringLiteral("allocation_history_kept"), QStringLiteral("allocation_history_not_deleted")};
}

SHistoryEntry CAllocationHistory::fromColumns(long long id, Columns columns)
{
    SHistoryEntry entry;
    entry.id = id;
    if (columns.size() < 6)
        return entry;
    entry.time = QDateTime::fromString(QString::fromStdString(columns[0]), QLatin1String(kTimeFormat));
    entry.user = QString::fromStdString(columns[1]);
    entry.bondCode = QString::fromStdString(columns[2]);
    entry.action = QString::fromStdString(columns[3]);
    entry.beforeText = std::move(columns[4]);
    entry.afterText = std::move(columns[5]);
    return entry;
}

bool CAllocationHistory::append(sqlite3* db, const Columns& columns)
{
    sqlite3_stmt* stmt = nullptr;
    const char* sql = "INSERT INTO allocation_history (time, user_name, bond_code, action, before, after)"
                      " VALUES (?1, ?2, ?3, ?4, ?5, ?6)";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return false;
    bool bound = true;
    for (size_t i = 0; i < columns.size(); ++i)   // the texts outlive the statement
        bound = bound && sqlite3_bind_text64(stmt, static_cast<int>(i) + 1, columns[i].data(), columns[i].size(), SQLITE_STATIC,
                                             SQLITE_UTF8) == SQLITE_OK;
    const bool ok = bound && sqlite3_step(stmt) == SQLITE_DONE;
    sqlite3_finalize(stmt);
    return ok;
}

bool CAllocationHistory::read(sqlite3* db, const std::string& bondCode, std::vector<SHistoryEntry>* entries, QString* error)
{
    sqlite3_stmt* stmt = nullptr;
    const char* sql = "SELECT id, time, user_name, bond_code, action, before, after FROM allocation_history"
                      " WHERE bond_code = ?1 ORDER BY id";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    bindText(stmt, 1, QString::fromStdString(bondCode));
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        Columns columns;
        for (int c = 1; c <= 6; ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));   // before its length
            columns.emplace_back(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
        }
        entries->push_back(fromColumns(sqlite3_column_int64(stmt, 0), std::move(columns)));
    }
    if (rc != SQLITE_DONE)
        *error = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

QJsonArray CAllocationHistory::toJson(const std::vector<SHistoryEntry>& entries)
{
    QJsonArray out;
    for (const SHistoryEntry& entry : entries) {
        QJsonObject object;
        object.insert(QStringLiteral("id"), static_cast<double>(entry.id));
        object.insert(QStringLiteral("time"), entry.time.toString(QLatin1String(kTimeFormat)));
        object.insert(QStringLiteral("user"), entry.user);
        object.insert(QStringLiteral("bondCode"), entry.bondCode);
        object.insert(QStringLiteral("action"), entry.action);
        object.insert(QStringLiteral("before"), entry.before());
        object.insert(QStringLiteral("after"), entry.after());
        out.append(object);
    }
    return out;
}

std::vector<SHistoryChange> CAllocationHistory::changesOf(const SHistoryEntry& entry)
{
    std::vector<SHistoryChange> changes;
    const QJsonObject documentsBefore = entry.before();
    const QJsonObject documentsAfter = entry.after();
    for (const SArea& area : kAreas) {
        const QString key = QLatin1String(area.key);
        if (!documentsBefore.contains(key) && !documentsAfter.contains(key))
            continue;
        const Rows before = rowsOf(area.key, documentsBefore.value(key).toArray());
        const Rows after = rowsOf(area.key, documentsAfter.value(key).toArray());
        const QHash<QString, QString> volumesBefore = volumesOf(before);
        const QHash<QString, QString> volumesAfter = volumesOf(after);
        // The rows as they were, then those the action added; a large tender has tens of
        // thousands, so each is found by its name rather than by a walk of the other list.
        for (const auto& row : before) {
            const QString now = volumesAfter.value(row.first, kAbsent);
            if (row.second != now)
                changes.push_back(SHistoryChange{QString::fromUtf8(area.title), row.first, row.second, now});
        }
        for (const auto& row : after)
            if (!volumesBefore.contains(row.first) && row.second != kAbsent)
                changes.push_back(SHistoryChange{QString::fromUtf8(area.title), row.first, kAbsent, row.second});
    }
    return changes;
}

} // namespace desk
