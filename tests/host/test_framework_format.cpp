// Number texts of the host framework: formatting, parsing and "%f" without the process locale.
#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>
#include <charconv>

#include "KZ/Format.h"

namespace {

// Formatting, parsing and printing as C does in its own locale.
void expectConversions()
{
    const QString invalid = QStringLiteral("非法值");
    const struct { double value; int decimals; int flags; const char* expected; } formats[] = {
        {1234567.891, 4, utils::FNF_NONE, "1234567.8910"}, {1234567.891, 4, utils::FNF_SEGMENTED, "1,234,567.8910"},
        {-1234.5, 4, utils::FNF_SEGMENTED, "-1,234.5000"}, {999.0, 4, utils::FNF_SEGMENTED, "999.0000"},
        {1000.0, 0, utils::FNF_SEGMENTED, "1,000"},         {100000.0, 2, utils::FNF_SEGMENTED, "100,000.00"},
        {0.00004, 4, utils::FNF_NONE, "0.0000"},            {-0.00004, 4, utils::FNF_NONE, "0.0000"},   // no "-0"
        {0.00005001, 4, utils::FNF_NONE, "0.0001"},         {2.5, 0, utils::FNF_NONE, "2"},   // C rounding
        {NAN, 4, utils::FNF_NONE, "非法值"}, {INFINITY, 4, utils::FNF_SEGMENTED, "非法值"},
        {-INFINITY, 4, utils::FNF_NONE, "非法值"}, {DBL_MAX, 4, utils::FNF_SEGMENTED, "非法值"},
        {-DBL_MAX, 4, utils::FNF_NONE, "非法值"},
    };
    for (const auto& c : formats) {
        EXPECT_EQ(KZ::formatDoubleNumber(c.value, c.decimals, c.flags, false, invalid), QString::fromUtf8(c.expected))
            << c.value << " with " << c.decimals << " decimals, flags " << c.flags;
    }

    const std::pair<const char*, double> numbers[] = {
        {"1.5", 1.5}, {"-2", -2.0}, {"+3.25", 3.25}, {".5", 0.5}, {"7.", 7.0}, {"1e3", 1000.0}, {"0.0001", 0.0001},
    };
    for (const auto& n : numbers) {
        bool ok = false;
        EXPECT_DOUBLE_EQ(KZ::parseDouble(n.first, &ok), n.second) << n.first;
        EXPECT_TRUE(ok) << n.first;
    }
    for (const char* text : {"", " ", " 1", "1 ", "abc", "1,000", "1.5x", "inf", "nan", "-", ".", "1e999", "--1"}) {
        bool ok = true;
        EXPECT_EQ(KZ::parseDouble(text, &ok), 0.0) << '"' << text << '"';
        EXPECT_FALSE(ok) << '"' << text << '"';
    }

    const std::pair<double, const char*> fixed6[] = {   // "%f" of the C locale, rounding the exact binary value
        {0.0, "0.000000"}, {-2.25, "-2.250000"}, {0.1, "0.100000"}, {1234567.000001, "1234567.000001"},
        {1e15 + 0.5, "1000000000000000.500000"}, {0.0000005, "0.000000"}, {0.0000015, "0.000002"},
        {-0.0000004, "-0.000000"}, {123.456789123, "123.456789"},
    };
    for (const auto& f : fixed6)
        EXPECT_EQ(KZ::printFixed6(f.first), f.second) << f.first;
}

} // namespace

TEST(FrameworkFormat, shouldFormatParseAndPrintNumbersTheSameUnderTheCAndAGermanLocale)
{
    expectConversions();

    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    char probe[32];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5");   // the decimal comma really is active
    expectConversions();
    std::setlocale(LC_ALL, "C");
}

namespace {

// "%.<decimals>f" of the exact binary value, as the slow general path writes it.
std::string exactFixed(double value, int decimals)
{
    char text[512];
    return std::string(text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr);
}

} // namespace

// Volumes and prices are written through a whole-number shortcut; it must agree with the
// exact expansion everywhere, above all next to the halves where rounding turns.
TEST(FrameworkFormat, shouldWriteEveryNumberAsItsExactDecimalExpansionRounds)
{
    std::mt19937_64 random(20261206);
    std::uniform_real_distribution<double> magnitude(-9.0, 13.0);
    std::vector<double> values{0.0, -0.0, 0.00005, -0.00005, 0.00015, 1.23445, 2.5, -2.5, 0.125, 4398046511103.5,
                               4398046511104.25, 1e15 + 0.5, 1e-300, 123456789.12345};
    for (int i = 0; i < 20000; ++i) {
        const double value = std::pow(10.0, magnitude(random)) * (i % 2 == 0 ? 1.0 : -1.0);
        values.push_back(value);
        const int decimals = i % 9;
        const double half = (std::floor(value * std::pow(10.0, decimals)) + 0.5) / std::pow(10.0, decimals);
        values.push_back(half);   // as close to a rounding half as a double gets
        values.push_back(std::nextafter(half, 0.0));
        values.push_back(std::nextafter(half, 1e300));
    }
    const QString invalid = QStringLiteral("x");
    for (const double value : values) {
        for (int decimals : {0, 1, 4, 6, 8, 9}) {
            std::string expected = exactFixed(value, decimals);
            if (expected.find_first_not_of("-0.") == std::string::npos && expected[0] == '-')
                expected.erase(0, 1);
            ASSERT_EQ(KZ::formatDoubleNumber(value, decimals, utils::FNF_NONE, false, invalid).toStdString(), expected)
                << std::hexfloat << value << " with " << decimals;
            double reread = 0.0;
            std::from_chars(expected.data(), expected.data() + expected.size(), reread);
            ASSERT_EQ(KZ::roundToDecimals(value, decimals), reread == 0.0 ? 0.0 : reread)
                << std::hexfloat << value << " with " << decimals;
        }
        ASSERT_EQ(KZ::printFixed6(value), exactFixed(value, 6)) << std::hexfloat << value;
    }
}
