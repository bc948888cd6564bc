// Decimal text -> 0.0001 units, checked against a slow reference on every text it accepts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "CPanelBondTenderAllocationHelper.h"

namespace {

// Accepts plain texts "digits[.digits]" whose value fits the 32-bit result; computes the
// count of 0.0001 digit by digit, cutting after four decimals.
bool referenceUnits(const std::string& text, long long* units)
{
    size_t dot = text.find('.');
    std::string whole = text.substr(0, dot);
    std::string fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    if (whole.empty() || whole.size() > 12)
        return false;
    for (char c : whole)
        if (c < '0' || c > '9')
            return false;
    for (char c : fraction)
        if (c < '0' || c > '9')
            return false;
    long long value = 0;
    for (char c : whole)
        value = value * 10 + (c - '0');
    fraction = fraction.substr(0, 4);
    fraction.resize(4, '0');
    for (char c : fraction)
        value = value * 10 + (c - '0');
    if (value > 2147483647LL)
        return false;
    *units = value;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int units = TC::CPanelBondTenderAllocationHelper::str2Int(text);
    long long expected = 0;
    if (referenceUnits(text, &expected) && units != expected)
        std::abort();
    return 0;
}
