#include "KZ/ColumnDelegates.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDoubleValidator>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTableView>

#include "KZ/HpfTableQtModel.h"
#include "KZ/StandardHpfTable.h"
#include "KZ/UiResource.h"

namespace KZ {

namespace {

const QString kTextColorKey = QStringLiteral("clr_text_default");
const QString kDisabledColorKey = QStringLiteral("clr_disable_color");
const QString kInputFrameColorKey = QStringLiteral("clr_input_frame");

// Draws the cell's background and selection the way the view would, without text.
void paintCellBackground(QPainter* painter, QStyleOptionViewItem option)
{
    option.text.clear();
    option.icon = QIcon();
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &option, painter, widget);
}

// What a committed number looks like to the table: no group separators, no blanks around.
QString typedNumberText(const QString& text)
{
    QString result = text;
    result.remove(QLatin1Char(','));
    return result.trimmed();
}

} // namespace

// ---------------------------------------------------------------------------

CBaseTableColumnDelegate::CBaseTableColumnDelegate(int id, QObject* deliverer)
    : QStyledItemDelegate(deliverer), id_(id), deliverer_(deliverer)
{
}

void CBaseTableColumnDelegate::setEventDeliverer(QObject* deliverer)
{
    deliverer_ = deliverer;
}

QString CBaseTableColumnDelegate::rowKey(const QModelIndex& index)
{
    return index.data(kRowKeyRole).toString();
}

bool CBaseTableColumnDelegate::isStatisticsCell(const QModelIndex& index)
{
    return index.data(kStatRowRole).toBool();
}

bool CBaseTableColumnDelegate::raise(int nEventID, int nSenderID, int nIntParam, const QString& qsParam, void* pParam) const
{
    return deliverEventFrom(deliveryStart(), nEventID, nSenderID, nIntParam, qsParam, pParam);
}

void CBaseTableColumnDelegate::repaintCells() const
{
    if (repaintQueued_)
        return;
    repaintQueued_ = true;
    auto* self = const_cast<CBaseTableColumnDelegate*>(this);
    QMetaObject::invokeMethod(self, [self]() {
        self->repaintQueued_ = false;
        if (auto* table = qobject_cast<CStandardHpfTable*>(self->parent()))
            table->view()->viewport()->update();
    }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------

CBaseTableColumnLineeditDelegate::CBaseTableColumnLineeditDelegate(int id, QObject* deliverer)
    : CBaseTableColumnDelegate(id, deliverer)
{
}

void CBaseTableColumnLineeditDelegate::setDoubleRange(double bottom, double top, int decimals)
{
    bottom_ = bottom;
    top_ = top;
    decimals_ = decimals;
}

void CBaseTableColumnLineeditDelegate::setItemText(const QString& key, const QString& text)
{
    items_[key].text = text;
}

QString CBaseTableColumnLineeditDelegate::getItemText(const QString& key) const
{
    return items_.value(key).text;
}

void CBaseTableColumnLineeditDelegate::setItemVisible(const QString& key, bool visible)
{
    items_[key].visible = visible;
}

bool CBaseTableColumnLineeditDelegate::isItemVisible(const QString& key) const
{
    return items_.value(key).visible;
}

void CBaseTableColumnLineeditDelegate::setLineEditable(bool editable)
{
    editable_ = editable;
}

void CBaseTableColumnLineeditDelegate::clearItems()
{
    items_.clear();
}

bool CBaseTableColumnLineeditDelegate::isCellEditable(const QString&) const
{
    return editable_;   // a hidden input box can still be typed into
}

QString CBaseTableColumnLineeditDelegate::cellText(const QString& key) const
{
    const auto* found = items_.find(key);
    if (found == nullptr || !found->visible)
        return QString();
    return found->text.isNull() ? QStringLiteral("") : found->text;
}

QWidget* CBaseTableColumnLineeditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                                        const QModelIndex& index) const
{
    if (!editable_ || isStatisticsCell(index))
        return nullptr;
    auto* editor = new QLineEdit(parent);
    auto* validator = new QDoubleValidator(bottom_, top_, decimals_, editor);
    validator->setLocale(QLocale::c());
    validator->setNotation(QDoubleValidator::StandardNotation);
    editor->setValidator(validator);
    editor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return editor;
}

void CBaseTableColumnLineeditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (lineEdit == nullptr)
        return;
    const auto* found = items_.find(rowKey(index));
    lineEdit->setText(found != nullptr ? found->text : index.data(Qt::DisplayRole).toString());
    lineEdit->selectAll();
}

void CBaseTableColumnLineeditDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const
{
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (lineEdit == nullptr)
        return;
    const QString key = rowKey(index);
    QString typed = typedNumberText(lineEdit->text());
    items_[key].text = typed;
    // The table's owner decides what the typed text means; the model is never written here.
    raise(EVT_LINEEDIT_FINISHED, id(), id(), key, &typed);
}

void CBaseTableColumnLineeditDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const
{
    const auto* found = items_.find(rowKey(index));
    if (found == nullptr || !found->visible || isStatisticsCell(index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    paintCellBackground(painter, cell);

    const QRect box = option.rect.adjusted(2, 2, -3, -3);
    painter->save();
    painter->setPen(CUiResource::getColor(kInputFrameColorKey));
    painter->setBrush(editable_ ? QColor(Qt::white) : CUiResource::getColor(QStringLiteral("clr_table_background2")));
    painter->drawRect(box);
    painter->setPen(CUiResource::getColor(editable_ ? kTextColorKey : kDisabledColorKey));
    painter->drawText(box.adjusted(4, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, found->text);
    painter->restore();
}

// ---------------------------------------------------------------------------

CBaseTableColumnSimpleTextDelegate::CBaseTableColumnSimpleTextDelegate(int id, QObject* deliverer)
    : CBaseTableColumnDelegate(id, deliverer)
{
}

void CBaseTableColumnSimpleTextDelegate::setItemText(const QString& key, const QString& text)
{
    items_[key].text = text;
}

QString CBaseTableColumnSimpleTextDelegate::getText(const QString& key) const
{
    return items_.value(key).text;
}

void CBaseTableColumnSimpleTextDelegate::setItemEnabled(const QString& key, bool enabled, bool clickable)
{
    SItem& item = items_[key];
    item.enabled = enabled;
    item.clickable = clickable;
}

bool CBaseTableColumnSimpleTextDelegate::isItemEnabled(const QString& key) const
{
    return items_.value(key).enabled;
}

void CBaseTableColumnSimpleTextDelegate::setItemColorKey(const QString& key, const QString& colorKey, bool update)
{
    items_[key].colorKey = colorKey;
    if (update)
        repaintCells();
}

QString CBaseTableColumnSimpleTextDelegate::itemColorKey(const QString& key) const
{
    return items_.value(key).colorKey;
}

void CBaseTableColumnSimpleTextDelegate::clearItems()
{
    items_.clear();
}

QString CBaseTableColumnSimpleTextDelegate::cellText(const QString& key) const
{
    const auto* found = items_.find(key);
    if (found == nullptr)
        return QString();
    return found->text.isNull() ? QStringLiteral("") : found->text;
}

void CBaseTableColumnSimpleTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                               const QModelIndex& index) const
{
    const auto* found = items_.find(rowKey(index));
    if (found == nullptr || isStatisticsCell(index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    paintCellBackground(painter, cell);

    const QString& colorKey = !found->enabled            ? kDisabledColorKey
                              : found->colorKey.isEmpty() ? kTextColorKey
                                                          : found->colorKey;
    painter->save();
    painter->setPen(CUiResource::getColor(colorKey));
    painter->drawText(option.rect.adjusted(4, 0, -4, 0), Qt::AlignCenter, found->text);
    painter->restore();
}

bool CBaseTableColumnSimpleTextDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                                     const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease && !isStatisticsCell(index)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QString key = rowKey(index);
        const auto* found = items_.find(key);
        if (mouse->button() == Qt::LeftButton && found != nullptr && found->enabled && found->clickable
            && option.rect.contains(mouse->pos())) {
            raise(EVT_SIMPLE_TEXT_CLICKED, id(), 0, key, nullptr);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

// ---------------------------------------------------------------------------

CBaseTableColumnComboxDelegate::CBaseTableColumnComboxDelegate(int id, QObject* deliverer)
    : CBaseTableColumnDelegate(id, deliverer)
{
}

void CBaseTableColumnComboxDelegate::setItems(const QString& key, const QStringList& items)
{
    items_[key].items = items;
}

QStringList CBaseTableColumnComboxDelegate::getItems(const QString& key) const
{
    return items_.value(key).items;
}

void CBaseTableColumnComboxDelegate::setItemText(const QString& key, const QString& text)
{
    items_[key].text = text;
}

QString CBaseTableColumnComboxDelegate::getText(const QString& key) const
{
    return items_.value(key).text;
}

bool CBaseTableColumnComboxDelegate::isCellEditable(const QString& key) const
{
    return !items_.value(key).items.isEmpty();
}

QString CBaseTableColumnComboxDelegate::cellText(const QString& key) const
{
    const auto* found = items_.find(key);
    return found != nullptr ? found->text : QString();
}

QWidget* CBaseTableColumnComboxDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                                      const QModelIndex& index) const
{
    if (isStatisticsCell(index))
        return nullptr;
    auto* combo = new QComboBox(parent);
    combo->addItems(items_.value(rowKey(index)).items);
    // Choosing an entry is the commit; the user need not press Enter.
    auto* self = const_cast<CBaseTableColumnComboxDelegate*>(this);
    connect(combo, QOverload<int>::of(&QComboBox::activated), self, [self, combo](int) {
        emit self->commitData(combo);
        emit self->closeEditor(combo, QAbstractItemDelegate::NoHint);
    });
    return combo;
}

void CBaseTableColumnComboxDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (combo == nullptr)
        return;
    const int position = combo->findText(items_.value(rowKey(index)).text);
    if (position >= 0)
        combo->setCurrentIndex(position);
}

void CBaseTableColumnComboxDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const
{
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (combo == nullptr)
        return;
    const QString key = rowKey(index);
    items_[key].text = combo->currentText();
    raise(EVT_COMBOX_CHANGED, id(), 0, key, nullptr);
}

} // namespace KZ
