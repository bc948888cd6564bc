// Table three's widget and its editing: the choices, the typed won volume, the operation
// cell's add and delete, and the lock.
#include "CPanelBondAllocationMixedTable.h"

#include <cfloat>

#include "CAllocationMixedModel.h"
#include "CMixedRowPresenter.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "KZ/ColumnDelegates.h"
#include "KZ/EventDeliverer.h"
#include "KZ/StandardHpfTable.h"
#include "TC/AutoLineEditDelegate.h"
#include "services/HostServices.h"

namespace TC {

namespace {

using Helper = CPanelBondTenderAllocationHelper;
using Column = CAllocationMixedData::EColumn;

const int kWidth = 1120;
const int kHeight = 168;
const int kColumnWidth = 80;
const int kMenuFlags = 255;

} // namespace

CPanelBondAllocationMixedTable::CPanelBondAllocationMixedTable(int, QWidget* parent)
    : KZ::CBaseWidget(QStringLiteral("qmvt_vkt_bondallocationwidget"), false, parent)
{
    createUi();
}

CPanelBondAllocationMixedTable::~CPanelBondAllocationMixedTable() = default;

void CPanelBondAllocationMixedTable::createUi()
{
    setFixedSize(kWidth, kHeight);
    table = new KZ::CStandardHpfTable(0, this, kMenuFlags);
    table->setFixedSize(kWidth, kHeight);
    table->setFlag(table->flag() | KZ::CStandardHpfTable::TF_EDITABLE | KZ::CStandardHpfTable::TF_HEADER_SORT
                   | KZ::CStandardHpfTable::TF_STAT_ROW);
    table->setFocusPolicy(Qt::NoFocus);
    for (int column = 0; column < Column::COLUMN_COUNT; ++column)
        table->setColumnWidth(column, kColumnWidth);

    model = new CAllocationMixedModel();
    table->setDataModel(model);

    for (int column : {Column::COL_MARKET, Column::COL_PURCHASE_TYPE, Column::COL_ACCOUNT, Column::COL_UNDERWRITER})
        table->setColumnDelegate(column, new CBaseTableColumnAutoLineEditDelegate(column, table));
    table->setColumnDelegate(Column::COL_OPERATION,
                             new KZ::CBaseTableColumnSimpleTextDelegate(Column::COL_OPERATION, table));
    auto* volume = new KZ::CBaseTableColumnLineeditDelegate(Column::COL_WIN_AMOUNT, table);
    volume->setDoubleRange(0.0, DBL_MAX, 4);
    volume->setLineEditable(true);
    table->setColumnDelegate(Column::COL_WIN_AMOUNT, volume);

    for (int column = 0; column < Column::COLUMN_COUNT; ++column) {
        table->setColumnFilterable(column, true);
        table->setColumnSortable(column, true);
    }
    setInnerStretchWidget(table, 0, 0, 0, 0);
}

CBaseTableColumnAutoLineEditDelegate* CPanelBondAllocationMixedTable::autoDelegate(int column) const
{
    return table ? dynamic_cast<CBaseTableColumnAutoLineEditDelegate*>(table->columnDelegate(column)) : nullptr;
}

KZ::CBaseTableColumnLineeditDelegate* CPanelBondAllocationMixedTable::volumeDelegate() const
{
    return table ? dynamic_cast<KZ::CBaseTableColumnLineeditDelegate*>(table->columnDelegate(Column::COL_WIN_AMOUNT))
                 : nullptr;
}

KZ::CBaseTableColumnSimpleTextDelegate* CPanelBondAllocationMixedTable::operationDelegate() const
{
    return table
               ? dynamic_cast<KZ::CBaseTableColumnSimpleTextDelegate*>(table->columnDelegate(Column::COL_OPERATION))
               : nullptr;
}

bool CPanelBondAllocationMixedTable::isMixedTableHasData() const
{
    return model && !model->getDatas().isEmpty();
}

// ---------------------------------------------------------------------------
// events

bool CPanelBondAllocationMixedTable::handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam,
                                                 void* pParam)
{
    switch (nEventID) {
    case KZ::EVT_SIMPLE_TEXT_CLICKED:
        handleDelegateSimpleTextCliecked(qsParam);
        return true;
    case KZ::EVT_LINEEDIT_FINISHED:
        if (nIntParam == Column::COL_WIN_AMOUNT)
            handleDelegateLineEditFinish(qsParam, static_cast<const QString*>(pParam));
        return true;
    case KZ::EVT_AUTO_LINEEDIT_CHANGED:
        handleAutoKeyBoardLineEditChange(qsParam, nSenderID);
        return true;
    case KZ::EVT_COMBOX_CHANGED:
        handleBaseTableComboxChange(qsParam, nSenderID);
        return true;
    default:
        return KZ::CBaseWidget::handleEvent(nEventID, nSenderID, nIntParam, qsParam, pParam);
    }
}

void CPanelBondAllocationMixedTable::handleAutoKeyBoardLineEditChange(const QString& text, int column)
{
    if (!table || !model)
        return;
    CBaseTableColumnAutoLineEditDelegate* delegate = autoDelegate(column);
    QString key;
    if (delegate) {
        key = delegate->getLastKey();
        delegate->hideAutoLineEdit();
    }
    // A row that is gone keeps its text as it was: the choice changed nothing.
    if (!applyChoice(key, column, text))
        return;
    if (delegate)
        delegate->setCurrentText(text);
    table->update();
}

// No delegate of this table raises 268: columns 1 and 2 are auto line edits. A combo box
// put there would be read as the market and the purchase type.
void CPanelBondAllocationMixedTable::handleBaseTableComboxChange(const QString& key, int)
{
    if (!table || !model)
        return;
    const auto* market = dynamic_cast<KZ::CBaseTableColumnComboxDelegate*>(table->columnDelegate(Column::COL_MARKET));
    const auto* purchase =
        dynamic_cast<KZ::CBaseTableColumnComboxDelegate*>(table->columnDelegate(Column::COL_PURCHASE_TYPE));
    if (market)
        applyChoice(key, Column::COL_MARKET, market->getText(key));
    if (purchase)
        applyChoice(key, Column::COL_PURCHASE_TYPE, purchase->getText(key));
    table->update();
}

bool CPanelBondAllocationMixedTable::applyChoice(const QString& key, int column, const QString& text)
{
    const auto row = boost::dynamic_pointer_cast<CAllocationMixedData>(model->getDataByKey(key.toStdString()));
    const CAllocationMixedDataPtr stored = getFixedRowData(key.toInt());
    if (!row || !stored || !row->info || !stored->info)
        return false;
    const std::string value = text.toStdString();
    rowsEditedSinceShown.insert(stored.get());   // the next click tells its cells again
    switch (column) {
    case Column::COL_MARKET: {
        const int market = Helper::getETenderMarket(value);
        if (market == row->info->tenderMarket)
            break;
        row->info->tenderMarket = stored->info->tenderMarket = market;
        // Another market trades through other accounts: the chosen one goes.
        CMixedRowPresenter presenter(table);
        if (CBaseTableColumnAutoLineEditDelegate* accounts = autoDelegate(Column::COL_ACCOUNT)) {
            accounts->setItems(key, presenter.accountChoices(market, row->info->productName), {});
            accounts->setCurItem(key, QString(), -1);
        }
        row->info->account.clear();
        stored->info->account.clear();
        break;
    }
    case Column::COL_PURCHASE_TYPE:
        row->info->purchaseType = stored->info->purchaseType = value;
        break;
    case Column::COL_UNDERWRITER:
        row->info->underWriter = stored->info->underWriter = value;
        break;
    case Column::COL_ACCOUNT:
        row->info->account = stored->info->account = value;
        break;
    default:
        break;
    }
    return true;
}

void CPanelBondAllocationMixedTable::handleDelegateLineEditFinish(const QString& key, const QString* typed)
{
    if (!table || !model)
        return;
    const int flag = getUserConfig()->getSegmentedFormatFlag();
    double amount = Helper::cutToWholeUnits(typed ? typed->toStdString() : std::string(), basicTenderUnit);
    const auto row = boost::dynamic_pointer_cast<CAllocationMixedData>(model->getDataByKey(key.toStdString()));
    if (row && row->info && Helper::isGreater(amount, row->info->bidAmount))
        amount = row->info->bidAmount;
    if (KZ::CBaseTableColumnLineeditDelegate* volume = volumeDelegate())
        volume->setItemText(key, Helper::format4(amount, flag));
    const CAllocationMixedDataPtr stored = getFixedRowData(key.toInt());
    if (stored && stored->info)
        stored->info->winBidAmount = amount;
    setStoredTotals();
    table->updateTable();
}

// One path for every click: change the group, renumber the stored rows and tell the cells
// of the rows that changed. The rows keep their identity, so the view sees one row come or go.
void CPanelBondAllocationMixedTable::handleDelegateSimpleTextCliecked(const QString& key)
{
    if (!table || !model)
        return;
    // The operation cell is read while its row is still in the model: cells are kept with rows.
    const int rowNumber = key.toInt();
    const bool add = isAddOperation(rowNumber);
    model->clearFilter();
    if (add)
        addProductData2Map(rowNumber);
    else
        delProductData2Map(rowNumber);
    showGroupsRenumbered();
}

void CPanelBondAllocationMixedTable::disableMixedTableDelegate()
{
    if (!table || !model)
        return;
    rowsShown = ERowsShown::Unknown;
    CMixedRowPresenter presenter(table);
    const QList<KZ::IBaseHpfTableDataPtr> modelRows = model->getDatas();
    for (const KZ::IBaseHpfTableDataPtr& entry : modelRows) {
        const auto row = boost::dynamic_pointer_cast<CAllocationMixedData>(entry);
        if (row && row->info)
            presenter.showLockedRow(CAllocationMixedData::keyText(row->rowNumber), *row->info);
    }
    table->updateTable();
}

void CPanelBondAllocationMixedTable::setStoredTotals()
{
    double bidSum = 0.0;
    double winSum = 0.0;
    for (const MixedGroup& group : qAsConst(productDataMap)) {
        for (const CAllocationMixedDataPtr& row : group) {
            if (row && row->info) {
                bidSum += row->info->bidAmount;
                winSum += row->info->winBidAmount;
            }
        }
    }
    model->setTotalData(bidSum, winSum);
}

} // namespace TC
