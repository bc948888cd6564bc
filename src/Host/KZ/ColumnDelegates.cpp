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

void CBaseTableColumnDelegate::attach(CHpfTableQtModel* cells)
{
    cells_ = cells;
}

QString CBaseTableColumnDelegate::rowKey(const QModelIndex& index)
{
    return index.data(kRowKeyRole).toString();
}

bool CBaseTableColumnDelegate::isStatisticsCell(const QModelIndex& index)
{
    return index.data(kStatRowRole).toBool();
}

CHpfTableQtModel* CBaseTableColumnDelegate::cells() const
{
    if (!cells_.isNull())
        return cells_.data();
    // Not installed yet: what it is told goes to the table it was made for.
    const auto* table = qobject_cast<const CStandardHpfTable*>(parent());
    return table != nullptr ? qobject_cast<CHpfTableQtModel*>(table->qtModel()) : nullptr;
}

const SCellState* CBaseTableColumnDelegate::cell(const QString& key) const
{
    const CHpfTableQtModel* adapter = cells();
    return adapter != nullptr ? adapter->cellState(key, this) : nullptr;
}

void CBaseTableColumnDelegate::changeCell(const QString& key, const std::function<void(SCellState&)>& change) const
{
    if (CHpfTableQtModel* adapter = cells())
        adapter->changeCell(key, this, change);
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
    changeCell(key, [&text](SCellState& state) {
        state.text = text;
        state.fields |= SCellState::F_TEXT;
    });
}

QString CBaseTableColumnLineeditDelegate::getItemText(const QString& key) const
{
    const SCellState* state = cell(key);
    return state ? state->text : QString();
}

void CBaseTableColumnLineeditDelegate::setItemVisible(const QString& key, bool visible)
{
    changeCell(key, [visible](SCellState& state) {
        state.visible = visible;
        state.fields |= SCellState::F_VISIBLE;
    });
}

bool CBaseTableColumnLineeditDelegate::isItemVisible(const QString& key) const
{
    const SCellState* state = cell(key);
    return state ? state->visible : true;
}

void CBaseTableColumnLineeditDelegate::setLineEditable(bool editable)
{
    editable_ = editable;
}

bool CBaseTableColumnLineeditDelegate::isCellEditable(const SCellState*) const
{
    return editable_;   // a hidden input box can still be typed into
}

QString CBaseTableColumnLineeditDelegate::shownText(const SCellState* state) const
{
    if (state == nullptr || !state->visible)
        return QString();
    return state->text.isNull() ? QStringLiteral("") : state->text;
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
    const QVariant told = index.data(kCellTextRole);
    lineEdit->setText(told.isValid() ? told.toString() : index.data(Qt::DisplayRole).toString());
    lineEdit->selectAll();
}

void CBaseTableColumnLineeditDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const
{
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (lineEdit == nullptr)
        return;
    const QString key = rowKey(index);
    QString typed = typedNumberText(lineEdit->text());
    changeCell(key, [&typed](SCellState& state) {
        state.text = typed;
        state.fields |= SCellState::F_TEXT;
    });
    // The table's owner decides what the typed text means; the model is never written here.
    raise(EVT_LINEEDIT_FINISHED, id(), id(), key, &typed);
}

void CBaseTableColumnLineeditDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const
{
    const QVariant told = index.data(kCellTextRole);
    if (!told.isValid() || !index.data(kCellVisibleRole).toBool() || isStatisticsCell(index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem cellOption(option);
    initStyleOption(&cellOption, index);
    paintCellBackground(painter, cellOption);

    const QRect box = option.rect.adjusted(2, 2, -3, -3);
    painter->save();
    painter->setPen(CUiResource::getColor(kInputFrameColorKey));
    painter->setBrush(editable_ ? QColor(Qt::white) : CUiResource::getColor(QStringLiteral("clr_table_background2")));
    painter->drawRect(box);
    painter->setPen(CUiResource::getColor(editable_ ? kTextColorKey : kDisabledColorKey));
    painter->drawText(box.adjusted(4, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, told.toString());
    painter->restore();
}

// ---------------------------------------------------------------------------

CBaseTableColumnSimpleTextDelegate::CBaseTableColumnSimpleTextDelegate(int id, QObject* deliverer)
    : CBaseTableColumnDelegate(id, deliverer)
{
}

void CBaseTableColumnSimpleTextDelegate::setItemText(const QString& key, const QString& text)
{
    changeCell(key, [&text](SCellState& state) {
        state.text = text;
        state.fields |= SCellState::F_TEXT;
    });
}

QString CBaseTableColumnSimpleTextDelegate::getText(const QString& key) const
{
    const SCellState* state = cell(key);
    return state ? state->text : QString();
}

void CBaseTableColumnSimpleTextDelegate::setItemEnabled(const QString& key, bool enabled, bool clickable)
{
    changeCell(key, [enabled, clickable](SCellState& state) {
        state.enabled = enabled;
        state.clickable = clickable;
        state.fields |= SCellState::F_ENABLED | SCellState::F_CLICKABLE;
    });
}

bool CBaseTableColumnSimpleTextDelegate::isItemEnabled(const QString& key) const
{
    const SCellState* state = cell(key);
    return state ? state->enabled : true;
}

void CBaseTableColumnSimpleTextDelegate::setItemColorKey(const QString& key, const QString& colorKey, bool update)
{
    changeCell(key, [&colorKey](SCellState& state) {
        state.colorKey = colorKey;
        state.fields |= SCellState::F_COLOR;
    });
    if (update)
        repaintCells();
}

QString CBaseTableColumnSimpleTextDelegate::itemColorKey(const QString& key) const
{
    const SCellState* state = cell(key);
    return state ? state->colorKey : QString();
}

QString CBaseTableColumnSimpleTextDelegate::shownText(const SCellState* state) const
{
    if (state == nullptr)
        return QString();
    return state->text.isNull() ? QStringLiteral("") : state->text;
}

void CBaseTableColumnSimpleTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                               const QModelIndex& index) const
{
    if (!index.data(kCellTextRole).isValid() || isStatisticsCell(index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem cellOption(option);
    initStyleOption(&cellOption, index);
    paintCellBackground(painter, cellOption);

    const QString colorKey = index.data(kCellColorKeyRole).toString();
    const QString& shownColor = !index.data(kCellEnabledRole).toBool() ? kDisabledColorKey
                                : colorKey.isEmpty()                    ? kTextColorKey
                                                                        : colorKey;
    painter->save();
    painter->setPen(CUiResource::getColor(shownColor));
    painter->drawText(option.rect.adjusted(4, 0, -4, 0), Qt::AlignCenter, index.data(kCellTextRole).toString());
    painter->restore();
}

bool CBaseTableColumnSimpleTextDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                                     const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease && !isStatisticsCell(index)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && index.data(kCellTextRole).isValid()
            && index.data(kCellEnabledRole).toBool() && index.data(kCellClickableRole).toBool()
            && option.rect.contains(mouse->pos())) {
            raise(EVT_SIMPLE_TEXT_CLICKED, id(), 0, rowKey(index), nullptr);
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
    changeCell(key, [&items](SCellState& state) {
        state.items = items;
        state.fields |= SCellState::F_ITEMS;
    });
}

QStringList CBaseTableColumnComboxDelegate::getItems(const QString& key) const
{
    const SCellState* state = cell(key);
    return state ? state->items : QStringList();
}

void CBaseTableColumnComboxDelegate::setItemText(const QString& key, const QString& text)
{
    changeCell(key, [&text](SCellState& state) {
        state.text = text;
        state.fields |= SCellState::F_TEXT;
    });
}

QString CBaseTableColumnComboxDelegate::getText(const QString& key) const
{
    const SCellState* state = cell(key);
    return state ? state->text : QString();
}

bool CBaseTableColumnComboxDelegate::isCellEditable(const SCellState* state) const
{
    return state != nullptr && !state->items.isEmpty();
}

QString CBaseTableColumnComboxDelegate::shownText(const SCellState* state) const
{
    return state != nullptr ? state->text : QString();
}

QWidget* CBaseTableColumnComboxDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                                      const QModelIndex& index) const
{
    if (isStatisticsCell(index))
        return nullptr;
    auto* combo = new QComboBox(parent);
    combo->addItems(index.data(kCellItemsRole).toStringList());
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
    const int position = combo->findText(index.data(kCellTextRole).toString());
    if (position >= 0)
        combo->setCurrentIndex(position);
}

void CBaseTableColumnComboxDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const
{
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (combo == nullptr)
        return;
    const QString key = rowKey(index);
    const QString chosen = combo->currentText();
    changeCell(key, [&chosen](SCellState& state) {
        state.text = chosen;
        state.fields |= SCellState::F_TEXT;
    });
    raise(EVT_COMBOX_CHANGED, id(), 0, key, nullptr);
}

} // namespace KZ
