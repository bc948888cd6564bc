#pragma once
// Column delegates of the high-performance table. They paint and edit; what they are
// told per row (setItemText(key, ...) and the like) goes to the table's Qt adapter, which
// keeps it with the row and hands it back through the cell roles. They raise their events
// through the table they were given as deliverer.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>
#include <functional>
#include <vector>

#include "KZ/EventDeliverer.h"
#include "KZ/HpfTableQtModel.h"

namespace KZ {

class CBaseTableColumnDelegate : public QStyledItemDelegate, public CEventDeliverer {
    Q_OBJECT
public:
    // deliverer: the table whose owner receives this delegate's events (not owned).
    CBaseTableColumnDelegate(int id, QObject* deliverer);
    int id() const { return id_; }
    void setEventDeliverer(QObject* deliverer);
    // Installed on a table: the cells it is told of are kept by that table's adapter.
    void attach(CHpfTableQtModel* cells);
    // Whether a cell in this state (null: none told) can be edited at all in the view.
    virtual bool isCellEditable(const SCellState* state) const { Q_UNUSED(state); return false; }
    // Text a cell in this state shows, or a null QString to show the row's own text.
    virtual QString shownText(const SCellState* state) const { Q_UNUSED(state); return QString(); }
    // Text the cell of the row of key shows, or a null QString for the row's own text.
    QString cellText(const QString& key) const { return shownText(cell(key)); }

protected:
    QObject* deliveryStart() const override { return deliverer_; }
    static QString rowKey(const QModelIndex& index);
    static bool isStatisticsCell(const QModelIndex& index);
    // The state told for the row of key in this column; null when none (or not installed).
    const SCellState* cell(const QString& key) const;
    // Tells the adapter something about the row of key.
    void changeCell(const QString& key, const std::function<void(SCellState&)>& change) const;
    // Raises an event from a const Qt hook (setModelData, editorEvent).
    bool raise(int nEventID, int nSenderID, int nIntParam, const QString& qsParam, void* pParam) const;
    // Repaints the cells of the table this delegate is installed on, once the event loop
    // runs: a loader that changes ten thousand rows asks for one repaint, not ten thousand.
    void repaintCells() const;

private:
    CHpfTableQtModel* cells() const;

    int id_;
    QPointer<QObject> deliverer_;
    QPointer<CHpfTableQtModel> cells_;   // the adapter of the table it is installed on
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

    bool isCellEditable(const SCellState* state) const override;
    QString shownText(const SCellState* state) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
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

    QString shownText(const SCellState* state) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option, const QModelIndex& index) override;
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

    bool isCellEditable(const SCellState* state) const override;
    QString shownText(const SCellState* state) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

} // namespace KZ
