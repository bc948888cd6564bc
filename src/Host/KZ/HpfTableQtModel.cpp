#include "KZ/HpfTableQtModel.h"

#include <QBrush>
#include <QFont>
#include <algorithm>

#include "KZ/ColumnDelegates.h"
#include "KZ/Format.h"
#include "KZ/UiResource.h"

namespace KZ {

namespace {

bool isNumericType(QVariant::Type type)
{
    return type == QVariant::Double || type == QVariant::Int || type == QVariant::LongLong
           || type == QVariant::UInt || type == QVariant::ULongLong;
}

} // namespace

CHpfTableQtModel::CHpfTableQtModel(DelegateLookup delegateOf, QObject* parent)
    : QAbstractTableModel(parent), delegateOf_(std::move(delegateOf))
{
}

void CHpfTableQtModel::setSource(IBaseHpfTableModel* source)
{
    beginResetModel();
    source_ = source;
    snapshot_.clear();
    visible_.clear();
    columns_ = 0;
    sortColumn_ = -1;
    filters_.clear();
    endResetModel();
}

void CHpfTableQtModel::resync()
{
    // Built in the array of the snapshot before last, so a sync of a large table allocates nothing.
    std::vector<SRow> fresh;
    fresh.swap(spare_);
    fresh.clear();
    const int freshColumns = source_ != nullptr ? std::max(0, source_->columnCount()) : 0;
    if (source_ != nullptr) {
        const int count = source_->rowCount();
        fresh.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            IBaseHpfTableDataPtr row = source_->dataAt(i);
            if (row)
                fresh.push_back(SRow{std::move(row), source_->keyAt(i)});
        }
    }
    // Same rows in the same places: only values changed, so open editors, the current
    // cell and the selection survive.
    if (freshColumns == columns_ && sameRows(fresh)) {
        std::vector<int> freshVisible;
        buildIndex(fresh, freshColumns, &freshVisible);
        if (freshVisible == visible_) {
            snapshot_.swap(fresh);
            keepAsSpare(&fresh);
            if (!visible_.empty() && columns_ > 0)
                emit dataChanged(index(0, 0), index(static_cast<int>(visible_.size()) - 1, columns_ - 1));
            if (columns_ > 0)
                emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
            return;
        }
    }
    beginResetModel();
    snapshot_.swap(fresh);
    columns_ = freshColumns;
    buildIndex(snapshot_, columns_, &visible_);
    endResetModel();
    keepAsSpare(&fresh);
}

void CHpfTableQtModel::releaseRows()
{
    if (snapshot_.empty())
        return;
    beginResetModel();
    snapshot_.clear();   // the array stays for the next sync
    visible_.clear();
    endResetModel();
}

void CHpfTableQtModel::keepAsSpare(std::vector<SRow>* old)
{
    old->clear();   // the old rows are released; the array stays for the next sync
    spare_.swap(*old);
}

bool CHpfTableQtModel::sameRows(const std::vector<SRow>& fresh) const
{
    if (fresh.size() != snapshot_.size())
        return false;
    for (size_t i = 0; i < fresh.size(); ++i) {
        if (fresh[i].data != snapshot_[i].data || fresh[i].key != snapshot_[i].key)
            return false;
    }
    return true;
}

void CHpfTableQtModel::setSort(int column, Qt::SortOrder order)
{
    if (column < 0 && sortColumn_ < 0)
        return;   // already in insertion order
    beginResetModel();
    sortColumn_ = column;
    sortOrder_ = order;
    rebuildIndex();
    endResetModel();
}

void CHpfTableQtModel::setFilter(int column, const QString& text)
{
    if (filters_.value(column) == text)
        return;
    beginResetModel();
    if (text.isEmpty())
        filters_.remove(column);
    else
        filters_.insert(column, text);
    rebuildIndex();
    endResetModel();
}

void CHpfTableQtModel::clearFilters()
{
    if (filters_.isEmpty())
        return;
    beginResetModel();
    filters_.clear();
    rebuildIndex();
    endResetModel();
}

IBaseHpfTableDataPtr CHpfTableQtModel::rowAt(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= visible_.size())
        return IBaseHpfTableDataPtr();
    return snapshot_[static_cast<size_t>(visible_[static_cast<size_t>(row)])].data;
}

QString CHpfTableQtModel::rowKeyAt(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= visible_.size())
        return QString();
    return sToQs(snapshot_[static_cast<size_t>(visible_[static_cast<size_t>(row)])].key);
}

QString CHpfTableQtModel::cellText(int row, int column) const
{
    if (row < 0 || static_cast<size_t>(row) >= visible_.size())
        return QString();
    return snapshotCellText(snapshot_[static_cast<size_t>(visible_[static_cast<size_t>(row)])], column);
}

QString CHpfTableQtModel::snapshotCellText(const SRow& row, int column) const
{
    if (CBaseTableColumnDelegate* delegate = delegateOf_ ? delegateOf_(column) : nullptr) {
        QString text = delegate->cellText(sToQs(row.key));
        if (!text.isNull())
            return text;
    }
    return row.data->getDisplayQString(column);
}

bool CHpfTableQtModel::passesFilters(const SRow& row, int columns) const
{
    for (auto it = filters_.constBegin(); it != filters_.constEnd(); ++it) {
        if (it.key() >= columns || !snapshotCellText(row, it.key()).contains(it.value()))
            return false;
    }
    return true;
}

void CHpfTableQtModel::rebuildIndex()
{
    buildIndex(snapshot_, columns_, &visible_);
}

// Written into the given array, whose capacity is kept from one sync to the next.
void CHpfTableQtModel::buildIndex(const std::vector<SRow>& rows, int columns, std::vector<int>* visible) const
{
    visible->clear();
    visible->reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        if (filters_.isEmpty() || passesFilters(rows[i], columns))
            visible->push_back(static_cast<int>(i));
    }
    if (sortColumn_ >= 0 && sortColumn_ < columns && source_ != nullptr)
        sortIndex(rows, visible);
}

void CHpfTableQtModel::sortIndex(const std::vector<SRow>& rows, std::vector<int>* visible) const
{
    const int column = sortColumn_;
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    // Keys are taken once per row so that the comparisons stay cheap.
    if (source_->columnType(column) == QVariant::Double) {
        std::vector<std::pair<double, int>> keyed;
        keyed.reserve(visible->size());
        for (int position : *visible)
            keyed.emplace_back(rows[static_cast<size_t>(position)].data->getDouble(column), position);
        std::stable_sort(keyed.begin(), keyed.end(), [descending](const auto& a, const auto& b) {
            return descending ? b.first < a.first : a.first < b.first;
        });
        for (size_t i = 0; i < keyed.size(); ++i)
            (*visible)[i] = keyed[i].second;
        return;
    }
    std::vector<std::pair<QString, int>> keyed;
    keyed.reserve(visible->size());
    for (int position : *visible)
        keyed.emplace_back(snapshotCellText(rows[static_cast<size_t>(position)], column), position);
    std::stable_sort(keyed.begin(), keyed.end(), [descending](const auto& a, const auto& b) {
        return descending ? QString::compare(b.first, a.first) < 0 : QString::compare(a.first, b.first) < 0;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        (*visible)[i] = keyed[i].second;
}

bool CHpfTableQtModel::isOwnCell(const QModelIndex& index) const
{
    return index.isValid() && index.model() == this && index.row() < static_cast<int>(visible_.size())
           && index.column() < columns_;
}

int CHpfTableQtModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(visible_.size());
}

int CHpfTableQtModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant CHpfTableQtModel::data(const QModelIndex& index, int role) const
{
    if (!isOwnCell(index))
        return QVariant();
    const SRow& row = snapshot_[static_cast<size_t>(visible_[static_cast<size_t>(index.row())])];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:  // columns are narrow by design: hovering shows an elided text whole
        return snapshotCellText(row, index.column());
    case Qt::BackgroundRole:
        return source_ != nullptr ? QBrush(source_->getBackgroundColor(index.row())) : QVariant();
    case Qt::ForegroundRole:
        return QBrush(row.data->getColor(index.column()));
    case Qt::TextAlignmentRole:
        if (source_ != nullptr && isNumericType(source_->columnType(index.column())))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case kRowKeyRole:
        return sToQs(row.key);
    case kStatRowRole:
        return false;
    default:
        return QVariant();
    }
}

QVariant CHpfTableQtModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_ || source_ == nullptr)
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return source_->columnHeader(section);
    return QVariant();
}

Qt::ItemFlags CHpfTableQtModel::flags(const QModelIndex& index) const
{
    if (!isOwnCell(index))
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    CBaseTableColumnDelegate* delegate = delegateOf_ ? delegateOf_(index.column()) : nullptr;
    if (delegate != nullptr && delegate->isCellEditable(rowKeyAt(index.row())))
        result |= Qt::ItemIsEditable;
    return result;
}

void CHpfTableQtModel::sort(int column, Qt::SortOrder order)
{
    setSort(column, order);
}

// ---------------------------------------------------------------------------

CHpfStatQtModel::CHpfStatQtModel(QObject* parent) : QAbstractTableModel(parent) {}

void CHpfStatQtModel::setSource(IBaseHpfTableModel* source)
{
    beginResetModel();
    source_ = source;
    columns_ = 0;
    endResetModel();
}

void CHpfStatQtModel::resync()
{
    const int freshColumns = source_ != nullptr ? std::max(0, source_->columnCount()) : 0;
    if (freshColumns == columns_) {
        if (columns_ > 0)
            emit dataChanged(index(0, 0), index(0, columns_ - 1));
        return;
    }
    beginResetModel();
    columns_ = freshColumns;
    endResetModel();
}

int CHpfStatQtModel::rowCount(const QModelIndex& parent) const
{
    return (parent.isValid() || columns_ == 0) ? 0 : 1;
}

int CHpfStatQtModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant CHpfStatQtModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.model() != this || index.row() != 0 || index.column() >= columns_
        || source_ == nullptr)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return source_->getStatDispalyQString(index.column());
    case Qt::FontRole: {
        QFont font = CUiResource::getFont(QStringLiteral("fnt_table_text"));
        font.setBold(true);
        return font;
    }
    case Qt::BackgroundRole:
        return QBrush(CUiResource::getColor(QStringLiteral("clr_stat_background")));
    case Qt::ForegroundRole:
        return QBrush(CUiResource::getColor(QStringLiteral("clr_text_default")));
    case Qt::TextAlignmentRole:
        if (isNumericType(source_->columnType(index.column())))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case kStatRowRole:
        return true;
    default:
        return QVariant();
    }
}

} // namespace KZ
