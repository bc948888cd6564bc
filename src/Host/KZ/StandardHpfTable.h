#pragma once
// The high-performance table: a QTableView over an IBaseHpfTableModel, with a
// statistics row, per-column sorting and filtering, and deferred redraws.
//
// qtModel() holds exactly the model's rows that pass the filters, in sort order. The
// statistics row is a second one-row view under the table (statView()) that follows
// the table's column widths, order and horizontal scrolling.

#include <QPointer>
#include <QSet>
#include <QString>
#include <QVector>
#include <memory>

#include "KZ/BaseWidget.h"

class QShowEvent;
class QTableView;
class QAbstractItemModel;

namespace KZ {

class IBaseHpfTableModel;
class CBaseTableColumnDelegate;
class CHpfTableQtModel;
class CHpfStatQtModel;
class CTextWidthBound;

class CStandardHpfTable : public CBaseWidget {
    Q_OBJECT
public:
    // Table flags (setFlag); menu flags are accepted and kept.
    enum ETableFlag {
        TF_NONE = 0,
        TF_EDITABLE = 0x8,          // delegates may open editors
        TF_STAT_ROW = 0x40,         // show the statistics (totals) row
        TF_HEADER_SORT = 0x200,     // clicking a header sorts its column
    };

    CStandardHpfTable(int id, QWidget* parent, int menuFlags);
    ~CStandardHpfTable() override;

    int id() const { return id_; }
    int flag() const { return flags_; }
    void setFlag(int flags);
    void setColumnWidth(int column, int width);

    // Takes ownership of the model (replacing any earlier one).
    void setDataModel(IBaseHpfTableModel* model);
    IBaseHpfTableModel* dataModel() const;
    // Takes ownership of the delegate through Qt parentage.
    void setColumnDelegate(int column, CBaseTableColumnDelegate* delegate);
    CBaseTableColumnDelegate* columnDelegate(int column) const;

    void setColumnFilterable(int column, bool on);
    void setColumnSortable(int column, bool on);
    void setColumnFilter(int column, const QString& text);   // rows whose cell text contains text
    void sortByColumn(int column, Qt::SortOrder order);
    // Closes editors, drops selection, forgets the cells of the rows no longer in the model
    // (a reload's old rows go before its new ones are made), marks dirty.
    void clear();
    void clearFilter();
    void clearSort();

    // Marks the view dirty; it syncs with the model once, when control returns to the event loop.
    void updateTable();
    void syncNow();                     // syncs at once if dirty
    int syncCount() const { return syncCount_; }

    QString saveConfigStr() const;      // column widths, order, sort
    bool loadConfigStr(const QString& config);

    QTableView* view() const { return view_; }
    QAbstractItemModel* qtModel() const;
    QTableView* statView() const { return statView_; }   // the statistics row
    int sortColumn() const;             // -1 when rows keep insertion order
    Qt::SortOrder sortOrder() const;
    bool isDirty() const { return dirty_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct SViewConfig;
    void sync();
    void applyFlags();
    void applyColumnWidths();
    bool applyConfig(const SViewConfig& config);
    void mirrorHeaderToStatView();
    void widenColumnsToStatTexts();
    void widenColumnsToShownTexts();
    void growColumnToText(int column, const CTextWidthBound& bound, const QString& text, int limit);
    int textPadding() const;
    void onSortIndicatorChanged(int column, Qt::SortOrder order);
    void showHeaderMenu(const QPoint& position);
    void showSortIndicator();

    int id_;
    int flags_ = 0;
    int menuFlags_;
    QTableView* view_ = nullptr;        // owned by Qt parent
    CHpfTableQtModel* qtModel_ = nullptr;  // owned by Qt parent
    QTableView* statView_ = nullptr;    // owned by Qt parent
    CHpfStatQtModel* statModel_ = nullptr; // owned by Qt parent
    std::unique_ptr<IBaseHpfTableModel> model_;
    QVector<QPointer<CBaseTableColumnDelegate>> delegates_;   // owned by Qt parent (this)
    QVector<int> widths_;               // requested width per column; 0 = default
    QSet<int> sortableColumns_;
    QSet<int> filterableColumns_;
    std::unique_ptr<SViewConfig> pendingConfig_;   // loaded before the columns existed
    unsigned long long syncedRevision_ = 0;
    bool dirty_ = false;
    bool syncQueued_ = false;
    bool fitPending_ = false;           // the rows changed since the columns were last fitted
    std::unique_ptr<CTextWidthBound> rowBound_;    // for the rows' font, made on first use
    std::unique_ptr<CTextWidthBound> statBound_;   // for the statistics row's font
    int syncCount_ = 0;
};

} // namespace KZ
