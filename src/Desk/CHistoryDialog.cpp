#include "CHistoryDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace desk {

namespace {

QTableWidget* readOnlyTable(const QStringList& titles, QWidget* parent)
{
    auto* table = new QTableWidget(0, titles.size(), parent);
    table->setHorizontalHeaderLabels(titles);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void appendRow(QTableWidget* table, const QStringList& texts)
{
    const int row = table->rowCount();
    table->insertRow(row);
    for (int c = 0; c < texts.size(); ++c)
        table->setItem(row, c, new QTableWidgetItem(texts[c]));
}

} // namespace

CHistoryDialog::CHistoryDialog(const QString& bondCode, std::vector<SHistoryEntry> entries, QWidget* parent)
    : QDialog(parent), entries_(std::move(entries))
{
    setWindowTitle(tr("中标分配历史 - %1").arg(bondCode));
    entryList_ = readOnlyTable({tr("时间"), tr("用户"), tr("操作")}, this);
    changeList_ = readOnlyTable({tr("区域"), tr("行"), tr("原值(亿)"), tr("新值(亿)")}, this);
    for (const SHistoryEntry& entry : entries_)
        appendRow(entryList_, {entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), entry.user, entry.action});
    entryList_->resizeColumnsToContents();

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(entryList_);
    splitter->addWidget(changeList_);
    splitter->setStretchFactor(1, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    if (entries_.empty())
        layout->addWidget(new QLabel(tr("该债券还没有保存过中标分配。"), this));
    layout->addWidget(splitter, 1);
    layout->addWidget(buttons);
    resize(960, 560);

    connect(entryList_, &QTableWidget::currentCellChanged, this, [this](int row) { showChangesOf(row); });
    if (!entries_.empty())
        entryList_->selectRow(static_cast<int>(entries_.size()) - 1);   // the latest first in sight
}

void CHistoryDialog::showChangesOf(int row)
{
    changeList_->setRowCount(0);
    if (row < 0 || row >= static_cast<int>(entries_.size()))
        return;
    for (const SHistoryChange& change : CAllocationHistory::changesOf(entries_[static_cast<size_t>(row)]))
        appendRow(changeList_, {change.area, change.row, change.before, change.after});
    changeList_->resizeColumnsToContents();
}

} // namespace desk
