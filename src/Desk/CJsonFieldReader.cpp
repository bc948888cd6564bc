#include "CJsonFieldReader.h"

#include <QJsonValue>
#include <cmath>
#include <limits>

namespace desk {

CJsonFieldReader::CJsonFieldReader(const QJsonObject& obj, const QString& path, QString* error)
    : obj_(obj), path_(path), error_(error)
{
}

QString CJsonFieldReader::pathOf(const QString& key) const
{
    return path_.isEmpty() ? key : path_ + QLatin1Char('.') + key;
}

QString CJsonFieldReader::elementPath(const QString& arrayPath, int index)
{
    return arrayPath + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

QString CJsonFieldReader::typeName(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("a boolean");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a string");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    case QJsonValue::Undefined: break;
    }
    return QStringLiteral("nothing");
}

bool CJsonFieldReader::fail(const QString& key, const QString& message)
{
    if (error_->isEmpty())
        *error_ = pathOf(key) + QStringLiteral(": ") + message;
    return false;
}

bool CJsonFieldReader::fetch(const QString& key, bool required, QJsonValue* value)
{
    const auto it = obj_.constFind(key);
    if (it == obj_.constEnd()) {
        if (required)
            return fail(key, QStringLiteral("missing"));
        *value = QJsonValue(QJsonValue::Undefined);
        return true;
    }
    *value = it.value();
    return true;
}

bool CJsonFieldReader::wrongType(const QString& key, const char* expected, const QJsonValue& found)
{
    return fail(key, QStringLiteral("expected %1, found %2").arg(QLatin1String(expected), typeName(found)));
}

bool CJsonFieldReader::text(const QString& key, std::string* out, bool required)
{
    QJsonValue value;
    if (!fetch(key, required, &value))
        return false;
    if (value.isUndefined())
        return true;
    if (!value.isString())
        return wrongType(key, "a string", value);
    *out = value.toString().toStdString();
    return true;
}

bool CJsonFieldReader::nonEmptyText(const QString& key, std::string* out)
{
    if (!text(key, out))
        return false;
    if (out->empty())
        return fail(key, QStringLiteral("must not be empty"));
    return true;
}

bool CJsonFieldReader::number(const QString& key, double* out, bool required)
{
    QJsonValue value;
    if (!fetch(key, required, &value))
        return false;
    if (value.isUndefined())
        return true;
    if (!value.isDouble())
        return wrongType(key, "a number", value);
    *out = value.toDouble();
    return true;
}

bool CJsonFieldReader::integer(const QString& key, int* out, bool required)
{
    QJsonValue value;
    if (!fetch(key, required, &value))
        return false;
    if (value.isUndefined())
        return true;
    if (!value.isDouble())
        return wrongType(key, "an integer", value);
    const double d = value.toDouble();
    if (d != std::floor(d) || d < std::numeric_limits<int>::min() || d >= std::numeric_limits<int>::max())
        return fail(key, QStringLiteral("expected an integer below 2147483647"));
    *out = static_cast<int>(d);
    return true;
}

bool CJsonFieldReader::boolean(const QString& key, bool* out, bool required)
{
    QJsonValue value;
    if (!fetch(key, required, &value))
        return false;
    if (value.isUndefined())
        return true;
    if (!value.isBool())
        return wrongType(key, "true or false", value);
    *out = value.toBool();
    return true;
}

bool CJsonFieldReader::array(const QString& key, QJsonArray* out, bool required)
{
    QJsonValue value;
    if (!fetch(key, required, &value))
        return false;
    if (value.isUndefined())
        return true;
    if (!value.isArray())
        return wrongType(key, "an array", value);
    *out = value.toArray();
    return true;
}

bool CJsonFieldReader::object(const QString& key, QJsonObject* out, bool required)
{
    QJsonValue value;
    if (!fetch(key, required, &value))
        return false;
    if (value.isUndefined())
        return true;
    if (!value.isObject())
        return wrongType(key, "an object", value);
    *out = value.toObject();
    return true;
}

} // namespace desk
