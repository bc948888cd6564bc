#include "CExecutionReportView.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include "CDeskTimings.h"
#include "KZ/Format.h"
#include "services/HostStore.h"
#include "ttservice/BondTenderRecords.h"

namespace desk {

namespace {

// Positions and volumes alike: 4 decimals, as the panel shows them.
QString volumeText(double value)
{
    return KZ::formatDoubleNumber(value, 4, utils::FNF_NONE, false, QStringLiteral("非法值"));
}

QTableWidgetItem* cell(const QString& text, bool number)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(number ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
    return item;
}

QString productName(const ttservice::CHostStore& store, int productId)
{
    const auto product = store.productById(productId);   // the host's first of the id
    return product ? QString::fromStdString(product->productName) : QString::number(productId);
}

} // namespace

CExecutionReportView::CExecutionReportView(QWidget* parent) : QWidget(parent)
{
    caption_ = new QLabel(tr("执行回报"), this);
    underwriters_ = makeTable({tr("承销商"), tr("标位"), tr("投标量(亿)")}, this);
    products_ = makeTable({tr("产品"), tr("标位"), tr("投标量(亿)")}, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(caption_);
    layout->addWidget(underwriters_, 2);
    layout->addWidget(products_, 3);
}

QTableWidget* CExecutionReportView::makeTable(const QStringList& headers, QWidget* parent)
{
    auto* table = new QTableWidget(0, headers.size(), parent);
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->setVisible(false);
    // The name in full (fitNameColumn), the two numbers share the rest: nothing needs a
    // horizontal scroll.
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    return table;
}

// Sizing the column to its contents would measure up to a thousand rows on every layout;
// the name widest by its count of characters (a Chinese one counted twice) is measured
// once per load instead.
void CExecutionReportView::fitNameColumn(QTableWidget* table, const QString& widestName)
{
    QHeaderView* header = table->horizontalHeader();
    const int padding = 2 * table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 8;
    const int width = table->fontMetrics().horizontalAdvance(widestName) + padding;
    const int headerWidth = header->fontMetrics().horizontalAdvance(table->horizontalHeaderItem(0)->text()) + padding;
    header->resizeSection(0, qMax(headerWidth, width));
}

int CExecutionReportView::displayWidth(const QString& text)
{
    int width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x1100 ? 2 : 1;
    return width;
}

void CExecutionReportView::showBond(const ttservice::CHostStore& store, const std::string& bondCode)
{
    using namespace ttservice;
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuAtStart = CDeskTimings::threadCpuNanoseconds();
    bondCode_ = bondCode;
    caption_->setText(tr("执行回报: %1").arg(QString::fromStdString(bondCode)));

    const auto external = store.typedRecords<CIBondTenderExecExternalReportInfo>(bondCode, RT_EXEC_EXTERNAL_REPORT);
    underwriters_->setRowCount(0);
    underwriters_->setRowCount(static_cast<int>(external.size()));
    int row = 0;
    SWidest widest;
    for (const auto& report : external) {
        if (!report)
            continue;
        const QString name = QString::fromStdString(report->underWriterName);
        widest.offer(name);
        underwriters_->setItem(row, 0, cell(name, false));
        underwriters_->setItem(row, 1, cell(volumeText(report->tenderPrice), true));
        underwriters_->setItem(row, 2, cell(volumeText(report->bidAmount), true));
        ++row;
    }
    underwriters_->setRowCount(row);
    fitNameColumn(underwriters_, widest.text);

    const auto internal = store.typedRecords<CIBondTenderExecInternalReportInfo>(bondCode, RT_EXEC_INTERNAL_REPORT);
    // One insertion of all rows: a row inserted at a time is announced to the view each time.
    int bidCount = 0;
    for (const auto& report : internal)
        if (report)
            bidCount += static_cast<int>(report->bidDetails.size());
    products_->setRowCount(0);
    products_->setRowCount(bidCount);
    row = 0;
    widest = SWidest();
    for (const auto& report : internal) {
        if (!report)
            continue;
        const QString name = productName(store, report->productId);
        widest.offer(name);
        for (const auto& bid : report->bidDetails) {
            if (bid.second == kInvalidDouble)
                continue;
            products_->setItem(row, 0, cell(name, false));
            bool isNumber = false;
            const double price = KZ::parseDouble(bid.first, &isNumber);
            products_->setItem(row, 1, cell(isNumber ? volumeText(price) : QString::fromStdString(bid.first), true));
            products_->setItem(row, 2, cell(volumeText(bid.second), true));
            ++row;
        }
    }
    products_->setRowCount(row);
    fitNameColumn(products_, widest.text);
    lastShowNanoseconds_ = clock.nsecsElapsed();
    lastShowCpuNanoseconds_ = CDeskTimings::threadCpuNanoseconds() - cpuAtStart;
}

} // namespace desk
