#pragma once
// One connection to the team's PostgreSQL server (libpq), and the result of a statement.
// Parameters travel separately from the statement text, texts as UTF-8 and record
// documents as binary, so no value is ever quoted into SQL.

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace desk {

class CPgResult {
public:
    CPgResult() = default;
    explicit CPgResult(pg_result* result) : result_(result, &clear) {}

    // A statement that ran (with or without rows).
    bool ok() const;
    // The five-character SQLSTATE of a failure, empty when none.
    QByteArray sqlState() const;
    int rows() const;
    bool isNull(int row, int column) const;
    std::string text(int row, int column) const;
    long long number(int row, int column) const;
    // A bytea column, decoded.
    QByteArray bytes(int row, int column) const;

private:
    static void clear(pg_result* result);
    std::shared_ptr<pg_result> result_;
};

class CPgConnection {
public:
    // Connects with a libpq URI or key=value string; null with the server's reason.
    static std::unique_ptr<CPgConnection> connect(const QString& uri, QString* error);
    ~CPgConnection();
    CPgConnection(const CPgConnection&) = delete;
    CPgConnection& operator=(const CPgConnection&) = delete;

    // A parameter: text, or binary bytes (bytea).
    struct SParam {
        std::string value;
        bool binary = false;
    };
    CPgResult exec(const char* sql, const std::vector<SParam>& params = {});
    bool run(const char* sql, const std::vector<SParam>& params = {}) { return exec(sql, params).ok(); }

    // Whether the server is still there as far as libpq knows.
    bool isConnected() const;
    // Tries the same connection again after it broke; true when it is back.
    bool reconnect();
    // The last failure in the user's words (a lost server says so plainly).
    QString lastError() const;

    // Notifications: the socket to wait on, and the next notification received.
    int socket() const;
    bool consumeInput();
    bool nextNotification(std::string* channel, std::string* payload);

private:
    explicit CPgConnection(pg_conn* conn) : conn_(conn) {}
    pg_conn* conn_;   // owned, finished in the destructor
};

// Parameters from plain values.
CPgConnection::SParam pgText(const std::string& text);
CPgConnection::SParam pgText(long long number);
CPgConnection::SParam pgBytes(const void* data, size_t size);

} // namespace desk
