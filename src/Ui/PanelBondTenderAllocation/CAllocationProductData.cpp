#include "CAllocationProductData.h"

#include <charconv>

#include "KZ/Format.h"
#include "KZ/UiResource.h"
#include "services/HostServices.h"

#include "CPanelBondTenderAllocationHelper.h"

namespace TC {

CAllocationProductData::CAllocationProductData() = default;
CAllocationProductData::CAllocationProductData(const CAllocationProductData& other) = default;
CAllocationProductData& CAllocationProductData::operator=(const CAllocationProductData& other) = default;

QString CAllocationProductData::getDisplayQString(int column) const
{
    if (!info)
        return QString();
    const int format = getUserConfig()->getSegmentedFormatFlag();
    switch (column) {
    case COL_TENDER_PRICE:
        return CPanelBondTenderAllocationHelper::getTenderQStr(info->tenderPrice,
                                                               static_cast<utils::EFormatNumberFlag>(format));
    case COL_BID_AMOUNT:
        return CPanelBondTenderAllocationHelper::format4(info->bidAmount, format);
    case COL_WIN_AMOUNT:
        return CPanelBondTenderAllocationHelper::format4(info->winAmount, format);
    default:
        return getQString(column);
    }
}

QString CAllocationProductData::getQString(int column) const
{
    if (!info)
        return QString();
    switch (column) {
    case COL_BOND_CODE:
        return KZ::sToQs(info->bondCode);
    case COL_BOND_NAME:
        return KZ::sToQs(info->bondName);
    case COL_PRODUCT:
        return getUserConfig()->getProductName(info->productId);
    case COL_PURCHASE_TYPE:
        return getPurchaseType(static_cast<ttservice::ETenderPurchaseType>(info->purchaseType));
    default:
        return QString();
    }
}

int CAllocationProductData::getInt(int) const
{
    return ttservice::kInvalidInt;
}

double CAllocationProductData::getDouble(int column) const
{
    if (!info)
        return ttservice::kInvalidDouble;
    switch (column) {
    case COL_TENDER_PRICE:
        return info->tenderPrice;
    case COL_BID_AMOUNT:
        return info->bidAmount;
    case COL_WIN_AMOUNT:
        return info->winAmount;
    default:
        return ttservice::kInvalidDouble;
    }
}

long long CAllocationProductData::getLongLong(int) const
{
    return ttservice::kInvalidLongLong;
}

QColor CAllocationProductData::getColor(int) const
{
    return KZ::CUiResource::getColor(QStringLiteral("clr_text_default"));
}

// The model, its view adapter and the delegate ask for the key of every row on each load,
// rebuild and sync: a few digits written in place, no heap allocation.
std::string CAllocationProductData::key() const
{
    char digits[16];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, rowNumber);
    return std::string(digits, end.ptr);
}

QString CAllocationProductData::keyText() const
{
    char digits[16];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, rowNumber);
    return QString::fromLatin1(digits, static_cast<int>(end.ptr - digits));
}

QString CAllocationProductData::getPurchaseType(ttservice::ETenderPurchaseType type)
{
    switch (type) {
    case ttservice::TPT_PRIMARY:
        return QStringLiteral("一级分销");
    case ttservice::TPT_SECONDARY:
        return QStringLiteral("二级上市");
    default:
        return QStringLiteral("-");
    }
}

} // namespace TC
