#include "KZ/MessageBox.h"

#include <QMessageBox>

#include "services/HostStore.h"

namespace KZ {

namespace {

CMessageBox::Handler& installedHandler()
{
    static CMessageBox::Handler handler;
    return handler;
}

QMessageBox::Icon iconOf(CMessageBox::EKind kind)
{
    switch (kind) {
    case CMessageBox::Critical: return QMessageBox::Critical;
    case CMessageBox::Information: return QMessageBox::Information;
    case CMessageBox::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// Our Ok and Cancel values are QMessageBox's; anything else is dropped.
QMessageBox::StandardButtons qtButtonsOf(int buttons)
{
    QMessageBox::StandardButtons result;
    if (buttons & CMessageBox::Ok)
        result |= QMessageBox::Ok;
    if (buttons & CMessageBox::Cancel)
        result |= QMessageBox::Cancel;
    return result ? result : QMessageBox::StandardButtons(QMessageBox::Ok);
}

int showBox(CMessageBox::EKind kind, QWidget* parent, const QString& title, const QString& text,
            int buttons, int defaultButton, bool richText)
{
    // A box ends the user's action: what it changed is committed first, and a failed
    // commit is told instead of this box, which would report the action as done.
    if (!ttservice::CHostStore::instance().finishAction())
        return kind == CMessageBox::Question ? CMessageBox::Cancel : CMessageBox::Ok;
    if (installedHandler())
        return installedHandler()(kind, title, text, buttons);
    QMessageBox box(iconOf(kind), title, text, qtButtonsOf(buttons), parent);
    box.setTextFormat(richText ? Qt::RichText : Qt::PlainText);
    if (defaultButton == CMessageBox::Ok || defaultButton == CMessageBox::Cancel)
        box.setDefaultButton(static_cast<QMessageBox::StandardButton>(defaultButton));
    const int pressed = box.exec();
    return pressed == QMessageBox::Cancel ? CMessageBox::Cancel
           : pressed == QMessageBox::Ok   ? CMessageBox::Ok
                                          : CMessageBox::NoButton;
}

} // namespace

int CMessageBox::critical(int, QWidget* parent, const QString& title, const QString& text,
                          int buttons, int defaultButton, bool richText)
{
    return showBox(Critical, parent, title, text, buttons, defaultButton, richText);
}

int CMessageBox::information(int, QWidget* parent, const QString& title, const QString& text,
                             int buttons, int defaultButton, bool richText)
{
    return showBox(Information, parent, title, text, buttons, defaultButton, richText);
}

int CMessageBox::question(int, QWidget* parent, const QString& title, const QString& text,
                          int buttons, int defaultButton, bool richText)
{
    return showBox(Question, parent, title, text, buttons, defaultButton, richText);
}

void CMessageBox::setHandler(Handler handler)
{
    installedHandler() = std::move(handler);
}

} // namespace KZ
