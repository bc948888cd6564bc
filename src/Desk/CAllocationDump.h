#pragma once
// The stored allocation of one bond as JSON: bid parameters, underwriter rows, product
// rows and account rows, each record as its host document. No-value marks print as null.

#include <QJsonArray>
#include <QJsonObject>
#include <string>

#include "ttservice/IData.h"

namespace ttservice {
class CHostStore;
}

namespace desk {

class CAllocationDump {
public:
    static QJsonObject bondAllocation(const ttservice::CHostStore& store, const std::string& bondCode);
    // Appends each non-null record as its document, a JSON array in compact text (UTF-8):
    // what the history keeps of a save. Written straight from the documents into the
    // caller's text, since a save of a large tender keeps tens of thousands of them and a
    // QJsonObject built field by field costs twenty times as much.
    static void appendRecordsAsJson(std::string& out, const ttservice::IDataList& records);
    // The same records as a JSON array.
    static QJsonArray recordsToJson(const ttservice::IDataList& records);
};

} // namespace desk
