#pragma once

#include <boost/shared_ptr.hpp>

#include "CAllocationMixedInfo.h"
#include "KZ/HpfTableModel.h"

namespace TC {

// One row of the account allocation table. Copies share the info, so an edit made
// through the table's model shows in the table's group store and back.
class CAllocationMixedData : public KZ::IBaseHpfTableData {
public:
    CAllocationMixedData() = default;
    CAllocationMixedData(const CAllocationMixedData& other) = default;
    CAllocationMixedData& operator=(const CAllocationMixedData& other) = default;

    QString getDisplayQString(int column) const override;
    QString getQString(int column) const override;
    int getInt(int column) const override;
    double getDouble(int column) const override;
    long long getLongLong(int column) const override;
    QColor getColor(int column) const override;
    std::string key() const override;        // rowNumber as decimal text; empty without info
    ~CAllocationMixedData() override = default;

    // The key of the row numbered rowNumber.
    static std::string keyOf(int rowNumber);

    boost::shared_ptr<CAllocationMixedInfo> info;
    int rowNumber = 0;                       // 1-based; also the row's key
};

using CAllocationMixedDataPtr = boost::shared_ptr<CAllocationMixedData>;

} // namespace TC
