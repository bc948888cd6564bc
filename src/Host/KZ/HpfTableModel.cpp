#include "KZ/HpfTableModel.h"

#include <cassert>
#include <cfloat>
#include <climits>
#include <unordered_map>
#include <vector>

#include "KZ/UiResource.h"

namespace KZ {

QString IBaseHpfTableData::getDisplayQString(int) const { return QString(); }
QString IBaseHpfTableData::getQString(int) const { return QString(); }
int IBaseHpfTableData::getInt(int) const { return INT_MAX; }
double IBaseHpfTableData::getDouble(int) const { return DBL_MAX; }
long long IBaseHpfTableData::getLongLong(int) const { return LLONG_MAX; }
QColor IBaseHpfTableData::getColor(int) const { return CUiResource::getColor(QStringLiteral("clr_text_default")); }

// Rows in insertion order with a key -> slot index. The rows are held in the list that
// getDatas() hands out, so a caller gets it shared, not copied. A removal leaves a hole (a
// null row); the holes are squeezed out before the list is handed out, and once they are
// half the slots, so removing many rows stays linear.
struct IBaseHpfTableModel::Rows {
    QList<IBaseHpfTableDataPtr> inOrder;
    std::unordered_map<std::string, int> slotOfKey;   // the key a row was added under
    // The same keys by slot, so that the rows with their keys are read in order, not in the
    // hash table's order (a sync takes them all after every load).
    std::vector<std::string> keyOfSlot;

    bool hasHoles() const { return static_cast<size_t>(inOrder.size()) != slotOfKey.size(); }

    void squeezeHoles()
    {
        std::vector<int> newSlot(static_cast<size_t>(inOrder.size()), -1);
        int target = 0;
        for (int slot = 0; slot < inOrder.size(); ++slot) {
            if (!inOrder.at(slot))
                continue;
            if (target != slot) {
                inOrder[target] = std::move(inOrder[slot]);
                keyOfSlot[static_cast<size_t>(target)] = std::move(keyOfSlot[static_cast<size_t>(slot)]);
            }
            newSlot[static_cast<size_t>(slot)] = target++;
        }
        inOrder.erase(inOrder.begin() + target, inOrder.end());
        keyOfSlot.resize(static_cast<size_t>(target));
        for (auto& entry : slotOfKey)
            entry.second = newSlot[static_cast<size_t>(entry.second)];
        assertConsistent();
    }

    void assertConsistent() const
    {
#ifndef NDEBUG
        size_t live = 0;
        for (const IBaseHpfTableDataPtr& row : inOrder)
            live += row ? 1 : 0;
        assert(live == slotOfKey.size());
        assert(keyOfSlot.size() == static_cast<size_t>(inOrder.size()));
        for (const auto& entry : slotOfKey)
            assert(entry.second >= 0 && entry.second < inOrder.size() && inOrder.at(entry.second)
                   && keyOfSlot[static_cast<size_t>(entry.second)] == entry.first);
#endif
    }
};

IBaseHpfTableModel::IBaseHpfTableModel(bool /*keyed*/) : rows_(new Rows) {}

IBaseHpfTableModel::~IBaseHpfTableModel() = default;

QString IBaseHpfTableModel::getStatDispalyQString(int) const { return QString(); }
bool IBaseHpfTableModel::columnFlashChange(int) const { return false; }
QColor IBaseHpfTableModel::getBackgroundColor(int) const
{
    return CUiResource::getColor(QStringLiteral("clr_table_background"));
}
int IBaseHpfTableModel::columnFlag(int) const { return 0; }

void IBaseHpfTableModel::addData(const IBaseHpfTableDataPtr& row)
{
    if (!row)
        return;
    std::string key = row->key();
    const auto found = rows_->slotOfKey.find(key);
    if (found != rows_->slotOfKey.end()) {
        rows_->inOrder[found->second] = row;
    } else {
        rows_->slotOfKey.emplace(key, rows_->inOrder.size());
        rows_->inOrder.append(row);
        rows_->keyOfSlot.push_back(key);
    }
    ++revision_;
    if (addObserver_)
        addObserver_(key, row);
}

QList<IBaseHpfTableDataPtr> IBaseHpfTableModel::getDatas() const
{
    if (rows_->hasHoles())
        rows_->squeezeHoles();
    return rows_->inOrder;
}

IBaseHpfTableDataPtr IBaseHpfTableModel::getDataByKey(const std::string& key) const
{
    const IBaseHpfTableDataPtr* row = findData(key);
    return row != nullptr ? *row : IBaseHpfTableDataPtr();
}

const IBaseHpfTableDataPtr* IBaseHpfTableModel::findData(const std::string& key) const
{
    const auto found = rows_->slotOfKey.find(key);
    return found != rows_->slotOfKey.end() ? &rows_->inOrder.at(found->second) : nullptr;
}

bool IBaseHpfTableModel::removeDataByKey(const std::string& key)
{
    const auto found = rows_->slotOfKey.find(key);
    if (found == rows_->slotOfKey.end())
        return false;
    rows_->inOrder[found->second].reset();
    rows_->slotOfKey.erase(found);
    if (rows_->slotOfKey.size() * 2 < static_cast<size_t>(rows_->inOrder.size()))
        rows_->squeezeHoles();
    ++revision_;
    return true;
}

void IBaseHpfTableModel::clear()
{
    // A reload adds as many rows again: the list keeps its room unless someone shares it.
    if (rows_->inOrder.isDetached())
        rows_->inOrder.erase(rows_->inOrder.begin(), rows_->inOrder.end());
    else
        rows_->inOrder.clear();
    rows_->slotOfKey.clear();
    rows_->keyOfSlot.clear();
    ++revision_;
}

void IBaseHpfTableModel::clearFilter()
{
    // Filtering lives in the table's view; the model keeps every row.
}

int IBaseHpfTableModel::rowCount() const
{
    return static_cast<int>(rows_->slotOfKey.size());
}

std::vector<std::pair<std::string, IBaseHpfTableDataPtr>> IBaseHpfTableModel::keyedRows() const
{
    if (rows_->hasHoles())
        rows_->squeezeHoles();
    std::vector<std::pair<std::string, IBaseHpfTableDataPtr>> result;
    result.reserve(rows_->keyOfSlot.size());
    for (int slot = 0; slot < rows_->inOrder.size(); ++slot)
        result.emplace_back(rows_->keyOfSlot[static_cast<size_t>(slot)], rows_->inOrder.at(slot));
    return result;
}

unsigned long long IBaseHpfTableModel::revision() const
{
    return revision_;
}

void IBaseHpfTableModel::setAddObserver(AddObserver observer)
{
    addObserver_ = std::move(observer);
}

} // namespace KZ
