#pragma once
// Number and text formatting of the host.

#include <QString>
#include <string>

#include "ttservice/TenderEnums.h"

namespace KZ {

QString formatDoubleNumber(double value, int decimals, int flags, bool trimZeros, const QString& invalidText);
QString sToQs(const std::string& utf8);
QString getStockColorKey(double value, double base);

} // namespace KZ
