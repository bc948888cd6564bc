// Table three's groups: one product at one tender position, its fixed row first and the
// rows the user added after it.
#include "CPanelBondAllocationMixedTable.h"

#include <boost/make_shared.hpp>

#include "KZ/ColumnDelegates.h"
#include "KZ/StandardHpfTable.h"

namespace TC {

CAllocationMixedDataPtr CPanelBondAllocationMixedTable::getFixedRowData(int rowNumber) const
{
    for (const MixedGroup& group : productDataMap) {
        for (const CAllocationMixedDataPtr& row : group) {
            if (row && row->rowNumber == rowNumber)
                return row;
        }
    }
    return CAllocationMixedDataPtr();
}

bool CPanelBondAllocationMixedTable::isAddOperation(int rowNumber) const
{
    const KZ::CBaseTableColumnSimpleTextDelegate* operation = operationDelegate();
    return operation
           && operation->getText(CAllocationMixedData::keyText(rowNumber)) == QString::fromUtf8(kMixedAddText);
}

// Found by the row's own number, not by counting rows in group order: right after a
// saved allocation is loaded the rows are numbered in the host's order.
QMap<int, CPanelBondAllocationMixedTable::MixedGroup>::iterator CPanelBondAllocationMixedTable::groupOfRow(
    int rowNumber)
{
    for (auto group = productDataMap.begin(); group != productDataMap.end(); ++group) {
        for (const CAllocationMixedDataPtr& row : group.value()) {
            if (row && row->rowNumber == rowNumber)
                return group;
        }
    }
    return productDataMap.end();
}

void CPanelBondAllocationMixedTable::addProductData2Map(int rowNumber)
{
    const auto group = groupOfRow(rowNumber);
    if (group == productDataMap.end() || group->isEmpty() || !group->first() || !group->first()->info)
        return;
    const CAllocationMixedInfo& first = *group->first()->info;
    auto added = boost::make_shared<CAllocationMixedData>();
    added->info = boost::make_shared<CAllocationMixedInfo>();
    CAllocationMixedInfo& info = *added->info;
    info.productName = first.productName;
    info.purchaseType = first.purchaseType;
    info.underWriter = first.underWriter;
    info.bidPrice = first.bidPrice;
    info.bidAmount = first.bidAmount;
    info.winBidPrice = first.winBidPrice;
    info.winBidAmount = first.winBidAmount;
    info.account = first.account;
    info.tenderMarket = first.tenderMarket;
    group->append(added);   // its empty operation text makes it a "删除" row
}

void CPanelBondAllocationMixedTable::delProductData2Map(int rowNumber)
{
    const auto group = groupOfRow(rowNumber);
    if (group == productDataMap.end())
        return;
    MixedGroup kept;
    kept.reserve(group->size());
    for (const CAllocationMixedDataPtr& row : qAsConst(group.value())) {
        if (!row || row->rowNumber != rowNumber)
            kept.append(row);
    }
    group.value() = kept;
}

} // namespace TC
