#pragma once
// What the three allocation models share: a statistics row showing the bid and won
// totals under their columns, alternating row backgrounds, no flashing, no number
// flags. The totals are handed in by the table widgets; the model never sums its rows.

#include <QColor>
#include <QString>

#include "KZ/HpfTableModel.h"

namespace TC {

class CAllocationTotalsModel : public KZ::IBaseHpfTableModel {
public:
    // The columns under which the statistics row shows the bid and the won total.
    CAllocationTotalsModel(int bidTotalColumn, int winTotalColumn);
    ~CAllocationTotalsModel() override;

    QString getStatDispalyQString(int column) const override;
    bool columnFlashChange(int column) const override;
    QColor getBackgroundColor(int row) const override;
    int columnFlag(int column) const override;

    void setTotalData(double bidTotal, double winTotal);
    double getTotalBidAmount() const { return totalBidAmount; }
    double getTotalWinAmount() const { return totalWinAmount; }

private:
    const int bidTotalColumn;
    const int winTotalColumn;
    double totalBidAmount = 0.0;
    double totalWinAmount = 0.0;
};

} // namespace TC
