#pragma once
// Reads the fields of one JSON object of a scenario file and names the place of the
// first thing that is wrong by its JSON path (bonds[2].basicTenderUnit).

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <string>

namespace desk {

class CJsonFieldReader {
public:
    // path: where obj sits in the document ("" for the document itself).
    // error: receives "path: what is wrong" for the first failure; must outlive the reader.
    CJsonFieldReader(const QJsonObject& obj, const QString& path, QString* error);

    // The longest text a field may hold: names and codes are shown in one line.
    static constexpr int kMaxTextChars = 256;

    // Each getter returns false (and writes the error) when the field is missing (if
    // required) or of the wrong type, or a text is longer than kMaxTextChars; an optional
    // missing field leaves *out alone.
    bool text(const QString& key, std::string* out, bool required = true);
    bool nonEmptyText(const QString& key, std::string* out);
    bool number(const QString& key, double* out, bool required = true);
    bool integer(const QString& key, int* out, bool required = true);
    bool boolean(const QString& key, bool* out, bool required = true);
    bool array(const QString& key, QJsonArray* out, bool required = true);
    bool object(const QString& key, QJsonObject* out, bool required = true);

    bool has(const QString& key) const { return obj_.contains(key); }
    QString pathOf(const QString& key) const;
    // Writes "path-of-key: message" and returns false, for checks of a value's meaning.
    bool fail(const QString& key, const QString& message);

    static QString elementPath(const QString& arrayPath, int index);
    static QString typeName(const QJsonValue& value);

private:
    // The value under key when it has the given type; Undefined when absent and not required.
    bool fetch(const QString& key, bool required, QJsonValue::Type type, const char* expected, QJsonValue* value);

    QJsonObject obj_;
    QString path_;
    QString* error_;  // not owned
};

} // namespace desk
