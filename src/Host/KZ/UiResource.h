#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace KZ {

// Colours and fonts by key. Unknown keys give a visible default, never an invalid colour.
// Besides the keys widgets name, "fnt_table_text" is the tables' font and "fnt_control_text"
// that of captions, editors and radio buttons.
class CUiResource {
public:
    static QColor getColor(const QString& key);
    static QFont getFont(const QString& key);
};

} // namespace KZ
