#include "CAllocationDump.h"

#include <QJsonArray>

#include "services/HostStore.h"
#include "ttservice/Bson.h"

namespace desk {

namespace {

QJsonValue elementToJson(const ttservice::BSONElement& element, bool mayHaveNoValue = true);

QJsonArray arrayToJson(const ttservice::BSONObj& document)
{
    QJsonArray out;
    for (const ttservice::BSONElement& element : document.elements())
        out.append(elementToJson(element));
    return out;
}

// mayHaveNoValue: whether the field's no-value mark is shown as null.
QJsonValue elementToJson(const ttservice::BSONElement& element, bool mayHaveNoValue)
{
    using namespace ttservice;
    switch (element.type()) {
    case BSON_DOUBLE:
        return element.numberDouble() == kInvalidDouble ? QJsonValue() : QJsonValue(element.numberDouble());
    case BSON_INT32:
        return mayHaveNoValue && element.numberInt() == kInvalidInt ? QJsonValue() : QJsonValue(element.numberInt());
    case BSON_INT64:
        return element.numberLong() == kInvalidLongLong ? QJsonValue() : QJsonValue(static_cast<double>(element.numberLong()));
    case BSON_STRING:
        return QString::fromStdString(element.str());
    case BSON_BOOL:
        return element.boolean();
    case BSON_OBJECT:
        return CAllocationDump::documentToJson(element.embeddedObject());
    case BSON_ARRAY:
        return arrayToJson(element.embeddedObject());
    default:
        return QJsonValue();
    }
}

} // namespace

QJsonObject CAllocationDump::documentToJson(const ttservice::BSONObj& document)
{
    QJsonObject out;
    // A won volume at the cap is 2147483647 units of 0.0001 亿: a volume, not the no-value mark.
    static const std::string kVolumeInUnits = "winBidAmount";
    for (const ttservice::BSONElement& element : document.elements())
        out.insert(QString::fromStdString(element.fieldName()),
                   elementToJson(element, element.fieldName() != kVolumeInUnits));
    return out;
}

QJsonArray CAllocationDump::recordsToJson(const ttservice::IDataList& records)
{
    QJsonArray out;
    for (const ttservice::IDataPtr& record : records)
        if (record)
            out.append(documentToJson(record->bsonValueToObj()));
    return out;
}

QJsonObject CAllocationDump::bondAllocation(const ttservice::CHostStore& store, const std::string& bondCode)
{
    using namespace ttservice;
    QJsonObject out;
    out.insert(QStringLiteral("bondCode"), QString::fromStdString(bondCode));
    out.insert(QStringLiteral("bidParameters"), recordsToJson(store.records(bondCode, RT_ALLOC_PARAMS)));
    out.insert(QStringLiteral("underwriters"), recordsToJson(store.records(bondCode, RT_ALLOC_UNDERWRITER)));
    out.insert(QStringLiteral("products"), recordsToJson(store.records(bondCode, RT_ALLOC_PRODUCT)));
    out.insert(QStringLiteral("accounts"), recordsToJson(store.records(bondCode, RT_WIN_BID_DETAIL)));
    return out;
}

} // namespace desk
