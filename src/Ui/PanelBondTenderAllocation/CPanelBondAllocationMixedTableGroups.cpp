// Table three's groups: one product at one tender position, its fixed row first and the
// rows the user added after it.
#include "CPanelBondAllocationMixedTable.h"

#include <boost/make_shared.hpp>

#include "CAllocationMixedModel.h"
#include "CMixedRowPresenter.h"
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

// The rows before the changed group keep their numbers and stay where they are in the
// model; each row after it is put in place of the row that had its new number (the model
// replaces a row of the same key in place), and the number left over by a removed row goes.
// Rows numbered otherwise (a saved allocation in the host's order) or not in the model are
// all put back. A row the user added has no number yet and is told all its cells, and so
// is every row the user edited since; the rest are told what differs from how they were
// shown (nothing, once a click showed them).
void CPanelBondAllocationMixedTable::showGroupsRenumbered()
{
    CMixedRowPresenter presenter(table);
    const bool sameSources = presenter.flag() == shownFlag && presenter.products() == shownProducts;
    const ERowsShown shown = sameSources ? rowsShown : ERowsShown::Unknown;
    const bool putBackAll =
        shown == ERowsShown::Unknown || (shown == ERowsShown::AsStored && !storedInGroupOrder);
    if (putBackAll)
        model->clear();
    COfferedUnderWriters offered(underWriterList);
    int grewAt = 0;   // the number of the first row whose underwriter joined the list
    int counter = 0;
    for (const MixedGroup& group : qAsConst(productDataMap)) {
        for (const CAllocationMixedDataPtr& row : group) {
            if (!row || !row->info)
                continue;
            ++counter;
            const bool added = row->rowNumber == 0;
            if (putBackAll || row->rowNumber != counter) {
                row->rowNumber = counter;
                model->addData(row);
            }
            // Once the list grew, the rows after it offer the longer one.
            const bool whole = shown == ERowsShown::Unknown || added || grewAt != 0
                               || rowsEditedSinceShown.count(row.get()) > 0;
            if (!whole && shown == ERowsShown::Editable)
                continue;
            if (offered.offer(row->info->underWriter) && grewAt == 0)
                grewAt = counter;
            const QString key = CAllocationMixedData::keyText(counter);
            if (whole || grewAt != 0)
                presenter.showEditableRow(key, *row->info, underWriterList, offered.text(row->info->underWriter), true);
            else
                presenter.showStoredRowEditable(key, underWriterList);
        }
    }
    int gone = counter;
    while (model->removeDataByKey(CAllocationMixedData::keyOf(++gone))) {
        // the numbers past the last row, left by a removed row
    }
    // The rows before the one that grew the list offer the shorter one until the next click.
    noteRowsShown(grewAt <= 1 ? ERowsShown::Editable : ERowsShown::Unknown, presenter);
    setStoredTotals();
    table->updateTable();
}

void CPanelBondAllocationMixedTable::noteRowsShown(ERowsShown shown, const CMixedRowPresenter& presenter)
{
    rowsShown = shown;
    shownFlag = presenter.flag();
    shownProducts = presenter.products();
    rowsEditedSinceShown.clear();
}

} // namespace TC
