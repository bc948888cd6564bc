// BSON value classes and the host records' BSON form.
#include <gtest/gtest.h>

#include <bson/bson.h>

#include <climits>
#include <random>

#include "ttservice/BondTenderRecords.h"
#include "ttservice/Bson.h"

using namespace ttservice;

namespace {

std::vector<uint8_t> bytesOf(const BSONObj& obj)
{
    return std::vector<uint8_t>(obj.objdata(), obj.objdata() + obj.objsize());
}

// What the desk reads must be what libbson's own validation accepts, neither more nor less.
bool libbsonValidates(const std::vector<uint8_t>& bytes)
{
    bson_t view;
    size_t offset = 0;
    return bson_init_static(&view, bytes.data(), bytes.size())
        && bson_validate(&view, static_cast<bson_validate_flags_t>(BSON_VALIDATE_UTF8 | BSON_VALIDATE_UTF8_ALLOW_NULL),
                         &offset);
}

// Whether the elements read are those libbson's own iterator finds in the bytes.
bool sameAsLibbsonIterator(const std::vector<uint8_t>& bytes, const std::vector<BSONElementView>& elements)
{
    bson_t view;
    bson_iter_t it;
    if (!bson_init_static(&view, bytes.data(), bytes.size()) || !bson_iter_init(&it, &view))
        return false;
    size_t i = 0;
    for (; bson_iter_next(&it); ++i) {
        if (i == elements.size())
            return false;
        const BSONElementView& e = elements[i];
        if (e.fieldName() != std::string_view(bson_iter_key(&it), bson_iter_key_len(&it))
            || e.type() != static_cast<int>(bson_iter_type(&it)))
            return false;
        uint32_t length = 0;
        switch (bson_iter_type(&it)) {
        case BSON_TYPE_UTF8: {
            const char* text = bson_iter_utf8(&it, &length);
            if (e.str() != std::string_view(text, length))
                return false;
            break;
        }
        case BSON_TYPE_DOUBLE:
            if (e.numberDouble() != bson_iter_double(&it))
                return false;
            break;
        case BSON_TYPE_INT32:
        case BSON_TYPE_INT64:
            if (e.numberLong() != bson_iter_as_int64(&it))
                return false;
            break;
        default:
            break;
        }
    }
    return i == elements.size();
}

// The verdict of both readers, checked to agree with each other and with libbson, and the
// elements of both as libbson's iterator reads them.
bool readsAsLibbson(const std::vector<uint8_t>& bytes)
{
    BSONObj document;
    std::vector<BSONElementView> elements;
    const bool copied = BSONObj::fromBytes(bytes.data(), bytes.size(), &document);
    const bool inPlace = BSONObj::readValidated(bytes.data(), bytes.size(), &elements);
    if (copied != inPlace || copied != libbsonValidates(bytes))
        return false;
    return !copied || (sameAsLibbsonIterator(bytes, elements) && sameAsLibbsonIterator(bytes, document.elementViews()));
}

// {name: text} or {name: 1}, written by hand so that name and text may be any bytes.
std::vector<uint8_t> documentOf(const std::string& name, const std::string* text)
{
    const auto append = [](std::vector<uint8_t>& out, const std::string& bytes) {
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        out.insert(out.end(), data, data + bytes.size());
    };
    std::vector<uint8_t> out(4, 0);
    out.push_back(text ? 0x02 : 0x10);
    append(out, name);
    out.push_back(0);
    const uint32_t value = text ? static_cast<uint32_t>(text->size() + 1) : 1;
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    if (text) {
        append(out, *text);
        out.push_back(0);
    }
    out.push_back(0);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(out.size() >> (8 * i));
    return out;
}

BSONObj json(const char* text)
{
    bool ok = false;
    const BSONObj obj = BSONObj::fromJson(text, &ok);
    EXPECT_TRUE(ok) << text;
    return obj;
}

} // namespace

TEST(Bson, shouldConvertNumbersWithClampingAndRejectBrokenJson)
{
    bool ok = true;
    EXPECT_TRUE(BSONObj::fromJson("{\"a\": ", &ok).isEmpty());
    EXPECT_FALSE(ok);
    struct Case { const char* json; int asInt; long long asLong; double asDouble; };
    const Case cases[] = {
        {R"({"v": 3.9})", 3, 3, 3.9},          {R"({"v": -3.9})", -3, -3, -3.9},
        {R"({"v": 1e20})", INT_MAX, LLONG_MAX, 1e20}, {R"({"v": -1e20})", INT_MIN, LLONG_MIN, -1e20},
        {R"({"v": 5000000000})", INT_MAX, 5000000000LL, 5e9}, {R"({"v": "7"})", 0, 0, 0.0},
    };
    for (const Case& c : cases) {
        const BSONElement v = json(c.json)["v"];
        EXPECT_EQ(v.numberInt(), c.asInt) << c.json;
        EXPECT_EQ(v.numberLong(), c.asLong) << c.json;
        EXPECT_DOUBLE_EQ(v.numberDouble(), c.asDouble) << c.json;
    }
}

TEST(Bson, shouldRejectHostileBytesWithoutCrashing)
{
    const std::vector<uint8_t> good = bytesOf(json(R"({"name": "value", "n": 1, "doc": {"k": {}}})"));
    BSONObj out;
    ASSERT_TRUE(BSONObj::fromBytes(good.data(), good.size(), &out));
    EXPECT_EQ(bytesOf(out), good);
    for (size_t size = 0; size < good.size(); ++size)   // truncated at every length
        EXPECT_FALSE(BSONObj::fromBytes(good.data(), size, &out)) << size;
    EXPECT_TRUE(out.isEmpty());
    std::vector<uint8_t> longer = good, lying = good;   // declared length disagreeing with the buffer
    longer.push_back(0);
    lying[0] = static_cast<uint8_t>(lying[0] + 1);
    EXPECT_FALSE(BSONObj::fromBytes(longer.data(), longer.size(), &out));
    EXPECT_FALSE(BSONObj::fromBytes(lying.data(), lying.size(), &out));
    EXPECT_FALSE(BSONObj::fromBytes(nullptr, 5, &out));
    // the last element cut right after its name, for every plain kind of value: nothing is
    // read past the document (the sanitizer build checks), and a null needs no more
    for (const uint8_t type : {0x01, 0x02, 0x08, 0x09, 0x0A, 0x10, 0x12}) {
        const std::vector<uint8_t> cut = {8, 0, 0, 0, type, 'k', 0, 0};
        EXPECT_TRUE(readsAsLibbson(cut)) << int(type);
    }

    // random corruption of a valid document (one with a sub-document, one of every plain
    // kind of value the records hold), and random buffers with a correct length prefix
    const std::vector<uint8_t> plain = bytesOf(json(
        R"({"s": "产品", "d": -2.5, "i": 7, "l": {"$numberLong": "-1234567890123"}, "b": true, "f": false,)"
        R"( "t": {"$date": {"$numberLong": "1700000000000"}}, "z": null, "": ""})"));
    std::mt19937 random(20261205);
    for (int round = 0; round < 4000; ++round) {
        std::vector<uint8_t> bytes = round % 4 < 2 ? good : plain;
        if (round % 2) {
            bytes[4 + random() % (bytes.size() - 4)] = static_cast<uint8_t>(random());
        } else {
            bytes.assign(5 + random() % 40, 0);
            for (uint8_t& byte : bytes)
                byte = static_cast<uint8_t>(random());
            for (int i = 0; i < 4; ++i)
                bytes[i] = static_cast<uint8_t>(bytes.size() >> (8 * i));
        }
        ASSERT_TRUE(readsAsLibbson(bytes)) << round;
        if (BSONObj::fromBytes(bytes.data(), bytes.size(), &out)) {
            for (const BSONElement& e : out.elements())   // whatever passed must be fully readable
                e.embeddedObject().elements();
            out.jsonString();
        }
    }
}

TEST(Bson, shouldAcceptExactlyTheTextsAndNamesLibbsonAccepts)
{
    // Every byte sequence of one and two bytes, and those of three and four bytes from a
    // lead byte and the bytes at the edges of UTF-8's ranges, after ASCII that spans a word of eight.
    const uint8_t edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
    std::vector<std::string> sequences;
    for (int first = 0; first < 256; ++first) {
        sequences.push_back(std::string(1, static_cast<char>(first)));
        for (int second = 0; second < 256; ++second)
            sequences.push_back({static_cast<char>(first), static_cast<char>(second)});
        if (first < 0xC0)   // not a lead byte: the shorter sequences tell it all
            continue;
        for (uint8_t second : edges)
            for (uint8_t third : edges) {
                sequences.push_back({static_cast<char>(first), static_cast<char>(second), static_cast<char>(third)});
                for (uint8_t fourth : edges)
                    sequences.push_back({static_cast<char>(first), static_cast<char>(second), static_cast<char>(third),
                                         static_cast<char>(fourth)});
            }
    }
    for (const std::string& sequence : sequences) {
        const std::string text = "ascii text" + sequence;
        ASSERT_TRUE(readsAsLibbson(documentOf("k", &text))) << testing::PrintToString(text);
        if (sequence.find('\0') == std::string::npos) {   // a name ends at its first NUL
            ASSERT_TRUE(readsAsLibbson(documentOf("name" + sequence, nullptr))) << testing::PrintToString(sequence);
        }
    }
    // Sub-documents, arrays and the rarer types are left to libbson whole.
    for (const char* text : {R"({"a": {"b": "文本", "c": [1, "x"]}, "d": {"$binary": "AAEC", "$type": "00"}})",
                             R"({"r": {"$regex": "^a", "$options": "i"}, "t": {"$timestamp": {"t": 1, "i": 2}}})"})
        EXPECT_TRUE(readsAsLibbson(bytesOf(json(text)))) << text;
}

TEST(TenderCommand, shouldGiveTenderParamOnlyForAnEmbeddedBtdparamDocument)
{
    const std::pair<const char*, bool> cases[] = {
        {R"({})", false},
        {R"({"other": {"bondCode": "X"}})", false},
        {R"({"btdparam": "bondCode=X"})", false},
        {R"({"btdparam": [{"bondCode": "X"}]})", false},
        {R"({"btdparam": 5})", false},
        {R"({"btdparam": {"bondCode": "240001", "tenderPrice": 2.5, "purchaseType": 1, "tenderTarget": 0, "tenderingType": 2}})", true},
    };
    // One command through every case: what it gives follows its current extension, read
    // again after each change; a caller's changes to its copy do not reach the next caller.
    CTenderCommandInfo command;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& c : cases) {
            command.extension = json(c.first);
            const auto param = command.tenderParam();
            ASSERT_EQ(bool(param), c.second) << c.first;
            if (param) {
                EXPECT_EQ(param->bsonValueToObj().jsonString(),
                          command.extension["btdparam"].embeddedObject().jsonString());
                param->bondCode = "changed by the caller";
                EXPECT_EQ(command.tenderParam()->bondCode, "240001");
            }
        }
    }
}

TEST(Records, shouldRoundTripEveryFieldOfEveryRecordTypeAndKeyByTheIdentifyingFields)
{
    struct Case { int type; const char* document; const char* key; };
    const Case cases[] = {
        {RT_ALLOC_PARAMS, R"({"bondCode": "B", "bondName": "国债", "marginalPrice": 2.31, "weightedMeanPrice": 2.3, "issuePrice": 0.5,
            "couponRate": 2.35})", "B"},
        {RT_ALLOC_UNDERWRITER, R"({"bondCode": "B", "bondName": "n", "tenderingType": 1, "underWriterName": "承销商甲",
            "tenderPrice": 2.5, "bidAmount": 1.5, "winBidPrice": 2.4, "winAmount": 0.5})", "B|承销商甲|2.500000"},
        {RT_EXEC_EXTERNAL_REPORT, R"({"bondCode": "B", "bondName": "n", "underWriterName": "乙", "tenderPrice": 2.25, "bidAmount": 3.5})",
            "B|乙|2.250000"},
        {RT_ALLOC_PRODUCT, R"({"bondCode": "B", "bondName": "n", "portfolioId": 4, "productId": 11, "productName": "产品一",
            "tenderPrice": 2.5, "bidAmount": 1.5, "winAmount": 1.25, "purchaseType": 2})", "B|11|2.500000"},
        {RT_EXEC_INTERNAL_REPORT, R"({"bondCode": "B", "bondName": "n", "tenderTarget": 1, "productId": 11,
            "bidDetails": {"2.300000": 1.25, "2.400000": 0.5}})", "B|11"},
        {RT_WIN_BID_DETAIL, R"({"tradingDay": "20261205", "remark": "r", "portfolioId": 4, "productId": 11,
            "productName": "p", "bondCode": "B", "bondName": "n", "tenderTarget": 1, "winBidPrice": 2.3, "account": "A1",
            "accountTypeText": "t", "underWriter": "u", "winBidAmount": 12500, "rowKey": "3", "purchaseType": 1,
            "tenderMarket": 2, "bidAmount": 1.5, "bidPrice": 2.3, "fixedRowIndex": "1"})", "B|3"},
        {RT_TENDER_COMMAND, R"({"commandId": 77, "productId": 11, "extension": {"btdparam": {"bondCode": "B"}}})", "77"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        // Given a record of the type read from a document naming every field
        const BSONObj document = json(c.document);
        const IDataPtr record = createRecord(c.type);
        ASSERT_TRUE(record && record->bsonValueFromObj(document, false));

        // When it is written back, then every field survived both ways, and the key is made of the identifying fields
        const BSONObj written = record->bsonValueToObj();
        for (const BSONElement& field : document.elements()) {
            const BSONElement back = written[field.fieldName()];
            EXPECT_EQ(back.numberDouble(), field.numberDouble()) << field.fieldName();
            EXPECT_EQ(back.str(), field.str()) << field.fieldName();
            EXPECT_EQ(back.embeddedObject().jsonString(), field.embeddedObject().jsonString()) << field.fieldName();
        }
        EXPECT_EQ(record->getKey(), c.key);
    }
    EXPECT_FALSE(createRecord(12345));
}

TEST(Records, shouldKeepFieldsThatAreMissingOrWronglyTypedAndRefuseAnEmptyDocument)
{
    CWinBidInfoDetail detail;
    detail.account = "keep";
    detail.winBidAmount = 9;
    EXPECT_FALSE(detail.bsonValueFromObj(BSONObj(), false));
    ASSERT_TRUE(detail.bsonValueFromObj(json(R"({"account": 5, "winBidAmount": "many", "productId": 12.0})"), true));
    EXPECT_EQ(detail.account, "keep");
    EXPECT_EQ(detail.winBidAmount, 9);
    EXPECT_EQ(detail.productId, 12);
    EXPECT_EQ(detail.bidPrice, kInvalidDouble);
}

TEST(Records, shouldReadTheFirstOfAFieldWrittenTwiceInAnyOrder)
{
    // Given a win-bid detail's document in the order the record writes it, the same reversed,
    // and both with the account written a second time (after the first, or before every field)
    const std::string fields = R"("tradingDay": "20261205", "remark": "r", "portfolioId": 4, "productId": 11,
        "productName": "p", "bondCode": "B", "bondName": "n", "tenderTarget": 1, "winBidPrice": 2.3, "account": "A1",
        "accountTypeText": "t", "underWriter": "u", "winBidAmount": 12500, "rowKey": "3", "purchaseType": 1,
        "tenderMarket": 2, "bidAmount": 1.5, "bidPrice": 2.3, "fixedRowIndex": "1")";
    const std::string reversed = R"("fixedRowIndex": "1", "bidPrice": 2.3, "bidAmount": 1.5, "tenderMarket": 2,
        "purchaseType": 1, "rowKey": "3", "winBidAmount": 12500, "underWriter": "u", "accountTypeText": "t",
        "account": "A1", "winBidPrice": 2.3, "tenderTarget": 1, "bondName": "n", "bondCode": "B", "productName": "p",
        "productId": 11, "portfolioId": 4, "remark": "r", "tradingDay": "20261205")";
    const std::pair<std::string, const char*> documents[] = {
        {"{" + fields + "}", "A1"},
        {"{" + reversed + "}", "A1"},
        {"{" + fields + R"(, "account": "A2"})", "A1"},
        {R"({"account": "A0", )" + fields + "}", "A0"},
    };
    CWinBidInfoDetail expected;
    ASSERT_TRUE(expected.bsonValueFromObj(json(documents[0].first.c_str()), false));
    for (const auto& document : documents) {
        SCOPED_TRACE(document.first);
        const BSONObj obj = json(document.first.c_str());
        std::vector<BSONElementView> elements;
        ASSERT_TRUE(BSONObj::readValidated(obj.objdata(), obj.objsize(), &elements));

        // When it is read from its elements, then every field is the document's, the account its first
        CWinBidInfoDetail detail;
        ASSERT_TRUE(detail.bsonValueFromElements(elements));
        EXPECT_EQ(detail.account, document.second);
        detail.account = expected.account;
        EXPECT_EQ(detail.bsonValueToObj().jsonString(), expected.bsonValueToObj().jsonString());
    }
}
