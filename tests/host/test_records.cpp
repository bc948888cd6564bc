// BSON value classes and the host records' BSON form.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <climits>
#include <random>

#include "ttservice/BondTenderRecords.h"
#include "ttservice/Bson.h"

using namespace ttservice;

namespace {

BSONObj documentWith(const std::string& name, const BSONObj& sub)
{
    BSONObjBuilder b;
    b.append(name, sub);
    return b.obj();
}

std::vector<uint8_t> bytesOf(const BSONObj& obj)
{
    return std::vector<uint8_t>(obj.objdata(), obj.objdata() + obj.objsize());
}

} // namespace

TEST(Bson, shouldReadBackEveryAppendedTypeAfterAByteRoundTrip)
{
    // Given a document with each kind of value the host writes
    BSONObjBuilder inner;
    inner.append("x", 1.5);
    BSONObjBuilder b;
    b.append("s", std::string("债券")).append("d", 2.25).append("i", 7).append("l", 1LL << 40)
        .appendBool("b", true).append("doc", inner.obj());
    const std::vector<uint8_t> bytes = bytesOf(b.obj());

    // When it is read back from its bytes
    BSONObj obj;
    ASSERT_TRUE(BSONObj::fromBytes(bytes.data(), bytes.size(), &obj));

    // Then every value and type survives
    EXPECT_EQ(obj["s"].str(), "债券");
    EXPECT_EQ(obj["d"].numberDouble(), 2.25);
    EXPECT_EQ(obj["i"].type(), BSON_INT32);
    EXPECT_EQ(obj["l"].numberLong(), 1LL << 40);
    EXPECT_TRUE(obj["b"].boolean());
    EXPECT_EQ(obj["doc"].type(), BSON_OBJECT);
    EXPECT_EQ(obj["doc"].embeddedObject()["x"].numberDouble(), 1.5);
    EXPECT_TRUE(obj["missing"].eoo());
    EXPECT_EQ(obj.elements().size(), 6u);
}

TEST(Bson, shouldReadNumbersAsEachOtherAndClampOutOfRangeDoublesToInt)
{
    struct Case { const char* json; int asInt; long long asLong; double asDouble; };
    const Case cases[] = {
        {R"({"v": 3.9})", 3, 3, 3.9},
        {R"({"v": -3.9})", -3, -3, -3.9},
        {R"({"v": 1e20})", INT_MAX, LLONG_MAX, 1e20},
        {R"({"v": -1e20})", INT_MIN, LLONG_MIN, -1e20},
        {R"({"v": 42})", 42, 42, 42.0},
        {R"({"v": 5000000000})", INT_MAX, 5000000000LL, 5e9},
        {R"({"v": "7"})", 0, 0, 0.0},
    };
    for (const Case& c : cases) {
        bool ok = false;
        const BSONElement v = BSONObj::fromJson(c.json, &ok)["v"];
        ASSERT_TRUE(ok) << c.json;
        EXPECT_EQ(v.numberInt(), c.asInt) << c.json;
        EXPECT_EQ(v.numberLong(), c.asLong) << c.json;
        EXPECT_DOUBLE_EQ(v.numberDouble(), c.asDouble) << c.json;
    }
}

TEST(Bson, shouldParseJsonWithArraysAndRejectBrokenJson)
{
    bool ok = false;
    const BSONObj obj = BSONObj::fromJson(R"({"a": [1, 2, 3], "o": {"k": "v"}})", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(obj["a"].type(), BSON_ARRAY);
    EXPECT_EQ(obj["a"].embeddedObject().elements().size(), 3u);
    EXPECT_EQ(obj["o"].embeddedObject()["k"].str(), "v");

    const BSONObj broken = BSONObj::fromJson("{\"a\": ", &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(broken.isEmpty());
}

TEST(Bson, shouldRejectHostileBytesWithoutCrashing)
{
    BSONObjBuilder b;
    b.append("name", std::string("value")).append("n", 1).append("doc", documentWith("k", BSONObj()));
    const std::vector<uint8_t> good = bytesOf(b.obj());
    BSONObj out = b.obj();

    // truncated at every length
    for (size_t size = 0; size < good.size(); ++size)
        EXPECT_FALSE(BSONObj::fromBytes(good.data(), size, &out)) << size;
    EXPECT_TRUE(out.isEmpty());

    // declared length disagreeing with the buffer
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_FALSE(BSONObj::fromBytes(longer.data(), longer.size(), &out));
    std::vector<uint8_t> lying = good;
    lying[0] = static_cast<uint8_t>(lying[0] + 1);
    EXPECT_FALSE(BSONObj::fromBytes(lying.data(), lying.size(), &out));
    EXPECT_FALSE(BSONObj::fromBytes(nullptr, 5, &out));

    // random corruption of a valid document, and random buffers with a correct length prefix
    std::mt19937 random(20261205);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> bytes = good;
        if (round % 2) {
            bytes[4 + random() % (bytes.size() - 4)] = static_cast<uint8_t>(random());
        } else {
            bytes.assign(5 + random() % 40, 0);
            for (uint8_t& byte : bytes)
                byte = static_cast<uint8_t>(random());
            const uint32_t size = static_cast<uint32_t>(bytes.size());
            for (int i = 0; i < 4; ++i)
                bytes[i] = static_cast<uint8_t>(size >> (8 * i));
        }
        if (BSONObj::fromBytes(bytes.data(), bytes.size(), &out)) {
            for (const BSONElement& e : out.elements())  // whatever passed must be fully readable
                e.embeddedObject().elements();
            out.jsonString();
        }
    }
}

TEST(TenderCommand, shouldGiveTenderParamOnlyForAnEmbeddedBtdparamDocument)
{
    struct Case { const char* extensionJson; bool hasParam; };
    const Case cases[] = {
        {R"({})", false},
        {R"({"other": {"bondCode": "X"}})", false},
        {R"({"btdparam": "bondCode=X"})", false},
        {R"({"btdparam": [{"bondCode": "X"}]})", false},
        {R"({"btdparam": 5})", false},
        {R"({"btdparam": {"bondCode": "240001", "tenderPrice": 2.5, "purchaseType": 1, "tenderTarget": 0, "tenderingType": 2}})", true},
    };
    for (const Case& c : cases) {
        CTenderCommandInfo command;
        command.extension = BSONObj::fromJson(c.extensionJson);
        const auto param = command.tenderParam();
        ASSERT_EQ(bool(param), c.hasParam) << c.extensionJson;
        if (param) {
            EXPECT_EQ(param->bondCode, "240001");
            EXPECT_EQ(param->tenderPrice, 2.5);
            EXPECT_EQ(param->purchaseType, TPT_PRIMARY);
            EXPECT_EQ(param->tenderTarget, TTG_RATE);
            EXPECT_EQ(param->tenderingType, TT_MIXED);
        }
    }
}

TEST(Records, shouldRoundTripEveryRecordTypeThroughBson)
{
    // Given one filled record of each stored type
    auto params = boost::make_shared<CIBondTenderAllocParams>();
    params->bondCode = "240001"; params->marginalPrice = 2.31; params->weightedMeanPrice = 2.3; params->couponRate = 2.35;
    auto underWriter = boost::make_shared<CIBondTenderAllocUnderWriterInfo>();
    underWriter->bondCode = "240001"; underWriter->underWriterName = "承销商甲"; underWriter->tenderingType = TT_AMERICAN;
    underWriter->tenderPrice = 2.3; underWriter->bidAmount = 1.5; underWriter->winAmount = 0.5;
    auto product = boost::make_shared<CIBondTenderAllocProductInfo>();
    product->bondCode = "240001"; product->productId = 11; product->productName = "产品一"; product->purchaseType = 2;
    auto report = boost::make_shared<CIBondTenderExecInternalReportInfo>();
    report->bondCode = "240001"; report->productId = 11; report->bidDetails = {{"2.300000", 1.25}, {"2.400000", kInvalidDouble}};
    auto external = boost::make_shared<CIBondTenderExecExternalReportInfo>();
    external->bondCode = "240001"; external->underWriterName = "承销商乙"; external->bidAmount = 3;
    auto detail = boost::make_shared<CWinBidInfoDetail>();
    detail->bondCode = "240001"; detail->rowKey = "3"; detail->winBidAmount = 12500; detail->account = "A1";
    detail->tenderMarket = TM_INTERBANK; detail->bidPrice = 2.3; detail->fixedRowIndex = "1";
    auto command = boost::make_shared<CTenderCommandInfo>();
    command->commandId = 77; command->productId = 11;
    command->extension = documentWith("btdparam", BSONObj::fromJson(R"({"bondCode": "240001"})"));
    const IDataList records = {params, underWriter, product, report, external, detail, command};

    for (const IDataPtr& record : records) {
        // When it is written to BSON and read into a fresh record of its type
        const IDataPtr copy = createRecord(record->dataType());
        ASSERT_TRUE(copy) << record->dataType();
        ASSERT_TRUE(copy->bsonValueFromObj(record->bsonValueToObj(), false));

        // Then the copy has the same key and writes the same document
        EXPECT_EQ(copy->getKey(), record->getKey()) << record->dataType();
        EXPECT_EQ(bytesOf(copy->bsonValueToObj()), bytesOf(record->bsonValueToObj())) << record->dataType();
    }
    auto reportCopy = boost::dynamic_pointer_cast<CIBondTenderExecInternalReportInfo>(createRecord(RT_EXEC_INTERNAL_REPORT));
    reportCopy->bsonValueFromObj(report->bsonValueToObj(), false);
    EXPECT_EQ(reportCopy->bidDetails, report->bidDetails);
    auto commandCopy = boost::dynamic_pointer_cast<CTenderCommandInfo>(createRecord(RT_TENDER_COMMAND));
    commandCopy->bsonValueFromObj(command->bsonValueToObj(), false);
    ASSERT_TRUE(commandCopy->tenderParam());
    EXPECT_EQ(commandCopy->tenderParam()->bondCode, "240001");
    EXPECT_FALSE(createRecord(12345));
}

TEST(Records, shouldKeepFieldsThatAreMissingOrWronglyTypedAndRefuseAnEmptyDocument)
{
    CWinBidInfoDetail detail;
    detail.account = "keep";
    detail.winBidAmount = 9;

    EXPECT_FALSE(detail.bsonValueFromObj(BSONObj(), false));
    ASSERT_TRUE(detail.bsonValueFromObj(
        BSONObj::fromJson(R"({"account": 5, "winBidAmount": "many", "productId": 12.0, "bondName": "国债"})"), true));

    EXPECT_EQ(detail.account, "keep");
    EXPECT_EQ(detail.winBidAmount, 9);
    EXPECT_EQ(detail.productId, 12);
    EXPECT_EQ(detail.bondName, "国债");
    EXPECT_EQ(detail.bidPrice, kInvalidDouble);
}

TEST(Records, shouldKeyRecordsByTheirIdentifyingFields)
{
    CIBondTenderAllocUnderWriterInfo underWriter;
    underWriter.bondCode = "B"; underWriter.underWriterName = "U"; underWriter.tenderPrice = 2.5;
    CWinBidInfoDetail detail;
    detail.bondCode = "B"; detail.rowKey = "4";
    CAccountInfo account;
    account.accountType = 15002; account.accountId = "ACC";
    CTenderCommandInfo command;
    command.commandId = 31;

    EXPECT_EQ(underWriter.getKey(), "B|U|2.500000");
    EXPECT_EQ(detail.getKey(), "B|4");
    EXPECT_EQ(account.getKey(), "15002|ACC");
    EXPECT_EQ(command.getKey(), "31");
}
