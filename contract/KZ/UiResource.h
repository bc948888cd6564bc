#pragma once

#include <QColor>
#include <QString>

namespace KZ {

class CUiResource {
public:
    static QColor getColor(const QString& key);
};

} // namespace KZ
