#include "KZ/HpfTableModel.h"

#include <cassert>
#include <cfloat>
#include <algorithm>
#include <climits>
#include <vector>

#include "KZ/KeySlotIndex.h"
#include "KZ/UiResource.h"

namespace KZ {

QString IBaseHpfTableData::getDisplayQString(int) const { return QString(); }
QString IBaseHpfTableData::getQString(int) const { return QString(); }
int IBaseHpfTableData::getInt(int) const { return INT_MAX; }
double IBaseHpfTableData::getDouble(int) const { return DBL_MAX; }
long long IBaseHpfTableData::getLongLong(int) const { return LLONG_MAX; }
QColor IBaseHpfTableData::getColor(int) const { return CUiResource::getColor(QStringLiteral("clr_text_default")); }

// Rows in insertion order with a key -> slot index. A removal leaves a hole that the
// next positional access compacts away, so removing many rows in a row stays linear.
struct IBaseHpfTableModel::Rows {
    struct SSlot {
        std::string key;   // copy taken when the row was added: a row's key() may change later
        IBaseHpfTableDataPtr row;
    };
    std::vector<SSlot> entries;
    CKeySlotIndex slotOfKey;
    size_t holes = 0;
    size_t firstHole = 0;   // meaningful while holes > 0; the slots before it stay where they are

    size_t liveCount() const { return entries.size() - holes; }
    // What the index reads to compare keys: the key held in a slot.
    auto keyReader() const
    {
        return [this](size_t slot) -> const std::string& { return entries[slot].key; };
    }
    size_t find(const std::string& key) const { return slotOfKey.find(key, keyReader()); }

    void markHole(size_t slot)
    {
        firstHole = holes == 0 ? slot : std::min(firstHole, slot);
        ++holes;
    }

    void compact()
    {
        if (holes == 0)
            return;
        size_t target = firstHole;
        for (size_t i = firstHole; i < entries.size(); ++i) {
            if (!entries[i].row)
                continue;
            if (target != i) {
                slotOfKey.moveSlot(entries[i].key, target, keyReader());
                entries[target] = std::move(entries[i]);
            }
            ++target;
        }
        entries.resize(target);
        holes = 0;
        assertConsistent();
    }

    void assertConsistent() const
    {
#ifndef NDEBUG
        size_t live = 0;
        for (const SSlot& slot : entries)
            live += slot.row ? 1 : 0;
        assert(live == liveCount());
        assert(slotOfKey.size() == live);
        for (size_t slot = 0; slot < entries.size(); ++slot)
            assert(!entries[slot].row || find(entries[slot].key) == slot);
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
    const size_t found = rows_->slotOfKey.findOrInsert(key, rows_->entries.size(), rows_->keyReader());
    if (found != CKeySlotIndex::npos)
        rows_->entries[found].row = row;
    else
        rows_->entries.push_back(Rows::SSlot{std::move(key), row});
    ++revision_;
}

QList<IBaseHpfTableDataPtr> IBaseHpfTableModel::getDatas() const
{
    QList<IBaseHpfTableDataPtr> result;
    result.reserve(static_cast<int>(rows_->liveCount()));
    for (const Rows::SSlot& slot : rows_->entries) {
        if (slot.row)
            result.append(slot.row);
    }
    return result;
}

IBaseHpfTableDataPtr IBaseHpfTableModel::getDataByKey(const std::string& key) const
{
    const size_t found = rows_->find(key);
    return found != CKeySlotIndex::npos ? rows_->entries[found].row : IBaseHpfTableDataPtr();
}

bool IBaseHpfTableModel::removeDataByKey(const std::string& key)
{
    const size_t found = rows_->find(key);
    if (found == CKeySlotIndex::npos)
        return false;
    rows_->slotOfKey.erase(key, rows_->keyReader());
    Rows::SSlot& slot = rows_->entries[found];
    slot.row.reset();
    slot.key.clear();
    rows_->markHole(found);
    if (rows_->holes == rows_->entries.size()) {
        rows_->entries.clear();
        rows_->holes = 0;
    }
    ++revision_;
    return true;
}

void IBaseHpfTableModel::clear()
{
    rows_->entries.clear();
    rows_->slotOfKey.clear();
    rows_->holes = 0;
    ++revision_;
}

void IBaseHpfTableModel::clearFilter()
{
    // Filtering lives in the table's view; the model keeps every row.
}

int IBaseHpfTableModel::rowCount() const
{
    return static_cast<int>(rows_->liveCount());
}

IBaseHpfTableDataPtr IBaseHpfTableModel::dataAt(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= rows_->liveCount())
        return IBaseHpfTableDataPtr();
    rows_->compact();
    return rows_->entries[static_cast<size_t>(index)].row;
}

const IBaseHpfTableData* IBaseHpfTableModel::rowAt(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= rows_->liveCount())
        return nullptr;
    rows_->compact();
    return rows_->entries[static_cast<size_t>(index)].row.get();
}

const std::string& IBaseHpfTableModel::keyAt(int index) const
{
    static const std::string none;
    if (index < 0 || static_cast<size_t>(index) >= rows_->liveCount())
        return none;
    rows_->compact();
    return rows_->entries[static_cast<size_t>(index)].key;
}

unsigned long long IBaseHpfTableModel::revision() const
{
    return revision_;
}

} // namespace KZ
