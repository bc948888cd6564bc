#include "CAllocationProductModel.h"

#include "KZ/UiResource.h"
#include "services/HostServices.h"

#include "CAllocationProductData.h"
#include "CPanelBondTenderAllocationHelper.h"

namespace TC {

CAllocationProductModel::CAllocationProductModel()
    : KZ::IBaseHpfTableModel(true)
{
}

CAllocationProductModel::~CAllocationProductModel() = default;

int CAllocationProductModel::columnCount() const
{
    return CAllocationProductData::COLUMN_COUNT;
}

QString CAllocationProductModel::columnHeader(int column) const
{
    switch (column) {
    case CAllocationProductData::COL_BOND_CODE: return QStringLiteral("债券代码");
    case CAllocationProductData::COL_BOND_NAME: return QStringLiteral("债券名称");
    case CAllocationProductData::COL_PRODUCT: return QStringLiteral("产品");
    case CAllocationProductData::COL_TENDER_PRICE: return QStringLiteral("标位");
    case CAllocationProductData::COL_PURCHASE_TYPE: return QStringLiteral("申购方式");
    case CAllocationProductData::COL_BID_AMOUNT: return QStringLiteral("投标量(亿)");
    case CAllocationProductData::COL_WIN_AMOUNT: return QStringLiteral("中标量(亿)");
    default: return QString();
    }
}

QVariant::Type CAllocationProductModel::columnType(int column) const
{
    switch (column) {
    case CAllocationProductData::COL_BOND_CODE:
    case CAllocationProductData::COL_BOND_NAME:
    case CAllocationProductData::COL_PRODUCT:
    case CAllocationProductData::COL_PURCHASE_TYPE:
        return QVariant::String;
    case CAllocationProductData::COL_TENDER_PRICE:
    case CAllocationProductData::COL_BID_AMOUNT:
    case CAllocationProductData::COL_WIN_AMOUNT:
        return QVariant::Double;
    default:
        return QVariant::Invalid;
    }
}

QString CAllocationProductModel::getStatDispalyQString(int column) const
{
    const int format = getUserConfig()->getSegmentedFormatFlag();
    switch (column) {
    case CAllocationProductData::COL_BID_AMOUNT:
        return CPanelBondTenderAllocationHelper::format4(totalBidAmount, format);
    case CAllocationProductData::COL_WIN_AMOUNT:
        return CPanelBondTenderAllocationHelper::format4(totalWinAmount, format);
    default:
        return QString();
    }
}

bool CAllocationProductModel::columnFlashChange(int) const
{
    return false;
}

QColor CAllocationProductModel::getBackgroundColor(int row) const
{
    return KZ::CUiResource::getColor(row % 2 != 0 ? QStringLiteral("clr_table_background2")
                                                  : QStringLiteral("clr_table_background"));
}

int CAllocationProductModel::columnFlag(int) const
{
    return utils::FNF_NONE;
}

void CAllocationProductModel::setTotalData(double bidTotal, double winTotal)
{
    totalBidAmount = bidTotal;
    totalWinAmount = winTotal;
}

} // namespace TC
