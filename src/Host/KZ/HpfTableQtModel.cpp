#include "KZ/HpfTableQtModel.h"

#include <QBrush>
#include <QFont>
#include <algorithm>

#include "KZ/ColumnDelegates.h"
#include "KZ/Format.h"
#include "KZ/UiResource.h"

namespace KZ {

namespace {

// The model's key of a row the delegates name by its text. Keys are mostly short ASCII texts
// (row numbers), which need no detour through a UTF-8 byte array.
std::string modelKey(const QString& key)
{
    std::string out;
    out.reserve(static_cast<size_t>(key.size()));
    for (const QChar c : key) {
        if (c.unicode() >= 0x80)
            return key.toStdString();
        out.push_back(static_cast<char>(c.unicode()));
    }
    return out;
}

bool isNumericType(QVariant::Type type)
{
    return type == QVariant::Double || type == QVariant::Int || type == QVariant::LongLong
           || type == QVariant::UInt || type == QVariant::ULongLong;
}

} // namespace

void SCellState::overlay(const SCellState& newer)
{
    if (newer.fields & F_TEXT)
        text = newer.text;
    if (newer.fields & F_VISIBLE)
        visible = newer.visible;
    if (newer.fields & F_ENABLED)
        enabled = newer.enabled;
    if (newer.fields & F_CLICKABLE)
        clickable = newer.clickable;
    if (newer.fields & F_COLOR)
        colorKey = newer.colorKey;
    if (newer.fields & F_ITEMS)
        items = newer.items;
    if (newer.fields & F_CURRENT)
        current = newer.current;
    fields |= newer.fields;
}

bool SCellState::operator==(const SCellState& other) const
{
    return fields == other.fields && text == other.text && visible == other.visible && enabled == other.enabled
           && clickable == other.clickable && colorKey == other.colorKey && items == other.items
           && current == other.current;
}

CHpfTableQtModel::CHpfTableQtModel(DelegateLookup delegateOf, QObject* parent)
    : QAbstractTableModel(parent), delegateOf_(std::move(delegateOf))
{
}

void CHpfTableQtModel::setSource(IBaseHpfTableModel* source)
{
    beginResetModel();
    if (source_ != nullptr)
        source_->setAddObserver(nullptr);
    source_ = source;
    if (source_ != nullptr)
        source_->setAddObserver([this](const std::string& key, const IBaseHpfTableDataPtr& row) {
            adoptPending(key, row);
        });
    snapshot_.clear();
    visible_.clear();
    forgetLastRow();
    cells_.clear();
    pendingCells_.clear();
    changedRows_.clear();
    columns_ = 0;
    syncedRevision_ = kNeverSynced;
    sortColumn_ = -1;
    filters_.clear();
    endResetModel();
}

void CHpfTableQtModel::resync()
{
    const int freshColumns = source_ != nullptr ? std::max(0, source_->columnCount()) : 0;
    if (source_ != nullptr && syncedRevision_ == source_->revision() && freshColumns == columns_ && isIdentity()
        && !rowsReleased_) {
        // The source holds the rows shown, under the same keys (its revision moves with any
        // row added, put in place or removed): only the rows told something changed.
        const std::vector<const IBaseHpfTableData*> toldRows = sortedToldRows();
        std::vector<bool> changed(snapshot_.size(), false);
        for (size_t i = 0; i < snapshot_.size() && !toldRows.empty(); ++i)
            changed[i] = takeTold(snapshot_[i].data.get(), toldRows);
        emitChangedRows(changed);
        forgetToldRowsGone();
    } else {
        std::vector<SRow> fresh;
        if (source_ != nullptr) {
            auto keyedRows = source_->keyedRows();
            fresh.reserve(keyedRows.size());
            for (auto& keyed : keyedRows)
                fresh.push_back(SRow{std::move(keyed.second), std::move(keyed.first)});
        }
        std::vector<IBaseHpfTableDataPtr> removed;
        bool allToldShown = false;
        if (freshColumns == columns_ && isIdentity() && !rowsReleased_ && applyRowChange(fresh, removed, allToldShown)) {
            forgetCellsOfRowsGone(removed, allToldShown);
        } else {
            beginResetModel();
            snapshot_.swap(fresh);
            columns_ = freshColumns;
            rebuildIndex();
            endResetModel();
            forgetCellsOfRowsNotShown();
        }
    }
    changedRows_.clear();
    rowsReleased_ = false;
    syncedRevision_ = source_ != nullptr ? source_->revision() : kNeverSynced;
}

std::vector<const IBaseHpfTableData*> CHpfTableQtModel::sortedToldRows() const
{
    // An edit or a click tells a few rows of many: they are looked up in a sorted copy of
    // their list, and only those among the held cells.
    std::vector<const IBaseHpfTableData*> toldRows(changedRows_);
    std::sort(toldRows.begin(), toldRows.end());
    return toldRows;
}

bool CHpfTableQtModel::takeTold(const IBaseHpfTableData* row, const std::vector<const IBaseHpfTableData*>& toldRows)
{
    if (toldRows.empty() || !std::binary_search(toldRows.begin(), toldRows.end(), row))
        return false;
    const auto held = cells_.find(row);
    if (held == cells_.end() || !held->second.told)
        return false;
    held->second.told = false;
    return true;
}

bool CHpfTableQtModel::applyRowChange(std::vector<SRow>& fresh, std::vector<IBaseHpfTableDataPtr>& removedRows,
                                      bool& allToldShown)
{
    const size_t oldCount = snapshot_.size();
    const size_t newCount = fresh.size();
    size_t head = 0;
    while (head < oldCount && head < newCount && snapshot_[head].data == fresh[head].data)
        ++head;
    size_t tail = 0;
    while (tail < oldCount - head && tail < newCount - head
           && snapshot_[oldCount - 1 - tail].data == fresh[newCount - 1 - tail].data)
        ++tail;
    const size_t removed = oldCount - head - tail;
    const size_t inserted = newCount - head - tail;
    if (removed > 0 && inserted > 0)
        return false;

    // Rows kept in place whose key changed (renumbered) or whose cells were told something.
    // A row told something and found here is no longer marked told: every held row is either
    // in the view or told something since the last sync, so the rows still marked told after
    // this walk are the rows told something that left.
    std::vector<bool> changed(newCount, false);
    if (oldCount == 0) {
        // A first load: every row is new to the view, so none is marked changed, and the told
        // ones are unmarked as they are met instead of looked up in a sorted list of them.
        allToldShown = unmarkTold(fresh) == changedRows_.size();
    } else {
        const std::vector<const IBaseHpfTableData*> toldRows = sortedToldRows();
        for (size_t i = 0; i < newCount; ++i) {
            const bool told = takeTold(fresh[i].data.get(), toldRows);
            if (i >= head && i < head + inserted)
                continue;   // new to the view
            const size_t before = i < head ? i : i - inserted + removed;
            changed[i] = told || snapshot_[before].key != fresh[i].key;
        }
    }
    for (size_t i = head; i < head + removed; ++i)
        removedRows.push_back(snapshot_[i].data);

    const int first = static_cast<int>(head);
    if (inserted > 0)
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(inserted) - 1);
    else if (removed > 0)
        beginRemoveRows(QModelIndex(), first, first + static_cast<int>(removed) - 1);
    snapshot_.swap(fresh);
    rebuildIndex();
    if (inserted > 0)
        endInsertRows();
    else if (removed > 0)
        endRemoveRows();
    emitChangedRows(changed);
    return true;
}

void CHpfTableQtModel::emitChangedRows(const std::vector<bool>& changed)
{
    if (columns_ == 0)
        return;
    for (size_t i = 0; i < changed.size();) {
        if (!changed[i]) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < changed.size() && changed[end])
            ++end;
        emit dataChanged(index(static_cast<int>(i), 0), index(static_cast<int>(end) - 1, columns_ - 1));
        i = end;
    }
}

void CHpfTableQtModel::forgetCellsOfRowsGone(const std::vector<IBaseHpfTableDataPtr>& removed, bool allToldShown)
{
    forgetLastRow();
    for (const IBaseHpfTableDataPtr& row : removed)
        cells_.erase(row.get());
    if (!allToldShown)
        forgetToldRowsGone();
}

size_t CHpfTableQtModel::unmarkTold(const std::vector<SRow>& rows)
{
    size_t unmarked = 0;
    for (const SRow& row : rows) {
        const auto held = cells_.find(row.data.get());
        if (held != cells_.end() && held->second.told) {
            held->second.told = false;
            ++unmarked;
        }
    }
    return unmarked;
}

void CHpfTableQtModel::forgetToldRowsGone()
{
    for (const IBaseHpfTableData* row : changedRows_) {
        const auto held = cells_.find(row);
        if (held != cells_.end() && held->second.told)
            cells_.erase(held);
    }
}

void CHpfTableQtModel::forgetCellsOfRowsNotShown()
{
    forgetLastRow();
    if (rowsReleased_) {
        // Every held row is marked told since the release: the shown ones are unmarked. When
        // as many were unmarked as were told (a load tells only the rows it adds), none is
        // left to forget and the told rows need no second look.
        if (unmarkTold(snapshot_) != changedRows_.size())
            forgetToldRowsGone();
        return;
    }
    // Every held row is marked as if told and not found, the shown ones are unmarked, the
    // marked ones go: no set of the shown rows is made.
    for (auto& held : cells_)
        held.second.told = true;
    for (const SRow& row : snapshot_) {
        const auto held = cells_.find(row.data.get());
        if (held != cells_.end())
            held->second.told = false;
    }
    for (auto it = cells_.begin(); it != cells_.end();) {
        if (it->second.told)
            it = cells_.erase(it);
        else
            ++it;
    }
}

// The cells of the rows the source no longer holds go now, before a reload makes its rows
// (all at once when it holds none); a row the source still holds keeps its cells and is
// looked at again by the next sync, as if told.
void CHpfTableQtModel::forgetCellsOfRowsNotInSource()
{
    forgetLastRow();
    changedRows_.clear();
    if (source_ == nullptr || source_->rowCount() == 0) {
        cells_.clear();
        return;
    }
    for (auto& held : cells_)
        held.second.told = false;
    const QList<IBaseHpfTableDataPtr> rows = source_->getDatas();
    for (const IBaseHpfTableDataPtr& row : rows) {
        const auto held = cells_.find(row.get());
        if (held != cells_.end())
            noteTold(held->second);
    }
    for (auto it = cells_.begin(); it != cells_.end();) {
        if (it->second.told)
            ++it;
        else
            it = cells_.erase(it);
    }
}

void CHpfTableQtModel::releaseRows()
{
    if (snapshot_.empty())
        return;
    beginResetModel();
    snapshot_.clear();
    visible_.clear();
    forgetCellsOfRowsNotInSource();
    rowsReleased_ = true;
    endResetModel();
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

// ---------------------------------------------------------------------------
// cell state

SCellState& CHpfTableQtModel::cellOf(RowCells& cells, const CBaseTableColumnDelegate* teller)
{
    for (auto& cell : cells) {
        if (cell.first == teller)
            return cell.second;
    }
    cells.emplace_back(teller, SCellState());
    return cells.back().second;
}

const SCellState* CHpfTableQtModel::findCell(const RowCells& cells, const CBaseTableColumnDelegate* teller)
{
    for (const auto& cell : cells) {
        if (cell.first == teller)
            return &cell.second;
    }
    return nullptr;
}

const SCellState* CHpfTableQtModel::stateOf(const IBaseHpfTableData* row, const CBaseTableColumnDelegate* teller) const
{
    if (teller == nullptr)
        return nullptr;
    const SHeldCells* held = heldCellsOf(row);
    return held != nullptr ? findCell(held->cells, teller) : nullptr;
}

const CHpfTableQtModel::SHeldCells* CHpfTableQtModel::heldCellsOf(const IBaseHpfTableData* row) const
{
    const auto held = cells_.find(row);
    return held != cells_.end() ? &held->second : nullptr;
}

bool CHpfTableQtModel::isLastRow(const QString& key) const
{
    // The calls about one row mostly pass the one key text: its shared data is compared first.
    return lastRow_.held != nullptr && lastRow_.revision == source_->revision()
           && (key.isSharedWith(lastRow_.key) || lastRow_.key == key);
}

void CHpfTableQtModel::rememberLastRow(const QString& key, SHeldCells* held)
{
    lastRow_.key = key;
    lastRow_.revision = source_->revision();
    lastRow_.held = held;
}

const SCellState* CHpfTableQtModel::stateOfCell(const IBaseHpfTableData* row, int column) const
{
    return stateOf(row, delegateOf_ ? delegateOf_(column) : nullptr);
}

const SCellState* CHpfTableQtModel::cellState(const QString& key, const CBaseTableColumnDelegate* teller) const
{
    if (source_ != nullptr && isLastRow(key))
        return findCell(lastRow_.held->cells, teller);
    const IBaseHpfTableDataPtr* row = source_ != nullptr ? source_->findData(modelKey(key)) : nullptr;
    if (row != nullptr)
        return stateOf(row->get(), teller);
    const auto pending = pendingCells_.constFind(key);
    return pending != pendingCells_.constEnd() ? findCell(pending.value(), teller) : nullptr;
}

// A row told anything is drawn again at the next sync.
CHpfTableQtModel::SHeldCells& CHpfTableQtModel::toldCells(const IBaseHpfTableDataPtr& row)
{
    auto held = cells_.find(row.get());
    if (held == cells_.end()) {
        // A load tells every row; the buckets of the last load are kept (a reserve for fewer
        // rows, as when each row is told as it is added, would shrink and regrow them).
        const size_t rows = static_cast<size_t>(source_->rowCount());
        if (cells_.empty() && rows > cells_.bucket_count())
            cells_.reserve(rows);
        held = cells_.emplace(row.get(), SHeldCells()).first;
        held->second.row = row;
        held->second.cells.reserve(cellsPerRow_);   // rows are mostly told alike
    }
    noteTold(held->second);
    return held->second;
}

void CHpfTableQtModel::noteTold(SHeldCells& held)
{
    if (!held.told) {
        held.told = true;
        changedRows_.push_back(held.row.get());
    }
}

void CHpfTableQtModel::changeCell(const QString& key, const CBaseTableColumnDelegate* teller,
                                  const std::function<void(SCellState&)>& change)
{
    SHeldCells* held = nullptr;
    if (source_ != nullptr && isLastRow(key)) {
        held = lastRow_.held;
        noteTold(*held);
    } else if (const IBaseHpfTableDataPtr* row = source_ != nullptr ? source_->findData(modelKey(key)) : nullptr) {
        held = &toldCells(*row);
        rememberLastRow(key, held);
    }
    if (held == nullptr) {
        change(cellOf(pendingCells_[key], teller));   // for the row that will come under this key
        return;
    }
    change(cellOf(held->cells, teller));
    cellsPerRow_ = std::max(cellsPerRow_, held->cells.size());
}

void CHpfTableQtModel::forgetCellsOf(const CBaseTableColumnDelegate* teller)
{
    const auto toldBy = [teller](const RowCells::value_type& cell) { return cell.first == teller; };
    for (auto& held : cells_) {
        RowCells& cells = held.second.cells;
        cells.erase(std::remove_if(cells.begin(), cells.end(), toldBy), cells.end());
    }
    for (RowCells& pending : pendingCells_)
        pending.erase(std::remove_if(pending.begin(), pending.end(), toldBy), pending.end());
}

void CHpfTableQtModel::adoptPending(const std::string& key, const IBaseHpfTableDataPtr& row)
{
    if (pendingCells_.isEmpty())
        return;
    const auto pending = pendingCells_.find(QString::fromStdString(key));
    if (pending == pendingCells_.end())
        return;
    SHeldCells& held = toldCells(row);
    if (held.cells.empty())
        held.cells.swap(pending.value());   // a new row takes what was told for it as it is
    else {
        for (const auto& cell : pending.value())
            cellOf(held.cells, cell.first).overlay(cell.second);
    }
    cellsPerRow_ = std::max(cellsPerRow_, held.cells.size());
    pendingCells_.erase(pending);
}

// ---------------------------------------------------------------------------
// rows

IBaseHpfTableDataPtr CHpfTableQtModel::rowAt(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= visible_.size())
        return IBaseHpfTableDataPtr();
    return shownRow(row).data;
}

QString CHpfTableQtModel::rowKeyAt(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= visible_.size())
        return QString();
    return QString::fromStdString(shownRow(row).key);
}

QString CHpfTableQtModel::cellText(int row, int column) const
{
    if (row < 0 || static_cast<size_t>(row) >= visible_.size())
        return QString();
    return snapshotCellText(shownRow(row), column);
}

QString CHpfTableQtModel::snapshotCellText(const SRow& row, int column) const
{
    if (CBaseTableColumnDelegate* delegate = delegateOf_ ? delegateOf_(column) : nullptr) {
        QString text = delegate->shownText(stateOf(row.data.get(), delegate));
        if (!text.isNull())
            return text;
    }
    return row.data->getDisplayQString(column);
}

bool CHpfTableQtModel::passesFilters(const SRow& row) const
{
    for (auto it = filters_.constBegin(); it != filters_.constEnd(); ++it) {
        if (it.key() >= columns_ || !snapshotCellText(row, it.key()).contains(it.value()))
            return false;
    }
    return true;
}

void CHpfTableQtModel::rebuildIndex()
{
    visible_.clear();
    visible_.reserve(snapshot_.size());
    for (size_t i = 0; i < snapshot_.size(); ++i) {
        if (filters_.isEmpty() || passesFilters(snapshot_[i]))
            visible_.push_back(static_cast<int>(i));
    }
    if (sortColumn_ >= 0 && sortColumn_ < columns_ && source_ != nullptr)
        sortIndex();
}

void CHpfTableQtModel::sortIndex()
{
    const int column = sortColumn_;
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    if (source_->columnType(column) == QVariant::Double) {
        std::stable_sort(visible_.begin(), visible_.end(), [&](int a, int b) {
            const double x = snapshot_[static_cast<size_t>(a)].data->getDouble(column);
            const double y = snapshot_[static_cast<size_t>(b)].data->getDouble(column);
            return descending ? y < x : x < y;
        });
        return;
    }
    // The texts are taken once per row, so that the comparisons stay cheap.
    std::vector<std::pair<QString, int>> keyed;
    keyed.reserve(visible_.size());
    for (int position : visible_)
        keyed.emplace_back(snapshotCellText(snapshot_[static_cast<size_t>(position)], column), position);
    std::stable_sort(keyed.begin(), keyed.end(), [descending](const auto& a, const auto& b) {
        return descending ? QString::compare(b.first, a.first) < 0 : QString::compare(a.first, b.first) < 0;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        visible_[i] = keyed[i].second;
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
    const SRow& row = shownRow(index.row());
    const SCellState* state = role >= kCellTextRole ? stateOfCell(row.data.get(), index.column()) : nullptr;
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
        return QString::fromStdString(row.key);
    case kStatRowRole:
        return false;
    case kCellTextRole:
        return state ? QVariant(state->text) : QVariant();
    case kCellVisibleRole:
        return state ? state->visible : true;
    case kCellEnabledRole:
        return state ? state->enabled : true;
    case kCellClickableRole:
        return state ? state->clickable : true;
    case kCellColorKeyRole:
        return state ? state->colorKey : QString();
    case kCellItemsRole:
        return state ? state->items : QStringList();
    case kCellCurrentRole:
        return state ? QVariant(state->current) : QVariant();
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
    if (delegate != nullptr && delegate->isCellEditable(stateOf(shownRow(index.row()).data.get(), delegate)))
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
