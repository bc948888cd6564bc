#pragma once
// Model of table one: eight columns and a statistics row with the bid and won totals.
// The model never sums its rows itself: the table widget hands it the totals.

#include <QString>
#include <QVariant>

#include "CAllocationTotalsModel.h"

namespace TC {

class CAllocationUnderWriteModel : public CAllocationTotalsModel {
public:
    CAllocationUnderWriteModel();
    ~CAllocationUnderWriteModel() override;

    int columnCount() const override;
    QString columnHeader(int column) const override;
    QVariant::Type columnType(int column) const override;

};

} // namespace TC
