#pragma once

#include <QPushButton>
#include <QString>

#include "KZ/EventDeliverer.h"

namespace TC {

class COpButton : public KZ::CEventWidgetT<QPushButton> {
    Q_OBJECT
public:
    COpButton(int id, int buttonType, QWidget* parent);
    void setFontKeys(const QString& textKey, const QString& priceKey, const QString& volumeKey);
    void setBoldOnHover(bool on);
};

} // namespace TC
