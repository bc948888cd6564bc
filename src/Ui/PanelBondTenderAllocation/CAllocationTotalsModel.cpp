#include "CAllocationTotalsModel.h"

#include "KZ/UiResource.h"
#include "services/HostServices.h"

#include "CPanelBondTenderAllocationHelper.h"

namespace TC {

CAllocationTotalsModel::CAllocationTotalsModel(int bidTotalColumn, int winTotalColumn)
    : KZ::IBaseHpfTableModel(true), bidTotalColumn(bidTotalColumn), winTotalColumn(winTotalColumn)
{
}

CAllocationTotalsModel::~CAllocationTotalsModel() = default;

QString CAllocationTotalsModel::getStatDispalyQString(int column) const
{
    if (column != bidTotalColumn && column != winTotalColumn)
        return QString();
    const int format = getUserConfig()->getSegmentedFormatFlag();
    return CPanelBondTenderAllocationHelper::format4(column == bidTotalColumn ? totalBidAmount : totalWinAmount,
                                                     format);
}

bool CAllocationTotalsModel::columnFlashChange(int) const
{
    return false;
}

QColor CAllocationTotalsModel::getBackgroundColor(int row) const
{
    return KZ::CUiResource::getColor(row % 2 != 0 ? QStringLiteral("clr_table_background2")
                                                  : QStringLiteral("clr_table_background"));
}

int CAllocationTotalsModel::columnFlag(int) const
{
    return utils::FNF_NONE;
}

void CAllocationTotalsModel::setTotalData(double bidTotal, double winTotal)
{
    totalBidAmount = bidTotal;
    totalWinAmount = winTotal;
}

} // namespace TC
