#pragma once
// The stored allocation of one bond as JSON: bid parameters, underwriter rows, product
// rows and account rows, each record as its host document. No-value marks print as null.

#include <QJsonArray>
#include <QJsonObject>
#include <string>

#include "ttservice/IData.h"

namespace ttservice {
class BSONObj;
class CHostStore;
}

namespace desk {

class CAllocationDump {
public:
    static QJsonObject bondAllocation(const ttservice::CHostStore& store, const std::string& bondCode);
    static QJsonObject documentToJson(const ttservice::BSONObj& document);
    // Each non-null record as its document.
    static QJsonArray recordsToJson(const ttservice::IDataList& records);
};

} // namespace desk
