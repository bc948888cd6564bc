#pragma once

#include "KZ/HpfTableModel.h"

namespace TC {

// The ten columns of the account allocation table and its statistics row. The
// totals are set by the table after every change; the model does not add them up.
class CAllocationMixedModel : public KZ::IBaseHpfTableModel {
public:
    CAllocationMixedModel();
    ~CAllocationMixedModel() override;

    int columnCount() const override;
    QString columnHeader(int column) const override;
    QVariant::Type columnType(int column) const override;
    QString getStatDispalyQString(int column) const override;
    bool columnFlashChange(int column) const override;
    QColor getBackgroundColor(int row) const override;
    int columnFlag(int column) const override;

    void setTotalData(double bidTotal, double winTotal);
    double getTotalWinBidAmount() const { return totalWinAmount; }

private:
    double totalBidAmount = 0.0;
    double totalWinAmount = 0.0;
};

} // namespace TC
