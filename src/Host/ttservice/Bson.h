#pragma once
// Small value classes over libbson: a document (BSONObj), one of its elements
// (BSONElement) and a builder. Documents are always validated before use.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _bson_t;

namespace ttservice {

enum EBsonType {
    BSON_EOO = 0, BSON_DOUBLE = 1, BSON_STRING = 2, BSON_OBJECT = 3, BSON_ARRAY = 4,
    BSON_BINARY = 5, BSON_BOOL = 8, BSON_DATE = 9, BSON_NULL = 10, BSON_INT32 = 16,
    BSON_INT64 = 18
};

class BSONObj;

// One element of a document; an element that was not found has type BSON_EOO.
class BSONElement {
public:
    BSONElement() = default;
    int type() const { return type_; }
    bool eoo() const { return type_ == BSON_EOO; }
    const std::string& fieldName() const { return name_; }
    bool isNumber() const;
    double numberDouble() const;     // 0 when not a number
    int numberInt() const;           // 0 when not a number; doubles are truncated and clamped
    long long numberLong() const;
    std::string str() const;         // empty when not a string
    bool boolean() const;
    BSONObj embeddedObject() const;  // empty document when not an object or array

private:
    friend class BSONObj;
    int type_ = BSON_EOO;
    std::string name_;
    std::vector<uint8_t> raw_;       // the element's value bytes (or the sub-document)
    double d_ = 0;
    long long i_ = 0;
    std::string s_;
};

// An immutable, validated BSON document. Copies share the bytes.
class BSONObj {
public:
    BSONObj();                                        // the empty document
    // Validates the bytes; returns false (and leaves *out empty) for anything that is not a valid document.
    static bool fromBytes(const uint8_t* data, size_t size, BSONObj* out);
    static BSONObj fromJson(const std::string& json, bool* ok = nullptr);

    bool isEmpty() const;
    BSONElement getField(const std::string& name) const;
    BSONElement operator[](const std::string& name) const { return getField(name); }
    bool hasField(const std::string& name) const { return !getField(name).eoo(); }
    std::vector<BSONElement> elements() const;
    const uint8_t* objdata() const;
    size_t objsize() const;
    std::string jsonString() const;
    // Whether other is a copy of this document (or both are the empty one), told without
    // reading the bytes: a check made for thousands of documents at a time.
    bool sharesBytesWith(const BSONObj& other) const { return bytes_ == other.bytes_; }

private:
    friend class BSONObjBuilder;
    friend class BSONElement;
    static BSONElement makeElement(const void* iterator);  // iterator: a bson_iter_t on an element
    void adoptPartOfValidated(const std::vector<uint8_t>& bytes);
    std::shared_ptr<const std::vector<uint8_t>> bytes_;
};

class BSONObjBuilder {
public:
    BSONObjBuilder();
    ~BSONObjBuilder();
    BSONObjBuilder(const BSONObjBuilder&) = delete;
    BSONObjBuilder& operator=(const BSONObjBuilder&) = delete;

    BSONObjBuilder& append(const std::string& name, const std::string& value);
    BSONObjBuilder& append(const std::string& name, const char* value);
    BSONObjBuilder& append(const std::string& name, double value);
    BSONObjBuilder& append(const std::string& name, int value);
    BSONObjBuilder& append(const std::string& name, long long value);
    BSONObjBuilder& appendBool(const std::string& name, bool value);
    BSONObjBuilder& append(const std::string& name, const BSONObj& document);
    BSONObj obj() const;

private:
    _bson_t* doc_;
};

} // namespace ttservice
