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
    case QJsonValue::Bool: return QStringLiteral("布尔值");
    case QJsonValue::Double: return QStringLiteral("数字");
    case QJsonValue::String: return QStringLiteral("文本");
    case QJsonValue::Array: return QStringLiteral("数组");
    case QJsonValue::Object: return QStringLiteral("对象");
    case QJsonValue::Undefined: break;
    }
    return QStringLiteral("空");
}

bool CJsonFieldReader::fail(const QString& key, const QString& message)
{
    if (error_->isEmpty())
        *error_ = pathOf(key) + QStringLiteral(": ") + message;
    return false;
}

bool CJsonFieldReader::fetch(const QString& key, bool required, QJsonValue::Type type, const char* expected,
                             QJsonValue* value)
{
    const auto it = obj_.constFind(key);
    if (it == obj_.constEnd()) {
        if (required)
            return fail(key, QStringLiteral("缺少字段"));
        *value = QJsonValue(QJsonValue::Undefined);
        return true;
    }
    if (it.value().type() != type)
        return fail(key, QStringLiteral("类型错误：应为%1，实际为%2").arg(QString::fromUtf8(expected),
                                                                       typeName(it.value())));
    *value = it.value();
    return true;
}

bool CJsonFieldReader::text(const QString& key, std::string* out, bool required)
{
    QJsonValue value;
    if (!fetch(key, required, QJsonValue::String, "文本", &value))
        return false;
    if (value.isUndefined())
        return true;
    const QString text = value.toString();
    if (text.size() > kMaxTextChars)
        return fail(key, QStringLiteral("文本过长：最多 %1 个字符，实际为 %2 个").arg(kMaxTextChars).arg(text.size()));
    *out = text.toStdString();
    return true;
}

bool CJsonFieldReader::nonEmptyText(const QString& key, std::string* out)
{
    if (!text(key, out))
        return false;
    if (out->empty())
        return fail(key, QStringLiteral("不能为空"));
    return true;
}

bool CJsonFieldReader::number(const QString& key, double* out, bool required)
{
    QJsonValue value;
    if (!fetch(key, required, QJsonValue::Double, "数字", &value))
        return false;
    if (value.isUndefined())
        return true;
    *out = value.toDouble();
    return true;
}

bool CJsonFieldReader::integer(const QString& key, int* out, bool required)
{
    QJsonValue value;
    if (!fetch(key, required, QJsonValue::Double, "整数", &value))
        return false;
    if (value.isUndefined())
        return true;
    const double d = value.toDouble();
    if (d != std::floor(d) || d < std::numeric_limits<int>::min() || d >= std::numeric_limits<int>::max())
        return fail(key, QStringLiteral("应为小于 2147483647 的整数"));
    *out = static_cast<int>(d);
    return true;
}

bool CJsonFieldReader::boolean(const QString& key, bool* out, bool required)
{
    QJsonValue value;
    if (!fetch(key, required, QJsonValue::Bool, "true 或 false", &value))
        return false;
    if (value.isUndefined())
        return true;
    *out = value.toBool();
    return true;
}

bool CJsonFieldReader::array(const QString& key, QJsonArray* out, bool required)
{
    QJsonValue value;
    if (!fetch(key, required, QJsonValue::Array, "数组", &value))
        return false;
    if (value.isUndefined())
        return true;
    *out = value.toArray();
    return true;
}

bool CJsonFieldReader::object(const QString& key, QJsonObject* out, bool required)
{
    QJsonValue value;
    if (!fetch(key, required, QJsonValue::Object, "对象", &value))
        return false;
    if (value.isUndefined())
        return true;
    *out = value.toObject();
    return true;
}

} // namespace desk
