#include "CAllocationMixedData.h"

#include <charconv>

#include "CPanelBondTenderAllocationHelper.h"
#include "KZ/Format.h"
#include "KZ/UiResource.h"
#include "services/HostServices.h"

namespace TC {

namespace {

utils::EFormatNumberFlag userFlag()
{
    return TC::getUserConfig()->getSegmentedFormatFlag();
}

} // namespace

QString CAllocationMixedData::getDisplayQString(int column) const
{
    if (!info)
        return QString();
    switch (column) {
    case COL_BID_PRICE: return CPanelBondTenderAllocationHelper::getTenderQStr(info->bidPrice, userFlag());
    case COL_BID_AMOUNT: return CPanelBondTenderAllocationHelper::format4(info->bidAmount, userFlag());
    case COL_WIN_PRICE: return CPanelBondTenderAllocationHelper::format4(info->winBidPrice, userFlag());
    case COL_WIN_AMOUNT: return CPanelBondTenderAllocationHelper::format4(info->winBidAmount, userFlag());
    default: return getQString(column);
    }
}

QString CAllocationMixedData::getQString(int column) const
{
    if (!info)
        return QString();
    switch (column) {
    case COL_PRODUCT: return KZ::sToQs(info->productName);
    case COL_MARKET:
        return KZ::sToQs(CPanelBondTenderAllocationHelper::getStrTenderTarget(
            static_cast<ttservice::ETenderMarket>(info->tenderMarket)));
    case COL_PURCHASE_TYPE: return KZ::sToQs(info->purchaseType);
    case COL_UNDERWRITER: return KZ::sToQs(info->underWriter);
    case COL_ACCOUNT: return KZ::sToQs(info->account);
    default: return QString();   // the operation column is drawn by its delegate
    }
}

int CAllocationMixedData::getInt(int) const
{
    return ttservice::kInvalidInt;
}

double CAllocationMixedData::getDouble(int column) const
{
    if (!info)
        return ttservice::kInvalidDouble;
    switch (column) {
    case COL_BID_PRICE: return info->bidPrice;
    case COL_BID_AMOUNT: return info->bidAmount;
    case COL_WIN_PRICE: return info->winBidPrice;
    case COL_WIN_AMOUNT: return info->winBidAmount;
    default: return ttservice::kInvalidDouble;
    }
}

long long CAllocationMixedData::getLongLong(int) const
{
    return ttservice::kInvalidLongLong;
}

QColor CAllocationMixedData::getColor(int) const
{
    return KZ::CUiResource::getColor(QStringLiteral("clr_text_default"));
}

std::string CAllocationMixedData::key() const
{
    if (!info)
        return std::string();
    return keyOf(rowNumber);
}

// A load names each row by this text in thirteen calls: a few digits written in place.
QString CAllocationMixedData::keyText(int number)
{
    char text[16];
    const auto result = std::to_chars(text, text + sizeof text, number);
    return QString::fromLatin1(text, static_cast<int>(result.ptr - text));
}

std::string CAllocationMixedData::keyOf(int number)
{
    char text[16];
    const auto result = std::to_chars(text, text + sizeof text, number);
    return std::string(text, result.ptr);
}

} // namespace TC
