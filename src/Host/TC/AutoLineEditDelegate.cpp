#include "TC/AutoLineEditDelegate.h"

#include <QCompleter>
#include <QLineEdit>
#include <QTimer>

namespace TC {

namespace {
// Set on an editor once its text has been handed on.
const char* const kCommittedProperty = "btaAutoLineEditCommitted";
} // namespace

CBaseTableColumnAutoLineEditDelegate::CBaseTableColumnAutoLineEditDelegate(int id, QObject* deliverer)
    : KZ::CBaseTableColumnDelegate(id, deliverer)
{
}

void CBaseTableColumnAutoLineEditDelegate::setItems(const QString& key, const QStringList& items,
                                                    const std::vector<int>& /*values*/)
{
    changeCell(key, [&items](KZ::SCellState& state) {
        state.items = items;
        state.fields |= KZ::SCellState::F_ITEMS;
    });
}

QStringList CBaseTableColumnAutoLineEditDelegate::getItems(const QString& key) const
{
    const KZ::SCellState* state = cell(key);
    return state ? state->items : QStringList();
}

void CBaseTableColumnAutoLineEditDelegate::setCurItem(const QString& key, const QString& text, int /*index*/)
{
    changeCell(key, [&text](KZ::SCellState& state) {
        state.current = text;
        state.fields |= KZ::SCellState::F_CURRENT;
    });
}

QString CBaseTableColumnAutoLineEditDelegate::getCurText(const QString& key) const
{
    const KZ::SCellState* state = cell(key);
    return state ? state->current : QString();
}

void CBaseTableColumnAutoLineEditDelegate::setCurrentText(const QString& text)
{
    if (lastKey_.isNull())
        return;
    setCurItem(lastKey_, text, -1);
    repaintCells();
}

void CBaseTableColumnAutoLineEditDelegate::hideAutoLineEdit()
{
    if (openEditor_.isNull())
        return;
    openEditor_->setProperty(kCommittedProperty, true);
    closeEditorLater(openEditor_.data());
}

void CBaseTableColumnAutoLineEditDelegate::setEditable(bool editable)
{
    editable_ = editable;
    if (!editable)
        hideAutoLineEdit();
}

bool CBaseTableColumnAutoLineEditDelegate::isCellEditable(const KZ::SCellState*) const
{
    return editable_;
}

QString CBaseTableColumnAutoLineEditDelegate::shownText(const KZ::SCellState* state) const
{
    return state != nullptr ? state->current : QString();
}

QWidget* CBaseTableColumnAutoLineEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                                            const QModelIndex& index) const
{
    if (!editable_ || isStatisticsCell(index))
        return nullptr;
    lastKey_ = rowKey(index);
    auto* editor = new QLineEdit(parent);
    auto* completer = new QCompleter(index.data(KZ::kCellItemsRole).toStringList(), editor);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    completer->setFilterMode(Qt::MatchContains);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    editor->setCompleter(completer);

    QPointer<QLineEdit> guarded(editor);
    connect(completer, QOverload<const QString&>::of(&QCompleter::activated), editor,
            [this, guarded](const QString& text) {
                if (guarded.isNull())
                    return;
                commitText(guarded.data(), text);
                closeEditorLater(guarded.data());
            });
    // With nothing typed the whole list is offered.
    auto offerAllWhenEmpty = [guarded, completer]() {
        if (!guarded.isNull() && guarded->isVisible() && guarded->text().isEmpty()) {
            completer->setCompletionPrefix(QString());
            completer->complete();
        }
    };
    connect(editor, &QLineEdit::textEdited, completer, offerAllWhenEmpty);
    QTimer::singleShot(0, completer, offerAllWhenEmpty);
    openEditor_ = editor;
    return editor;
}

void CBaseTableColumnAutoLineEditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (lineEdit == nullptr)
        return;
    const QVariant current = index.data(KZ::kCellCurrentRole);
    lineEdit->setText(current.isValid() ? current.toString() : index.data(Qt::DisplayRole).toString());
}

void CBaseTableColumnAutoLineEditDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex&) const
{
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (lineEdit != nullptr)
        commitText(lineEdit, lineEdit->text());
}

void CBaseTableColumnAutoLineEditDelegate::commitText(QLineEdit* editor, const QString& text) const
{
    if (editor->property(kCommittedProperty).toBool())
        return;
    editor->setProperty(kCommittedProperty, true);
    // The handler reads getLastKey() for the row and may call hideAutoLineEdit().
    raise(KZ::EVT_AUTO_LINEEDIT_CHANGED, id(), 0, text, nullptr);
}

void CBaseTableColumnAutoLineEditDelegate::closeEditorLater(QLineEdit* editor) const
{
    auto* self = const_cast<CBaseTableColumnAutoLineEditDelegate*>(this);
    QPointer<QLineEdit> guarded(editor);
    QMetaObject::invokeMethod(self, [self, guarded]() {
        if (!guarded.isNull())
            emit self->closeEditor(guarded.data(), QAbstractItemDelegate::NoHint);
    }, Qt::QueuedConnection);
}

} // namespace TC
