// Conversions, fixed point, tolerance and purchase type lookup of the tender helper.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <string>

#include "CPanelBondTenderAllocationHelper.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"
#include "ttservice/BondTenderRecords.h"

using TC::CPanelBondTenderAllocationHelper;
using namespace ttservice;

namespace {

using Helper = CPanelBondTenderAllocationHelper;

// Runs the body under the C locale and, when the machine has it, under a German one
// (where a locale-bound atof reads "1.5" as 1 and printf writes a comma).
template <class Body>
void underCAndGermanLocale(Body body)
{
    std::setlocale(LC_ALL, "C");
    {
        SCOPED_TRACE("C locale");
        body();
    }
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) {
        SCOPED_TRACE("de_DE locale");
        body();
    }
    std::setlocale(LC_ALL, "C");
}

} // namespace

TEST(TenderHelperTexts, shouldConvertEnumsToTextsAndBackExactly)
{
    // Given every named value, when converted to its text and back, then the value returns.
    for (ETenderingType type : {TT_DUTCH, TT_AMERICAN, TT_MIXED})
        EXPECT_EQ(type, Helper::getETenderingType(Helper::getStrTenderingType(type)));
    for (ETenderMarket market : {TM_SSE, TM_SZSE, TM_INTERBANK})
        EXPECT_EQ(market, Helper::getETenderMarket(Helper::getStrTenderTarget(market)));
    for (ETenderPurchaseType type : {TPT_PRIMARY, TPT_SECONDARY})
        EXPECT_EQ(type, Helper::getEPurchaseType(Helper::getStrPurchaseType(type)));

    EXPECT_EQ("荷兰式", Helper::getStrTenderingType(TT_DUTCH));
    EXPECT_EQ("美国式", Helper::getStrTenderingType(TT_AMERICAN));
    EXPECT_EQ("混合式", Helper::getStrTenderingType(TT_MIXED));
    EXPECT_EQ("上交所", Helper::getStrTenderTarget(TM_SSE));
    EXPECT_EQ("深交所", Helper::getStrTenderTarget(TM_SZSE));
    EXPECT_EQ("银行间", Helper::getStrTenderTarget(TM_INTERBANK));
    EXPECT_EQ("一级分销", Helper::getStrPurchaseType(TPT_PRIMARY));
    EXPECT_EQ("二级上市", Helper::getStrPurchaseType(TPT_SECONDARY));
}

TEST(TenderHelperTexts, shouldMapUnknownValuesAndTextsToTheNoValueMarks)
{
    EXPECT_EQ("-", Helper::getStrTenderingType(TT_NONE));
    EXPECT_EQ(TT_NONE, Helper::getETenderingType(""));
    EXPECT_EQ(TT_NONE, Helper::getETenderingType("荷兰式 "));   // whole-text comparison
    EXPECT_EQ("", Helper::getStrTenderTarget(TM_NONE));
    EXPECT_EQ(TM_NONE, Helper::getETenderMarket(""));
    EXPECT_EQ("", Helper::getStrPurchaseType(TPT_NONE));
    EXPECT_EQ(TPT_NONE, Helper::getEPurchaseType("一级"));
}

TEST(TenderHelperTexts, shouldShowNoValueAsDashAndOthersWithFourDecimals)
{
    EXPECT_EQ(QStringLiteral("-"), Helper::getTenderQStr(DBL_MAX, utils::FNF_NONE));
    EXPECT_EQ(QStringLiteral("3.2500"), Helper::getTenderQStr(3.25, utils::FNF_NONE));
    EXPECT_EQ(QStringLiteral("1,234.5000"), Helper::format4(1234.5, utils::FNF_SEGMENTED));
}

TEST(TenderHelperFixedPoint, shouldReadTextsAsCountsOfTenThousandths)
{
    struct SCase { const char* text; int expected; };
    const SCase cases[] = {
        {"12.5", 125000},          {"3", 30000},           {"0.123456", 1234},
        {"1.23456", 12345},        {"7.", 70000},          {"0.0001", 1},
        {"0.35", 3500},            {".5", 5000},           {"", 0},
        {"7 ", 0},                 {" 7", 0},              {"1 000", 0},
        {"abc", 0},                {"1.2a5", 12000},       {"1e2", 1000000},
        {"1.5e2", 1505000},        {"214748.3647", INT_MAX}, {"214748.3648", INT_MAX},
        {"214748.3646", INT_MAX - 1}, {"99999999999", INT_MAX},
    };
    underCAndGermanLocale([&] {
        for (const SCase& c : cases)
            EXPECT_EQ(c.expected, Helper::str2Int(c.text)) << "text \"" << c.text << "\"";
    });
}

TEST(TenderHelperFixedPoint, shouldPrintRoundAndCutWithoutTheProcessLocale)
{
    struct SCut { const char* typed; double unit; double expected; };
    const SCut cuts[] = {
        {"0.35", 0.1, 0.3}, {"0.05", 0.1, 0.0}, {"1.25", 0.1, 1.2}, {"5", 1.0, 5.0},
        {"5", 0.0, 0.0},    {"0.3", 0.1, 0.3},  {"7 ", 1.0, 0.0},   {"2.00005", 0.0001, 2.0},
    };
    underCAndGermanLocale([&] {
        EXPECT_EQ("3.250000", Helper::printF(3.25));
        EXPECT_EQ("0.100000", Helper::printF(0.1));
        EXPECT_DOUBLE_EQ(1.2346, Helper::roundTo4(1.23456));
        EXPECT_DOUBLE_EQ(0.0, Helper::roundTo4(0.00004));
        EXPECT_DOUBLE_EQ(100.5, Helper::roundTo4(100.5));
        EXPECT_EQ(DBL_MAX, Helper::roundTo4(DBL_MAX));
        for (const SCut& c : cuts)
            EXPECT_DOUBLE_EQ(c.expected, Helper::cutToWholeUnits(c.typed, c.unit))
                << "typed \"" << c.typed << "\" unit " << c.unit;
    });
}

TEST(TenderHelperTolerance, shouldCompareWithinOneHundredThousandth)
{
    // Half the tolerance off is within it, twice the tolerance off is not.
    EXPECT_TRUE(Helper::isEqual(1.0, 1.000005));
    EXPECT_FALSE(Helper::isEqual(1.0, 1.00002));
    EXPECT_TRUE(Helper::isGreaterOrEqual(0.999995, 1.0));
    EXPECT_FALSE(Helper::isGreaterOrEqual(0.99998, 1.0));
    EXPECT_TRUE(Helper::isLessOrEqual(1.000005, 1.0));
    EXPECT_FALSE(Helper::isLessOrEqual(1.00002, 1.0));
    EXPECT_FALSE(Helper::isGreater(1.000005, 1.0));
    EXPECT_TRUE(Helper::isGreater(1.00002, 1.0));
    EXPECT_FALSE(Helper::isGreaterThanZero(0.00001));
    EXPECT_TRUE(Helper::isGreaterThanZero(0.00002));
    EXPECT_TRUE(Helper::isZero(-0.00001));
}

TEST(TenderHelperWinBid, shouldTellWonBidsOfTheBondAtTheToleranceEdge)
{
    struct SCase { ETenderTarget target; const char* bond; double bid; bool won; };
    const double marginal = 3.0;
    const SCase cases[] = {
        {TTG_RATE, "B1", 3.000005, true},  {TTG_RATE, "B1", 3.00002, false}, {TTG_RATE, "B1", 2.5, true},
        {TTG_PRICE, "B1", 2.999995, true}, {TTG_PRICE, "B1", 2.99998, false}, {TTG_PRICE, "B1", 3.5, true},
        {TTG_PRICE, "B2", 3.5, false},     {TTG_NONE, "B1", 3.0, false},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(c.won, Helper::isValidData("B1", marginal, c.target, c.bond, c.bid))
            << "target " << c.target << " bond " << c.bond << " bid " << c.bid;
}

TEST(TenderHelperWinBid, shouldSettleWonBidsByTenderingType)
{
    struct SCase { ETenderingType type; ETenderTarget target; double bid; double expected; };
    const double marginal = 99.0;
    const SCase cases[] = {
        {TT_DUTCH, TTG_PRICE, 101.0, 99.0},     {TT_AMERICAN, TTG_PRICE, 101.0, 101.0},
        {TT_MIXED, TTG_PRICE, 101.0, 100.5},    {TT_MIXED, TTG_PRICE, 100.2, 100.2},
        {TT_MIXED, TTG_PRICE, 100.499995, 100.5}, {TT_MIXED, TTG_RATE, 100.2, 100.5},
        {TT_MIXED, TTG_RATE, 100.500005, 100.5}, {TT_MIXED, TTG_RATE, 101.0, 101.0},
        {TT_MIXED, TTG_NONE, 101.0, 0.0},       {TT_NONE, TTG_PRICE, 101.0, 0.0},
    };
    for (const SCase& c : cases)
        EXPECT_DOUBLE_EQ(c.expected, Helper::getWinBidPrice(c.type, c.target, c.bid, marginal, 100.5))
            << "type " << c.type << " target " << c.target << " bid " << c.bid;
}

namespace {

boost::shared_ptr<CTenderCommandInfo> tenderCommand(int commandId, int productId, const BSONObj& extension)
{
    boost::shared_ptr<CTenderCommandInfo> command(new CTenderCommandInfo());
    command->commandId = commandId;
    command->productId = productId;
    command->extension = extension;
    return command;
}

BSONObj withTenderParam(const std::string& bond, double price, ETenderPurchaseType type)
{
    CBondTendersParam param;
    param.bondCode = bond;
    param.tenderPrice = price;
    param.purchaseType = type;
    param.tenderTarget = TTG_PRICE;
    param.tenderingType = TT_AMERICAN;
    BSONObjBuilder builder;
    builder.append("btdparam", param.bsonValueToObj());
    return builder.obj();
}

class TenderHelperPurchaseType : public ::testing::Test {
protected:
    void SetUp() override { testsupport::resetHost(); }
    void TearDown() override { testsupport::resetHost(); }
};

} // namespace

TEST_F(TenderHelperPurchaseType, shouldFindTheCommandOfBondPriceAndProduct)
{
    // Given commands of two products at one price, unreadable commands first, and another bond
    CHostStore& store = CHostStore::instance();
    BSONObjBuilder notADocument;
    notADocument.append("btdparam", "B1");
    store.addTenderCommand(tenderCommand(1, 1, notADocument.obj()));
    store.addTenderCommand(tenderCommand(2, 1, BSONObj()));
    store.addTenderCommand(boost::shared_ptr<CTenderCommandInfo>());
    store.addTenderCommand(tenderCommand(3, 1, withTenderParam("B2", 100.0, TPT_SECONDARY)));
    store.addTenderCommand(tenderCommand(4, 1, withTenderParam("B1", 100.0, TPT_PRIMARY)));
    store.addTenderCommand(tenderCommand(5, 2, withTenderParam("B1", 100.0, TPT_SECONDARY)));

    // When looked up, then the product id and the price within tolerance decide
    struct SCase { int product; double price; ETenderPurchaseType expected; };
    const SCase cases[] = {
        {1, 100.0, TPT_PRIMARY},   {2, 100.0, TPT_SECONDARY}, {2, 100.000005, TPT_SECONDARY},
        {2, 99.999995, TPT_SECONDARY}, {2, 100.00002, TPT_NONE}, {3, 100.0, TPT_NONE},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(c.expected, Helper::getETenderPurchaseTypeFromCmd("B1", c.product, c.price))
            << "product " << c.product << " price " << c.price;
    EXPECT_EQ(TPT_SECONDARY, Helper::getETenderPurchaseTypeFromCmd("B2", 1, 100.0));
    EXPECT_EQ(TPT_NONE, Helper::getETenderPurchaseTypeFromCmd("B3", 1, 100.0));
}

TEST_F(TenderHelperPurchaseType, shouldGiveNoneWithoutCommands)
{
    EXPECT_EQ(TPT_NONE, Helper::getETenderPurchaseTypeFromCmd("B1", 1, 100.0));
}
