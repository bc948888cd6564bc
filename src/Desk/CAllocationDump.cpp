#include "CAllocationDump.h"

#include <QJsonDocument>
#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "services/HostStore.h"
#include "ttservice/Bson.h"

namespace desk {

namespace {

using ttservice::BSONElementView;

using Elements = std::vector<BSONElementView>;
void appendDocument(std::string& out, const ttservice::BSONObj& document, bool isArray, Elements& elements);

// A text the host keeps with broken UTF-8 is written as Qt reads it (with replacement
// characters), so that the JSON stays readable.
void appendString(std::string& out, std::string_view text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const QByteArray sanitized = ascii ? QByteArray() : QString::fromUtf8(text.data(), static_cast<int>(text.size())).toUtf8();
    const std::string_view bytes = ascii ? text : std::string_view(sanitized.constData(), static_cast<size_t>(sanitized.size()));
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    size_t plainFrom = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(bytes.substr(plainFrom, i - plainFrom));
        plainFrom = i + 1;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else {
            const char escaped[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xf]};
            out.append(escaped, sizeof(escaped));
        }
    }
    out.append(bytes.substr(plainFrom));
    out += '"';
}

// The shortest text that reads back as the same double; JSON has no infinities or NaN.
void appendNumber(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.append(buffer, result.ptr);
}

// Its sign, then the digits of its magnitude: libstdc++'s to_chars turns a negative value
// unsigned without a cast, which the sanitizer build reports as a changed sign.
void appendInteger(std::string& out, int value)
{
    const long long wide = value;
    if (wide < 0)
        out += '-';
    char buffer[16];
    const auto magnitude = static_cast<unsigned long long>(wide < 0 ? -wide : wide);
    out.append(buffer, std::to_chars(buffer, buffer + sizeof(buffer), magnitude).ptr);
}

// mayHaveNoValue: whether the field's no-value mark is written as null.
void appendValue(std::string& out, const BSONElementView& element, bool mayHaveNoValue)
{
    using namespace ttservice;
    switch (element.type()) {
    case BSON_DOUBLE:
        if (element.numberDouble() == kInvalidDouble)
            out += "null";
        else
            appendNumber(out, element.numberDouble());
        break;
    case BSON_INT32:
        if (mayHaveNoValue && element.numberInt() == kInvalidInt)
            out += "null";
        else
            appendInteger(out, element.numberInt());
        break;
    case BSON_INT64:
        if (element.numberLong() == kInvalidLongLong)
            out += "null";
        else
            appendNumber(out, static_cast<double>(element.numberLong()));
        break;
    case BSON_STRING:
        appendString(out, element.str());
        break;
    case BSON_BOOL:
        out += element.boolean() ? "true" : "false";
        break;
    case BSON_OBJECT:
    case BSON_ARRAY: {
        Elements nested;
        appendDocument(out, element.embeddedObject(), element.type() == BSON_ARRAY, nested);
        break;
    }
    default:
        out += "null";
    }
}

// elements: the document's, read in one walk over its bytes into a vector the caller keeps
// for its next document (a save writes tens of thousands).
void appendDocument(std::string& out, const ttservice::BSONObj& document, bool isArray, Elements& elements)
{
    // A won volume at the cap is 2147483647 units of 0.0001 亿: a volume, not the no-value mark.
    static const std::string_view kVolumeInUnits = "winBidAmount";
    ttservice::BSONObj::readValidated(document.objdata(), document.objsize(), &elements);
    out += isArray ? '[' : '{';
    bool first = true;
    for (const BSONElementView& element : elements) {
        if (!first)
            out += ',';
        first = false;
        if (!isArray) {
            appendString(out, element.fieldName());
            out += ':';
        }
        appendValue(out, element, isArray || element.fieldName() != kVolumeInUnits);
    }
    out += isArray ? ']' : '}';
}

} // namespace

void CAllocationDump::appendRecordsAsJson(std::string& out, const ttservice::IDataList& records)
{
    Elements elements;
    out += '[';
    bool first = true;
    for (const ttservice::IDataPtr& record : records) {
        if (!record)
            continue;
        if (first) {
            const size_t start = out.size();
            appendDocument(out, record->bsonValueToObj(), false, elements);
            // Rows of one kind print to about the same length: room for all of them at once.
            out.reserve(out.size() + (out.size() - start + 1) * records.size() * 9 / 8);
        } else {
            out += ',';
            appendDocument(out, record->bsonValueToObj(), false, elements);
        }
        first = false;
    }
    out += ']';
}

QJsonArray CAllocationDump::recordsToJson(const ttservice::IDataList& records)
{
    std::string text;
    appendRecordsAsJson(text, records);
    return QJsonDocument::fromJson(QByteArray::fromRawData(text.data(), static_cast<int>(text.size()))).array();
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
