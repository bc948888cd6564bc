#pragma once
// Base of every host record: a key, a record type and a BSON form.

#include <boost/shared_ptr.hpp>
#include <string>
#include <vector>

#include "ttservice/Bson.h"

namespace ttservice {

class IData {
public:
    virtual ~IData() = default;
    virtual std::string getKey() const = 0;
    virtual int dataType() const = 0;
    // Fills the record from a document; fields missing from the document keep their value.
    // A field of the wrong BSON type is left alone. Returns false when obj is empty.
    virtual bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) = 0;
    // The same from a document's elements read in place (BSONObj::readValidated): a reader
    // of thousands of stored records neither copies the bytes nor walks them twice.
    virtual bool bsonValueFromElements(const std::vector<BSONElementView>& elements) = 0;
    virtual BSONObj bsonValueToObj() const = 0;
};

using IDataPtr = boost::shared_ptr<IData>;
using IDataList = std::vector<IDataPtr>;

// Makes an empty record of a type id (null for an unknown id); used to read records back from BSON.
IDataPtr createRecord(int dataType);

} // namespace ttservice
