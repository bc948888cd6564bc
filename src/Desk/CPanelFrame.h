#pragma once
// The desk's frame around the allocation panel: a rail of captions beside the panel's three
// tables (表一 承销商中标, 表二 产品中标, 表三 账号分配), so that every 表N a message names can
// be found on screen, each with the won volume its table still has to allocate beside its
// totals, and a notice over the tables of a settled bond that has nothing to show. The
// captions follow the tables wherever the panel's layout and scrolling put them.

#include <QString>
#include <QWidget>
#include <vector>

class QLabel;

namespace TC {
class CPanelBondTenderAllocationPanel;
}

namespace desk {

class CUnallocatedVolume;

class CPanelFrame : public QWidget {
    Q_OBJECT
public:
    explicit CPanelFrame(int panelType, QWidget* parent = nullptr);

    TC::CPanelBondTenderAllocationPanel* panel() const { return panel_; }
    // The captions' texts on one line each, top to bottom ("表一 承销商中标", ...).
    QStringList captions() const;
    // Beside each caption, what its table still has to allocate: the text shown, whether
    // it is red, and the sentence its tool tip says.
    struct SUnallocatedLine {
        QString text;
        bool alert;
        QString sentence;
    };
    std::vector<SUnallocatedLine> unallocatedLines() const;
    CUnallocatedVolume* unallocated() const { return unallocated_; }
    // The shown bond's basic tender unit, for the figures while a volume is typed.
    void setBasicTenderUnit(double unit);
    // Shows or hides "已结算" over the tables.
    void setSettledNotice(bool shown);
    bool settledNoticeShown() const;
    // Room the frame needs to show the panel's widest table without scrolling sideways.
    int preferredWidth() const;

signals:
    // The rail widened for a larger figure.
    void preferredWidthChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct SCaption {
        QWidget* table;     // not owned: the panel's
        QLabel* label;      // owned by Qt parent
        QLabel* figure;     // owned by Qt parent (the label)
        int tableIndex;     // CPanelTableDriver::ETable
    };
    void addCaption(const char* tableClass, int tableIndex, const QString& number, const QString& name);
    void placeCaptions();
    void showUnallocated();
    QRect rectInFrame(const QWidget* widget) const;

    TC::CPanelBondTenderAllocationPanel* panel_ = nullptr;   // owned by Qt parent
    QWidget* rail_ = nullptr;                                // owned by Qt parent
    QLabel* settledNotice_ = nullptr;                        // owned by Qt parent
    CUnallocatedVolume* unallocated_ = nullptr;              // owned by Qt parent
    std::vector<SCaption> captions_;
};

} // namespace desk
