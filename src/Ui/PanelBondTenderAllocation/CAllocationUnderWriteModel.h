#pragma once
// Model of table one: eight columns and a statistics row with the bid and won totals.
// The model never sums its rows itself: the table widget hands it the totals.

#include <QColor>
#include <QString>
#include <QVariant>

#include "KZ/HpfTableModel.h"

namespace TC {

class CAllocationUnderWriteModel : public KZ::IBaseHpfTableModel {
public:
    CAllocationUnderWriteModel();
    ~CAllocationUnderWriteModel() override;

    int columnCount() const override;
    QString columnHeader(int column) const override;
    QVariant::Type columnType(int column) const override;
    QString getStatDispalyQString(int column) const override;
    bool columnFlashChange(int column) const override;
    QColor getBackgroundColor(int row) const override;
    int columnFlag(int column) const override;

    void setTotalData(double bidTotal, double winTotal);
    double getTotalBidAmount() const { return totalBidAmount; }
    double getTotalWinAmount() const { return totalWinAmount; }

private:
    double totalBidAmount = 0.0;
    double totalWinAmount = 0.0;
};

} // namespace TC
