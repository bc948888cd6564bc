#include "CJsonFieldReader.h"

namespace desk {

QString CJsonPath::text() const
{
    if (!parent_)
        return QString();
    const QString parent = parent_->text();
    if (index_ >= 0)
        return parent + QLatin1Char('[') + QString::number(index_) + QLatin1Char(']');
    return parent.isEmpty() ? QString(name_) : parent + QLatin1Char('.') + name_;
}

QString CJsonPath::textOf(const QString& name) const
{
    const QString path = text();
    return path.isEmpty() ? name : path + QLatin1Char('.') + name;
}

QString CJsonFieldReaderBase::typeName(QJsonValue::Type type)
{
    switch (type) {
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

QString CJsonFieldReaderBase::tooLong(int units)
{
    return QStringLiteral("文本过长：最多 %1 个字符，实际为 %2 个").arg(kMaxTextChars).arg(units);
}

QString CJsonFieldReaderBase::wrongType(const char* expected, QJsonValue::Type actual)
{
    return QStringLiteral("类型错误：应为%1，实际为%2").arg(QString::fromUtf8(expected), typeName(actual));
}

bool CJsonFieldReaderBase::failAt(const QString& path, const QString& message)
{
    if (error_->isEmpty())
        *error_ = path + QStringLiteral(": ") + message;
    return false;
}

} // namespace desk
