#pragma once

#include <QString>
#include <QWidget>

#include "KZ/EventDeliverer.h"

namespace KZ {

class CBaseWidget : public CEventWidgetT<QWidget> {
    Q_OBJECT
public:
    CBaseWidget(const QString& styleKey, bool transparent, QWidget* parent);
    ~CBaseWidget() override;
    void setInnerStretchWidget(QWidget* child, int left = 0, int top = 0, int right = 0, int bottom = 0);
    bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam) override;
};

class CUiResourceChangeHandler {
public:
    virtual ~CUiResourceChangeHandler();
};

class IDockableWidget : public CBaseWidget {
    Q_OBJECT
public:
    using CBaseWidget::CBaseWidget;
};

} // namespace KZ
