#include "CPanelTableDriver.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableView>
#include <limits>

#include "KZ/ColumnDelegates.h"
#include "KZ/HpfTableModel.h"
#include "KZ/StandardHpfTable.h"
#include "TC/OpButton.h"

namespace desk {

namespace {

// The panel's save button raises the button event with this sender.
const int kSaveButtonId = 32;

// A table is told apart by titles only it has.
struct STableSignature {
    const char* has;
    const char* lacks;
};
const STableSignature kSignatures[CPanelTableDriver::T_COUNT] = {
    {"债券代码|承销商|中标量(亿)", "产品"},    // table one: per underwriter and position
    {"债券代码|产品|中标量(亿)", "承销商"},    // table two: per product and position
    {"产品|承销商|账号分配|操作", "债券代码"}, // table three: the split over accounts
};

QStringList titlesOf(const KZ::CStandardHpfTable& table)
{
    QStringList titles;
    const QAbstractItemModel* model = table.qtModel();
    for (int c = 0; model && c < model->columnCount(); ++c)
        titles << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    return titles;
}

bool matches(const QStringList& titles, const STableSignature& signature)
{
    for (const QString& title : QString::fromUtf8(signature.has).split(QLatin1Char('|')))
        if (!titles.contains(title))
            return false;
    return !titles.contains(QString::fromUtf8(signature.lacks));
}

void sendMouse(QWidget* target, QEvent::Type type, const QPoint& at)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void sendKey(QWidget* target, QEvent::Type type, int key)
{
    QKeyEvent event(type, key, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

CPanelTableDriver::CPanelTableDriver(QWidget* panel) : panel_(panel)
{
    for (KZ::CStandardHpfTable* table : panel->findChildren<KZ::CStandardHpfTable*>()) {
        const QStringList titles = titlesOf(*table);
        for (int t = 0; t < T_COUNT; ++t)
            if (!tables_[t] && matches(titles, kSignatures[t]))
                tables_[t] = table;
    }
}

bool CPanelTableDriver::isComplete() const
{
    return tables_[T_ONE] && tables_[T_TWO] && tables_[T_THREE];
}

int CPanelTableDriver::column(ETable table, const QString& title) const
{
    return titlesOf(*tables_[table]).indexOf(title);
}

QStringList CPanelTableDriver::keys(ETable table) const
{
    tables_[table]->syncNow();
    const QAbstractItemModel* model = tables_[table]->qtModel();
    QStringList out;
    for (int r = 0; r < model->rowCount(); ++r)
        out << model->index(r, 0).data(KZ::kRowKeyRole).toString();
    return out;
}

QModelIndex CPanelTableDriver::indexOf(ETable table, const QString& key, int column) const
{
    KZ::CStandardHpfTable* shown = tables_[table];
    shown->syncNow();
    const QAbstractItemModel* model = shown->qtModel();
    // Rows mostly stay where they were between two edits: the place found last is tried first.
    QHash<QString, int>& places = rowOfKey_[table];
    const auto at = [&](int row) { return model->index(row, column); };
    const auto place = places.constFind(key);
    if (place != places.cend() && *place < model->rowCount() && at(*place).data(KZ::kRowKeyRole).toString() == key)
        return at(*place);
    places.clear();
    for (int r = 0; r < model->rowCount(); ++r)
        places.insert(model->index(r, 0).data(KZ::kRowKeyRole).toString(), r);
    const auto found = places.constFind(key);
    return found == places.cend() ? QModelIndex() : at(*found);
}

QString CPanelTableDriver::text(ETable table, const QString& key, int column) const
{
    // A cell with a choice or an input box shows its delegate's text, as soon as it is set.
    const QString drawn = delegateText(table, key, column);
    return drawn.isNull() ? indexOf(table, key, column).data(Qt::DisplayRole).toString() : drawn;
}

double CPanelTableDriver::number(ETable table, const QString& key, int column) const
{
    const KZ::IBaseHpfTableDataPtr row = tables_[table]->dataModel()->getDataByKey(key.toStdString());
    return row ? row->getDouble(column) : std::numeric_limits<double>::max();
}

QString CPanelTableDriver::delegateText(ETable table, const QString& key, int column) const
{
    const KZ::CBaseTableColumnDelegate* delegate = tables_[table]->columnDelegate(column);
    return delegate ? delegate->cellText(key) : QString();
}

bool CPanelTableDriver::type(ETable table, const QString& key, int column, const QString& text)
{
    const QModelIndex index = indexOf(table, key, column);
    if (!index.isValid() || !(index.flags() & Qt::ItemIsEditable))
        return false;
    QTableView* view = tables_[table]->view();
    view->scrollTo(index);
    view->edit(index);
    auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(index));
    if (!editor)
        return false;
    editor->setText(text);
    sendKey(editor, QEvent::KeyPress, Qt::Key_Return);
    sendKey(editor, QEvent::KeyRelease, Qt::Key_Return);
    QApplication::processEvents();
    return true;
}

bool CPanelTableDriver::click(ETable table, const QString& key, int column)
{
    const QModelIndex index = indexOf(table, key, column);
    if (!index.isValid())
        return false;
    QTableView* view = tables_[table]->view();
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    sendMouse(view->viewport(), QEvent::MouseButtonPress, at);
    sendMouse(view->viewport(), QEvent::MouseButtonRelease, at);
    QApplication::processEvents();
    return true;
}

QWidget* CPanelTableDriver::saveButton() const
{
    for (TC::COpButton* button : panel_->findChildren<TC::COpButton*>())
        if (button->id() == kSaveButtonId)
            return button;
    return nullptr;
}

} // namespace desk
