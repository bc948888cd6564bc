#pragma once

#include <QPointer>
#include <QStringList>
#include <vector>

#include "KZ/ColumnDelegates.h"

class QLineEdit;

namespace TC {

// A line edit with a choice list per row, filtered by what is typed. Choosing an
// entry or committing the text raises 244 (sender = delegate id, text = the new
// text); getLastKey() tells which row.
class CBaseTableColumnAutoLineEditDelegate : public KZ::CBaseTableColumnDelegate {
    Q_OBJECT
public:
    CBaseTableColumnAutoLineEditDelegate(int id, QObject* deliverer);
    void setItems(const QString& key, const QStringList& items, const std::vector<int>& values);
    QStringList getItems(const QString& key) const;
    void setCurItem(const QString& key, const QString& text, int index);
    QString getCurText(const QString& key) const;
    void setCurrentText(const QString& text);   // for the row of getLastKey()
    QString getLastKey() const { return lastKey_; }
    void hideAutoLineEdit();                    // closes the open editor, if any
    void setEditable(bool editable);

    bool isCellEditable(const KZ::SCellState* state) const override;
    QString shownText(const KZ::SCellState* state) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    // Raises 244 once for the editor; later commits of the same editor are ignored.
    void commitText(QLineEdit* editor, const QString& text) const;
    // Closes the editor from the event loop, so that it is safe inside a 244 handler.
    void closeEditorLater(QLineEdit* editor) const;

    mutable QString lastKey_;   // the row of the editor last opened
    mutable QPointer<QLineEdit> openEditor_;
    bool editable_ = true;
};

} // namespace TC
