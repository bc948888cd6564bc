// Tender scenarios: the built-in sample, what a scenario puts into the store, and the
// place and reason given for a scenario that is wrong.

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <set>
#include <sys/stat.h>
#include <thread>

#include "CJsonText.h"
#include "CScenario.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"
#include "ttservice/BondTenderRecords.h"

using namespace desk;
using namespace ttservice;

namespace {

// A small valid scenario; the cases below break one thing in it.
const char* const kValidScenario = R"({
  "bonds": [
    {"code": "B1", "name": "测试债一", "basicTenderUnit": 0.1, "tenderTarget": "rate",
     "tenderingMethod": "dutch", "lockDate": "20261230",
     "result": {"marginalPrice": 2.5, "weightedMeanPrice": 2.45, "couponRate": 2.5}}
  ],
  "underwriters": ["甲证券"],
  "products": [{"id": 7, "name": "产品七", "accounts": [{"type": 2, "id": "A7"}, {"type": 15002, "id": "IB7"}]}],
  "tenderCommands": [{"commandId": 70, "productId": 7,
                      "btdparam": {"bondCode": "B1", "tenderPrice": 2.5, "purchaseType": 2}}],
  "underwriterReports": [{"bondCode": "B1", "underwriter": "甲证券", "tenderPrice": 2.5, "bidAmount": 3.0}],
  "productReports": [{"bondCode": "B1", "productId": 7, "bidDetails": {"2.50": 3.0}}]
})";

QByteArray replaced(const char* from, const char* to)
{
    QByteArray json(kValidScenario);
    const int at = json.indexOf(from);
    EXPECT_GE(at, 0) << from;
    return json.replace(at, int(strlen(from)), to);
}

class ScenarioStoreTest : public testsupport::HostTest {};

} // namespace

TEST(ScenarioTest, shouldOfferEveryKindOfTenderInTheBuiltInSample)
{
    // Given the sample compiled into the desk
    CScenario sample;
    QString error;
    ASSERT_TRUE(CScenario::loadFile(CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();

    // Then it holds Dutch, American and mixed tenders, price and rate targets, each with a tender command
    std::set<int> methods, targets;
    std::set<std::string> commanded;
    for (const SScenarioCommand& c : sample.commands())
        commanded.insert(c.bondCode);
    for (const SScenarioBond& bond : sample.bonds()) {
        methods.insert(bond.tenderingType);
        targets.insert(bond.target);
        EXPECT_TRUE(commanded.count(bond.code)) << bond.code;
    }
    EXPECT_EQ(methods, (std::set<int>{TT_DUTCH, TT_AMERICAN, TT_MIXED}));
    EXPECT_EQ(targets, (std::set<int>{TTG_RATE, TTG_PRICE}));

    // And its default bond is a won mixed tender whose marginal position was bid
    const SScenarioBond* bond = sample.bond(sample.defaultBondCode());
    ASSERT_NE(bond, nullptr);
    EXPECT_EQ(bond->tenderingType, TT_MIXED);
    EXPECT_TRUE(bond->hasResult && bond->marginalPrice > 0.0);
    const auto& reports = sample.underwriterReports();
    EXPECT_TRUE(std::any_of(reports.begin(), reports.end(), [bond](const SUnderwriterReport& r) {
        return r.bondCode == bond->code && r.tenderPrice == bond->marginalPrice;
    }));
}

TEST_F(ScenarioStoreTest, shouldPutReadOnlyRecordsAndDecidedResultsIntoTheStore)
{
    // Given the small scenario applied to the store
    CScenario scenario;
    QString error;
    ASSERT_TRUE(CScenario::parse(kValidScenario, QStringLiteral("small.json"), &scenario, &error)) << error.toStdString();
    CHostStore& store = CHostStore::instance();
    scenario.applyTo(store);

    // Then the products carry their accounts
    const auto products = store.products();
    ASSERT_EQ(products.size(), 1u);
    ASSERT_EQ(products[0]->accounts.size(), 2u);
    EXPECT_EQ(products[0]->accounts[1]->getKey(), "15002|IB7");

    // And the command's tender parameters are readable as the panel reads them
    ASSERT_EQ(store.tenderCommands().size(), 1u);
    const auto command = boost::dynamic_pointer_cast<CTenderCommandInfo>(store.tenderCommands()[0]);
    ASSERT_TRUE(command && command->tenderParam());
    EXPECT_EQ(command->productId, 7);
    const auto param = command->tenderParam();
    EXPECT_EQ(param->bondCode, "B1");
    EXPECT_EQ(param->purchaseType, TPT_SECONDARY);
    EXPECT_EQ(param->tenderTarget, TTG_RATE);
    EXPECT_EQ(param->tenderingType, TT_DUTCH);

    // And the reports, the lock date and the bid parameters are stored for the bond, none of it as a call
    const auto external = store.typedRecords<CIBondTenderExecExternalReportInfo>("B1", RT_EXEC_EXTERNAL_REPORT);
    ASSERT_EQ(external.size(), 1u);
    EXPECT_EQ(external[0]->bondName, "测试债一");
    const auto internal = store.typedRecords<CIBondTenderExecInternalReportInfo>("B1", RT_EXEC_INTERNAL_REPORT);
    ASSERT_EQ(internal.size(), 1u);
    EXPECT_EQ(internal[0]->bidDetails, (std::map<std::string, double>{{"2.50", 3.0}}));
    EXPECT_EQ(store.tenderBondInfo("B1")->lockDate, "20261230");
    const auto params = store.typedRecords<CIBondTenderAllocParams>("B1", RT_ALLOC_PARAMS);
    ASSERT_EQ(params.size(), 1u);
    EXPECT_DOUBLE_EQ(params[0]->weightedMeanPrice, 2.45);
    EXPECT_TRUE(store.calls().empty());

    // And a lost result is kept as bid parameters with marginal zero (not taken for a clearing record)
    ASSERT_TRUE(CScenario::parse(replaced(R"("marginalPrice": 2.5, "weightedMeanPrice": 2.45, "couponRate": 2.5)",
                                          R"("marginalPrice": 0)"), QStringLiteral("lost.json"), &scenario, &error));
    testsupport::resetHost();
    scenario.applyTo(store);
    ASSERT_EQ(store.records("B1", RT_ALLOC_PARAMS).size(), 1u);
    EXPECT_DOUBLE_EQ(store.typedRecords<CIBondTenderAllocParams>("B1", RT_ALLOC_PARAMS)[0]->marginalPrice, 0.0);
}

TEST(ScenarioTest, shouldNameThePlaceAndTheReasonOfEachMistake)
{
    struct Case {
        const char* what;
        QByteArray json;
        QString expected;
    };
    const std::vector<Case> cases{
        {"top level", "[1, 2]", "case.json: 顶层应为 JSON 对象"},
        // the column counts characters, not bytes, after the Chinese name
        {"malformed on line 3", "{\n \"bonds\": [\n  {\"name\": \"债\" \"code\": 1}]}",
         "case.json:3:17: JSON 格式错误"},
        {"no bonds", "{\"bonds\": []}", "case.json: bonds: 场景至少需要一只债券"},
        {"missing unit", replaced(R"("basicTenderUnit": 0.1, )", ""), "case.json: bonds[0].basicTenderUnit: 缺少字段"},
        {"unit of zero", replaced("0.1", "0"), "bonds[0].basicTenderUnit: 基本投标单位应在 0.0001 到 1000000 之间"},
        {"unit below 0.0001", replaced("0.1", "0.00001"), "bonds[0].basicTenderUnit: 基本投标单位应在 0.0001 到 1000000 之间"},
        {"unit above 1e6", replaced("0.1", "1e308"), "bonds[0].basicTenderUnit: 基本投标单位应在 0.0001 到 1000000 之间"},
        {"bond code of 65 characters", replaced(R"("code": "B1")", (R"("code": ")" + std::string(65, 'C') + "\"").c_str()),
         "bonds[0].code: 债券代码过长：最多 64 个字符"},
        {"name of 257 characters", replaced(R"("name": "产品七")", (R"("name": ")" + std::string(257, 'N') + "\"").c_str()),
         "products[0].name: 文本过长：最多 256 个字符，实际为 257 个"},
        {"two products of one name",
         replaced(R"(]}],)", R"(]}, {"id": 8, "name": "产品七", "accounts": []}],)"),
         "products[1].name: 产品名称 产品七 重复出现"},
        {"command price of zero", replaced(R"("tenderPrice": 2.5, "purchaseType")", R"("tenderPrice": 0, "purchaseType")"),
         "tenderCommands[0].btdparam.tenderPrice: 投标价位必须大于 0"},
        {"one position written twice", replaced(R"({"2.50": 3.0})", R"({"2.50": 3.0, "2.5": 1.0})"),
         "productReports[0].bidDetails.2.50: 与标位 2.5 是同一标位"},
        {"target", replaced(R"("rate")", R"("yield")"), "bonds[0].tenderTarget: 未知的招标标的 \"yield\""},
        {"lock date", replaced("20261230", "2026-12-30"), "bonds[0].lockDate: 日期格式错误：应写作 yyyyMMdd"},
        {"negative marginal", replaced(R"("marginalPrice": 2.5)", R"("marginalPrice": -1)"),
         "bonds[0].result.marginalPrice: 边际价格不能为负数"},
        {"duplicate underwriter", replaced(R"(["甲证券"])", R"(["甲证券", "甲证券"])"),
         "underwriters[1]: 承销商 甲证券 重复出现"},
        {"account type", replaced(R"("type": 15002)", R"("type": 3)"), "products[0].accounts[1].type: 未知的账户类型 3"},
        {"product id as text", replaced(R"("id": 7)", R"("id": "7")"), "products[0].id: 类型错误：应为整数，实际为文本"},
        {"command of an unknown product", replaced(R"("commandId": 70, "productId": 7)", R"("commandId": 70, "productId": 8)"),
         "tenderCommands[0].productId: 未知的产品 8"},
        {"command of an unknown bond", replaced(R"("btdparam": {"bondCode": "B1")", R"("btdparam": {"bondCode": "B9")"),
         "tenderCommands[0].btdparam.bondCode: 未知的债券 B9"},
        {"purchase type", replaced(R"("purchaseType": 2)", R"("purchaseType": 0)"),
         "tenderCommands[0].btdparam.purchaseType: 应为 1（一级分销）或 2（二级上市），实际为 0"},
        {"unknown underwriter", replaced(R"("underwriter": "甲证券")", R"("underwriter": "乙证券")"),
         "underwriterReports[0].underwriter: 乙证券 不在承销商列表"},
        {"position text", replaced(R"({"2.50": 3.0})", R"({"2,50": 3.0})"),
         "productReports[0].bidDetails.2,50: 标位必须是大于 0 的数字"},
        {"negative bid", replaced(R"({"2.50": 3.0})", R"({"2.50": -3.0})"),
         "productReports[0].bidDetails.2.50: 投标量不能为负数"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CScenario scenario;
        QString error, documentError;
        EXPECT_FALSE(CScenario::parse(c.json, QStringLiteral("case.json"), &scenario, &error));
        EXPECT_TRUE(error.contains(c.expected)) << error.toStdString();
        // the one-pass reader leaves the message to Qt's document
        EXPECT_FALSE(CScenario::parseWithQtDocument(c.json, QStringLiteral("case.json"), &scenario, &documentError));
        EXPECT_EQ(error, documentError);
    }
}

TEST(ScenarioTest, shouldReadEveryTextAsQtsDocumentReadsIt)
{
    // Given texts that the one-pass reader reads itself and texts it must leave to Qt's
    // document: escapes, characters beyond the first plane at the length limit, numbers in
    // every notation and at the ends of the doubles, unknown and repeated fields, members
    // in another order, other blanks, a byte order mark, deep nesting
    const std::string clef = "\xF0\x9D\x84\x9E";   // one character, two UTF-16 units
    std::string names255;
    for (int i = 0; i < 127; ++i)
        names255 += clef;
    const std::string names257 = "\"" + names255 + clef + "N\"";
    names255 = "\"" + names255 + "N\"";
    QByteArray bondsLast(kValidScenario);
    const int bondsAt = bondsLast.indexOf("\"bonds\""), bondsLength = bondsLast.indexOf("\"underwriters\"") - bondsAt;
    const QByteArray bonds = bondsLast.mid(bondsAt, bondsLength).trimmed().chopped(1);
    bondsLast.remove(bondsAt, bondsLength);
    bondsLast.insert(bondsLast.lastIndexOf('}'), ", " + bonds);
    const std::vector<std::pair<const char*, QByteArray>> texts{
        {"the small scenario", kValidScenario},
        {"escapes", replaced(R"("产品七")", R"("产\u4e03\u00e9\"\\\/\b\f\n\r\t\u0000")")},
        {"surrogate pair and noncharacter escapes", replaced(R"("测试债一")", R"("\ud834\udd1e\uffff")")},
        {"lone surrogate escape", replaced(R"("测试债一")", R"("\ud834")")},
        {"255 units", replaced(R"("产品七")", names255.c_str())},
        {"257 units", replaced(R"("产品七")", names257.c_str())},
        {"raw control character", replaced(R"("测试债一")", "\"\x01\x7f\"")},
        {"overlong UTF-8", replaced(R"("测试债一")", "\"\xC0\xAF\"")},
        {"encoded surrogate", replaced(R"("测试债一")", "\"\xED\xA0\x80\"")},
        {"noncharacter", replaced(R"("测试债一")", "\"\xEF\xBF\xBE\"")},
        {"exponents", replaced(R"("basicTenderUnit": 0.1)", R"("basicTenderUnit": 1E-1)")},
        {"trailing zeros", replaced(R"("basicTenderUnit": 0.1)", R"("basicTenderUnit": 100.000e-3)")},
        {"minus zero", replaced(R"("marginalPrice": 2.5)", R"("marginalPrice": -0)")},
        {"minus zero point zero", replaced(R"("marginalPrice": 2.5)", R"("marginalPrice": -0.0)")},
        {"zero with exponent", replaced(R"("marginalPrice": 2.5)", R"("marginalPrice": 0e7)")},
        {"underflow", replaced(R"("weightedMeanPrice": 2.45)", R"("weightedMeanPrice": 1e-400)")},
        {"subnormal", replaced(R"("weightedMeanPrice": 2.45)", R"("weightedMeanPrice": 5e-324)")},
        {"overflow", replaced(R"("weightedMeanPrice": 2.45)", R"("weightedMeanPrice": 1e400)")},
        {"integer beyond 64 bits", replaced(R"("bidAmount": 3.0)", R"("bidAmount": 123456789012345678901234)")},
        {"integer beyond 53 bits", replaced(R"("bidAmount": 3.0)", R"("bidAmount": 9007199254740993)")},
        {"many digits", replaced(R"("bidAmount": 3.0)", R"("bidAmount": 2.99999999999999999999999999)")},
        {"no digit after the point", replaced(R"("bidAmount": 3.0)", R"("bidAmount": 3.)")},
        {"leading zero", replaced(R"("bidAmount": 3.0)", R"("bidAmount": 03)")},
        {"unknown fields", replaced(R"("underwriters")", R"("note": {"a": [1, {"b": null}, []], "c": true, "d": {}}, "underwriters")")},
        {"repeated field", replaced(R"("name": "产品七")", R"("name": "产品八", "name": "产品七")")},
        {"the bonds last", bondsLast},
        {"tabs and CRLF", QByteArray(kValidScenario).replace("\n", "\r\n\t")},
        {"byte order mark", "\xEF\xBB\xBF" + QByteArray(kValidScenario)},
        {"byte order mark opening a text", replaced("\"20261230\"", "\"\xEF\xBB\xBF" "20261230\"")},
        {"byte order mark inside a text", replaced(R"("测试债一")", "\"测试\xEF\xBB\xBF债一\"")},
        {"escaped byte order mark opening a text", replaced("\"20261230\"", R"("\ufeff20261230")")},
        {"deep nesting", replaced(R"("underwriters")", (R"("deep": )" + std::string(100, '[') + std::string(100, ']') + ", \"underwriters\"").c_str())},
        {"garbage at the end", QByteArray(kValidScenario) + " x"},
        {"cut short", QByteArray(kValidScenario).left(300)},
    };
    for (const auto& text : texts) {
        SCOPED_TRACE(text.first);
        const QByteArray& json = text.second;
        CScenario read, fromDocument;
        QString error, documentError;
        const bool accepted = CScenario::parse(json, QStringLiteral("case.json"), &read, &error);

        // Then both read it alike: the same verdict and message, or the same scenario to the bit
        EXPECT_EQ(accepted, CScenario::parseWithQtDocument(json, QStringLiteral("case.json"), &fromDocument, &documentError));
        EXPECT_EQ(error, documentError);
        EXPECT_TRUE(read == fromDocument);
    }

    // And the plain ones, the sample among them, are read in one pass
    CScenario sample;
    QString error;
    ASSERT_TRUE(CScenario::loadFile(CScenario::kBuiltInPath, &sample, &error));
    QFile sampleFile(CScenario::kBuiltInPath);
    ASSERT_TRUE(sampleFile.open(QIODevice::ReadOnly));
    for (const QByteArray& plain : {QByteArray(kValidScenario), replaced(R"("产品七")", names255.c_str()), sampleFile.readAll()})
        EXPECT_TRUE(CJsonText().read(plain));
}

TEST_F(ScenarioStoreTest, shouldAcceptTheBoundsAndPutEveryTextIntoTheStoreByteForByte)
{
    // Given a scenario at the bounds: the smallest and the largest unit, a code of 64
    // characters, a name of 256, and a product name holding a NUL and a tab
    const std::string code(64, 'C');
    const std::string longName(256, 'N');
    const std::string withNul("产品\0七\t", 11);
    QByteArray json = replaced(R"("name": "产品七")", R"("name": "产品\u0000七\t")");
    json.replace("\"B1\"", ("\"" + code + "\"").c_str());
    json.replace("测试债一", longName.c_str());
    for (const char* unit : {"0.0001", "1000000"}) {
        SCOPED_TRACE(unit);
        CScenario scenario;
        QString error;
        ASSERT_TRUE(CScenario::parse(QByteArray(json).replace("0.1", unit), QStringLiteral("case.json"), &scenario, &error))
            << error.toStdString();

        // When it is put into the store, then the texts arrive as written
        testsupport::resetHost();
        scenario.applyTo(CHostStore::instance());
        ASSERT_EQ(CHostStore::instance().products().size(), 1u);
        EXPECT_EQ(CHostStore::instance().products()[0]->productName, withNul);
        EXPECT_EQ(scenario.bonds().at(0).name, longName);
        EXPECT_TRUE(CHostStore::instance().tenderBondInfo(code));
    }
}

TEST(ScenarioTest, shouldReadNoMoreThanItsLimitFromAFileADeviceOrAPipe)
{
    // Given a limit of 1 MB, a regular file one byte over it, an endless device and a pipe
    // whose writer goes on past the limit
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const qint64 limit = 1 << 20;
    const QString big = dir.filePath(QStringLiteral("big.json"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(limit + 1, ' '));
    }
    const QString fifo = dir.filePath(QStringLiteral("pipe.json"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // The reader stops before the writer does: the writer is told by a failed write, not a signal.
    const auto previousHandler = std::signal(SIGPIPE, SIG_IGN);
    std::thread writer([&] {
        QFile f(fifo);
        if (f.open(QIODevice::WriteOnly)) {
            const QByteArray piece(64 * 1024, ' ');
            for (qint64 written = 0; written <= 2 * limit && f.write(piece) > 0; written += piece.size()) {
            }
        }
    });

    // When each is read as a scenario, then it is refused with the reason, not read on
    for (const QString& path : {big, QStringLiteral("/dev/zero"), fifo}) {
        SCOPED_TRACE(path.toStdString());
        CScenario scenario;
        QString error;
        EXPECT_FALSE(CScenario::loadFile(path, &scenario, &error, limit));
        EXPECT_TRUE(error.startsWith(path + QStringLiteral(": 场景文件超过 1 MB"))) << error.toStdString();
    }
    writer.join();
    std::signal(SIGPIPE, previousHandler);
}
