#pragma once
// The desk's main window: the bond list of the loaded scenario, the chosen bond's
// execution reports, and the allocation panel docked beside them. The window is the
// panel's host: it names the bond, drives the panel's timer and shows its signals.

#include <QMainWindow>
#include <QString>
#include <string>

class QSettings;
class QTableWidget;
class QTimer;

namespace TC {
class CPanelBondTenderAllocationPanel;
}

namespace desk {

class CExecutionReportView;
class CScenario;

class CDeskWindow : public QMainWindow {
    Q_OBJECT
public:
    // Big enough for the panel's widest table and its full height next to the bond list.
    static const QSize kPreferredSize;
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
    CExecutionReportView* reportView() const { return reportView_; }
    QTableWidget* bondList() const { return bondList_; }
    QString statusText() const;
    // The list's result column follows what is stored for each bond.
    void refreshBondResults();

private slots:
    void onBondRowChanged(int row);
    void onBondExecutionShowTab(const QString& payload);
    void onWinBidAmountRefreshed(const QString& payload);
    void onTimerTick();

private:
    void createBondList();
    void createPanelDock();
    enum EStoredResult { SR_NONE, SR_WON, SR_LOST };
    static EStoredResult storedResult(const std::string& bondCode);
    static QString resultText(const std::string& bondCode, bool settled);

    const CScenario& scenario_;
    std::string currentBond_;
    QTableWidget* bondList_ = nullptr;                   // owned by Qt parent
    CExecutionReportView* reportView_ = nullptr;         // owned by Qt parent
    TC::CPanelBondTenderAllocationPanel* panel_ = nullptr; // owned by Qt parent
    QTimer* timer_ = nullptr;                            // owned by Qt parent
};

} // namespace desk
