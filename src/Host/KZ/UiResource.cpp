#include "KZ/UiResource.h"

#include <QHash>

namespace KZ {

namespace {

const QHash<QString, QColor>& colorTable()
{
    static const QHash<QString, QColor> table = {
        {QStringLiteral("clr_text_default"), QColor(0x1f, 0x23, 0x29)},
        {QStringLiteral("clr_table_background"), QColor(0xff, 0xff, 0xff)},
        {QStringLiteral("clr_table_background2"), QColor(0xf3, 0xf6, 0xfa)},
        {QStringLiteral("clr_global_rise"), QColor(0xe0, 0x2f, 0x2f)},    // red: up on Chinese desks
        {QStringLiteral("clr_global_fall"), QColor(0x1a, 0x9b, 0x3c)},    // green: down
        {QStringLiteral("clr_global_flat"), QColor(0x1f, 0x23, 0x29)},
        {QStringLiteral("clr_disable_color"), QColor(0xa0, 0xa4, 0xab)},
        {QStringLiteral("clr_table_grid"), QColor(0xdc, 0xe0, 0xe6)},
        {QStringLiteral("clr_input_frame"), QColor(0x8a, 0x9b, 0xb3)},
        {QStringLiteral("clr_stat_background"), QColor(0xe8, 0xee, 0xf6)},
    };
    return table;
}

} // namespace

QColor CUiResource::getColor(const QString& key)
{
    const auto& table = colorTable();
    const auto found = table.constFind(key);
    return found != table.constEnd() ? found.value() : QColor(0x40, 0x40, 0x40);
}

QFont CUiResource::getFont(const QString& key)
{
    // 12 pixels keeps Chinese headers such as "中标量(亿)" inside 80-pixel columns.
    QFont font;
    const bool figures = key == QLatin1String("tc_fnt_operation_btn_text_price")
                         || key == QLatin1String("tc_fnt_operation_btn_text_volume");
    font.setPixelSize(figures ? 13 : 12);
    return font;
}

} // namespace KZ
