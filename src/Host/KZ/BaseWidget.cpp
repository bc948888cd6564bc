#include "KZ/BaseWidget.h"

#include <QVBoxLayout>
#include <memory>

namespace KZ {

namespace {
// The layout that holds a widget's stretch child; created on first use.
QVBoxLayout* stretchLayoutOf(QWidget* owner)
{
    if (auto* existing = qobject_cast<QVBoxLayout*>(owner->layout()))
        return existing;
    if (owner->layout() != nullptr)
        return nullptr;   // the widget manages its own layout
    auto* layout = new QVBoxLayout(owner);
    layout->setSpacing(0);
    return layout;
}
} // namespace

CBaseWidget::CBaseWidget(const QString& styleKey, bool transparent, QWidget* parent)
    : CEventWidgetT<QWidget>(parent), styleKey_(styleKey)
{
    if (transparent)
        setAttribute(Qt::WA_TranslucentBackground);
}

CBaseWidget::~CBaseWidget() = default;

void CBaseWidget::setInnerStretchWidget(QWidget* child, int left, int top, int right, int bottom)
{
    if (child == nullptr)
        return;
    QVBoxLayout* layout = stretchLayoutOf(this);
    if (layout == nullptr)
        return;
    // One stretch child at a time: an earlier one stays our (hidden or reused) child but leaves the layout.
    for (int i = layout->count() - 1; i >= 0; --i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() != nullptr && item->widget() != child)
            std::unique_ptr<QLayoutItem> dropped(layout->takeAt(i));   // the item only, not the widget
    }
    layout->setContentsMargins(left, top, right, bottom);
    const bool reparented = child->parentWidget() != this;
    const bool explicitlyHidden = child->isHidden() && child->testAttribute(Qt::WA_WState_ExplicitShowHide);
    if (reparented)
        child->setParent(this);
    if (layout->indexOf(child) < 0)
        layout->addWidget(child, 1);
    if (reparented && !explicitlyHidden)
        child->show();   // setParent hides a widget

}

bool CBaseWidget::handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam)
{
    return CEventDeliverer::handleEvent(nEventID, nSenderID, nIntParam, qsParam, pParam);
}

} // namespace KZ
