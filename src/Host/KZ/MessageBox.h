#pragma once
// Modal message boxes. A handler (tests, desk automation) can take over every box.

#include <QString>
#include <functional>

class QWidget;

namespace KZ {

class CMessageBox {
public:
    enum EKind { Critical, Information, Question };
    enum EButton { Ok = 0x400, Cancel = 0x400000, NoButton = 0 };
    // Receives each box instead of the screen; returns the button pressed.
    using Handler = std::function<int(EKind kind, const QString& title, const QString& text, int buttons)>;

    static int critical(int style, QWidget* parent, const QString& title, const QString& text,
                        int buttons = Ok, int defaultButton = NoButton, bool richText = false);
    static int information(int style, QWidget* parent, const QString& title, const QString& text,
                           int buttons = Ok, int defaultButton = NoButton, bool richText = false);
    static int question(int style, QWidget* parent, const QString& title, const QString& text,
                        int buttons = Ok | Cancel, int defaultButton = NoButton, bool richText = false);

    static void setHandler(Handler handler);   // empty handler: back to real boxes
};

} // namespace KZ
