#include "CPanelBondTenderAllocationHelper.h"

#include <algorithm>
#include <boost/make_shared.hpp>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <locale.h>

#include "KZ/Format.h"
#include "services/HostServices.h"
#include "ttservice/BondTenderRecords.h"

namespace TC {

namespace {

const char* const kDutchText = "荷兰式";
const char* const kAmericanText = "美国式";
const char* const kMixedText = "混合式";
const char* const kSseText = "上交所";
const char* const kSzseText = "深交所";
const char* const kInterbankText = "银行间";
const char* const kPrimaryText = "一级分销";
const char* const kSecondaryText = "二级上市";
const char* const kInvalidNumberText = "非法值";

constexpr int kFractionDigits = 4;
constexpr long long kFixedScale = 10000;    // units of 0.0001

// Truncates toward zero; NaN counts as 0, values outside int are clamped.
long long truncateToIntRange(double value)
{
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<long long>(std::trunc(value));
}

// The whole part of the number at the start of the text, clamped to int. A plain decimal
// ("0.99999999999999999") is read digit by digit: as a double it would round up into
// the next integer. Exponents, "inf" and hex keep the double's reading.
long long wholePartInIntRange(const std::string& text)
{
    // strtod in the "C" locale whatever the process locale is.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = strtod_l(begin, &end, cLocale);
    const char* p = begin;
    while (p < end && (*p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r')) ++p;
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    long long whole = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
        whole = std::min<long long>(whole * 10 + (*p - '0'), static_cast<long long>(INT_MAX) + 1);
    if (p < end && *p == '.')
        for (++p; p < end && *p >= '0' && *p <= '9'; ++p) {}
    if (p != end) return truncateToIntRange(value);
    return negative ? std::max<long long>(-whole, INT_MIN) : std::min<long long>(whole, INT_MAX);
}

// The first four characters after the first '.', as digits. A non-digit ends the
// fraction: it and whatever follows count as 0, like the padding of a short fraction.
int fractionInFixedUnits(const std::string& text)
{
    const std::string::size_type point = text.find('.');
    int fraction = 0;
    bool ended = (point == std::string::npos);
    for (int i = 0; i < kFractionDigits; ++i) {
        const std::string::size_type pos = ended ? std::string::npos : point + 1 + i;
        int digit = 0;
        if (!ended && pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
            digit = text[pos] - '0';
        else
            ended = true;
        fraction = fraction * 10 + digit;
    }
    return fraction;
}

int clampToInt(long long value)
{
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

std::string CPanelBondTenderAllocationHelper::getStrTenderingType(ttservice::ETenderingType type)
{
    switch (type) {
    case ttservice::TT_DUTCH: return kDutchText;
    case ttservice::TT_AMERICAN: return kAmericanText;
    case ttservice::TT_MIXED: return kMixedText;
    default: return "-";
    }
}

ttservice::ETenderingType CPanelBondTenderAllocationHelper::getETenderingType(std::string text)
{
    if (text == kDutchText) return ttservice::TT_DUTCH;
    if (text == kAmericanText) return ttservice::TT_AMERICAN;
    if (text == kMixedText) return ttservice::TT_MIXED;
    return ttservice::TT_NONE;
}

std::string CPanelBondTenderAllocationHelper::getStrTenderTarget(ttservice::ETenderMarket market)
{
    switch (market) {
    case ttservice::TM_SSE: return kSseText;
    case ttservice::TM_SZSE: return kSzseText;
    case ttservice::TM_INTERBANK: return kInterbankText;
    default: return std::string();
    }
}

ttservice::ETenderMarket CPanelBondTenderAllocationHelper::getETenderMarket(std::string text)
{
    if (text == kSseText) return ttservice::TM_SSE;
    if (text == kSzseText) return ttservice::TM_SZSE;
    if (text == kInterbankText) return ttservice::TM_INTERBANK;
    return ttservice::TM_NONE;
}

std::string CPanelBondTenderAllocationHelper::getStrPurchaseType(ttservice::ETenderPurchaseType type)
{
    switch (type) {
    case ttservice::TPT_PRIMARY: return kPrimaryText;
    case ttservice::TPT_SECONDARY: return kSecondaryText;
    default: return std::string();
    }
}

ttservice::ETenderPurchaseType CPanelBondTenderAllocationHelper::getEPurchaseType(std::string text)
{
    if (text == kPrimaryText) return ttservice::TPT_PRIMARY;
    if (text == kSecondaryText) return ttservice::TPT_SECONDARY;
    return ttservice::TPT_NONE;
}

QString CPanelBondTenderAllocationHelper::getTenderQStr(double value, utils::EFormatNumberFlag flag)
{
    if (value == ttservice::kInvalidDouble) return QStringLiteral("-");
    return format4(value, flag);
}

// Fixed point of 0.0001: the whole part is what a C-locale atof reads from the start of
// the text (so "1e2.5" has the whole part 100), the fraction the first four characters
// after the first '.'. The result is clamped to the int range: texts above 214748.3647
// give INT_MAX. Negative texts are not typed by users and get no special care.
int CPanelBondTenderAllocationHelper::str2Int(std::string text)
{
    if (text.empty() || text.find(' ') != std::string::npos) return 0;
    const long long whole = wholePartInIntRange(text);
    return clampToInt(whole * kFixedScale + fractionInFixedUnits(text));
}

bool CPanelBondTenderAllocationHelper::isValidData(std::string bondCodeA, double marginal,
                                                   ttservice::ETenderTarget target, std::string bondCodeB,
                                                   double bid)
{
    if (bondCodeA != bondCodeB) return false;
    switch (target) {
    case ttservice::TTG_PRICE: return isGreaterOrEqual(bid, marginal);
    case ttservice::TTG_RATE: return isLessOrEqual(bid, marginal);
    default: return false;
    }
}

double CPanelBondTenderAllocationHelper::getWinBidPrice(ttservice::ETenderingType type,
                                                        ttservice::ETenderTarget target, double bid,
                                                        double marginal, double weightedMean)
{
    switch (type) {
    case ttservice::TT_DUTCH: return marginal;
    case ttservice::TT_AMERICAN: return bid;
    case ttservice::TT_MIXED:
        if (target == ttservice::TTG_PRICE) return isGreaterOrEqual(bid, weightedMean) ? weightedMean : bid;
        if (target == ttservice::TTG_RATE) return isLessOrEqual(bid, weightedMean) ? weightedMean : bid;
        return 0.0;
    default: return 0.0;
    }
}

ttservice::ETenderPurchaseType CPanelBondTenderAllocationHelper::getETenderPurchaseTypeFromCmd(
    std::string bondCode, int productId, double bidPrice)
{
    for (const auto& command : getTenderCommands()) {
        ttservice::CBondTendersParam param;
        if (readTenderParam(*command, param) && param.bondCode == bondCode && isEqual(param.tenderPrice, bidPrice)
            && command->productId == productId)
            return static_cast<ttservice::ETenderPurchaseType>(param.purchaseType);
    }
    return ttservice::TPT_NONE;
}

boost::shared_ptr<ttservice::CBondTendersParam> CPanelBondTenderAllocationHelper::getFirstTenderParam(
    const std::string& bondCode)
{
    for (const auto& command : getTenderCommands()) {
        ttservice::CBondTendersParam param;
        if (readTenderParam(*command, param) && param.bondCode == bondCode)
            return boost::make_shared<ttservice::CBondTendersParam>(std::move(param));
    }
    return {};
}

CPanelBondTenderAllocationHelper::TenderCommands CPanelBondTenderAllocationHelper::getTenderCommands()
{
    TenderCommands commands;
    ttservice::CDataCenter* center = ttservice::TraderCenter::instance()->getDataCenter();
    const boost::shared_ptr<ttservice::CAccountData> accountData = center ? center->getAccountData(std::string())
                                                                          : boost::shared_ptr<ttservice::CAccountData>();
    if (!accountData)
        return commands;
    ttservice::IDataList records;
    {
        ttservice::CAccountData::Lock lock(accountData);
        records = accountData->getDatas(ttservice::RT_TENDER_COMMAND);
    }
    commands.reserve(records.size());
    for (const ttservice::IDataPtr& record : records) {
        if (auto command = boost::dynamic_pointer_cast<ttservice::CTenderCommandInfo>(record))
            commands.push_back(std::move(command));
    }
    return commands;
}

boost::shared_ptr<ttservice::CBondTendersParam> CPanelBondTenderAllocationHelper::readTenderParam(
    const ttservice::CTenderCommandInfo& command)
{
    auto param = boost::make_shared<ttservice::CBondTendersParam>();
    return readTenderParam(command, *param) ? param : boost::shared_ptr<ttservice::CBondTendersParam>();
}

bool CPanelBondTenderAllocationHelper::readTenderParam(const ttservice::CTenderCommandInfo& command,
                                                       ttservice::CBondTendersParam& param)
{
    const ttservice::BSONElement element = command.extension.getField("btdparam");
    if (element.type() != ttservice::BSON_OBJECT)
        return false;
    param.bsonValueFromObj(element.embeddedObject(), true, nullptr);
    return true;
}

bool CPanelBondTenderAllocationHelper::isEqual(double a, double b)
{
    return std::fabs(a - b) <= kTolerance;
}

bool CPanelBondTenderAllocationHelper::isGreaterOrEqual(double a, double b)
{
    return a - b >= -kTolerance;
}

bool CPanelBondTenderAllocationHelper::isLessOrEqual(double a, double b)
{
    return a - b <= kTolerance;
}

bool CPanelBondTenderAllocationHelper::isGreater(double a, double b)
{
    return a - b > kTolerance;
}

std::string CPanelBondTenderAllocationHelper::printF(double value)
{
    if (std::isnan(value))
        return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    char buffer[DBL_MAX_10_EXP + 32];   // the largest double has 309 whole digits
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

namespace {

// Room for format4's text of the largest double, which has 309 whole digits.
using Fixed4Buffer = char[DBL_MAX_10_EXP + 32];

// format4's text of value without separators into buffer, as [begin, return); null when it
// shows "非法值" instead.
const char* writeFixed4(Fixed4Buffer& buffer, double value, const char** begin)
{
    if (!std::isfinite(value) || std::fabs(value) == DBL_MAX)
        return nullptr;
    const char* const text = buffer;
    const char* const end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, kFractionDigits).ptr;
    *begin = text;
    if (text[0] == '-' && std::all_of(text + 1, end, [](char c) { return c == '0' || c == '.'; }))
        ++*begin;   // a value that rounds to zero shows no sign
    return end;
}

} // namespace

// Written and read on the stack, as a load rounds every row's volume.
double CPanelBondTenderAllocationHelper::roundTo4(double value)
{
    Fixed4Buffer buffer;
    const char* begin = nullptr;
    const char* end = writeFixed4(buffer, value, &begin);
    double rounded = 0.0;   // "非法值" reads as 0
    if (end != nullptr)
        std::from_chars(begin, end, rounded, std::chars_format::fixed);
    return rounded == 0.0 ? 0.0 : rounded;
}

std::string CPanelBondTenderAllocationHelper::format4Text(double value)
{
    Fixed4Buffer buffer;
    const char* begin = nullptr;
    const char* end = writeFixed4(buffer, value, &begin);
    return end != nullptr ? std::string(begin, end) : std::string(kInvalidNumberText);
}

double CPanelBondTenderAllocationHelper::readDouble(const std::string& text, bool* ok)
{
    *ok = false;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    // from_chars would also take "inf" and "nan"; a number starts with a digit, '.' or '-'.
    const char* first = (begin != end && *begin == '-') ? begin + 1 : begin;
    if (first == end || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '.'))
        return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return 0.0;
    *ok = true;
    return value;
}

QString CPanelBondTenderAllocationHelper::format4(double value, int flag)
{
    static const QString invalidText = QString::fromUtf8(kInvalidNumberText);
    return KZ::formatDoubleNumber(value, kFractionDigits, flag, false, invalidText);
}

double CPanelBondTenderAllocationHelper::cutToWholeUnits(const std::string& typedText, double basicTenderUnit)
{
    const long long typed = str2Int(typedText);
    const long long unit = str2Int(printF(basicTenderUnit));
    if (unit == 0) return 0.0;
    return static_cast<double>(unit * (typed / unit)) / static_cast<double>(kFixedScale);
}

} // namespace TC
