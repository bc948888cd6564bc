#include "CPanelBondAllocationUnderWriteTable.h"

#include <cfloat>
#include <cstddef>
#include <utility>

#include "KZ/ColumnDelegates.h"
#include "KZ/Format.h"
#include "KZ/StandardHpfTable.h"
#include "services/HostServices.h"

#include "CAllocationUnderWriteModel.h"
#include "CPanelBondTenderAllocationHelper.h"

namespace TC {

namespace {

using Helper = CPanelBondTenderAllocationHelper;

const char* const kStyleKey = "qmvt_vkt_bondallocationwidget";
constexpr int kHeight = 168;
constexpr int kWidth = 900;
constexpr int kColumnWidth = 80;
constexpr int kAllMenus = 255;
constexpr int kEditableFlag = 8;
constexpr int kHeaderSortFlag = 512;
constexpr int kStatRowFlag = 64;
constexpr int kWinAmountColumn = CAllocationUnderWriteData::COL_WIN_BID_AMOUNT;

int segmentedFormat()
{
    return getUserConfig()->getSegmentedFormatFlag();
}

QString rowKeyText(const CAllocationUnderWriteInfo& info)
{
    return KZ::sToQs(CAllocationUnderWriteData::makeKey(info.underWriter, info.bidPrice));
}

} // namespace

CPanelBondAllocationUnderWriteTable::CPanelBondAllocationUnderWriteTable(int id, QWidget* parent)
    : KZ::CBaseWidget(QString::fromLatin1(kStyleKey), false, parent)
{
    Q_UNUSED(id);
    createUi();
}

CPanelBondAllocationUnderWriteTable::~CPanelBondAllocationUnderWriteTable() = default;

void CPanelBondAllocationUnderWriteTable::createUi()
{
    setFixedHeight(kHeight);
    table = new KZ::CStandardHpfTable(0, this, kAllMenus);
    table->setFlag(table->flag() | kEditableFlag | kHeaderSortFlag | kStatRowFlag);
    table->setFocusPolicy(Qt::NoFocus);
    table->setFixedHeight(kHeight);
    table->setFixedWidth(kWidth);
    for (int column = 0; column < CAllocationUnderWriteData::COLUMN_COUNT; ++column)
        table->setColumnWidth(column, kColumnWidth);

    model = new CAllocationUnderWriteModel();
    table->setDataModel(model);

    winAmountDelegate = new KZ::CBaseTableColumnLineeditDelegate(kWinAmountColumn, table);
    winAmountDelegate->setDoubleRange(0.0, DBL_MAX, 4);
    table->setColumnDelegate(kWinAmountColumn, winAmountDelegate);
    winAmountDelegate->setLineEditable(true);

    for (int column = 0; column < CAllocationUnderWriteData::COLUMN_COUNT; ++column) {
        table->setColumnFilterable(column, true);
        table->setColumnSortable(column, true);
    }
    setInnerStretchWidget(table, 0, 0, 0, 0);
}

void CPanelBondAllocationUnderWriteTable::updateUnderWriterTableDatas(
    const std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocUnderWriterInfo>>& records, double marginal,
    double weightedMeanPrice, ttservice::ETenderTarget target, ttservice::ETenderingType type, std::string code,
    double unit)
{
    if (!hasTable()) return;
    refreshUnderWriterModel();
    const int format = segmentedFormat();
    basicTenderUnit = unit;
    tenderTarget = target;
    bondCode = code;
    marginalPrice = marginal;

    double bidTotal = 0.0;
    double winTotal = 0.0;
    for (const auto& record : records) {
        if (!record) continue;
        if (!Helper::isValidData(record->bondCode, marginalPrice, tenderTarget, bondCode, record->tenderPrice))
            continue;
        boost::shared_ptr<CAllocationUnderWriteInfo> info(new CAllocationUnderWriteInfo());
        info->bondCode = record->bondCode;
        info->bondName = record->bondName;
        info->underWriter = record->underWriterName;
        info->tenderingType =
            Helper::getStrTenderingType(static_cast<ttservice::ETenderingType>(record->tenderingType));
        info->bidPrice = Helper::roundTo4(record->tenderPrice);
        info->bidAmount = Helper::roundTo4(record->bidAmount);
        info->winBidAmount = Helper::roundTo4(record->winAmount);
        info->winBidPrice = Helper::getWinBidPrice(type, tenderTarget, info->bidPrice, marginalPrice, weightedMeanPrice);
        appendRow(info, EEditor::Editable, format, &bidTotal, &winTotal);
    }
    finishFill(bidTotal, winTotal);
}

namespace {

// A row of an underwriter's bid as the execution report gives it, nothing won yet.
boost::shared_ptr<CAllocationUnderWriteInfo> infoFromReport(const ttservice::CIBondTenderExecExternalReportInfo& report,
                                                            ttservice::ETenderingType type)
{
    boost::shared_ptr<CAllocationUnderWriteInfo> info(new CAllocationUnderWriteInfo());
    info->bondCode = report.bondCode;
    info->bondName = report.bondName;
    info->underWriter = report.underWriterName;
    info->tenderingType = CPanelBondTenderAllocationHelper::getStrTenderingType(type);
    info->bidPrice = report.tenderPrice;
    info->bidAmount = report.bidAmount;
    info->winBidPrice = 0.0;
    info->winBidAmount = 0.0;
    return info;
}

} // namespace

void CPanelBondAllocationUnderWriteTable::refreshWinBidAllocationUnderWriteTable(
    const std::vector<boost::shared_ptr<ttservice::CIBondTenderExecExternalReportInfo>>& reports,
    ttservice::ETenderingType type, double weightedMeanPrice)
{
    if (!hasTable()) return;
    refreshUnderWriterModel();
    const int format = segmentedFormat();
    double bidTotal = 0.0;
    double winTotal = 0.0;
    for (const auto& report : reports) {
        if (!report) continue;
        if (!Helper::isValidData(report->bondCode, marginalPrice, tenderTarget, bondCode, report->tenderPrice))
            continue;
        const boost::shared_ptr<CAllocationUnderWriteInfo> info = infoFromReport(*report, type);
        info->winBidPrice = Helper::getWinBidPrice(type, tenderTarget, info->bidPrice, marginalPrice, weightedMeanPrice);
        appendRow(info, EEditor::Editable, format, &bidTotal, &winTotal);
    }
    finishFill(bidTotal, winTotal);
}

void CPanelBondAllocationUnderWriteTable::refreshLoseBidAllocationUnderWriteTable(
    const std::vector<boost::shared_ptr<ttservice::CIBondTenderExecExternalReportInfo>>& reports,
    ttservice::ETenderingType type)
{
    if (!hasTable()) return;
    refreshUnderWriterModel();
    const int format = segmentedFormat();
    double bidTotal = 0.0;
    double winTotal = 0.0;
    for (const auto& report : reports) {
        if (!report) continue;
        const boost::shared_ptr<CAllocationUnderWriteInfo> info = infoFromReport(*report, type);
        appendRow(info, EEditor::ReadOnly, format, &bidTotal, &winTotal);
    }
    finishFill(bidTotal, winTotal);
}

void CPanelBondAllocationUnderWriteTable::appendRow(const boost::shared_ptr<CAllocationUnderWriteInfo>& info,
                                                    EEditor editor, int numberFormat, double* bidTotal,
                                                    double* winTotal)
{
    const QString key = rowKeyText(*info);
    // A lost tender keeps whatever visibility the editor had; a won one always offers it.
    if (editor == EEditor::Editable) winAmountDelegate->setItemVisible(key, true);
    winAmountDelegate->setItemText(key, Helper::format4(info->winBidAmount, numberFormat));
    winAmountDelegate->setLineEditable(editor == EEditor::Editable);
    *bidTotal += info->bidAmount;
    *winTotal += info->winBidAmount;
    model->addData(boost::shared_ptr<CAllocationUnderWriteData>(new CAllocationUnderWriteData(info)));
}

void CPanelBondAllocationUnderWriteTable::finishFill(double bidTotal, double winTotal)
{
    model->setTotalData(bidTotal, winTotal);
    table->updateTable();
}

bool CPanelBondAllocationUnderWriteTable::handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam,
                                                      void* pParam)
{
    if (nEventID != KZ::EVT_LINEEDIT_FINISHED)
        return KZ::CBaseWidget::handleEvent(nEventID, nSenderID, nIntParam, qsParam, pParam);
    if (nIntParam == kWinAmountColumn) handleDelegateLineEditFinish(qsParam, pParam);
    return true;
}

void CPanelBondAllocationUnderWriteTable::handleDelegateLineEditFinish(const QString& key, void* pText)
{
    if (!hasTable() || !pText) return;
    const std::string typed = static_cast<const QString*>(pText)->toStdString();
    double value = Helper::cutToWholeUnits(typed, basicTenderUnit);

    const auto row = boost::dynamic_pointer_cast<CAllocationUnderWriteData>(model->getDataByKey(key.toStdString()));
    if (row && row->info) {
        // No underwriter wins more than it bid.
        if (Helper::isGreater(value, row->info->bidAmount)) value = row->info->bidAmount;
        row->info->winBidAmount = Helper::roundTo4(value);
    }
    winAmountDelegate->setItemText(key, Helper::format4(value, segmentedFormat()));
    recomputeTotals();
    table->updateTable();
}

void CPanelBondAllocationUnderWriteTable::recomputeTotals()
{
    double bidTotal = 0.0;
    double winTotal = 0.0;
    for (const auto& row : getUnderWriterData()) {
        if (!row->info) continue;
        bidTotal += row->info->bidAmount;
        winTotal += row->info->winBidAmount;
    }
    model->setTotalData(bidTotal, winTotal);
}

std::vector<boost::shared_ptr<CAllocationUnderWriteData>> CPanelBondAllocationUnderWriteTable::getUnderWriterData() const
{
    std::vector<boost::shared_ptr<CAllocationUnderWriteData>> rows;
    if (!model) return rows;
    const QList<KZ::IBaseHpfTableDataPtr> modelRows = model->getDatas();
    rows.reserve(static_cast<std::size_t>(modelRows.size()));
    for (const KZ::IBaseHpfTableDataPtr& entry : modelRows)
        if (auto row = boost::dynamic_pointer_cast<CAllocationUnderWriteData>(entry))
            rows.push_back(std::move(row));
    return rows;
}

double CPanelBondAllocationUnderWriteTable::getTotalBidAmount() const
{
    return model ? model->getTotalWinAmount() : 0.0;
}

bool CPanelBondAllocationUnderWriteTable::isUnderWriterTableHasData() const
{
    return model && !model->getDatas().isEmpty();
}

bool CPanelBondAllocationUnderWriteTable::check(QString& msg)
{
    if (model && !Helper::isZero(model->getTotalWinAmount())) return true;
    msg = QStringLiteral("表一中标量合计为0!");
    return false;
}

void CPanelBondAllocationUnderWriteTable::placeUnderWriteTableDatas()
{
    const std::vector<boost::shared_ptr<CAllocationUnderWriteData>> rows = getUnderWriterData();
    ttservice::IDataList records;
    records.reserve(rows.size());
    for (const auto& row : rows) {
        if (!row->info) continue;
        const CAllocationUnderWriteInfo& info = *row->info;
        boost::shared_ptr<ttservice::CIBondTenderAllocUnderWriterInfo> record(
            new ttservice::CIBondTenderAllocUnderWriterInfo());
        record->bondCode = info.bondCode;
        record->bondName = info.bondName;
        record->underWriterName = info.underWriter;
        record->tenderingType = Helper::getETenderingType(info.tenderingType);
        record->tenderPrice = info.bidPrice;
        record->bidAmount = info.bidAmount;
        record->winBidPrice = info.winBidPrice;
        record->winAmount = info.winBidAmount;
        records.push_back(record);
    }
    ttservice::CTradeClient::instance()->updateBondTenderDatas_async(bondCode, ttservice::RT_ALLOC_UNDERWRITER, records);
}

void CPanelBondAllocationUnderWriteTable::clearUnderWriterTableBackStageData()
{
    boost::shared_ptr<ttservice::CIBondTenderAllocUnderWriterInfo> record(
        new ttservice::CIBondTenderAllocUnderWriterInfo());
    record->bondCode = bondCode;
    record->underWriterName.clear();
    const ttservice::IDataList records{record};
    ttservice::CTradeClient::instance()->updateBondTenderDatas_async(bondCode, ttservice::RT_ALLOC_UNDERWRITER, records);
}

void CPanelBondAllocationUnderWriteTable::refreshUnderWriterModel()
{
    if (!hasTable()) return;
    model->setTotalData(0.0, 0.0);
    model->clear();
    model->clearFilter();
    table->clear();
    table->clearFilter();
    table->clearSort();
    table->updateTable();
}

void CPanelBondAllocationUnderWriteTable::disableUnderWriterTableDelegate()
{
    if (!hasTable()) return;
    for (const auto& row : getUnderWriterData())
        if (row->info) winAmountDelegate->setItemVisible(KZ::sToQs(row->key()), false);
    winAmountDelegate->setLineEditable(false);
    table->updateTable();
}

} // namespace TC
