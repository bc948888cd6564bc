#pragma once
// Follows the user's work on the bond in the panel through the events the panel's widgets
// deliver and the panel's save signal: whether there are changes not yet saved, and which
// step of an allocation comes next. The panel itself knows nothing of it.

#include <QObject>
#include <QString>

namespace TC {
class CPanelBondTenderAllocationPanel;
}

namespace desk {

class CEditTracker : public QObject {
    Q_OBJECT
public:
    // The steps of an allocation, in the order the user takes them.
    enum EStep {
        ST_ENTER_TABLE_ONE,       // a won tender not allocated yet
        ST_FAIR_DISTRIBUTION,     // table one's won volumes typed
        ST_CHOOSE_ACCOUNTS,       // table two distributed
        ST_SAVE,                  // table three edited
        ST_SAVED,                 // what the panel shows is what is stored
        ST_READ_ONLY,             // settled: nothing to do
        ST_LOST,                  // not won: nothing to allocate
    };

    // panel: must outlive the tracker. Only one tracker may exist at a time (it observes
    // every delivered event of the process).
    explicit CEditTracker(TC::CPanelBondTenderAllocationPanel* panel, QObject* parent = nullptr);
    ~CEditTracker() override;

    // A bond was (re)loaded into the panel: nothing unsaved, the given step next.
    void reset(EStep step);
    bool hasUnsavedChanges() const { return headChanged_ || tablesChanged_; }
    EStep step() const { return step_; }
    // The status bar's text for the step ("下一步：…").
    static QString hintText(EStep step);

    // Runs the panel's own full save, as its "保存" button does; true when it saved.
    bool save();
    // The store could not keep a save (told before or after the panel's save signal): the
    // work stays unsaved.
    void noteSaveFailed();

signals:
    void stepChanged(desk::CEditTracker::EStep step);

private:
    enum EArea { AR_OUTSIDE, AR_OTHER, AR_HEAD, AR_TABLE_ONE, AR_TABLE_TWO, AR_TABLE_THREE };
    EArea areaOf(const QObject* start) const;
    void onEvent(const QObject* start, int eventId, int senderId);
    void onSaved();
    void advanceTo(EStep step);

    TC::CPanelBondTenderAllocationPanel* panel_;   // not owned
    EStep step_ = ST_SAVED;
    int actionSender_ = 0;      // the panel button whose event is being delivered
    bool headChanged_ = false;
    bool tablesChanged_ = false;
    bool saveFailed_ = false;
    // What the last save signal cleared, until the next event: a failed commit is told
    // after the panel's signal, before its success box.
    struct SBeforeSave {
        bool valid = false;
        bool headChanged = false;
        bool tablesChanged = false;
        EStep step = ST_SAVED;
    } beforeSave_;
    int saves_ = 0;             // saves the panel reported
};

} // namespace desk
