// Decimal text -> 0.0001 units, checked against a slow digit-by-digit reference on every
// text the reference accepts; every other text must still come back without a crash,
// and a typed volume cut to whole units never grows and is a whole number of units.
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "CPanelBondTenderAllocationHelper.h"

namespace {

using Helper = TC::CPanelBondTenderAllocationHelper;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Accepts the plain texts an editor can hand on: an optional '+', digits, an optional
// '.' and digits, at least one digit in all. The whole part saturates at INT_MAX, the
// fraction is cut after four digits, the result saturates at INT_MAX.
bool referenceUnits(const std::string& text, long long* units)
{
    size_t i = 0;
    if (i < text.size() && text[i] == '+')
        ++i;
    long long whole = 0;
    int digits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i, ++digits)
        whole = std::min<long long>(whole * 10 + (text[i] - '0'), INT_MAX);
    long long fraction = 0;
    int fractionDigits = 0;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && isDigit(text[i]); ++i, ++digits) {
            if (fractionDigits < 4) {
                fraction = fraction * 10 + (text[i] - '0');
                ++fractionDigits;
            }
        }
    }
    if (i != text.size() || digits == 0)
        return false;
    for (; fractionDigits < 4; ++fractionDigits)
        fraction *= 10;
    *units = std::min<long long>(whole * 10000 + fraction, INT_MAX);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int units = Helper::str2Int(text);
    long long expected = 0;
    if (referenceUnits(text, &expected) && units != expected)
        std::abort();

    // A basic tender unit of 0.1: whatever was typed, the cut volume is whole tenths of
    // at most what was typed.
    const double cut = Helper::cutToWholeUnits(text, 0.1);
    if (std::isnan(cut))
        std::abort();
    if (units >= 0) {
        const long long cutUnits = std::llround(cut * 10000.0);
        if (cutUnits % 1000 != 0 || cutUnits > units)
            std::abort();
    }
    return 0;
}
