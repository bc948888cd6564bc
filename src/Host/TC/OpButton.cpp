#include "TC/OpButton.h"

#include "KZ/UiResource.h"

namespace TC {

COpButton::COpButton(int id, int buttonType, QWidget* parent)
    : KZ::CEventWidgetT<QPushButton>(parent), id_(id), buttonType_(buttonType)
{
    connect(this, &QPushButton::clicked, this,
            [this]() { deliverEvent(KZ::EVT_BUTTON_CLICKED, id_, 0, QString(), nullptr); });
}

void COpButton::setFontKeys(const QString& textKey, const QString& /*priceKey*/, const QString& /*volumeKey*/)
{
    // An operation button shows text only; the price and volume fonts are for quote buttons.
    QFont font = KZ::CUiResource::getFont(textKey);
    font.setBold(boldOnHover_ && underMouse());
    setFont(font);
}

void COpButton::setBoldOnHover(bool on)
{
    boldOnHover_ = on;
}

void COpButton::enterEvent(QEvent* event)
{
    if (boldOnHover_) {
        QFont bold = font();
        bold.setBold(true);
        setFont(bold);
    }
    QPushButton::enterEvent(event);
}

void COpButton::leaveEvent(QEvent* event)
{
    if (boldOnHover_) {
        QFont plain = font();
        plain.setBold(false);
        setFont(plain);
    }
    QPushButton::leaveEvent(event);
}

} // namespace TC
