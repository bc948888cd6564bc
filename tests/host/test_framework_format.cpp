// Number texts of the host framework: formatting, parsing and "%f" without the process locale.
#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "KZ/Format.h"

namespace {

const QString kInvalid = QStringLiteral("非法值");

struct SFormatCase {
    double value;
    int decimals;
    int flags;
    const char* expected;
};

const SFormatCase kFormatCases[] = {
    {1234567.891, 4, utils::FNF_NONE, "1234567.8910"},
    {1234567.891, 4, utils::FNF_SEGMENTED, "1,234,567.8910"},
    {-1234.5, 4, utils::FNF_SEGMENTED, "-1,234.5000"},
    {-1234.5, 4, utils::FNF_NONE, "-1234.5000"},
    {999.0, 4, utils::FNF_SEGMENTED, "999.0000"},
    {1000.0, 0, utils::FNF_SEGMENTED, "1,000"},
    {100000.0, 2, utils::FNF_SEGMENTED, "100,000.00"},
    {0.0, 4, utils::FNF_SEGMENTED, "0.0000"},
    {0.00004, 4, utils::FNF_NONE, "0.0000"},
    {-0.00004, 4, utils::FNF_NONE, "0.0000"},   // rounds to zero: no sign
    {0.00005001, 4, utils::FNF_NONE, "0.0001"},
    {2.5, 0, utils::FNF_NONE, "2"},             // C rounding of the exact binary value
    {12.34, 2, utils::FNF_NONE, "12.34"},
};

void expectFormatCases()
{
    for (const SFormatCase& c : kFormatCases) {
        EXPECT_EQ(KZ::formatDoubleNumber(c.value, c.decimals, c.flags, false, kInvalid), QString::fromLatin1(c.expected))
            << c.value << " with " << c.decimals << " decimals, flags " << c.flags;
    }
}

void expectParseCases()
{
    const std::pair<const char*, double> valid[] = {
        {"1.5", 1.5}, {"-2", -2.0}, {"+3.25", 3.25}, {".5", 0.5}, {"7.", 7.0}, {"1e3", 1000.0}, {"0.0001", 0.0001},
    };
    for (const auto& entry : valid) {
        bool ok = false;
        EXPECT_DOUBLE_EQ(KZ::parseDouble(entry.first, &ok), entry.second) << entry.first;
        EXPECT_TRUE(ok) << entry.first;
    }
    const char* invalid[] = {"", " ", " 1", "1 ", "abc", "1,000", "1.5x", "inf", "nan", "-", ".", "1e999", "--1"};
    for (const char* text : invalid) {
        bool ok = true;
        EXPECT_EQ(KZ::parseDouble(text, &ok), 0.0) << '"' << text << '"';
        EXPECT_FALSE(ok) << '"' << text << '"';
    }
}

void expectPrintFixed6Cases(const std::vector<std::string>& expectedFromC)
{
    const double values[] = {0.0, 1.5, -2.25, 0.1, 1234567.000001, 1e15 + 0.5, 0.0000005, -0.0000004, 123.456789123};
    ASSERT_EQ(expectedFromC.size(), std::size(values));
    for (size_t i = 0; i < expectedFromC.size(); ++i)
        EXPECT_EQ(KZ::printFixed6(values[i]), expectedFromC[i]) << values[i];
}

std::vector<std::string> printfInCLocale()
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    std::setlocale(LC_ALL, "C");
    std::vector<std::string> texts;
    for (double value : {0.0, 1.5, -2.25, 0.1, 1234567.000001, 1e15 + 0.5, 0.0000005, -0.0000004, 123.456789123}) {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, "%f", value);
        texts.emplace_back(buffer);
    }
    std::setlocale(LC_ALL, saved.c_str());
    return texts;
}

} // namespace

TEST(FrameworkFormat, shouldFormatWithDecimalsAndOptionalThousandsSeparators)
{
    expectFormatCases();
}

TEST(FrameworkFormat, shouldGiveInvalidTextForNumbersThatCannotBeShown)
{
    const double unshowable[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(), DBL_MAX, -DBL_MAX};
    for (double value : unshowable) {
        EXPECT_EQ(KZ::formatDoubleNumber(value, 4, utils::FNF_SEGMENTED, false, kInvalid), kInvalid) << value;
        EXPECT_EQ(KZ::formatDoubleNumber(value, 4, utils::FNF_NONE, false, QStringLiteral("-")), QStringLiteral("-"));
    }
}

TEST(FrameworkFormat, shouldParseOnlyTextsThatAreEntirelyANumber)
{
    expectParseCases();
}

TEST(FrameworkFormat, shouldPrintLikeCPercentF)
{
    expectPrintFixed6Cases(printfInCLocale());
}

TEST(FrameworkFormat, shouldIgnoreAGermanProcessLocale)
{
    // Given the C results, when the process runs under a locale with a decimal comma
    const std::vector<std::string> fromC = printfInCLocale();
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    char probe[32];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5");   // the locale really is active

    // Then every conversion still uses '.'
    expectFormatCases();
    expectParseCases();
    expectPrintFixed6Cases(fromC);
    std::setlocale(LC_ALL, "C");
}

TEST(FrameworkFormat, shouldConvertUtf8AndPickColourKeysByDirection)
{
    const std::string utf8 = "中标分配 btdallo";
    EXPECT_EQ(KZ::sToQs(utf8), QStringLiteral("中标分配 btdallo"));
    EXPECT_EQ(KZ::qsToS(KZ::sToQs(utf8)), utf8);
    EXPECT_EQ(KZ::getStockColorKey(1.0, 0.5), QStringLiteral("clr_global_rise"));
    EXPECT_EQ(KZ::getStockColorKey(0.5, 1.0), QStringLiteral("clr_global_fall"));
    EXPECT_EQ(KZ::getStockColorKey(0.0, 0.0), QStringLiteral("clr_global_flat"));
}
