#include "CAllocationUnderWriteData.h"

#include "KZ/Format.h"
#include "KZ/UiResource.h"
#include "services/HostServices.h"
#include "ttservice/TenderEnums.h"

#include "CPanelBondTenderAllocationHelper.h"

namespace TC {

CAllocationUnderWriteData::CAllocationUnderWriteData() = default;

CAllocationUnderWriteData::CAllocationUnderWriteData(const boost::shared_ptr<CAllocationUnderWriteInfo>& rowInfo)
    : info(rowInfo)
{
}

CAllocationUnderWriteData::CAllocationUnderWriteData(const CAllocationUnderWriteData& other) = default;
CAllocationUnderWriteData& CAllocationUnderWriteData::operator=(const CAllocationUnderWriteData& other) = default;

QString CAllocationUnderWriteData::getDisplayQString(int column) const
{
    if (!info) return QString();
    if (column >= COL_BID_PRICE && column <= COL_WIN_BID_AMOUNT)
        return CPanelBondTenderAllocationHelper::format4(getDouble(column), getUserConfig()->getSegmentedFormatFlag());
    return getQString(column);
}

QString CAllocationUnderWriteData::getQString(int column) const
{
    if (!info) return QString();
    switch (column) {
    case COL_BOND_CODE: return KZ::sToQs(info->bondCode);
    case COL_BOND_NAME: return KZ::sToQs(info->bondName);
    case COL_TENDERING_TYPE: return KZ::sToQs(info->tenderingType);
    case COL_UNDERWRITER: return KZ::sToQs(info->underWriter);
    default: return QString();
    }
}

int CAllocationUnderWriteData::getInt(int) const
{
    return ttservice::kInvalidInt;
}

double CAllocationUnderWriteData::getDouble(int column) const
{
    if (!info) return ttservice::kInvalidDouble;
    switch (column) {
    case COL_BID_PRICE: return info->bidPrice;
    case COL_BID_AMOUNT: return info->bidAmount;
    case COL_WIN_BID_PRICE: return info->winBidPrice;
    case COL_WIN_BID_AMOUNT: return info->winBidAmount;
    default: return ttservice::kInvalidDouble;
    }
}

long long CAllocationUnderWriteData::getLongLong(int) const
{
    return ttservice::kInvalidLongLong;
}

QColor CAllocationUnderWriteData::getColor(int) const
{
    return KZ::CUiResource::getColor(QStringLiteral("clr_text_default"));
}

std::string CAllocationUnderWriteData::key() const
{
    return info ? makeKey(info->underWriter, info->bidPrice) : std::string();
}

std::string CAllocationUnderWriteData::makeKey(const std::string& underWriter, double bidPrice)
{
    return underWriter + "|" + CPanelBondTenderAllocationHelper::printF(bidPrice);
}

} // namespace TC
