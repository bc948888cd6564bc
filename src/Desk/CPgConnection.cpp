#include "CPgConnection.h"

#include <charconv>
#include <libpq-fe.h>

namespace desk {

namespace {

bool isLost(const pg_conn* conn)
{
    return !conn || PQstatus(conn) != CONNECTION_OK;
}

// The server's notices (a shutdown among them) are not the desk's output: failures are
// read from the results.
void ignoreNotice(void*, const char*) {}

// The server's reason without its severity and context lines.
QString serverText(const pg_conn* conn)
{
    QString text = QString::fromUtf8(PQerrorMessage(conn)).trimmed().section(QLatin1Char('\n'), 0, 0);
    for (const char* severity : {"ERROR:", "FATAL:"})
        if (text.startsWith(QLatin1String(severity)))
            text = text.mid(static_cast<int>(qstrlen(severity))).trimmed();
    return text;
}

} // namespace

// ---------------------------------------------------------------- results

void CPgResult::clear(pg_result* result)
{
    PQclear(result);
}

bool CPgResult::ok() const
{
    if (!result_)
        return false;
    const ExecStatusType status = PQresultStatus(result_.get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

QByteArray CPgResult::sqlState() const
{
    const char* state = result_ ? PQresultErrorField(result_.get(), PG_DIAG_SQLSTATE) : nullptr;
    return state ? QByteArray(state) : QByteArray();
}

int CPgResult::rows() const
{
    return ok() ? PQntuples(result_.get()) : 0;
}

bool CPgResult::isNull(int row, int column) const
{
    return PQgetisnull(result_.get(), row, column) != 0;
}

std::string CPgResult::text(int row, int column) const
{
    return std::string(PQgetvalue(result_.get(), row, column), static_cast<size_t>(PQgetlength(result_.get(), row, column)));
}

long long CPgResult::number(int row, int column) const
{
    const char* value = PQgetvalue(result_.get(), row, column);
    long long out = 0;
    std::from_chars(value, value + PQgetlength(result_.get(), row, column), out);
    return out;
}

QByteArray CPgResult::bytes(int row, int column) const
{
    size_t size = 0;
    unsigned char* decoded = PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(result_.get(), row, column)), &size);
    if (!decoded)
        return QByteArray();
    const QByteArray out(reinterpret_cast<const char*>(decoded), static_cast<int>(size));
    PQfreemem(decoded);
    return out;
}

// ---------------------------------------------------------------- connection

std::unique_ptr<CPgConnection> CPgConnection::connect(const QString& uri, QString* error)
{
    const QByteArray conninfo = uri.toUtf8();
    pg_conn* conn = PQconnectdb(conninfo.constData());
    if (isLost(conn)) {
        *error = conn ? serverText(conn) : QStringLiteral("内存不足");
        PQfinish(conn);
        return nullptr;
    }
    PQsetClientEncoding(conn, "UTF8");
    PQsetNoticeProcessor(conn, &ignoreNotice, nullptr);
    std::unique_ptr<CPgConnection> connection(new CPgConnection(conn));
    return connection;
}

CPgConnection::~CPgConnection()
{
    PQfinish(conn_);
}

CPgResult CPgConnection::exec(const char* sql, const std::vector<SParam>& params)
{
    if (params.empty())   // the only form that takes several statements at once
        return CPgResult(PQexec(conn_, sql));
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    values.reserve(params.size());
    for (const SParam& p : params) {
        values.push_back(p.value.data());
        lengths.push_back(static_cast<int>(p.value.size()));
        formats.push_back(p.binary ? 1 : 0);
    }
    return CPgResult(PQexecParams(conn_, sql, static_cast<int>(params.size()), nullptr, values.data(), lengths.data(),
                                  formats.data(), 0));
}

bool CPgConnection::isConnected() const
{
    return !isLost(conn_);
}

bool CPgConnection::reconnect()
{
    PQreset(conn_);
    if (isLost(conn_))
        return false;
    PQsetClientEncoding(conn_, "UTF8");
    return true;
}

QString CPgConnection::lastError() const
{
    if (isLost(conn_))
        return QStringLiteral("与数据库服务器的连接已断开");
    return serverText(conn_);
}

int CPgConnection::socket() const
{
    return PQsocket(conn_);
}

bool CPgConnection::consumeInput()
{
    return PQconsumeInput(conn_) == 1 && !isLost(conn_);
}

bool CPgConnection::nextNotification(std::string* channel, std::string* payload)
{
    PGnotify* notification = PQnotifies(conn_);
    if (!notification)
        return false;
    *channel = notification->relname;
    *payload = notification->extra;
    PQfreemem(notification);
    return true;
}

CPgConnection::SParam pgText(const std::string& text)
{
    return {text, false};
}

CPgConnection::SParam pgText(long long number)
{
    return {std::to_string(number), false};
}

CPgConnection::SParam pgBytes(const void* data, size_t size)
{
    return {std::string(static_cast<const char*>(data), size), true};
}

} // namespace desk
