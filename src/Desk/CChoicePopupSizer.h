#pragma once
// Makes the choice lists that the panel's table cells pop up (the market, purchase type,
// underwriter and account of table three) tall enough for their items. A list is sized by
// its first row, and when that row is blank, or in a font other than the Chinese names
// below it, the list comes out shorter than its rows: the last one half cut off and a
// scroll bar for a handful of items. Each list is grown, when it is shown, to the sum of its
// rows (up to the number it may show at once), and kept on the screen.

#include <QObject>

class QAbstractItemView;
class QCompleter;
class QWidget;

namespace desk {

class CChoicePopupSizer : public QObject {
    Q_OBJECT
public:
    // panel: the allocation panel (not owned); the cells of every host table in it are watched.
    CChoicePopupSizer(QWidget* panel, QObject* parent);

    // The height that shows the list's rows without a scroll bar, up to the completer's
    // maxVisibleItems rows.
    static int fittingHeight(const QAbstractItemView& list, int maxVisibleRows);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QCompleter* completer);
    void fit(QAbstractItemView* list) const;
};

} // namespace desk
