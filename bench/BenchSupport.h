#pragma once
// What the benchmarks wait for: a view painted after a change, as the user sees it. The
// work a change leaves for the event loop (the deferred sync, the view's layout, the
// paint) runs inside the measurement.

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace bench {

// The table widget's own view: the tallest item view inside it (not the one-row
// statistics view under it).
inline QAbstractItemView* mainViewOf(const QWidget* table)
{
    QAbstractItemView* best = nullptr;
    for (QAbstractItemView* view : table->findChildren<QAbstractItemView*>())
        if (!best || view->height() > best->height())
            best = view;
    return best;
}

// Counts the paint events a widget gets.
class CPaintWatch : public QObject {
public:
    explicit CPaintWatch(QWidget* widget) : widget_(widget) { widget_->installEventFilter(this); }
    ~CPaintWatch() override
    {
        if (widget_)
            widget_->removeEventFilter(this);
    }
    CPaintWatch(const CPaintWatch&) = delete;
    CPaintWatch& operator=(const CPaintWatch&) = delete;

    // Runs the event loop until the widget was painted again; false when nothing was
    // painted after many turns (the change left nothing to paint).
    bool waitForPaint(int maxTurns = 200)
    {
        const int before = paints_;
        for (int turn = 0; turn < maxTurns && paints_ == before; ++turn)
            QCoreApplication::processEvents();
        return paints_ != before;
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == widget_ && event->type() == QEvent::Paint)
            ++paints_;
        return false;
    }

private:
    QPointer<QWidget> widget_;   // not owned
    int paints_ = 0;
};

} // namespace bench
