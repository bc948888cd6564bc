#pragma once
// The desk's main window: the bond list of the loaded scenario above the chosen bond's
// execution reports, and the allocation panel as the main area beside them, with
// splitters between the three. The window is the panel's host: it names the bond, drives
// the panel's timer, shows its signals and the next step, and asks before unsaved work
// on a bond would be lost.

#include <QMainWindow>
#include <QString>
#include <functional>
#include <string>

class QCloseEvent;
class QLabel;
class QScreen;
class QSettings;
class QSplitter;
class QTableWidget;
class QTimer;

namespace TC {
class CPanelBondTenderAllocationPanel;
}

namespace desk {

class CEditTracker;
class CExecutionReportView;
class CPanelFrame;
class CScenario;

class CDeskWindow : public QMainWindow {
    Q_OBJECT
public:
    // Big enough for the panel's widest table and its full height next to the bond list
    // and the reports; on a smaller screen the window takes the screen's available area.
    static const QSize kPreferredSize;
    static QSize fittedSize(const QScreen* screen);
    // Resizes the window and gives the panel the room its widest table needs.
    void fitTo(const QSize& size);

    // The user's answer when unsaved work would be lost.
    enum EUnsavedAnswer { UA_SAVE, UA_DISCARD, UA_CANCEL };
    using UnsavedPrompt = std::function<EUnsavedAnswer(const QString& bondCode)>;
    static constexpr int kTimerIntervalMs = 500;

    // scenario: must outlive the window (its bonds make the list).
    explicit CDeskWindow(const CScenario& scenario, QWidget* parent = nullptr);
    ~CDeskWindow() override;

    // Loads the bond into the panel (settled bonds read-only, lost tenders in the lost
    // view); false for a code that is not in the scenario.
    bool showBond(const std::string& bondCode);
    const std::string& currentBond() const { return currentBond_; }

    // The panel's configuration string lives in the desk's settings across runs.
    void restoreSettings(const QSettings& settings);
    void saveSettings(QSettings& settings) const;

    TC::CPanelBondTenderAllocationPanel* panel() const { return panel_; }
    CPanelFrame* panelFrame() const { return panelFrame_; }
    CEditTracker* editTracker() const { return tracker_; }
    QSplitter* mainSplitter() const { return mainSplitter_; }
    // The next step of the allocation, shown at the right of the status bar.
    QString hintText() const;
    // Replaces the question box (tests, automation); empty: the box again.
    void setUnsavedPrompt(UnsavedPrompt prompt);
    // Asks about unsaved work on the current bond; true when the user may go on (saved,
    // discarded or nothing to lose), false when the work stays where it is.
    bool settleUnsavedWork();
    // The store could not keep the last save.
    void noteSaveFailed();
    CExecutionReportView* reportView() const { return reportView_; }
    QTableWidget* bondList() const { return bondList_; }
    QString statusText() const;
    // The list's result column follows what is stored for each bond.
    void refreshBondResults();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void onBondRowChanged(int row);
    void onBondExecutionShowTab(const QString& payload);
    void onWinBidAmountRefreshed(const QString& payload);
    void onTimerTick();

private:
    void createBondList();
    void createPanelFrame();
    void arrangeSplitters();
    void placeMainSplitter();
    int sideUsefulWidth() const;
    void showHint();
    void selectListRowOf(const std::string& bondCode);
    EUnsavedAnswer askAboutUnsavedWork() const;
    enum EStoredResult { SR_NONE, SR_WON, SR_LOST };
    static EStoredResult storedResult(const std::string& bondCode);
    // Whether any of the three tables has stored rows for the bond.
    static bool hasStoredAllocation(const std::string& bondCode);
    static QString resultText(const std::string& bondCode, bool settled);

    const CScenario& scenario_;
    std::string currentBond_;
    QTableWidget* bondList_ = nullptr;                   // owned by Qt parent
    CExecutionReportView* reportView_ = nullptr;         // owned by Qt parent
    CPanelFrame* panelFrame_ = nullptr;                  // owned by Qt parent
    TC::CPanelBondTenderAllocationPanel* panel_ = nullptr; // owned by Qt parent
    CEditTracker* tracker_ = nullptr;                    // owned by Qt parent
    QSplitter* mainSplitter_ = nullptr;                  // owned by Qt parent
    QSplitter* sideSplitter_ = nullptr;                  // owned by Qt parent
    QLabel* hint_ = nullptr;                             // owned by Qt parent
    QTimer* timer_ = nullptr;                            // owned by Qt parent
    UnsavedPrompt prompt_;
    bool splitterPlaced_ = false;   // by the user
};

} // namespace desk
