#pragma once
// A text's width in the columns of a fixed grid (a terminal, a column sized by its count of
// characters): a Chinese character takes two.

#include <QString>

namespace desk {

inline int displayWidth(const QString& text)
{
    int width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x1100 ? 2 : 1;
    return width;
}

} // namespace desk
