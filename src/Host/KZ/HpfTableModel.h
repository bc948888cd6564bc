#pragma once
// Rows and models of the high-performance table. A model keeps its rows in
// insertion order and finds, replaces and removes them by key in O(1) (amortised).

#include <QColor>
#include <QList>
#include <QString>
#include <QVariant>
#include <boost/shared_ptr.hpp>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
    QList<IBaseHpfTableDataPtr> getDatas() const;             // rows in order (a copy, shared until changed)
    IBaseHpfTableDataPtr getDataByKey(const std::string& key) const;  // null when absent
    bool removeDataByKey(const std::string& key);
    void clear();
    void clearFilter();

    // --- for the table's Qt adapter, the desk and the tests (not the panel's) ---
    int rowCount() const;
    // The rows in order, each with the key it was added under.
    std::vector<std::pair<std::string, IBaseHpfTableDataPtr>> keyedRows() const;
    // The row held under key, without a copy of its pointer; null when absent. Valid until
    // the rows change.
    const IBaseHpfTableDataPtr* findData(const std::string& key) const;
    // Bumped by every change of the row set; the table uses it to know it must resync.
    unsigned long long revision() const;
    // Told of every row added (or put in place of another): the adapter hands it the cell
    // state that was set for its key before it arrived.
    using AddObserver = std::function<void(const std::string& key, const IBaseHpfTableDataPtr& row)>;
    void setAddObserver(AddObserver observer);

private:
    struct Rows;
    std::unique_ptr<Rows> rows_;
    unsigned long long revision_ = 0;
    AddObserver addObserver_;
};

} // namespace KZ
