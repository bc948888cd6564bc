#pragma once
// Rows and models of the high-performance table. A model keeps its rows in
// insertion order and finds, replaces and removes them by key in O(1).

#include <QColor>
#include <QList>
#include <QString>
#include <QVariant>
#include <boost/shared_ptr.hpp>
#include <memory>
#include <string>

namespace KZ {

class IBaseHpfTableData {
public:
    virtual ~IBaseHpfTableData() = default;
    virtual QString getDisplayQString(int column) const;   // default: empty
    virtual QString getQString(int column) const;          // default: empty
    virtual int getInt(int column) const;                  // default: 2147483647
    virtual double getDouble(int column) const;            // default: the largest double
    virtual long long getLongLong(int column) const;       // default: 9223372036854775807
    virtual QColor getColor(int column) const;             // default: "clr_text_default"
    virtual std::string key() const = 0;                   // unique per row
};
using IBaseHpfTableDataPtr = boost::shared_ptr<IBaseHpfTableData>;

class IBaseHpfTableModel {
public:
    explicit IBaseHpfTableModel(bool keyed);
    virtual ~IBaseHpfTableModel();
    IBaseHpfTableModel(const IBaseHpfTableModel&) = delete;
    IBaseHpfTableModel& operator=(const IBaseHpfTableModel&) = delete;

    virtual int columnCount() const = 0;
    virtual QString columnHeader(int column) const = 0;
    virtual QVariant::Type columnType(int column) const = 0;
    virtual QString getStatDispalyQString(int column) const;  // statistics (totals) row; default empty
    virtual bool columnFlashChange(int column) const;          // default false
    virtual QColor getBackgroundColor(int row) const;          // default "clr_table_background"
    virtual int columnFlag(int column) const;                  // utils::EFormatNumberFlag set; default 0

    // Appends a row; a row whose key is already present replaces that row in place.
    void addData(const IBaseHpfTableDataPtr& row);
    QList<IBaseHpfTableDataPtr> getDatas() const;             // rows in order (a copy)
    IBaseHpfTableDataPtr getDataByKey(const std::string& key) const;  // null when absent
    bool removeDataByKey(const std::string& key);
    void clear();
    void clearFilter();
    int rowCount() const;
    IBaseHpfTableDataPtr dataAt(int index) const;              // insertion order; O(1)
    // The same row without a shared count taken: for walks over every row, where taking
    // and dropping one per row would order each row's memory reads behind the last's.
    // Valid while the model holds the row; null out of range.
    const IBaseHpfTableData* rowAt(int index) const;
    // The key the row at index was added under (empty out of range); O(1).
    const std::string& keyAt(int index) const;
    // Bumped by every change of the row set; views use it to know they must resync.
    unsigned long long revision() const;

private:
    struct Rows;
    std::unique_ptr<Rows> rows_;
    unsigned long long revision_ = 0;
};

} // namespace KZ
