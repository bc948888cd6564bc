#pragma once

#include <boost/shared_ptr.hpp>
#include <string>
#include <vector>

#include "ttservice/Bson.h"

namespace ttservice {

class IData {
public:
    virtual ~IData();
    virtual std::string getKey() const = 0;
    virtual bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) = 0;
};

using IDataPtr = boost::shared_ptr<IData>;
using IDataList = std::vector<IDataPtr>;

} // namespace ttservice
