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

// Rows in insertion order with a key -> slot index. A removal leaves a hole; the holes are
// squeezed out once they are half the entries, so removing many rows stays linear.
struct IBaseHpfTableModel::Rows {
    struct SSlot {
        std::string key;   // as the row was added: a row's key() may change later
        IBaseHpfTableDataPtr row;   // null: a hole
    };
    std::vector<SSlot> entries;
    std::unordered_map<std::string, size_t> slotOfKey;

    void squeezeHoles()
    {
        size_t target = 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (!entries[i].row)
                continue;
            if (target != i) {
                entries[target] = std::move(entries[i]);
                slotOfKey[entries[target].key] = target;
            }
            ++target;
        }
        entries.resize(target);
        assertConsistent();
    }

    void assertConsistent() const
    {
#ifndef NDEBUG
        size_t live = 0;
        for (size_t slot = 0; slot < entries.size(); ++slot) {
            if (!entries[slot].row)
                continue;
            ++live;
            const auto found = slotOfKey.find(entries[slot].key);
            assert(found != slotOfKey.end() && found->second == slot);
        }
        assert(live == slotOfKey.size());
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
        rows_->entries[found->second].row = row;
    } else {
        rows_->slotOfKey.emplace(key, rows_->entries.size());
        rows_->entries.push_back(Rows::SSlot{key, row});
    }
    ++revision_;
    if (addObserver_)
        addObserver_(key, row);
}

QList<IBaseHpfTableDataPtr> IBaseHpfTableModel::getDatas() const
{
    QList<IBaseHpfTableDataPtr> result;
    result.reserve(static_cast<int>(rows_->slotOfKey.size()));
    for (const Rows::SSlot& slot : rows_->entries) {
        if (slot.row)
            result.append(slot.row);
    }
    return result;
}

IBaseHpfTableDataPtr IBaseHpfTableModel::getDataByKey(const std::string& key) const
{
    const IBaseHpfTableDataPtr* row = findData(key);
    return row != nullptr ? *row : IBaseHpfTableDataPtr();
}

const IBaseHpfTableDataPtr* IBaseHpfTableModel::findData(const std::string& key) const
{
    const auto found = rows_->slotOfKey.find(key);
    return found != rows_->slotOfKey.end() ? &rows_->entries[found->second].row : nullptr;
}

bool IBaseHpfTableModel::removeDataByKey(const std::string& key)
{
    const auto found = rows_->slotOfKey.find(key);
    if (found == rows_->slotOfKey.end())
        return false;
    rows_->entries[found->second] = Rows::SSlot();
    rows_->slotOfKey.erase(found);
    if (rows_->slotOfKey.size() * 2 < rows_->entries.size())
        rows_->squeezeHoles();
    ++revision_;
    return true;
}

void IBaseHpfTableModel::clear()
{
    rows_->entries.clear();
    rows_->slotOfKey.clear();
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
    std::vector<std::pair<std::string, IBaseHpfTableDataPtr>> result;
    result.reserve(rows_->slotOfKey.size());
    for (const Rows::SSlot& slot : rows_->entries) {
        if (slot.row)
            result.emplace_back(slot.key, slot.row);
    }
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
