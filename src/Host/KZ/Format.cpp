#include "KZ/Format.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

namespace KZ {

namespace {

constexpr int kMaxDecimals = 20;
constexpr double kPowersOfTen[] = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

bool isShowable(double value)
{
    return std::isfinite(value) && std::fabs(value) != DBL_MAX;
}

// Room for "%.<kMaxDecimals>f" of the largest double (309 digits), a sign and the point.
constexpr size_t kFixedTextCapacity = 400 + kMaxDecimals;

// value x 10^decimals rounded to a whole number, when that is beyond doubt what
// "%.<decimals>f" rounds it to: the product is below 2^42, so it is exact to 2^-11, and it
// is not within 1/256 of a half. False leaves the exact expansion to to_chars.
bool scaledWhole(double value, int decimals, long long* whole)
{
    if (decimals < 0 || decimals > 8)
        return false;
    const double scaled = value * kPowersOfTen[decimals];
    if (!(std::fabs(scaled) < 4398046511104.0))   // also false for NaN
        return false;
    const double below = std::floor(scaled);
    const double fraction = scaled - below;
    if (std::fabs(fraction - 0.5) < 1.0 / 256)
        return false;
    *whole = static_cast<long long>(fraction < 0.5 ? below : below + 1.0);
    return true;
}

// The text of whole / 10^decimals with exactly `decimals` decimals, '-' first when negative
// is set (as C writes -0.0000 for a negative value that rounds to zero).
size_t writeScaledWhole(char* buffer, long long whole, int decimals, bool negative)
{
    const unsigned long long magnitude =
        whole < 0 ? 0ULL - static_cast<unsigned long long>(whole) : static_cast<unsigned long long>(whole);
    char padded[32];
    int total = 0;
    char digits[24];
    const int count = static_cast<int>(std::to_chars(digits, digits + sizeof digits, magnitude).ptr - digits);
    while (total < decimals + 1 - count)
        padded[total++] = '0';   // 5 with 4 decimals is 0.0005
    std::memcpy(padded + total, digits, static_cast<size_t>(count));
    total += count;

    size_t length = 0;
    if (negative)
        buffer[length++] = '-';
    const int wholeDigits = total - decimals;
    std::memcpy(buffer + length, padded, static_cast<size_t>(wholeDigits));
    length += static_cast<size_t>(wholeDigits);
    if (decimals > 0) {
        buffer[length++] = '.';
        std::memcpy(buffer + length, padded + wholeDigits, static_cast<size_t>(decimals));
        length += static_cast<size_t>(decimals);
    }
    return length;
}

// C "%.<decimals>f" without the process locale, into buffer; the length, or 0 on failure.
size_t writeFixedText(char* buffer, double value, int decimals)
{
    long long whole = 0;
    if (scaledWhole(value, decimals, &whole))
        return writeScaledWhole(buffer, whole, decimals, std::signbit(value));
    const auto result = std::to_chars(buffer, buffer + kFixedTextCapacity, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? static_cast<size_t>(result.ptr - buffer) : 0;
}

std::string fixedText(double value, int decimals)
{
    char buffer[kFixedTextCapacity];
    return std::string(buffer, writeFixedText(buffer, value, decimals));
}

bool isNegativeZeroText(const char* text, size_t length)
{
    if (length == 0 || text[0] != '-')
        return false;
    for (size_t i = 1; i < length; ++i) {
        if (text[i] != '0' && text[i] != '.')
            return false;
    }
    return true;
}

// "1234567.5" -> "1,234,567.5"; out has room for length + length / 3 characters.
size_t withThousandsSeparators(const char* text, size_t length, char* out)
{
    const size_t digitsBegin = (length > 0 && text[0] == '-') ? 1 : 0;
    size_t digitsEnd = digitsBegin;
    while (digitsEnd < length && text[digitsEnd] != '.')
        ++digitsEnd;
    size_t written = 0;
    if (digitsBegin == 1)
        out[written++] = '-';
    const size_t count = digitsEnd - digitsBegin;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0)
            out[written++] = ',';
        out[written++] = text[digitsBegin + i];
    }
    for (size_t i = digitsEnd; i < length; ++i)
        out[written++] = text[i];
    return written;
}

} // namespace

QString formatDoubleNumber(double value, int decimals, int flags, bool /*trimZeros*/, const QString& invalidText)
{
    if (!isShowable(value))
        return invalidText;
    // Formatted on the stack: this runs for every number cell of a large table.
    char buffer[kFixedTextCapacity];
    size_t length = writeFixedText(buffer, value, std::clamp(decimals, 0, kMaxDecimals));
    if (length == 0)
        return invalidText;
    const char* text = buffer;
    if (isNegativeZeroText(text, length)) {
        ++text;   // a value that rounds to zero shows no sign
        --length;
    }
    if ((flags & utils::FNF_SEGMENTED) != 0) {
        char grouped[kFixedTextCapacity + kFixedTextCapacity / 3];
        length = withThousandsSeparators(text, length, grouped);
        return QString::fromLatin1(grouped, static_cast<int>(length));
    }
    return QString::fromLatin1(text, static_cast<int>(length));
}

QString sToQs(const std::string& utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
}

std::string qsToS(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

QString getStockColorKey(double value, double base)
{
    if (value > base)
        return QStringLiteral("clr_global_rise");
    if (value < base)
        return QStringLiteral("clr_global_fall");
    return QStringLiteral("clr_global_flat");
}

double parseDouble(const std::string& text, bool* ok)
{
    if (ok != nullptr)
        *ok = false;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;   // strtod accepts a plus sign, from_chars does not
    // from_chars would take "inf" and "nan"; a number here starts with a digit, '.' or '-'.
    const char* firstDigit = (begin != end && *begin == '-') ? begin + 1 : begin;
    if (firstDigit == end || !(std::isdigit(static_cast<unsigned char>(*firstDigit)) || *firstDigit == '.'))
        return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return 0.0;
    if (ok != nullptr)
        *ok = true;
    return value;
}

std::string printFixed6(double value)
{
    if (std::isnan(value))
        return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    return fixedText(value, 6);
}

double roundToDecimals(double value, int decimals)
{
    if (!isShowable(value))
        return value;
    long long whole = 0;
    if (scaledWhole(value, decimals, &whole)) {
        // Both exact, so the quotient is the double nearest to the text, as parsing it gives.
        return whole == 0 ? 0.0 : static_cast<double>(whole) / kPowersOfTen[decimals];
    }
    char buffer[kFixedTextCapacity];
    const size_t length = writeFixedText(buffer, value, std::clamp(decimals, 0, kMaxDecimals));
    double rounded = 0.0;
    const auto result = std::from_chars(buffer, buffer + length, rounded, std::chars_format::fixed);
    if (length == 0 || result.ec != std::errc())
        return value;
    return rounded == 0.0 ? 0.0 : rounded;
}

} // namespace KZ
