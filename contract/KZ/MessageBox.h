#pragma once

#include <QString>

class QWidget;

namespace KZ {

class CMessageBox {
public:
    enum EButton { Ok = 0x400, Cancel = 0x400000, NoButton = 0 };
    static int critical(int style, QWidget* parent, const QString& title, const QString& text,
                        int buttons = Ok, int defaultButton = NoButton, bool richText = false);
    static int information(int style, QWidget* parent, const QString& title, const QString& text,
                           int buttons = Ok, int defaultButton = NoButton, bool richText = false);
    static int question(int style, QWidget* parent, const QString& title, const QString& text,
                        int buttons = Ok | Cancel, int defaultButton = NoButton, bool richText = false);
};

} // namespace KZ
