#pragma once
// Qt item models of CStandardHpfTable (internal to the host library).
//
// CHpfTableQtModel shows the rows of an IBaseHpfTableModel, as of the last sync, through
// a row index that applies the column filters and then a stable sort. It also owns the
// per-cell state that the column delegates are told (texts, visibility, choices, ...):
// kept with the row object, not with its key, so a row that is renumbered keeps its
// cells, and exposed to the view through the cell roles below. The delegates keep none.
//
// A sync tells the view what changed: rows that came or went as one insert or remove
// (a reset only for a sort, a filter or a wholesale change), and dataChanged for the
// rows told something since the last sync or renumbered. It forgets the cells of the rows
// that left (those it removed from the view and those told something but not in the model
// any more), so it looks at the rows that changed, not at every row's cells. The
// statistics row is a separate one-row model.

#include <QAbstractTableModel>
#include <QHash>
#include <QMap>
#include <QStringList>
#include <functional>
#include <unordered_map>
#include <vector>

#include "KZ/HpfTableModel.h"

namespace KZ {

class CBaseTableColumnDelegate;

// Item-data roles of the table's cells.
enum ECellRole {
    kRowKeyRole = Qt::UserRole + 1,   // QString: the row's key
    kStatRowRole,                     // bool: the cell belongs to the statistics row
    kCellTextRole,                    // QString: the text a delegate was told (invalid: told nothing)
    kCellVisibleRole,                 // bool: the cell's input is drawn
    kCellEnabledRole,                 // bool
    kCellClickableRole,               // bool
    kCellColorKeyRole,                // QString: a UI resource colour key (empty: default)
    kCellItemsRole,                   // QStringList: the cell's choices
    kCellCurrentRole,                 // QString: the chosen or typed text (invalid: told nothing)
};

// What the delegates were told about one cell. Each setter marks its field as set, so
// state told for a key before its row arrived is laid over the row's own.
struct SCellState {
    enum EField { F_TEXT = 1, F_VISIBLE = 2, F_ENABLED = 4, F_CLICKABLE = 8, F_COLOR = 16, F_ITEMS = 32,
                  F_CURRENT = 64 };
    unsigned fields = 0;
    bool visible = true;     // the flags beside the field set, so a row's cells take less room
    bool enabled = true;
    bool clickable = true;
    QString text;
    QString colorKey;
    QStringList items;
    QString current;

    void overlay(const SCellState& newer);
    bool operator==(const SCellState& other) const;
    bool operator!=(const SCellState& other) const { return !(*this == other); }
};

class CHpfTableQtModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using DelegateLookup = std::function<CBaseTableColumnDelegate*(int column)>;

    CHpfTableQtModel(DelegateLookup delegateOf, QObject* parent);

    void setSource(IBaseHpfTableModel* source);   // not owned; null detaches
    IBaseHpfTableModel* source() const { return source_; }
    // Takes the source's rows as they are now and tells the view what changed.
    void resync();
    // Shows no rows until the next resync (a wholesale reload follows), and forgets the cells
    // of the rows the source no longer holds.
    void releaseRows();

    void setSort(int column, Qt::SortOrder order);   // column -1: insertion order
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }
    void setFilter(int column, const QString& text); // empty text removes the column's filter
    void clearFilters();

    // --- cell state, by row key and the delegate that was told it ---
    const SCellState* cellState(const QString& key, const CBaseTableColumnDelegate* teller) const;   // null: none
    void changeCell(const QString& key, const CBaseTableColumnDelegate* teller,
                    const std::function<void(SCellState&)>& change);
    // Drops what a delegate that leaves the table was told.
    void forgetCellsOf(const CBaseTableColumnDelegate* teller);

    IBaseHpfTableDataPtr rowAt(int row) const;
    QString rowKeyAt(int row) const;
    // What a cell shows: its delegate's text for the cell's state, else the row's display text.
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
    // A row's cells by the delegate told, a handful per row: searched in order.
    using RowCells = std::vector<std::pair<const CBaseTableColumnDelegate*, SCellState>>;
    struct SHeldCells {
        IBaseHpfTableDataPtr row;   // held, so that no other row takes its address
        RowCells cells;
        bool told = false;          // told something since the last sync (in changedRows_)
    };

    using HeldCells = std::unordered_map<const IBaseHpfTableData*, SHeldCells>;
    // The held cells of the row a delegate told something last, so that the calls telling one
    // row's cells one after the other find it once. Valid while the source's rows and the
    // held cells stay as they were.
    struct SLastRow {
        QString key;
        unsigned long long revision = 0;
        SHeldCells* held = nullptr;
    };

    bool isOwnCell(const QModelIndex& index) const;
    const SRow& shownRow(int row) const { return snapshot_[static_cast<size_t>(visible_[static_cast<size_t>(row)])]; }
    const SCellState* stateOf(const IBaseHpfTableData* row, const CBaseTableColumnDelegate* teller) const;
    const SCellState* stateOfCell(const IBaseHpfTableData* row, int column) const;
    static SCellState& cellOf(RowCells& cells, const CBaseTableColumnDelegate* teller);
    // The held cells of a row; null when none.
    const SHeldCells* heldCellsOf(const IBaseHpfTableData* row) const;
    bool isLastRow(const QString& key) const;
    void rememberLastRow(const QString& key, SHeldCells* held);
    void forgetLastRow() { lastRow_.held = nullptr; }
    void noteTold(SHeldCells& held);
    // The held cells of a row told something now, noted as told since the last sync.
    SHeldCells& toldCells(const IBaseHpfTableDataPtr& row);
    static const SCellState* findCell(const RowCells& cells, const CBaseTableColumnDelegate* teller);
    void adoptPending(const std::string& key, const IBaseHpfTableDataPtr& row);
    // Drops the cells of rows that left: those the sync removed from the view, and those told
    // something since the last sync that it did not find among the rows (still marked told).
    // A reset or released rows look at every held row.
    // allToldShown: every row told since the last sync is shown, so none of them left.
    void forgetCellsOfRowsGone(const std::vector<IBaseHpfTableDataPtr>& removed, bool allToldShown);
    // Unmarks the rows among rows told something since the last sync; how many it unmarked.
    // Each told row is listed once in changedRows_, so as many as it lists means all.
    size_t unmarkTold(const std::vector<SRow>& rows);
    void forgetCellsOfRowsNotShown();
    void forgetToldRowsGone();   // those told since the last sync that no sync found
    void forgetCellsOfRowsNotInSource();
    QString snapshotCellText(const SRow& row, int column) const;
    bool passesFilters(const SRow& row) const;
    bool isIdentity() const { return filters_.isEmpty() && sortColumn_ < 0; }
    void rebuildIndex();
    void sortIndex();
    // Tells the view of the rows between the unchanged head and tail: an insert or a
    // remove, or false when both sides changed there.
    bool applyRowChange(std::vector<SRow>& fresh, std::vector<IBaseHpfTableDataPtr>& removed, bool& allToldShown);
    std::vector<const IBaseHpfTableData*> sortedToldRows() const;
    // Whether the row was told something since the last sync; unmarks it. A row still
    // marked after a sync's walk was told something and left.
    bool takeTold(const IBaseHpfTableData* row, const std::vector<const IBaseHpfTableData*>& toldRows);
    void emitChangedRows(const std::vector<bool>& changed);

    DelegateLookup delegateOf_;
    IBaseHpfTableModel* source_ = nullptr;   // owned by the table
    std::vector<SRow> snapshot_;
    std::vector<int> visible_;               // view row -> snapshot position
    int columns_ = 0;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    QMap<int, QString> filters_;
    HeldCells cells_;
    QHash<QString, RowCells> pendingCells_;   // told for a key no row had at the time
    std::vector<const IBaseHpfTableData*> changedRows_;   // cells told since the last sync, each once
    SLastRow lastRow_;
    bool rowsReleased_ = false;   // releaseRows() emptied the view: the next sync resets it
    static constexpr unsigned long long kNeverSynced = ~0ULL;
    unsigned long long syncedRevision_ = kNeverSynced;   // the source's revision at the last sync
    size_t cellsPerRow_ = 0;      // the most cells one row was told, room made for each new row
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

} // namespace KZ
