#pragma once
// How much won volume each of the panel's three tables still has to allocate against the
// level above it: table two against table one's won total, table three against table
// two's. The host gives no won total of the tender itself, so table one shows its own.
// The figures are read through each host table's Qt models (the statistics row's won
// total, and a row's won and bid cells while its editor is open), never through the
// panel, and follow every change of those models and the text being typed.

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>

#include "CPanelTableDriver.h"

class QLineEdit;
class QWidget;

namespace desk {

// One table's line beside its totals.
struct SUnallocatedFigure {
    bool shown = false;          // the table has rows
    double total = 0.0;          // the table's won total, 亿
    bool hasReference = false;   // a level above to allocate from
    double remaining = 0.0;      // that level's won total less this table's, 亿

    // Red while something is left (or too much was given) beyond the tolerance.
    bool isAlert() const;
    // Two short lines for the caption rail: "未分配" over "1.2000 亿", "多分配" over
    // "0.5000 亿", "已分配完" ("无待分配" when both levels are 0), or for table one
    // "中标合计" over its total.
    QString railText() const;
    // The same as one sentence naming the level above ("表二比表一少分配 1.2000 亿").
    QString sentence(int table) const;
};

class CUnallocatedVolume : public QObject {
    Q_OBJECT
public:
    // panel: the allocation panel (not owned); its tables are found once, here.
    CUnallocatedVolume(QWidget* panel, QObject* parent);

    // The bond's basic tender unit: a typed volume is cut to whole units, as the panel does.
    void setBasicTenderUnit(double unit) { basicTenderUnit_ = unit; }
    const SUnallocatedFigure& figure(CPanelTableDriver::ETable table) const { return figures_[table]; }
    // Recomputes at once instead of when control next returns to the event loop.
    void recomputeNow();

signals:
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct SLiveEdit {
        // Held as an object: the filter sees the editor's last events while it is being
        // destroyed, when it is no longer a line edit.
        QPointer<QObject> editor;
        CPanelTableDriver::ETable table = CPanelTableDriver::T_ONE;
    };
    void watch(CPanelTableDriver::ETable table);
    void scheduleRecompute();
    void followEditor(CPanelTableDriver::ETable table, QLineEdit* editor);
    double wonTotal(CPanelTableDriver::ETable table) const;
    // What the open editor's text changes in its table's won total.
    double liveChange(CPanelTableDriver::ETable table) const;

    CPanelTableDriver tables_;
    std::array<int, CPanelTableDriver::T_COUNT> wonColumn_{};
    std::array<int, CPanelTableDriver::T_COUNT> bidColumn_{};
    std::array<SUnallocatedFigure, CPanelTableDriver::T_COUNT> figures_;
    SLiveEdit live_;
    double basicTenderUnit_ = 0.0;
    bool pending_ = false;
};

} // namespace desk
