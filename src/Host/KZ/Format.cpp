#include "KZ/Format.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>

namespace KZ {

namespace {

constexpr int kMaxDecimals = 20;

bool isShowable(double value)
{
    return std::isfinite(value) && std::fabs(value) != DBL_MAX;
}

// C "%.<decimals>f" without the process locale.
std::string fixedText(double value, int decimals)
{
    std::array<char, 400 + kMaxDecimals> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                std::chars_format::fixed, decimals);
    if (result.ec != std::errc())
        return std::string();
    return std::string(buffer.data(), result.ptr);
}

bool isNegativeZeroText(const std::string& text)
{
    return !text.empty() && text[0] == '-'
           && text.find_first_not_of("0.", 1) == std::string::npos;
}

// "1234567.5" -> "1,234,567.5"
std::string withThousandsSeparators(const std::string& text)
{
    const size_t digitsBegin = (!text.empty() && text[0] == '-') ? 1 : 0;
    size_t digitsEnd = text.find('.');
    if (digitsEnd == std::string::npos)
        digitsEnd = text.size();
    std::string result = text.substr(0, digitsBegin);
    const size_t count = digitsEnd - digitsBegin;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0)
            result += ',';
        result += text[digitsBegin + i];
    }
    result += text.substr(digitsEnd);
    return result;
}

} // namespace

QString formatDoubleNumber(double value, int decimals, int flags, bool /*trimZeros*/, const QString& invalidText)
{
    if (!isShowable(value))
        return invalidText;
    std::string text = fixedText(value, std::clamp(decimals, 0, kMaxDecimals));
    if (text.empty())
        return invalidText;
    if (isNegativeZeroText(text))
        text.erase(0, 1);   // a value that rounds to zero shows no sign
    if ((flags & utils::FNF_SEGMENTED) != 0)
        text = withThousandsSeparators(text);
    return QString::fromLatin1(text.data(), static_cast<int>(text.size()));
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

} // namespace KZ
