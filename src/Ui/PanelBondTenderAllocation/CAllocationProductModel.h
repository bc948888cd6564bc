#pragma once
// Model of table two: seven columns and a statistics row with the bid and won totals.
// The model never sums its rows itself: whoever changes volumes hands it the totals.

#include <QString>
#include <QVariant>

#include "CAllocationTotalsModel.h"

namespace TC {

class CAllocationProductModel : public CAllocationTotalsModel {
public:
    CAllocationProductModel();
    ~CAllocationProductModel() override;

    int columnCount() const override;
    QString columnHeader(int column) const override;
    QVariant::Type columnType(int column) const override;

};

} // namespace TC
