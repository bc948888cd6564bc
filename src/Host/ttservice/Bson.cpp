#include "ttservice/Bson.h"

#include <bson/bson.h>

#include <cmath>
#include <climits>
#include <cstring>
#include <limits>

namespace ttservice {

namespace {

const uint8_t kEmptyDocument[5] = {5, 0, 0, 0, 0};

// A little-endian 32-bit number: a document's length prefix, a text's length, an int32.
uint32_t littleEndian32(const uint8_t* data)
{
    return uint32_t(data[0]) | (uint32_t(data[1]) << 8) | (uint32_t(data[2]) << 16) | (uint32_t(data[3]) << 24);
}

uint64_t littleEndian64(const uint8_t* data)
{
    return uint64_t(littleEndian32(data)) | (uint64_t(littleEndian32(data + 4)) << 32);
}

template <class Int>
Int clampToInt(double value)
{
    if (std::isnan(value))
        return 0;
    const double truncated = std::trunc(value);
    if (truncated <= static_cast<double>(std::numeric_limits<Int>::min()))
        return std::numeric_limits<Int>::min();
    if (truncated >= static_cast<double>(std::numeric_limits<Int>::max()))
        return std::numeric_limits<Int>::max();
    return static_cast<Int>(truncated);
}

// A read-only bson_t over the bytes, without a copy.
bool viewOf(const uint8_t* data, size_t size, bson_t* view)
{
    return bson_init_static(view, data, size);
}

// The length of the run of ASCII bytes at the start of text, looked at eight at a time:
// names and most texts are nothing else.
size_t asciiPrefix(const uint8_t* text, size_t length)
{
    size_t i = 0;
    for (uint64_t word; i + sizeof(word) <= length; i += sizeof(word)) {
        std::memcpy(&word, text + i, sizeof(word));
        if (word & 0x8080808080808080ULL)
            break;
    }
    while (i < length && text[i] < 0x80)
        ++i;
    return i;
}

// What libbson accepts as text: well-formed UTF-8 is always among it (a NUL counts as a
// character); only a text that is not is left to libbson's own, slower check.
bool isWellFormedUtf8(const uint8_t* text, size_t length)
{
    const auto within = [](uint8_t byte, uint8_t low, uint8_t high) { return byte >= low && byte <= high; };
    size_t i = 0;
    while (i < length) {
        const uint8_t lead = text[i];
        if (lead < 0x80) {
            i += asciiPrefix(text + i, length - i);
            continue;
        }
        size_t extra;
        uint8_t low = 0x80, high = 0xBF;   // the range of the byte after the lead
        if (within(lead, 0xC2, 0xDF)) {
            extra = 1;
        } else if (within(lead, 0xE0, 0xEF)) {
            extra = 2;
            if (lead == 0xE0)
                low = 0xA0;                // no overlong forms
            else if (lead == 0xED)
                high = 0x9F;               // no UTF-16 surrogates
        } else if (within(lead, 0xF0, 0xF4)) {
            extra = 3;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;               // nothing above U+10FFFF
        } else {
            return false;
        }
        if (length - i <= extra || !within(text[i + 1], low, high))
            return false;
        for (size_t k = 2; k <= extra; ++k)
            if (!within(text[i + k], 0x80, 0xBF))
                return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------- BSONScalar

bool BSONScalar::isNumber() const
{
    return type_ == BSON_DOUBLE || type_ == BSON_INT32 || type_ == BSON_INT64;
}

double BSONScalar::numberDouble() const
{
    if (type_ == BSON_DOUBLE)
        return d_;
    if (type_ == BSON_INT32 || type_ == BSON_INT64)
        return static_cast<double>(i_);
    return 0;
}

int BSONScalar::numberInt() const
{
    if (type_ == BSON_DOUBLE)
        return clampToInt<int>(d_);
    if (type_ == BSON_INT32 || type_ == BSON_INT64) {
        if (i_ < INT_MIN)
            return INT_MIN;
        if (i_ > INT_MAX)
            return INT_MAX;
        return static_cast<int>(i_);
    }
    return 0;
}

long long BSONScalar::numberLong() const
{
    if (type_ == BSON_DOUBLE)
        return clampToInt<long long>(d_);
    if (type_ == BSON_INT32 || type_ == BSON_INT64)
        return i_;
    return 0;
}

// ---------------------------------------------------------------- BSONElement

std::string BSONElement::str() const
{
    return type_ == BSON_STRING ? s_ : std::string();
}

bool BSONScalar::boolean() const
{
    if (type_ == BSON_BOOL || type_ == BSON_INT32 || type_ == BSON_INT64)
        return i_ != 0;
    if (type_ == BSON_DOUBLE)
        return d_ != 0;
    return false;
}

BSONObj BSONElement::embeddedObject() const
{
    BSONObj out;
    if (type_ == BSON_OBJECT || type_ == BSON_ARRAY)
        out.bytes_ = embedded_;
    return out;
}

// ---------------------------------------------------------------- BSONElementView

std::string_view BSONElementView::str() const
{
    return type_ == BSON_STRING ? bytes_ : std::string_view();
}

BSONObj BSONElementView::embeddedObject() const
{
    BSONObj out;
    if (type_ == BSON_OBJECT || type_ == BSON_ARRAY)
        out.adoptPartOfValidated(bytes_);
    return out;
}

// ---------------------------------------------------------------- BSONObj

BSONObj::BSONObj() = default;

bool BSONObj::fromBytes(const uint8_t* data, size_t size, BSONObj* out)
{
    if (out)
        *out = BSONObj();
    if (!data || size < 5 || size > INT32_MAX || littleEndian32(data) != size || data[size - 1] != 0)
        return false;
    bson_t view;
    if (!viewOf(data, size, &view) || !isValid(&view, nullptr))
        return false;
    auto bytes = std::make_shared<std::vector<uint8_t>>(data, data + size);
    if (out)
        out->bytes_ = std::move(bytes);
    return true;
}

bool BSONObj::readValidated(const uint8_t* data, size_t size, std::vector<BSONElementView>* elements)
{
    elements->clear();
    bson_t view;
    if (!data || size < 5 || size > INT32_MAX || littleEndian32(data) != size || data[size - 1] != 0
        || !viewOf(data, size, &view) || !isValid(&view, elements)) {
        elements->clear();
        return false;
    }
    return true;
}

// Whether a document is plainly valid: its structure whole, its names ASCII, its values
// numbers, flags, dates, nulls or well-formed texts. libbson's validation accepts every
// such document, and this one walk over the bytes costs a fraction of it (and of libbson's
// iterator); the desk's records are all of this kind. False says nothing: the document is
// then left to libbson. The elements seen are appended to elements, when given.
bool BSONObj::readPlainlyValid(const void* document, std::vector<BSONElementView>* elements)
{
    const bson_t* bson = static_cast<const bson_t*>(document);
    const uint8_t* data = bson_get_data(bson);
    const size_t end = bson->len - 1;   // the document's closing NUL, checked by the caller
    size_t at = 4;
    while (at < end) {
        BSONElementView element;
        const uint8_t* name = data + at + 1;
        const auto* nameEnd = static_cast<const uint8_t*>(std::memchr(name, 0, end - at - 1));
        if (!nameEnd || asciiPrefix(name, size_t(nameEnd - name)) != size_t(nameEnd - name))
            return false;
        element.name_ = std::string_view(reinterpret_cast<const char*>(name), size_t(nameEnd - name));
        const size_t value = size_t(nameEnd - data) + 1;
        const size_t room = end - value;   // a value never reaches the closing NUL
        size_t length = 0;
        switch (data[at]) {
        case BSON_DOUBLE: {
            length = 8;
            if (room < length)
                return false;
            const uint64_t bits = littleEndian64(data + value);
            std::memcpy(&element.d_, &bits, sizeof(bits));
            element.type_ = BSON_DOUBLE;
            break;
        }
        case BSON_INT32:
            length = 4;
            if (room < length)
                return false;
            element.i_ = static_cast<int32_t>(littleEndian32(data + value));
            element.type_ = BSON_INT32;
            break;
        case BSON_INT64:
        case BSON_DATE:
            length = 8;
            if (room < length)
                return false;
            element.i_ = static_cast<long long>(littleEndian64(data + value));
            element.type_ = data[at];
            break;
        case BSON_BOOL:
            length = 1;
            if (room < length || data[value] > 1)
                return false;
            element.i_ = data[value];
            element.type_ = BSON_BOOL;
            break;
        case BSON_NULL:
            element.type_ = BSON_NULL;
            break;
        case BSON_STRING: {
            // int32 length with the NUL, the text, the NUL
            if (room < 4)
                return false;
            const size_t text = littleEndian32(data + value);
            if (text == 0 || text > room - 4 || data[value + 4 + text - 1] != 0 || !isWellFormedUtf8(data + value + 4, text - 1))
                return false;
            length = 4 + text;
            element.bytes_ = std::string_view(reinterpret_cast<const char*>(data + value + 4), text - 1);
            element.type_ = BSON_STRING;
            break;
        }
        default:
            return false;
        }
        if (elements)
            elements->push_back(element);
        at = value + length;
    }
    return at == end;
}

// A text may hold a NUL: its length is stored with it, and what the writer stores must
// read back.
bool BSONObj::isValid(const void* document, std::vector<BSONElementView>* elements)
{
    if (readPlainlyValid(document, elements))
        return true;
    const bson_t* bson = static_cast<const bson_t*>(document);
    size_t errorOffset = 0;
    if (!bson_validate(bson, static_cast<bson_validate_flags_t>(BSON_VALIDATE_UTF8 | BSON_VALIDATE_UTF8_ALLOW_NULL),
                       &errorOffset))
        return false;
    if (elements) {
        elements->clear();
        appendElements(document, elements);
    }
    return true;
}

// The bytes of an element of a document that was validated as a whole, sub-documents
// included: checking them again would cost more than everything else a reader does.
void BSONObj::adoptPartOfValidated(std::string_view bytes)
{
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    if (bytes.size() >= 5 && bytes.size() <= INT32_MAX && littleEndian32(data) == bytes.size() && bytes.back() == 0)
        bytes_ = std::make_shared<std::vector<uint8_t>>(data, data + bytes.size());
}

BSONObj BSONObj::fromJson(const std::string& json, bool* ok)
{
    bson_error_t error;
    bson_t* parsed = bson_new_from_json(reinterpret_cast<const uint8_t*>(json.data()),
                                        static_cast<ssize_t>(json.size()), &error);
    BSONObj out;
    const bool parsedOk = parsed && BSONObj::fromBytes(bson_get_data(parsed), parsed->len, &out);
    if (parsed)
        bson_destroy(parsed);
    if (ok)
        *ok = parsedOk;
    return out;
}

bool BSONObj::isEmpty() const
{
    return objsize() <= 5;
}

const uint8_t* BSONObj::objdata() const
{
    return bytes_ ? bytes_->data() : kEmptyDocument;
}

size_t BSONObj::objsize() const
{
    return bytes_ ? bytes_->size() : sizeof(kEmptyDocument);
}

BSONElement BSONObj::getField(const std::string& name) const
{
    bson_t view;
    bson_iter_t iterator;
    if (!viewOf(objdata(), objsize(), &view) || !bson_iter_init(&iterator, &view))
        return BSONElement();
    // Exact, length-aware name match (bson_iter_find stops at an embedded NUL).
    while (bson_iter_next(&iterator)) {
        if (bson_iter_key_len(&iterator) == name.size()
            && std::memcmp(bson_iter_key(&iterator), name.data(), name.size()) == 0)
            return makeElement(elementAt(&iterator));
    }
    return BSONElement();
}

std::vector<BSONElement> BSONObj::elements() const
{
    std::vector<BSONElement> out;
    for (const BSONElementView& view : elementViews())
        out.push_back(makeElement(view));
    return out;
}

std::vector<BSONElementView> BSONObj::elementViews() const
{
    std::vector<BSONElementView> out;
    // Room for the elements a document of this size mostly holds (a name, a type and a value
    // take 16 bytes or more), so that a record's few fields need one allocation.
    out.reserve(objsize() / 16 + 1);
    bson_t view;
    if (!viewOf(objdata(), objsize(), &view))
        return out;
    // A plain document (a record's fields) is read in the one walk over its bytes; any other
    // through libbson's iterator.
    if (!readPlainlyValid(&view, &out)) {
        out.clear();
        appendElements(&view, &out);
    }
    return out;
}

void BSONObj::appendElements(const void* document, std::vector<BSONElementView>* elements)
{
    bson_iter_t iterator;
    if (bson_iter_init(&iterator, static_cast<const bson_t*>(document)))
        while (bson_iter_next(&iterator))
            elements->push_back(elementAt(&iterator));
}

std::string BSONObj::jsonString() const
{
    bson_t view;
    if (!viewOf(objdata(), objsize(), &view))
        return "{}";
    size_t length = 0;
    char* text = bson_as_relaxed_extended_json(&view, &length);
    if (!text)
        return "{}";
    std::string out(text, length);
    bson_free(text);
    return out;
}

BSONElementView BSONObj::elementAt(const void* at)
{
    const bson_iter_t* iterator = static_cast<const bson_iter_t*>(at);
    BSONElementView element;
    element.name_ = std::string_view(bson_iter_key(iterator), bson_iter_key_len(iterator));
    const auto bytesOf = [](const uint8_t* data, uint32_t length) {
        return data ? std::string_view(reinterpret_cast<const char*>(data), length) : std::string_view();
    };
    switch (bson_iter_type(iterator)) {
    case BSON_TYPE_DOUBLE:
        element.type_ = BSON_DOUBLE;
        element.d_ = bson_iter_double(iterator);
        break;
    case BSON_TYPE_INT32:
        element.type_ = BSON_INT32;
        element.i_ = bson_iter_int32(iterator);
        break;
    case BSON_TYPE_INT64:
        element.type_ = BSON_INT64;
        element.i_ = bson_iter_int64(iterator);
        break;
    case BSON_TYPE_BOOL:
        element.type_ = BSON_BOOL;
        element.i_ = bson_iter_bool(iterator) ? 1 : 0;
        break;
    case BSON_TYPE_DATE_TIME:
        element.type_ = BSON_DATE;
        element.i_ = bson_iter_date_time(iterator);
        break;
    case BSON_TYPE_NULL:
        element.type_ = BSON_NULL;
        break;
    case BSON_TYPE_UTF8: {
        uint32_t length = 0;
        const char* text = bson_iter_utf8(iterator, &length);
        element.type_ = BSON_STRING;
        element.bytes_ = std::string_view(text, length);
        break;
    }
    case BSON_TYPE_DOCUMENT:
    case BSON_TYPE_ARRAY: {
        uint32_t length = 0;
        const uint8_t* data = nullptr;
        if (bson_iter_type(iterator) == BSON_TYPE_DOCUMENT) {
            element.type_ = BSON_OBJECT;
            bson_iter_document(iterator, &length, &data);
        } else {
            element.type_ = BSON_ARRAY;
            bson_iter_array(iterator, &length, &data);
        }
        element.bytes_ = bytesOf(data, length);
        break;
    }
    case BSON_TYPE_BINARY: {
        uint32_t length = 0;
        const uint8_t* data = nullptr;
        bson_subtype_t subtype;
        bson_iter_binary(iterator, &subtype, &length, &data);
        element.type_ = BSON_BINARY;
        element.bytes_ = bytesOf(data, length);
        break;
    }
    default:
        // Types the host never uses keep their id and no value.
        element.type_ = static_cast<int>(bson_iter_type(iterator));
        break;
    }
    return element;
}

BSONElement BSONObj::makeElement(const BSONElementView& view)
{
    BSONElement element;
    element.type_ = view.type_;
    element.name_.assign(view.name_.data(), view.name_.size());
    element.d_ = view.d_;
    element.i_ = view.i_;
    if (view.type_ == BSON_STRING)
        element.s_.assign(view.bytes_.data(), view.bytes_.size());
    else if (view.type_ == BSON_OBJECT || view.type_ == BSON_ARRAY)
        element.embedded_ = view.embeddedObject().bytes_;   // copied once, however often it is read
    return element;
}

// ---------------------------------------------------------------- BSONObjBuilder

namespace {
// The header only forward-declares the struct; libbson's functions take its aligned
// typedef, so the pointer is handed over as that type.
bson_t* asBson(_bson_t* doc)
{
    return reinterpret_cast<bson_t*>(doc);
}
} // namespace

BSONObjBuilder::BSONObjBuilder() : doc_(bson_new()) {}

BSONObjBuilder::~BSONObjBuilder()
{
    bson_destroy(asBson(doc_));
}

BSONObjBuilder& BSONObjBuilder::append(const std::string& name, const std::string& value)
{
    bson_append_utf8(asBson(doc_), name.data(), static_cast<int>(name.size()), value.data(), static_cast<int>(value.size()));
    return *this;
}

BSONObjBuilder& BSONObjBuilder::append(const std::string& name, const char* value)
{
    return append(name, std::string(value ? value : ""));
}

BSONObjBuilder& BSONObjBuilder::append(const std::string& name, double value)
{
    bson_append_double(asBson(doc_), name.data(), static_cast<int>(name.size()), value);
    return *this;
}

BSONObjBuilder& BSONObjBuilder::append(const std::string& name, int value)
{
    bson_append_int32(asBson(doc_), name.data(), static_cast<int>(name.size()), value);
    return *this;
}

BSONObjBuilder& BSONObjBuilder::append(const std::string& name, long long value)
{
    bson_append_int64(asBson(doc_), name.data(), static_cast<int>(name.size()), value);
    return *this;
}

BSONObjBuilder& BSONObjBuilder::appendBool(const std::string& name, bool value)
{
    bson_append_bool(asBson(doc_), name.data(), static_cast<int>(name.size()), value);
    return *this;
}

BSONObjBuilder& BSONObjBuilder::append(const std::string& name, const BSONObj& document)
{
    bson_t view;
    if (viewOf(document.objdata(), document.objsize(), &view))
        bson_append_document(asBson(doc_), name.data(), static_cast<int>(name.size()), &view);
    return *this;
}

BSONObj BSONObjBuilder::obj() const
{
    BSONObj out;
    out.bytes_ = std::make_shared<std::vector<uint8_t>>(bson_get_data(asBson(doc_)), bson_get_data(asBson(doc_)) + asBson(doc_)->len);
    return out;
}

} // namespace ttservice
