#pragma once
// Text helpers of the host; locale-independent.

#include <QString>
#include <string>

#include "ttservice/TenderEnums.h"

namespace KZ {

// value with `decimals` decimals ('.' always); FNF_SEGMENTED adds ',' thousands separators.
// NaN, infinities and the no-value double give invalidText. The bool is kept for the host's signature.
QString formatDoubleNumber(double value, int decimals, int flags, bool trimZeros, const QString& invalidText);
QString sToQs(const std::string& utf8);
std::string qsToS(const QString& text);
// Colour key for a change of value against a base (rise / fall / flat).
QString getStockColorKey(double value, double base);

// Locale-independent decimal text -> double; false (and *ok false) for anything that is
// not entirely a number. Group separators are not accepted.
double parseDouble(const std::string& text, bool* ok = nullptr);
// printf("%f") without the process locale: six decimals, '.'.
std::string printFixed6(double value);
// value as its text with `decimals` decimals reads back (half-way cases as printf rounds
// them), without a negative zero; NaN, infinities and the no-value double unchanged.
double roundToDecimals(double value, int decimals);

} // namespace KZ
