#pragma once
// The BSON classes through which the host's records carry embedded documents.

#include <string>

namespace ttservice {

enum EBsonType { BSON_EOO = 0, BSON_OBJECT = 3 };

class BSONObj;

class BSONElement {
public:
    int type() const;
    BSONObj embeddedObject() const;
};

class BSONObj {
public:
    BSONObj();
    BSONElement getField(const std::string& name) const;
};

} // namespace ttservice
