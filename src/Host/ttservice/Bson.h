#pragma once
// Small value classes over libbson: a document (BSONObj), one of its elements
// (BSONElement) and a builder. Documents are always validated before use.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct _bson_t;

namespace ttservice {

enum EBsonType {
    BSON_EOO = 0, BSON_DOUBLE = 1, BSON_STRING = 2, BSON_OBJECT = 3, BSON_ARRAY = 4,
    BSON_BINARY = 5, BSON_BOOL = 8, BSON_DATE = 9, BSON_NULL = 10, BSON_INT32 = 16,
    BSON_INT64 = 18
};

class BSONObj;

// An element's type and, for numbers, flags and dates, its value: what both element
// classes read alike.
class BSONScalar {
public:
    int type() const { return type_; }
    bool eoo() const { return type_ == BSON_EOO; }
    bool isNumber() const;
    double numberDouble() const;     // 0 when not a number
    int numberInt() const;           // 0 when not a number; doubles are truncated and clamped
    long long numberLong() const;
    bool boolean() const;            // a flag, or a number other than 0

protected:
    int type_ = BSON_EOO;
    double d_ = 0;
    long long i_ = 0;
};

// One element of a document; an element that was not found has type BSON_EOO.
class BSONElement : public BSONScalar {
public:
    BSONElement() = default;
    const std::string& fieldName() const { return name_; }
    std::string str() const;         // empty when not a string
    BSONObj embeddedObject() const;  // empty document when not an object or array

private:
    friend class BSONObj;
    std::string name_;
    // The sub-document's bytes, shared with the documents embeddedObject() hands out.
    std::shared_ptr<const std::vector<uint8_t>> embedded_;
    std::string s_;
};

// One element read in place (BSONObj::elementViews, readValidated): its name and text point into the
// document's bytes, so it must not outlive the BSONObj it came from. Readers of thousands
// of records look at every element this way instead of copying each name and text.
class BSONElementView : public BSONScalar {
public:
    std::string_view fieldName() const { return name_; }
    std::string_view str() const;    // empty when not a string
    BSONObj embeddedObject() const;  // empty document when not an object or array

private:
    friend class BSONObj;
    std::string_view name_;
    std::string_view bytes_;         // a string's text, or a sub-document's or binary's bytes
};

// An immutable, validated BSON document. Copies share the bytes.
class BSONObj {
public:
    BSONObj();                                        // the empty document
    // Validates the bytes; returns false (and leaves *out empty) for anything that is not a valid document.
    static bool fromBytes(const uint8_t* data, size_t size, BSONObj* out);
    // The elements of the document in the bytes, read in the walk that validates them: the
    // verdict of fromBytes, without a copy of the bytes (the views point into data). False,
    // with *elements empty, for anything fromBytes refuses.
    static bool readValidated(const uint8_t* data, size_t size, std::vector<BSONElementView>* elements);
    static BSONObj fromJson(const std::string& json, bool* ok = nullptr);

    bool isEmpty() const;
    BSONElement getField(const std::string& name) const;
    BSONElement operator[](const std::string& name) const { return getField(name); }
    bool hasField(const std::string& name) const { return !getField(name).eoo(); }
    std::vector<BSONElement> elements() const;
    std::vector<BSONElementView> elementViews() const;   // valid while this document is
    const uint8_t* objdata() const;
    size_t objsize() const;
    std::string jsonString() const;
    // Whether other is a copy of this document (or both are the empty one), told without
    // reading the bytes: a check made for thousands of documents at a time.
    bool sharesBytesWith(const BSONObj& other) const { return bytes_ == other.bytes_; }

private:
    friend class BSONObjBuilder;
    friend class BSONElement;
    friend class BSONElementView;
    static BSONElementView elementAt(const void* iterator);  // iterator: a bson_iter_t on an element
    static bool readPlainlyValid(const void* document, std::vector<BSONElementView>* elements);  // a bson_t
    static bool isValid(const void* document, std::vector<BSONElementView>* elements);
    static void appendElements(const void* document, std::vector<BSONElementView>* elements);
    static BSONElement makeElement(const BSONElementView& view);
    void adoptPartOfValidated(std::string_view bytes);
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
