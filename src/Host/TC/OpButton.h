#pragma once

#include <QPushButton>
#include <QString>

#include "KZ/EventDeliverer.h"

namespace TC {

// Operation button: a click raises event 5 with the button id as sender.
class COpButton : public KZ::CEventWidgetT<QPushButton> {
    Q_OBJECT
public:
    COpButton(int id, int buttonType, QWidget* parent);
    int id() const { return id_; }
    int buttonType() const { return buttonType_; }
    void setFontKeys(const QString& textKey, const QString& priceKey, const QString& volumeKey);
    void setBoldOnHover(bool on);

protected:
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int id_;
    int buttonType_;
    bool boldOnHover_ = false;
};

} // namespace TC
