#include "CPgConnection.h"

#include <charconv>
#include <dlfcn.h>
#include <libpq-fe.h>

namespace desk {

namespace {

// The client library, loaded when the desk first talks to a server: a desk on its own file
// never maps it, nor the TLS, Kerberos and LDAP libraries it brings (5 MB resident and
// their start-up work in every start). Each function is called through the table under
// its own name.
#define BTA_LIBPQ_FUNCTIONS(F)                                                                       \
    F(PQconnectdb) F(PQfinish) F(PQstatus) F(PQerrorMessage) F(PQsetClientEncoding)                  \
    F(PQsetNoticeProcessor) F(PQexec) F(PQexecParams) F(PQresultStatus) F(PQresultErrorField)       \
    F(PQntuples) F(PQgetisnull) F(PQgetvalue) F(PQgetlength) F(PQunescapeBytea) F(PQfreemem)         \
    F(PQclear) F(PQreset) F(PQsocket) F(PQconsumeInput) F(PQnotifies)

struct SLibpq {
#define BTA_LIBPQ_MEMBER(name) decltype(&::name) name = nullptr;
    BTA_LIBPQ_FUNCTIONS(BTA_LIBPQ_MEMBER)
#undef BTA_LIBPQ_MEMBER
    QString error;   // why it could not be loaded; empty once it is

    SLibpq()
    {
        void* library = dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);   // kept for the process
        if (!library) {
            error = QStringLiteral("无法加载 PostgreSQL 客户端库 libpq.so.5（请安装 libpq5）：") + QString::fromLocal8Bit(dlerror());
            return;
        }
#define BTA_LIBPQ_RESOLVE(name) name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name)); \
        if (!name) { error = QStringLiteral("PostgreSQL 客户端库 libpq.so.5 缺少 ") + QLatin1String(#name); return; }
        BTA_LIBPQ_FUNCTIONS(BTA_LIBPQ_RESOLVE)
#undef BTA_LIBPQ_RESOLVE
    }
};

const SLibpq& pq()
{
    static const SLibpq library;
    return library;
}

bool isLost(const pg_conn* conn)
{
    return !conn || pq().PQstatus(conn) != CONNECTION_OK;
}

// The server's notices (a shutdown among them) are not the desk's output: failures are
// read from the results.
void ignoreNotice(void*, const char*) {}

// The server's reason without its severity and context lines.
QString serverText(const pg_conn* conn)
{
    QString text = QString::fromUtf8(pq().PQerrorMessage(conn)).trimmed().section(QLatin1Char('\n'), 0, 0);
    for (const char* severity : {"ERROR:", "FATAL:"})
        if (text.startsWith(QLatin1String(severity)))
            text = text.mid(static_cast<int>(qstrlen(severity))).trimmed();
    return text;
}

} // namespace

// ---------------------------------------------------------------- results

void CPgResult::clear(pg_result* result)
{
    pq().PQclear(result);
}

bool CPgResult::ok() const
{
    if (!result_)
        return false;
    const ExecStatusType status = pq().PQresultStatus(result_.get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

QByteArray CPgResult::sqlState() const
{
    const char* state = result_ ? pq().PQresultErrorField(result_.get(), PG_DIAG_SQLSTATE) : nullptr;
    return state ? QByteArray(state) : QByteArray();
}

int CPgResult::rows() const
{
    return ok() ? pq().PQntuples(result_.get()) : 0;
}

bool CPgResult::isNull(int row, int column) const
{
    return pq().PQgetisnull(result_.get(), row, column) != 0;
}

std::string CPgResult::text(int row, int column) const
{
    return std::string(pq().PQgetvalue(result_.get(), row, column), static_cast<size_t>(pq().PQgetlength(result_.get(), row, column)));
}

long long CPgResult::number(int row, int column) const
{
    const char* value = pq().PQgetvalue(result_.get(), row, column);
    long long out = 0;
    std::from_chars(value, value + pq().PQgetlength(result_.get(), row, column), out);
    return out;
}

QByteArray CPgResult::bytes(int row, int column) const
{
    size_t size = 0;
    unsigned char* decoded = pq().PQunescapeBytea(reinterpret_cast<const unsigned char*>(pq().PQgetvalue(result_.get(), row, column)), &size);
    if (!decoded)
        return QByteArray();
    const QByteArray out(reinterpret_cast<const char*>(decoded), static_cast<int>(size));
    pq().PQfreemem(decoded);
    return out;
}

// ---------------------------------------------------------------- connection

std::unique_ptr<CPgConnection> CPgConnection::connect(const QString& uri, QString* error)
{
    if (!pq().error.isEmpty()) {
        *error = pq().error;
        return nullptr;
    }
    const QByteArray conninfo = uri.toUtf8();
    pg_conn* conn = pq().PQconnectdb(conninfo.constData());
    if (isLost(conn)) {
        *error = conn ? serverText(conn) : QStringLiteral("内存不足");
        pq().PQfinish(conn);
        return nullptr;
    }
    pq().PQsetClientEncoding(conn, "UTF8");
    pq().PQsetNoticeProcessor(conn, &ignoreNotice, nullptr);
    std::unique_ptr<CPgConnection> connection(new CPgConnection(conn));
    return connection;
}

CPgConnection::~CPgConnection()
{
    pq().PQfinish(conn_);
}

CPgResult CPgConnection::exec(const char* sql, const std::vector<SParam>& params)
{
    if (params.empty())   // the only form that takes several statements at once
        return CPgResult(pq().PQexec(conn_, sql));
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    values.reserve(params.size());
    for (const SParam& p : params) {
        values.push_back(p.value.data());
        lengths.push_back(static_cast<int>(p.value.size()));
        formats.push_back(p.binary ? 1 : 0);
    }
    return CPgResult(pq().PQexecParams(conn_, sql, static_cast<int>(params.size()), nullptr, values.data(), lengths.data(),
                                  formats.data(), 0));
}

bool CPgConnection::isConnected() const
{
    return !isLost(conn_);
}

bool CPgConnection::reconnect()
{
    pq().PQreset(conn_);
    if (isLost(conn_))
        return false;
    pq().PQsetClientEncoding(conn_, "UTF8");
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
    return pq().PQsocket(conn_);
}

bool CPgConnection::consumeInput()
{
    return pq().PQconsumeInput(conn_) == 1 && !isLost(conn_);
}

bool CPgConnection::nextNotification(std::string* channel, std::string* payload)
{
    PGnotify* notification = pq().PQnotifies(conn_);
    if (!notification)
        return false;
    *channel = notification->relname;
    *payload = notification->extra;
    pq().PQfreemem(notification);
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
