#include "CAllocationUnderWriteModel.h"

#include "KZ/UiResource.h"
#include "services/HostServices.h"

#include "CAllocationUnderWriteData.h"
#include "CPanelBondTenderAllocationHelper.h"

namespace TC {

using Column = CAllocationUnderWriteData::EColumn;

CAllocationUnderWriteModel::CAllocationUnderWriteModel()
    : KZ::IBaseHpfTableModel(true)
{
}

CAllocationUnderWriteModel::~CAllocationUnderWriteModel() = default;

int CAllocationUnderWriteModel::columnCount() const
{
    return CAllocationUnderWriteData::COLUMN_COUNT;
}

QString CAllocationUnderWriteModel::columnHeader(int column) const
{
    switch (column) {
    case Column::COL_BOND_CODE: return QStringLiteral("债券代码");
    case Column::COL_BOND_NAME: return QStringLiteral("债券名称");
    case Column::COL_TENDERING_TYPE: return QStringLiteral("招标方式");
    case Column::COL_UNDERWRITER: return QStringLiteral("承销商");
    case Column::COL_BID_PRICE: return QStringLiteral("标位");
    case Column::COL_BID_AMOUNT: return QStringLiteral("投标量(亿)");
    case Column::COL_WIN_BID_PRICE: return QStringLiteral("中标标位");
    case Column::COL_WIN_BID_AMOUNT: return QStringLiteral("中标量(亿)");
    default: return QString();
    }
}

QVariant::Type CAllocationUnderWriteModel::columnType(int column) const
{
    if (column >= Column::COL_BOND_CODE && column <= Column::COL_UNDERWRITER) return QVariant::String;
    if (column >= Column::COL_BID_PRICE && column <= Column::COL_WIN_BID_AMOUNT) return QVariant::Double;
    return QVariant::Invalid;
}

QString CAllocationUnderWriteModel::getStatDispalyQString(int column) const
{
    const int format = getUserConfig()->getSegmentedFormatFlag();
    if (column == Column::COL_BID_AMOUNT) return CPanelBondTenderAllocationHelper::format4(totalBidAmount, format);
    if (column == Column::COL_WIN_BID_AMOUNT) return CPanelBondTenderAllocationHelper::format4(totalWinAmount, format);
    return QString();
}

bool CAllocationUnderWriteModel::columnFlashChange(int) const
{
    return false;
}

QColor CAllocationUnderWriteModel::getBackgroundColor(int row) const
{
    return KZ::CUiResource::getColor(row % 2 ? QStringLiteral("clr_table_background2")
                                             : QStringLiteral("clr_table_background"));
}

int CAllocationUnderWriteModel::columnFlag(int) const
{
    return 0;
}

void CAllocationUnderWriteModel::setTotalData(double bidTotal, double winTotal)
{
    totalBidAmount = bidTotal;
    totalWinAmount = winTotal;
}

} // namespace TC
