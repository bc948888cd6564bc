#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace KZ {

// Colours and fonts by key. Unknown keys give a visible default, never an invalid colour.
class CUiResource {
public:
    static QColor getColor(const QString& key);
    static QFont getFont(const QString& key);
};

} // namespace KZ
