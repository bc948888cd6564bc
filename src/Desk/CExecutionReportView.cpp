#include "CExecutionReportView.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

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
    for (const auto& product : store.products())
        if (product && product->productId == productId)
            return QString::fromStdString(product->productName);
    return QString::number(productId);
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
    // The name in full, the two numbers share the rest: nothing needs a horizontal scroll.
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    return table;
}

void CExecutionReportView::showBond(const ttservice::CHostStore& store, const std::string& bondCode)
{
    using namespace ttservice;
    bondCode_ = bondCode;
    caption_->setText(tr("执行回报: %1").arg(QString::fromStdString(bondCode)));

    const auto external = store.typedRecords<CIBondTenderExecExternalReportInfo>(bondCode, RT_EXEC_EXTERNAL_REPORT);
    underwriters_->setRowCount(0);
    for (const auto& report : external) {
        if (!report)
            continue;
        const int row = underwriters_->rowCount();
        underwriters_->insertRow(row);
        underwriters_->setItem(row, 0, cell(QString::fromStdString(report->underWriterName), false));
        underwriters_->setItem(row, 1, cell(volumeText(report->tenderPrice), true));
        underwriters_->setItem(row, 2, cell(volumeText(report->bidAmount), true));
    }

    const auto internal = store.typedRecords<CIBondTenderExecInternalReportInfo>(bondCode, RT_EXEC_INTERNAL_REPORT);
    products_->setRowCount(0);
    for (const auto& report : internal) {
        if (!report)
            continue;
        const QString name = productName(store, report->productId);
        for (const auto& bid : report->bidDetails) {
            if (bid.second == kInvalidDouble)
                continue;
            const int row = products_->rowCount();
            products_->insertRow(row);
            products_->setItem(row, 0, cell(name, false));
            bool isNumber = false;
            const double price = KZ::parseDouble(bid.first, &isNumber);
            products_->setItem(row, 1, cell(isNumber ? volumeText(price) : QString::fromStdString(bid.first), true));
            products_->setItem(row, 2, cell(volumeText(bid.second), true));
        }
    }
}

} // namespace desk
