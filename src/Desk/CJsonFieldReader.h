#pragma once
// Reads the fields of one JSON object of a scenario file and names the place of the
// first thing that is wrong by its JSON path (bonds[2].basicTenderUnit). It reads Qt's
// document (QtJson) or the one-pass CJsonText (TextJson) alike.

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1String>
#include <QString>
#include <cmath>
#include <limits>
#include <string>

#include "CJsonText.h"

namespace desk {

// Qt's document, with names looked up as Latin-1 (no conversion of the name per lookup).
struct QtJson {
    using Object = QJsonObject;
    using Array = QJsonArray;
    using Value = QJsonValue;
    static Value field(const Object& object, QLatin1String name) { return object.value(name); }
    static void text(const Value& value, std::string* out, int* units)
    {
        const QString text = value.toString();
        *units = text.size();
        *out = text.toStdString();
    }
    template <class Fn>
    static bool forEachMember(const Object& object, Fn fn)
    {
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            if (!fn(it.key(), it.value()))
                return false;
        return true;
    }
};

struct TextJson {
    using Object = CJsonText::Object;
    using Array = CJsonText::Array;
    using Value = CJsonText::Value;
    static Value field(const Object& object, QLatin1String name) { return object.value(name); }
    static void text(const Value& value, std::string* out, int* units) { value.toText(out, units); }
    template <class Fn>
    static bool forEachMember(const Object& object, Fn fn)
    {
        return object.forEachMember(fn);
    }
};

// Where a value sits in the document; made into text only for a message. A path refers to
// its parent's, which must outlive it (readers nest on the stack).
class CJsonPath {
public:
    CJsonPath() = default;  // the document itself
    CJsonPath(const CJsonPath* parent, QLatin1String name) : parent_(parent), name_(name) {}
    CJsonPath(const CJsonPath* parent, int index) : parent_(parent), index_(index) {}

    QString text() const;
    QString textOf(const QString& name) const;

private:
    const CJsonPath* parent_ = nullptr;
    QLatin1String name_;
    int index_ = -1;
};

// What is the same for every kind of document.
class CJsonFieldReaderBase {
public:
    // The longest text a field may hold: names and codes are shown in one line.
    static constexpr int kMaxTextChars = 256;

    static QString typeName(QJsonValue::Type type);
    static QString tooLong(int units);
    static QString wrongType(const char* expected, QJsonValue::Type actual);
    // Whether a number is an int as the scenario takes ids and types.
    static bool isInt(double d)
    {
        return d == std::floor(d) && d >= std::numeric_limits<int>::min() && d < std::numeric_limits<int>::max();
    }

    const CJsonPath& path() const { return path_; }
    QString pathOf(QLatin1String key) const { return CJsonPath(&path_, key).text(); }
    QString pathOf(const QString& key) const { return path_.textOf(key); }
    // Writes "path-of-key: message" and returns false, for checks of a value's meaning.
    bool fail(QLatin1String key, const QString& message) { return failAt(pathOf(key), message); }
    bool fail(const QString& key, const QString& message) { return failAt(pathOf(key), message); }

protected:
    CJsonFieldReaderBase(const CJsonPath& path, QString* error) : path_(path), error_(error) {}
    bool failAt(const QString& path, const QString& message);

private:
    CJsonPath path_;
    QString* error_;  // not owned
};

template <class Json>
class CJsonFieldReader : public CJsonFieldReaderBase {
public:
    using Object = typename Json::Object;
    using Array = typename Json::Array;
    using Value = typename Json::Value;

    // error: receives "path: what is wrong" for the first failure; must outlive the reader.
    CJsonFieldReader(const Object& obj, const CJsonPath& path, QString* error)
        : CJsonFieldReaderBase(path, error), obj_(obj)
    {
    }

    // Each getter returns false (and writes the error) when the field is missing (if
    // required) or of the wrong type, or a text is longer than kMaxTextChars; an optional
    // missing field leaves *out alone.
    bool text(QLatin1String key, std::string* out, bool required = true)
    {
        return read(key, required, QJsonValue::String, "文本", [this, key, out](const Value& value) {
            int units = 0;
            std::string text;
            Json::text(value, &text, &units);
            if (units > kMaxTextChars)
                return fail(key, tooLong(units));
            *out = std::move(text);
            return true;
        });
    }

    bool nonEmptyText(QLatin1String key, std::string* out)
    {
        if (!text(key, out))
            return false;
        return !out->empty() || fail(key, QStringLiteral("不能为空"));
    }

    bool number(QLatin1String key, double* out, bool required = true)
    {
        return read(key, required, QJsonValue::Double, "数字", [out](const Value& value) {
            *out = value.toDouble();
            return true;
        });
    }

    // A member's value of any name (bidDetails), read as a number.
    bool memberNumber(const QString& key, const Value& value, double* out)
    {
        if (value.type() != QJsonValue::Double)
            return fail(key, wrongType("数字", value.type()));
        *out = value.toDouble();
        return true;
    }

    bool integer(QLatin1String key, int* out, bool required = true)
    {
        return read(key, required, QJsonValue::Double, "整数", [this, key, out](const Value& value) {
            if (!isInt(value.toDouble()))
                return fail(key, QStringLiteral("应为小于 2147483647 的整数"));
            *out = static_cast<int>(value.toDouble());
            return true;
        });
    }

    bool boolean(QLatin1String key, bool* out, bool required = true)
    {
        return read(key, required, QJsonValue::Bool, "true 或 false", [out](const Value& value) {
            *out = value.toBool();
            return true;
        });
    }

    bool array(QLatin1String key, Array* out, bool required = true)
    {
        return read(key, required, QJsonValue::Array, "数组", [out](const Value& value) {
            *out = value.toArray();
            return true;
        });
    }

    bool object(QLatin1String key, Object* out, bool required = true)
    {
        return read(key, required, QJsonValue::Object, "对象", [out](const Value& value) {
            *out = value.toObject();
            return true;
        });
    }

    bool has(QLatin1String key) const { return Json::field(obj_, key).type() != QJsonValue::Undefined; }
    const Object& fields() const { return obj_; }

private:
    // Hands the value under key to take when it has the given type; a missing optional
    // field is not handed on.
    template <class Take>
    bool read(QLatin1String key, bool required, QJsonValue::Type type, const char* expected, Take take)
    {
        const Value value = Json::field(obj_, key);
        const QJsonValue::Type actual = value.type();
        if (actual == QJsonValue::Undefined)
            return !required || fail(key, QStringLiteral("缺少字段"));
        if (actual != type)
            return fail(key, wrongType(expected, actual));
        return take(value);
    }

    Object obj_;
};

} // namespace desk
