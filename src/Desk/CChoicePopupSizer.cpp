#include "CChoicePopupSizer.h"

#include <QAbstractItemView>
#include <QChildEvent>
#include <QCompleter>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>

#include "KZ/StandardHpfTable.h"

namespace desk {

namespace {

// The completer whose list it is, kept with the list.
const char* const kCompleterProperty = "bta_choiceCompleter";
// Longer lists are not measured for their widest item.
const int kWidestMeasuredRows = 200;

QCompleter* completerOf(const QAbstractItemView* list)
{
    return qobject_cast<QCompleter*>(list->property(kCompleterProperty).value<QObject*>());
}

} // namespace

CChoicePopupSizer::CChoicePopupSizer(QWidget* panel, QObject* parent) : QObject(parent)
{
    // A cell's editor is a child of its view's viewport, polished as it opens.
    for (KZ::CStandardHpfTable* table : panel->findChildren<KZ::CStandardHpfTable*>())
        table->view()->viewport()->installEventFilter(this);
}

int CChoicePopupSizer::fittingHeight(const QAbstractItemView& list, int maxVisibleRows)
{
    const int rows = list.model() != nullptr ? qMin(list.model()->rowCount(), maxVisibleRows) : 0;
    int height = 2 * list.frameWidth();
    for (int row = 0; row < rows; ++row)
        height += list.sizeHintForRow(row);
    if (list.horizontalScrollBar()->isVisible())
        height += list.horizontalScrollBar()->sizeHint().height();
    return height;
}

bool CChoicePopupSizer::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildPolished: {
        const auto* editor = qobject_cast<QLineEdit*>(static_cast<QChildEvent*>(event)->child());
        if (editor != nullptr && editor->completer() != nullptr)
            follow(editor->completer());
        break;
    }
    case QEvent::Show:
    case QEvent::Resize:   // the completer places its list again as the user types
        if (auto* list = qobject_cast<QAbstractItemView*>(watched))
            fit(list);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CChoicePopupSizer::follow(QCompleter* completer)
{
    QAbstractItemView* list = completer->popup();
    if (completerOf(list) == completer)
        return;
    list->setProperty(kCompleterProperty, QVariant::fromValue<QObject*>(completer));
    list->installEventFilter(this);
}

void CChoicePopupSizer::fit(QAbstractItemView* list) const
{
    const QCompleter* completer = completerOf(list);
    if (completer == nullptr || list->model() == nullptr)
        return;
    const int rows = list->model()->rowCount();
    const bool scrolls = rows > completer->maxVisibleItems();
    QRect shape = list->geometry();
    shape.setHeight(qMax(shape.height(), fittingHeight(*list, completer->maxVisibleItems())));
    if (rows <= kWidestMeasuredRows) {
        const int scrollBar = scrolls ? list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list) : 0;
        shape.setWidth(qMax(shape.width(), list->sizeHintForColumn(0) + 2 * list->frameWidth() + scrollBar));
    }
    if (shape == list->geometry())
        return;
    // Below the cell as the completer put it, or above it when the screen ends first.
    const QRect screen = list->screen()->availableGeometry();
    const QWidget* cell = completer->widget();
    if (shape.bottom() > screen.bottom() && cell != nullptr)
        shape.moveBottom(cell->mapToGlobal(QPoint(0, 0)).y() - 1);
    if (shape.top() < screen.top())
        shape.moveTop(screen.top());
    if (shape.right() > screen.right())
        shape.moveRight(screen.right());
    list->setGeometry(shape);
}

} // namespace desk
