#pragma once
// Column delegates of the high-performance table. Each keeps its per-row state
// under the row key (IBaseHpfTableData::key as text) and raises its events
// through the table it was given as deliverer.

#include <QHash>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>
#include <vector>

#include "KZ/EventDeliverer.h"
#include "KZ/RowStateStore.h"

namespace KZ {

// Qt item-data role under which the table's Qt model gives a row's key (QString).
constexpr int kRowKeyRole = Qt::UserRole + 1;

class CBaseTableColumnDelegate : public QStyledItemDelegate, public CEventDeliverer {
    Q_OBJECT
public:
    // deliverer: the table whose owner receives this delegate's events (not owned).
    CBaseTableColumnDelegate(int id, QObject* deliverer);
    int id() const { return id_; }
    void setEventDeliverer(QObject* deliverer);
    // Whether a cell of this delegate can be edited at all in the view.
    virtual bool isCellEditable(const QString& key) const { Q_UNUSED(key); return false; }
    // Text the cell shows for a row, or a null QString to show the model's text.
    virtual QString cellText(const QString& key) const { Q_UNUSED(key); return QString(); }
    // For tables keyed by row number: count rows were inserted before row `first`, or
    // rows first .. first + count - 1 were removed; the per-row state of the rows after
    // them moves with their numbers.
    virtual void insertRowNumbers(int first, int count) { Q_UNUSED(first); Q_UNUSED(count); }
    virtual void removeRowNumbers(int first, int count) { Q_UNUSED(first); Q_UNUSED(count); }
    // Rows 1 .. n were numbered anew: row i + 1 is now row newNumbers[i].
    virtual void renumberRows(const std::vector<int>& newNumbers) { Q_UNUSED(newNumbers); }

protected:
    QObject* deliveryStart() const override { return deliverer_; }
    static QString rowKey(const QModelIndex& index);
    static bool isStatisticsCell(const QModelIndex& index);
    // Raises an event from a const Qt hook (setModelData, editorEvent).
    bool raise(int nEventID, int nSenderID, int nIntParam, const QString& qsParam, void* pParam) const;
    // Repaints the cells of the table this delegate is installed on, once the event loop
    // runs: a loader that changes ten thousand rows asks for one repaint, not ten thousand.
    void repaintCells() const;

private:
    int id_;
    QPointer<QObject> deliverer_;
    mutable bool repaintQueued_ = false;
};

// Numeric line edit per row: text, visibility (an input box is drawn) and one
// editability for the whole column. Committing an edit raises 226.
class CBaseTableColumnLineeditDelegate : public CBaseTableColumnDelegate {
    Q_OBJECT
public:
    CBaseTableColumnLineeditDelegate(int id, QObject* deliverer);
    void setDoubleRange(double bottom, double top, int decimals);
    void setItemText(const QString& key, const QString& text);
    QString getItemText(const QString& key) const;
    void setItemVisible(const QString& key, bool visible);
    bool isItemVisible(const QString& key) const;              // default true
    void setLineEditable(bool editable);
    bool isLineEditable() const { return editable_; }
    void clearItems();

    bool isCellEditable(const QString& key) const override;
    QString cellText(const QString& key) const override;
    void insertRowNumbers(int first, int count) override { items_.insertNumbers(first, count); }
    void removeRowNumbers(int first, int count) override { items_.removeNumbers(first, count); }
    void renumberRows(const std::vector<int>& newNumbers) override { items_.renumber(newNumbers); }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    struct SItem { QString text; bool visible = true; };
    mutable CRowStateStore<SItem> items_;   // a commit stores the typed text from const setModelData
    double bottom_ = 0.0;
    double top_ = 1.0e300;
    int decimals_ = 4;
    bool editable_ = true;
};

// Clickable text per row with a colour key; a click on an enabled cell raises 224.
class CBaseTableColumnSimpleTextDelegate : public CBaseTableColumnDelegate {
    Q_OBJECT
public:
    CBaseTableColumnSimpleTextDelegate(int id, QObject* deliverer);
    void setItemText(const QString& key, const QString& text);
    QString getText(const QString& key) const;
    void setItemEnabled(const QString& key, bool enabled, bool clickable);
    bool isItemEnabled(const QString& key) const;
    void setItemColorKey(const QString& key, const QString& colorKey, bool update);
    QString itemColorKey(const QString& key) const;
    void clearItems();

    QString cellText(const QString& key) const override;
    void insertRowNumbers(int first, int count) override { items_.insertNumbers(first, count); }
    void removeRowNumbers(int first, int count) override { items_.removeNumbers(first, count); }
    void renumberRows(const std::vector<int>& newNumbers) override { items_.renumber(newNumbers); }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option, const QModelIndex& index) override;

private:
    struct SItem { QString text; QString colorKey; bool enabled = true; bool clickable = true; };
    CRowStateStore<SItem> items_;
};

// Choice list per row shown in a combo box; a change raises 268.
class CBaseTableColumnComboxDelegate : public CBaseTableColumnDelegate {
    Q_OBJECT
public:
    CBaseTableColumnComboxDelegate(int id, QObject* deliverer);
    void setItems(const QString& key, const QStringList& items);
    QStringList getItems(const QString& key) const;
    void setItemText(const QString& key, const QString& text);
    QString getText(const QString& key) const;

    bool isCellEditable(const QString& key) const override;
    QString cellText(const QString& key) const override;
    void insertRowNumbers(int first, int count) override { items_.insertNumbers(first, count); }
    void removeRowNumbers(int first, int count) override { items_.removeNumbers(first, count); }
    void renumberRows(const std::vector<int>& newNumbers) override { items_.renumber(newNumbers); }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    struct SItem { QStringList items; QString text; };
    mutable CRowStateStore<SItem> items_;   // a commit stores the choice from const setModelData
};

} // namespace KZ
