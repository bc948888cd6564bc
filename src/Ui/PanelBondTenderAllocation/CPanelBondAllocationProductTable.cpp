#include "CPanelBondAllocationProductTable.h"

#include <QVector>
#include <algorithm>
#include <boost/format.hpp>
#include <boost/make_shared.hpp>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <log4cxx/logger.h>
#include <numeric>
#include <unordered_map>
#include <utility>
#include <vector>

#include "KZ/ColumnDelegates.h"
#include "KZ/EventDeliverer.h"
#include "KZ/Format.h"
#include "KZ/StandardHpfTable.h"
#include "services/HostServices.h"
#include "services/LogCentre.h"

#include "CAllocationProductModel.h"
#include "CPanelBondTenderAllocationHelper.h"

namespace TC {

namespace {

using Helper = CPanelBondTenderAllocationHelper;

const int kTableHeight = 168;
const int kTableWidth = 800;
const int kColumnWidth = 80;
const int kMenuFlags = 255;
const int kDebugLogId = 54;

// Logs at debug level under our debug id, if the log centre enables it.
void logDebug(const std::string& text)
{
    ttservice::CLogCentre* logCentre = ttservice::CLogCentre::instance();
    if (!logCentre->fileLogEnabled(kDebugLogId) || !logCentre->logEnabled())
        return;
    LOG4CXX_DEBUG(logCentre->debugLogger(), (boost::format("[dbg_id=%1%] %2%") % kDebugLogId % text).str());
}

// Reads a price text of an execution report's bid details. readDouble ignores the
// process locale, so "100.25" reads the same under a German environment. A text that is
// not a number cannot name a tender position: the caller skips that bid, and we leave a
// debug line instead of failing the whole rebuild.
bool readBidPrice(const std::string& priceText, const ttservice::CIBondTenderExecInternalReportInfo& report,
                  double& price)
{
    bool ok = false;
    price = Helper::readDouble(priceText, &ok);
    if (!ok) {
        logDebug((boost::format("TC::CPanelBondAllocationProductTable skips the bid of product %1% of bond %2% "
                                "at price text \"%3%\": not a number.")
                  % report.productId % report.bondCode % priceText)
                     .str());
    }
    return ok;
}

boost::shared_ptr<CAllocationProductData> makeRow(int rowNumber)
{
    auto row = boost::make_shared<CAllocationProductData>();
    row->info = boost::make_shared<CAllocationProductInfo>();
    row->rowNumber = rowNumber;
    return row;
}

boost::shared_ptr<CAllocationProductData> asProductRow(const KZ::IBaseHpfTableDataPtr& entry)
{
    return boost::dynamic_pointer_cast<CAllocationProductData>(entry);
}

// The purchase types of the bond's tender commands by product, read from the host once
// per rebuild: the first command of the product at the bid's price names it.
class CCommandPurchaseTypes {
public:
    explicit CCommandPurchaseTypes(const std::string& bondCode)
    {
        for (const auto& command : Helper::getTenderCommands()) {
            const auto param = Helper::readTenderParam(*command);
            if (param && param->bondCode == bondCode)
                byProduct[command->productId].push_back({param->tenderPrice, param->purchaseType});
        }
    }

    ttservice::ETenderPurchaseType of(int productId, double price) const
    {
        const auto found = byProduct.find(productId);
        if (found == byProduct.end())
            return ttservice::TPT_NONE;
        for (const auto& command : found->second) {
            if (Helper::isEqual(command.first, price))
                return static_cast<ttservice::ETenderPurchaseType>(command.second);
        }
        return ttservice::TPT_NONE;
    }

private:
    std::unordered_map<int, std::vector<std::pair<double, int>>> byProduct;   // price, purchase type
};

bool isNoBid(double volume)
{
    return volume == ttservice::kInvalidDouble;
}

// Integer part of amount / unit + unit. The unit itself (in 亿) is the addend: it absorbs
// the representation error of the division (0.9999... units count as 1) and is what
// settles a quotient that lies just under the next whole unit. Clamped to int instead of
// overflowing on absurd amounts.
int wholeUnits(double amount, double unit)
{
    const double quotient = amount / unit + unit;
    if (std::isnan(quotient))
        return 0;
    if (quotient >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (quotient <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(quotient);
}

// A uniform draw from [0, bound) built from the C library's rand(). Rejection sampling
// keeps every value equally likely; plain rand() % bound would favour small values
// whenever bound does not divide RAND_MAX + 1.
int drawBelow(int bound)
{
    const unsigned long long randRange = static_cast<unsigned long long>(RAND_MAX) + 1ULL;
    const unsigned long long wanted = static_cast<unsigned long long>(bound);
    for (;;) {
        unsigned long long draw = static_cast<unsigned long long>(std::rand());
        unsigned long long drawRange = randRange;
        while (drawRange < wanted) {   // only when bound exceeds RAND_MAX + 1
            draw = draw * randRange + static_cast<unsigned long long>(std::rand());
            drawRange *= randRange;
        }
        const unsigned long long limit = drawRange - drawRange % wanted;
        if (draw < limit)
            return static_cast<int>(draw % wanted);
    }
}

// Fisher-Yates in the order of the classic standard shuffle: position i swaps with a
// position drawn uniformly from [0, i]. Driven by rand(); the panel never seeds it, so
// the host process decides whether runs repeat.
void shuffleWithCRand(QVector<int>& order)
{
    for (int i = 1; i < order.size(); ++i) {
        const int j = drawBelow(i + 1);
        if (i != j)
            std::swap(order[i], order[j]);
    }
}

} // namespace

CPanelBondAllocationProductTable::CPanelBondAllocationProductTable(int, QWidget* parent)
    : KZ::CBaseWidget(QStringLiteral("qmvt_vkt_bondallocationwidget"), false, parent)
{
    createUi();
}

CPanelBondAllocationProductTable::~CPanelBondAllocationProductTable() = default;

void CPanelBondAllocationProductTable::createUi()
{
    setFixedHeight(kTableHeight);

    table = new KZ::CStandardHpfTable(0, this, kMenuFlags);
    table->setFlag(table->flag() | KZ::CStandardHpfTable::TF_EDITABLE | KZ::CStandardHpfTable::TF_HEADER_SORT
                   | KZ::CStandardHpfTable::TF_STAT_ROW);
    table->setFocusPolicy(Qt::NoFocus);
    table->setFixedHeight(kTableHeight);
    table->setFixedWidth(kTableWidth);
    for (int column = 0; column < CAllocationProductData::COLUMN_COUNT; ++column)
        table->setColumnWidth(column, kColumnWidth);

    model = new CAllocationProductModel();
    table->setDataModel(model);

    auto* delegate = new KZ::CBaseTableColumnLineeditDelegate(CAllocationProductData::COL_WIN_AMOUNT, table);
    delegate->setDoubleRange(0.0, DBL_MAX, 4);
    table->setColumnDelegate(CAllocationProductData::COL_WIN_AMOUNT, delegate);
    delegate->setLineEditable(true);

    for (int column = 0; column < CAllocationProductData::COLUMN_COUNT; ++column) {
        table->setColumnFilterable(column, true);
        table->setColumnSortable(column, true);
    }
    setInnerStretchWidget(table, 0, 0, 0, 0);
}

// ---------------------------------------------------------------------------------------
// Loading and rebuilding

void CPanelBondAllocationProductTable::refreshProductModel()
{
    if (!table || !model)
        return;
    model->clear();
    model->clearFilter();
    model->setTotalData(0, 0);
    table->clear();
    table->clearFilter();
    table->clearSort();
    table->updateTable();
}

void CPanelBondAllocationProductTable::updateProductTableDatas(const ProductInfoList& products, double marginal,
                                                               std::string code, ttservice::ETenderingType type,
                                                               double unit, ttservice::ETenderTarget)
{
    if (!table || !model)
        return;
    refreshProductModel();
    basicTenderUnit = unit;
    bondCode = std::move(code);
    tenderingType = type;
    marginalPrice = marginal;
    if (products.empty())
        return;

    const int userFormat = getUserConfig()->getSegmentedFormatFlag();
    KZ::CBaseTableColumnLineeditDelegate* delegate = winAmountDelegate();
    STotals totals;
    int rowNumber = 0;
    for (const auto& record : products) {
        if (!record)
            continue;
        auto row = makeRow(++rowNumber);
        CAllocationProductInfo& info = *row->info;
        info.bondCode = record->bondCode;
        info.bondName = record->bondName;
        info.productId = record->productId;
        if (type == ttservice::TT_AMERICAN || type == ttservice::TT_MIXED) {
            info.tenderPrice = record->tenderPrice;
            info.purchaseType = record->purchaseType;
        } else if (type == ttservice::TT_DUTCH) {
            info.tenderPrice = ttservice::kInvalidDouble;
            info.purchaseType = ttservice::TPT_NONE;
        }
        info.bidAmount = record->bidAmount;
        info.winAmount = record->winAmount;

        // Told once the row is in the model, where the cells join it directly.
        appendRow(row, totals);
        if (delegate) {
            const QString key = row->keyText();
            delegate->setItemVisible(key, true);
            delegate->setItemText(key, Helper::format4(record->winAmount, userFormat));
            delegate->setLineEditable(true);
        }
        table->updateTable();
    }
    model->setTotalData(totals.bid, totals.win);
    table->updateTable();
}

void CPanelBondAllocationProductTable::refreshWinBidAllocationProductTable(InternalReportList reports)
{
    refreshProductModel();
    switch (tenderingType) {
    case ttservice::TT_DUTCH:
        refreshHollandWinBidAllocationProductTable(std::move(reports));
        break;
    case ttservice::TT_AMERICAN:
    case ttservice::TT_MIXED:
        refreshUSAAndMixedWinBidAllocationProductTable(std::move(reports));
        break;
    default:
        break;
    }
}

void CPanelBondAllocationProductTable::refreshHollandWinBidAllocationProductTable(InternalReportList reports)
{
    if (!table || !model)
        return;
    const SEditableStart start = editableStart();
    STotals totals;
    int rowNumber = 0;
    for (const auto& report : reports) {
        if (!report)
            continue;
        double validBidSum = 0.0;
        for (const auto& bid : report->bidDetails) {
            double price = 0.0;
            if (isNoBid(bid.second) || !readWonBidPrice(bid.first, *report, price))
                continue;
            validBidSum += bid.second;
        }
        if (Helper::isZero(validBidSum))
            continue;

        auto row = newRow(++rowNumber, *report);
        row->info->bidAmount = Helper::roundTo4(validBidSum);
        appendEditableRow(row, start, totals);
    }
    model->setTotalData(totals.bid, totals.win);
    table->updateTable();
}

void CPanelBondAllocationProductTable::refreshUSAAndMixedWinBidAllocationProductTable(InternalReportList reports)
{
    if (!table || !model)
        return;
    const SEditableStart start = editableStart();
    const CCommandPurchaseTypes purchaseTypes(bondCode);
    STotals totals;
    int rowNumber = 0;
    for (const auto& report : reports) {
        if (!report)
            continue;
        for (const auto& bid : report->bidDetails) {
            const double volume = bid.second;
            if (!Helper::isGreaterThanZero(std::fabs(volume)) || isNoBid(volume))
                continue;
            double price = 0.0;
            if (!readWonBidPrice(bid.first, *report, price))
                continue;

            auto row = newRow(++rowNumber, *report);
            row->info->tenderPrice = price;
            row->info->purchaseType = purchaseTypes.of(report->productId, price);
            row->info->bidAmount = Helper::roundTo4(volume);
            appendEditableRow(row, start, totals);
        }
    }
    model->setTotalData(totals.bid, totals.win);
    table->updateTable();
}

bool CPanelBondAllocationProductTable::readWonBidPrice(const std::string& priceText,
                                                       const ttservice::CIBondTenderExecInternalReportInfo& report,
                                                       double& price) const
{
    return readBidPrice(priceText, report, price)
           && Helper::isValidData(report.bondCode, marginalPrice,
                                  static_cast<ttservice::ETenderTarget>(report.tenderTarget), bondCode, price);
}

CPanelBondAllocationProductTable::SEditableStart CPanelBondAllocationProductTable::editableStart() const
{
    return {winAmountDelegate(), Helper::format4(0.0, getUserConfig()->getSegmentedFormatFlag())};
}

void CPanelBondAllocationProductTable::appendEditableRow(const boost::shared_ptr<CAllocationProductData>& row,
                                                         const SEditableStart& start, STotals& totals)
{
    appendRow(row, totals);
    if (start.delegate) {
        const QString key = row->keyText();
        start.delegate->setItemVisible(key, true);
        start.delegate->setLineEditable(true);
        start.delegate->setItemText(key, start.zeroText);
    }
    table->updateTable();
}

void CPanelBondAllocationProductTable::refreshLoseBidAllocationProductTable(InternalReportList reports,
                                                                            ttservice::ETenderingType type)
{
    if (!table || !model)
        return;
    refreshProductModel();
    const SEditableStart start = editableStart();
    STotals totals;
    int rowNumber = 0;
    const auto addLostRow = [&](const boost::shared_ptr<CAllocationProductData>& row) {
        appendRow(row, totals);
        if (start.delegate) {
            start.delegate->setLineEditable(false);
            start.delegate->setItemText(row->keyText(), start.zeroText);
        }
    };

    for (const auto& report : reports) {
        if (!report)
            continue;
        if (type == ttservice::TT_DUTCH) {
            double bidSum = 0.0;
            for (const auto& bid : report->bidDetails) {
                if (!isNoBid(bid.second))
                    bidSum += bid.second;
            }
            if (!Helper::isGreaterThanZero(std::fabs(bidSum)))
                continue;
            auto row = newRow(++rowNumber, *report);
            row->info->bidAmount = bidSum;
            addLostRow(row);
        } else if (type == ttservice::TT_AMERICAN || type == ttservice::TT_MIXED) {
            for (const auto& bid : report->bidDetails) {
                const double volume = bid.second;
                if (isNoBid(volume) || !Helper::isGreaterThanZero(std::fabs(volume)))
                    continue;
                double price = 0.0;
                if (!readBidPrice(bid.first, *report, price))
                    continue;
                auto row = newRow(++rowNumber, *report);
                row->info->tenderPrice = price;
                row->info->bidAmount = volume;
                addLostRow(row);
            }
        }
    }
    model->setTotalData(totals.bid, totals.win);
    table->updateTable();
}

// ---------------------------------------------------------------------------------------
// Fair distribution

void CPanelBondAllocationProductTable::refreshFairWinBidAllocationProductTable(double total)
{
    if (!table || !model)
        return;
    const QList<KZ::IBaseHpfTableDataPtr> rows = model->getDatas();
    refreshProductModel();
    const QMap<int, double> shares = getFairDistributionMap(total, rows);

    KZ::CBaseTableColumnLineeditDelegate* delegate = winAmountDelegate();
    STotals totals;
    for (const KZ::IBaseHpfTableDataPtr& entry : rows) {
        const auto row = asProductRow(entry);
        if (!row)
            continue;
        const double share = shares.value(row->rowNumber, 0.0);
        if (row->info)
            row->info->winAmount = share;
        appendRow(row, totals);
        if (delegate)
            delegate->setItemText(row->keyText(), Helper::format4(share, utils::FNF_NONE));
    }
    model->setTotalData(totals.bid, totals.win);
    table->updateTable();
}

QMap<int, double> CPanelBondAllocationProductTable::getFairDistributionMap(
    double total, const QList<boost::shared_ptr<KZ::IBaseHpfTableData>>& rows)
{
    QMap<int, double> shares;
    if (Helper::isZero(basicTenderUnit))
        return shares;
    const bool american = tenderingType == ttservice::TT_AMERICAN || tenderingType == ttservice::TT_MIXED;
    if (!american && tenderingType != ttservice::TT_DUTCH)
        return shares;

    // Dutch rows all share; in American and mixed tenders bids away from the marginal price
    // are won in full and only the marginal bids share the rest.
    RowPool pool;
    double fixedTotal = 0.0;
    for (const KZ::IBaseHpfTableDataPtr& entry : rows) {
        const auto row = asProductRow(entry);
        if (!row || (american && !row->info))
            continue;
        if (!american || Helper::isEqual(row->info->tenderPrice, marginalPrice)) {
            pool.insert(row->rowNumber, row);
        } else {
            shares[row->rowNumber] = row->info->bidAmount;
            fixedTotal += row->info->bidAmount;
        }
    }
    if (american && Helper::isGreaterOrEqual(fixedTotal, total))
        return shares;
    const double remainder = round1Distribution(pool, shares, total - fixedTotal);
    round2Distribution(pool, shares, remainder);
    return shares;
}

double CPanelBondAllocationProductTable::round1Distribution(RowPool pool, QMap<int, double>& shares, double amount)
{
    if (pool.isEmpty() || Helper::isZero(basicTenderUnit) || Helper::isZero(amount))
        return 0.0;

    double bidSum = 0.0;
    for (const auto& row : qAsConst(pool))
        bidSum += row->info ? row->info->bidAmount : 0.0;

    // Rows that bid nothing in all cannot claim a proportion: they get nothing, and
    // nothing is left over for them either (instead of dividing by zero).
    if (Helper::isZero(bidSum)) {
        for (auto it = pool.constBegin(); it != pool.constEnd(); ++it)
            shares[it.key()] = 0.0;
        return 0.0;
    }

    double distributed = 0.0;
    for (auto it = pool.constBegin(); it != pool.constEnd(); ++it) {
        const double bid = it.value()->info ? it.value()->info->bidAmount : 0.0;
        const double share = wholeUnits((bid / bidSum) * amount, basicTenderUnit) * basicTenderUnit;
        shares[it.key()] = share;
        distributed += share;
    }
    return amount - distributed;
}

void CPanelBondAllocationProductTable::round2Distribution(RowPool pool, QMap<int, double>& shares, double remainder)
{
    if (pool.isEmpty() || Helper::isZero(remainder) || Helper::isZero(basicTenderUnit))
        return;

    const int leftoverUnits = wholeUnits(remainder, basicTenderUnit);
    const QList<int> rowNumbers = pool.keys();   // position i: the i-th row in ascending number
    QVector<int> order(rowNumbers.size());
    std::iota(order.begin(), order.end(), 0);
    shuffleWithCRand(order);

    // One unit each to the first rows of a random order: chance, not size or row order,
    // decides who gets the leftovers.
    for (int k = 0; k < leftoverUnits && k < order.size(); ++k)
        shares[rowNumbers.at(order.at(k))] += basicTenderUnit;
}

// ---------------------------------------------------------------------------------------
// Queries, checks and write-back

CPanelBondAllocationProductTable::RowPool CPanelBondAllocationProductTable::getRowNum2ProductData() const
{
    RowPool rows;
    // Rows come numbered in order: each is put at the end without a search from the top.
    for (const auto& row : productRows())
        rows.insert(rows.cend(), row->rowNumber, row);
    return rows;
}

bool CPanelBondAllocationProductTable::isProductTableHasData() const
{
    return model && !model->getDatas().isEmpty();
}

bool CPanelBondAllocationProductTable::check(double tableOneTotal, QString& msg) const
{
    if (!model)
        return true;
    double winSum = 0.0;
    for (const auto& row : productRows()) {
        if (!row->info)
            continue;
        if (Helper::isGreater(row->info->winAmount, row->info->bidAmount)) {
            msg = QStringLiteral("表二第 ") + QString::number(row->rowNumber)
                  + QStringLiteral(" 行中标量大于投标量,无法保存!");
            return false;
        }
        winSum += row->info->winAmount;
    }
    if (!Helper::isGreaterThanZero(winSum)) {
        msg = QStringLiteral("表二中标合计数据必须大于0!");
        return false;
    }
    if (Helper::isEqual(winSum, tableOneTotal))
        return true;
    msg = QStringLiteral("表二中标数量合计与表一中标总量不一致!");
    return false;
}

void CPanelBondAllocationProductTable::placeProductTableDatas() const
{
    if (!table || !model)
        return;
    const ProductRows rows = productRows();
    ttservice::IDataList records;
    records.reserve(rows.size());
    std::unordered_map<int, std::string> productNames;   // a product bids at several positions
    for (const auto& row : rows) {
        if (!row->info)
            continue;
        const CAllocationProductInfo& info = *row->info;
        auto name = productNames.find(info.productId);
        if (name == productNames.end())
            name = productNames.emplace(info.productId, getUserConfig()->getProductName(info.productId).toStdString())
                       .first;
        auto record = boost::make_shared<ttservice::CIBondTenderAllocProductInfo>();
        record->bondCode = info.bondCode;
        record->bondName = info.bondName;
        record->portfolioId = ttservice::kInvalidInt;
        record->productId = info.productId;
        record->productName = name->second;
        record->tenderPrice = info.tenderPrice;
        record->bidAmount = info.bidAmount;
        record->winAmount = info.winAmount;
        record->purchaseType = info.purchaseType;
        records.push_back(std::move(record));
    }
    ttservice::CTradeClient::instance()->updateBondTenderDatas_async(bondCode, ttservice::RT_ALLOC_PRODUCT, records);
}

void CPanelBondAllocationProductTable::clearProductTableBackStageData() const
{
    auto record = boost::make_shared<ttservice::CIBondTenderAllocProductInfo>();
    record->bondCode = bondCode;
    record->productId = ttservice::kInvalidInt;
    record->productName.clear();
    ttservice::CTradeClient::instance()->updateBondTenderDatas_async(bondCode, ttservice::RT_ALLOC_PRODUCT,
                                                                     ttservice::IDataList{record});
}

void CPanelBondAllocationProductTable::disableProductTableDelegate()
{
    if (!table || !model)
        return;
    if (KZ::CBaseTableColumnLineeditDelegate* delegate = winAmountDelegate()) {
        const QList<KZ::IBaseHpfTableDataPtr> modelRows = model->getDatas();
        for (const auto& entry : modelRows) {
            if (!entry)
                continue;
            delegate->setItemVisible(KZ::sToQs(entry->key()), false);
            delegate->setLineEditable(false);
        }
    }
    table->updateTable();
}

// ---------------------------------------------------------------------------------------
// Editing

bool CPanelBondAllocationProductTable::handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam,
                                                   void* pParam)
{
    if (nEventID != KZ::EVT_LINEEDIT_FINISHED)
        return KZ::CBaseWidget::handleEvent(nEventID, nSenderID, nIntParam, qsParam, pParam);
    if (nIntParam == CAllocationProductData::COL_WIN_AMOUNT && table && model) {
        const QString* typedText = static_cast<const QString*>(pParam);
        onWinAmountEdited(qsParam, typedText ? *typedText : QString());
    }
    return true;
}

void CPanelBondAllocationProductTable::onWinAmountEdited(const QString& key, const QString& typedText)
{
    const int userFormat = getUserConfig()->getSegmentedFormatFlag();
    double value = Helper::cutToWholeUnits(typedText.toStdString(), basicTenderUnit);

    const auto row = asProductRow(model->getDataByKey(key.toStdString()));
    if (row && row->info) {
        if (Helper::isGreater(value, row->info->bidAmount))
            value = row->info->bidAmount;
        row->info->winAmount = Helper::roundTo4(value);
    }
    if (KZ::CBaseTableColumnLineeditDelegate* delegate = winAmountDelegate())
        delegate->setItemText(key, Helper::format4(value, userFormat));

    const STotals totals = sumRows();
    model->setTotalData(totals.bid, totals.win);
    table->updateTable();
}

// ---------------------------------------------------------------------------------------
// Details

KZ::CBaseTableColumnLineeditDelegate* CPanelBondAllocationProductTable::winAmountDelegate() const
{
    if (!table)
        return nullptr;
    return dynamic_cast<KZ::CBaseTableColumnLineeditDelegate*>(
        table->columnDelegate(CAllocationProductData::COL_WIN_AMOUNT));
}

boost::shared_ptr<CAllocationProductData> CPanelBondAllocationProductTable::newRow(
    int rowNumber, const ttservice::CIBondTenderExecInternalReportInfo& report)
{
    auto row = makeRow(rowNumber);
    row->info->bondCode = report.bondCode;
    row->info->bondName = report.bondName;
    row->info->productId = report.productId;
    row->info->tenderPrice = ttservice::kInvalidDouble;
    row->info->purchaseType = ttservice::TPT_NONE;
    row->info->winAmount = 0.0;
    return row;
}

void CPanelBondAllocationProductTable::appendRow(const boost::shared_ptr<CAllocationProductData>& row,
                                                 STotals& totals)
{
    if (row->info) {
        totals.bid += row->info->bidAmount;
        totals.win += row->info->winAmount;
    }
    model->addData(row);
}

CPanelBondAllocationProductTable::ProductRows CPanelBondAllocationProductTable::productRows() const
{
    ProductRows rows;
    if (!model)
        return rows;
    const QList<KZ::IBaseHpfTableDataPtr> modelRows = model->getDatas();
    rows.reserve(static_cast<std::size_t>(modelRows.size()));
    for (const KZ::IBaseHpfTableDataPtr& entry : modelRows) {
        if (auto row = asProductRow(entry))
            rows.push_back(std::move(row));
    }
    return rows;
}

CPanelBondAllocationProductTable::STotals CPanelBondAllocationProductTable::sumRows() const
{
    STotals totals;
    for (const auto& row : productRows()) {
        if (row->info) {
            totals.bid += row->info->bidAmount;
            totals.win += row->info->winAmount;
        }
    }
    return totals;
}

} // namespace TC
