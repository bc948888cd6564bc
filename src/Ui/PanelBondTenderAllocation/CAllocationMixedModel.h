#pragma once

#include "CAllocationTotalsModel.h"

namespace TC {

// The ten columns of the account allocation table and its statistics row. The
// totals are set by the table after every change; the model does not add them up.
class CAllocationMixedModel : public CAllocationTotalsModel {
public:
    CAllocationMixedModel();
    ~CAllocationMixedModel() override;

    int columnCount() const override;
    QString columnHeader(int column) const override;
    QVariant::Type columnType(int column) const override;

    double getTotalWinBidAmount() const { return getTotalWinAmount(); }
};

} // namespace TC
