#pragma once
// Qt item models of CStandardHpfTable (internal to the host library).
//
// CHpfTableQtModel shows a snapshot of an IBaseHpfTableModel's rows, taken at each
// sync, through a row index that applies the column filters and then a stable sort.
// Sorting and filtering work on that index, never through a proxy model. The
// statistics row is a separate one-row model shown by a second view under the table,
// so it is neither sorted nor filtered and this model's rows are exactly the data rows.

#include <QAbstractTableModel>
#include <QMap>
#include <QVector>
#include <functional>
#include <vector>

#include "KZ/HpfTableModel.h"

namespace KZ {

class CBaseTableColumnDelegate;

class CHpfTableQtModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using DelegateLookup = std::function<CBaseTableColumnDelegate*(int column)>;

    CHpfTableQtModel(DelegateLookup delegateOf, QObject* parent);

    void setSource(IBaseHpfTableModel* source);   // not owned; null detaches
    IBaseHpfTableModel* source() const { return source_; }
    // Takes a new snapshot of the source's rows and rebuilds the index: one model reset,
    // or only dataChanged when the same rows stay in the same places.
    void resync();
    // Shows no rows and lets go of the snapshot's rows until the next resync: a table that
    // is emptied before a reload releases the old rows before the new ones are made.
    void releaseRows();

    void setSort(int column, Qt::SortOrder order);   // column -1: insertion order
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }
    void setFilter(int column, const QString& text); // empty text removes the column's filter
    void clearFilters();

    IBaseHpfTableDataPtr rowAt(int row) const;
    QString rowKeyAt(int row) const;
    // What a cell shows: its delegate's text for the row when it has one, else the row's display text.
    QString cellText(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    struct SRow {
        IBaseHpfTableDataPtr data;
        std::string key;   // the key the model holds the row under
    };
    bool isOwnCell(const QModelIndex& index) const;
    bool sameRows(const std::vector<SRow>& fresh) const;
    void keepAsSpare(std::vector<SRow>* old);
    QString snapshotCellText(const SRow& row, int column) const;
    bool passesFilters(const SRow& row, int columns) const;
    void rebuildIndex();
    void buildIndex(const std::vector<SRow>& rows, int columns, std::vector<int>* visible) const;
    void sortIndex(const std::vector<SRow>& rows, std::vector<int>* visible) const;

    DelegateLookup delegateOf_;
    IBaseHpfTableModel* source_ = nullptr;   // owned by the table
    std::vector<SRow> snapshot_;
    std::vector<SRow> spare_;                // empty; its capacity serves the next sync
    std::vector<int> visible_;               // view row -> snapshot position
    int columns_ = 0;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    QMap<int, QString> filters_;
};

// The statistics (totals) row: one row drawn from getStatDispalyQString, in bold.
class CHpfStatQtModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CHpfStatQtModel(QObject* parent);
    void setSource(IBaseHpfTableModel* source);   // not owned; null detaches
    void resync();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    IBaseHpfTableModel* source_ = nullptr;   // owned by the table
    int columns_ = 0;
};

// Role under which the adapter says a cell belongs to the statistics row (bool).
constexpr int kStatRowRole = Qt::UserRole + 2;

} // namespace KZ
