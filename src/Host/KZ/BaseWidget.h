#pragma once

#include <QString>
#include <QWidget>

#include "KZ/EventDeliverer.h"

namespace KZ {

// Base of every framework widget: event delivery and one stretch child.
class CBaseWidget : public CEventWidgetT<QWidget> {
    Q_OBJECT
public:
    CBaseWidget(const QString& styleKey, bool transparent, QWidget* parent);
    ~CBaseWidget() override;
    const QString& styleKey() const { return styleKey_; }
    // Lets child fill this widget with the given margins (the child is reparented).
    void setInnerStretchWidget(QWidget* child, int left = 0, int top = 0, int right = 0, int bottom = 0);
    bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam) override;

private:
    QString styleKey_;
};

class CUiResourceChangeHandler {
public:
    virtual ~CUiResourceChangeHandler() = default;
    virtual void onUiResourceChanged() {}
};

class IDockableWidget : public CBaseWidget {
    Q_OBJECT
public:
    using CBaseWidget::CBaseWidget;
};

} // namespace KZ
