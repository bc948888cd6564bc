// Conversions, fixed point, tolerance and purchase type lookup of the tender helper.
#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>

#include "CPanelBondTenderAllocationHelper.h"
#include "panel_workflow_support.h"

using namespace ttservice;
using Helper = TC::CPanelBondTenderAllocationHelper;

namespace {

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

// The texts themselves show in the desk's bond list and reach the stored records through
// the workflows; here: each value reads back from its text, an unknown has no value.
TEST(TenderHelper, shouldReadEachEnumBackFromItsTextAndUnknownsAsNoValue)
{
    for (auto type : {TT_DUTCH, TT_AMERICAN, TT_MIXED})
        EXPECT_EQ(type, Helper::getETenderingType(Helper::getStrTenderingType(type)));
    for (auto market : {TM_SSE, TM_SZSE, TM_INTERBANK})
        EXPECT_EQ(market, Helper::getETenderMarket(Helper::getStrTenderTarget(market)));
    for (auto type : {TPT_PRIMARY, TPT_SECONDARY})
        EXPECT_EQ(type, Helper::getEPurchaseType(Helper::getStrPurchaseType(type)));
    EXPECT_EQ("-", Helper::getStrTenderingType(TT_NONE));
    EXPECT_EQ(TT_NONE, Helper::getETenderingType("荷兰式 "));   // whole-text comparison
    EXPECT_EQ("", Helper::getStrTenderTarget(TM_NONE));
    EXPECT_EQ(TPT_NONE, Helper::getEPurchaseType("一级"));
    EXPECT_EQ(QStringLiteral("-"), Helper::getTenderQStr(DBL_MAX, utils::FNF_NONE));
    EXPECT_EQ(QStringLiteral("1,234.5000"), Helper::format4(1234.5, utils::FNF_SEGMENTED));
}

TEST(TenderHelper, shouldReadTextsAsCountsOfTenThousandthsInAnyLocale)
{
    struct SCase { const char* text; int expected; };
    const SCase cases[] = {
        {"12.5", 125000},          {"0.123456", 1234},     {"7.", 70000},       {"0.0001", 1},
        {".5", 5000},              {"", 0},                {"7 ", 0},           {" 7", 0},
        {"1 000", 0},              {"abc", 0},             {"1.2a5", 12000},    {"1.5e2", 1505000},
        {"214748.3647", INT_MAX},  {"214748.3648", INT_MAX}, {"214748.3646", INT_MAX - 1},
        {"99999999999", INT_MAX},
        // long fractions a fuzzer found read wrongly (as a double the first is 1.0: was 19999)
        {"0.99999999999999999", 9999}, {"1.99999999999999999", 19999}, {"214747.99999999999999", 2147479999},
        {"+0.99999999999999999", 9999},
        {"00.999999999999999999999999999999999999999999999999999999999999999999999999999999999910345", 9999},
    };
    underCAndGermanLocale([&] {
        for (const SCase& c : cases)
            EXPECT_EQ(c.expected, Helper::str2Int(c.text)) << "text \"" << c.text << "\"";
    });
}

TEST(TenderHelper, shouldPrintRoundAndCutToWholeUnitsInAnyLocale)
{
    struct SCut { const char* typed; double unit; double expected; };
    const SCut cuts[] = {
        {"0.35", 0.1, 0.3}, {"0.05", 0.1, 0.0}, {"1.25", 0.1, 1.2},       {"0.3", 0.1, 0.3},
        {"2.99", 0.5, 2.5}, {"5", 1.0, 5.0},    {"2.00005", 0.0001, 2.0}, {"0.0001", 0.0001, 0.0001},
        {"5", 0.0, 0.0},    {"7 ", 1.0, 0.0},   {"1 5", 1.0, 0.0},        {"abc", 1.0, 0.0},
    };
    underCAndGermanLocale([&] {
        EXPECT_EQ("3.250000", Helper::printF(3.25));
        EXPECT_DOUBLE_EQ(1.2346, Helper::roundTo4(1.23456));
        EXPECT_DOUBLE_EQ(0.0, Helper::roundTo4(0.00004));
        EXPECT_EQ(0.0, Helper::roundTo4(DBL_MAX));   // shown as "非法值", which reads back as 0
        // Rounded as the volume is shown with 4 decimals and read back, half-way cases included;
        // the shown text also made without a QString
        for (const double value : {0.00005, 1.23455, -0.00004, -0.0, -2.50005, 123456.78905, 1e15 + 0.5, 3.0e20,
                                   -DBL_MAX, std::nan(""), HUGE_VAL, 0.1 + 0.2}) {
            const QString text = Helper::format4(value, utils::FNF_NONE);
            EXPECT_EQ(text.toStdString(), Helper::format4Text(value)) << value;
            const double shown = text.toDouble();
            EXPECT_EQ(shown == 0.0 ? 0.0 : shown, Helper::roundTo4(value)) << value;
            EXPECT_FALSE(Helper::roundTo4(value) == 0.0 && std::signbit(Helper::roundTo4(value))) << value;
        }
        EXPECT_EQ(QStringLiteral("3.2500"), Helper::getTenderQStr(3.25, utils::FNF_NONE));
        for (const SCut& c : cuts)
            EXPECT_DOUBLE_EQ(c.expected, Helper::cutToWholeUnits(c.typed, c.unit))
                << "typed \"" << c.typed << "\" unit " << c.unit;
    });
}

TEST(TenderHelper, shouldCompareWithinOneHundredThousandth)
{
    // Half the tolerance off is within it, twice the tolerance off is not.
    struct SCase { double a, b; bool equal, greaterOrEqual, lessOrEqual, greater; };
    const SCase cases[] = {
        {1.0, 1.000005, true, true, true, false},    {1.0, 1.00002, false, false, true, false},
        {1.000005, 1.0, true, true, true, false},    {1.00002, 1.0, false, true, false, true},
        {0.00001, 0.0, true, true, true, false},     {0.00002, 0.0, false, true, false, true},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " vs " << c.b);
        EXPECT_EQ(c.equal, Helper::isEqual(c.a, c.b));
        EXPECT_EQ(c.greaterOrEqual, Helper::isGreaterOrEqual(c.a, c.b));
        EXPECT_EQ(c.lessOrEqual, Helper::isLessOrEqual(c.a, c.b));
        EXPECT_EQ(c.greater, Helper::isGreater(c.a, c.b));
        if (c.b == 0.0) {
            EXPECT_EQ(c.equal, Helper::isZero(c.a));
            EXPECT_EQ(c.greater, Helper::isGreaterThanZero(c.a));
        }
    }
}

TEST(TenderHelper, shouldTellAndSettleWonBidsAtTheToleranceEdge)
{
    struct SWon { ETenderTarget target; const char* bond; double bid; bool won; };
    const SWon won[] = {
        {TTG_RATE, "B1", 3.000005, true},  {TTG_RATE, "B1", 3.00002, false}, {TTG_RATE, "B1", 2.5, true},
        {TTG_PRICE, "B1", 2.999995, true}, {TTG_PRICE, "B1", 2.99998, false}, {TTG_PRICE, "B2", 3.5, false},
        {TTG_NONE, "B1", 3.0, false},
    };
    for (const SWon& c : won)
        EXPECT_EQ(c.won, Helper::isValidData("B1", 3.0, c.target, c.bond, c.bid))
            << "target " << c.target << " bond " << c.bond << " bid " << c.bid;

    // Marginal 99, weighted mean 100.5.
    struct SSettle { ETenderingType type; ETenderTarget target; double bid; double expected; };
    const SSettle settled[] = {
        {TT_DUTCH, TTG_PRICE, 101.0, 99.0},       {TT_AMERICAN, TTG_PRICE, 101.0, 101.0},
        {TT_MIXED, TTG_PRICE, 101.0, 100.5},      {TT_MIXED, TTG_PRICE, 100.2, 100.2},
        {TT_MIXED, TTG_PRICE, 100.499995, 100.5}, {TT_MIXED, TTG_RATE, 100.2, 100.5},
        {TT_MIXED, TTG_RATE, 100.500005, 100.5},  {TT_MIXED, TTG_RATE, 101.0, 101.0},
        {TT_MIXED, TTG_NONE, 101.0, 0.0},         {TT_NONE, TTG_PRICE, 101.0, 0.0},
    };
    for (const SSettle& c : settled)
        EXPECT_DOUBLE_EQ(c.expected, Helper::getWinBidPrice(c.type, c.target, c.bid, 99.0, 100.5))
            << "type " << c.type << " target " << c.target << " bid " << c.bid;
}

TEST(TenderHelper, shouldFindThePurchaseTypeOfTheCommandOfBondPriceAndProduct)
{
    // Given no commands, then nothing is found
    testsupport::resetHost();
    EXPECT_EQ(TPT_NONE, Helper::getETenderPurchaseTypeFromCmd("B1", 1, 100.0));

    // Given unreadable commands first, another bond's, and two products at one price
    wf::addCommandWithExtension(kInvalidInt, 1, BSONObjBuilder().append("btdparam", "B1").obj());
    wf::addCommandWithExtension(kInvalidInt, 1, BSONObj());
    CHostStore::instance().addTenderCommand(boost::shared_ptr<CTenderCommandInfo>());
    wf::addTenderCommand(3, 1, "B2", 100.0, TPT_SECONDARY, TTG_PRICE, TT_AMERICAN);
    wf::addTenderCommand(4, 1, "B1", 100.0, TPT_PRIMARY, TTG_PRICE, TT_AMERICAN);
    wf::addTenderCommand(5, 2, "B1", 100.0, TPT_SECONDARY, TTG_PRICE, TT_AMERICAN);

    // When looked up, then bond, product and the price within tolerance decide
    struct SCase { const char* bond; int product; double price; ETenderPurchaseType expected; };
    const SCase cases[] = {
        {"B1", 1, 100.0, TPT_PRIMARY},         {"B1", 2, 100.0, TPT_SECONDARY}, {"B1", 2, 100.000005, TPT_SECONDARY},
        {"B1", 2, 99.999995, TPT_SECONDARY},   {"B1", 2, 100.00002, TPT_NONE},  {"B1", 3, 100.0, TPT_NONE},
        {"B2", 1, 100.0, TPT_SECONDARY},       {"B3", 1, 100.0, TPT_NONE},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(c.expected, Helper::getETenderPurchaseTypeFromCmd(c.bond, c.product, c.price))
            << c.bond << " product " << c.product << " price " << c.price;
    testsupport::resetHost();
}
