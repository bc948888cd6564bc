#pragma once
// The panel's three allocation tables as the desk's back office sees them: found among
// the panel's widgets by their column titles, read through the host table's Qt adapter
// and model, and changed only as a user changes them: a cell's editor opened, a text
// typed and committed with Return, an operation cell clicked, the save button pressed.
// So an import goes through exactly the panel's own handling of each edit.

#include <QHash>
#include <QModelIndex>
#include <QString>
#include <QStringList>

class QWidget;

namespace KZ {
class CStandardHpfTable;
}

namespace desk {

class CPanelTableDriver {
public:
    enum ETable { T_ONE, T_TWO, T_THREE, T_COUNT };

    // panel: the allocation panel (not owned); it must stay alive while the driver is used.
    explicit CPanelTableDriver(QWidget* panel);

    // Whether all three tables were found.
    bool isComplete() const;
    // The host table of one of the three, null when it was not found.
    KZ::CStandardHpfTable* table(ETable which) const { return tables_[which]; }

    // The column titled so, -1 when the table has none.
    int column(ETable table, const QString& title) const;
    // Row keys in the order the table shows them.
    QStringList keys(ETable table) const;
    // What a cell shows as text (its delegate's text, else the model's), and a number
    // cell's value in the model (the largest double for none).
    QString text(ETable table, const QString& key, int column) const;
    double number(ETable table, const QString& key, int column) const;
    // The text a column's delegate draws for a row (an operation cell's "+添加").
    QString delegateText(ETable table, const QString& key, int column) const;

    // Opens the cell's editor, types the text and presses Return; false when the cell
    // cannot be edited.
    bool type(ETable table, const QString& key, int column, const QString& text);
    // Clicks the cell with the mouse; false when the row is not shown.
    bool click(ETable table, const QString& key, int column);

    // The save button under table three ("  保存  "), null when there is none.
    QWidget* saveButton() const;

private:
    QModelIndex indexOf(ETable table, const QString& key, int column) const;

    KZ::CStandardHpfTable* tables_[T_COUNT] = {};   // owned by the panel
    QWidget* panel_;                                // not owned
    mutable QHash<QString, int> rowOfKey_[T_COUNT];  // where each key's row was last seen
};

} // namespace desk
