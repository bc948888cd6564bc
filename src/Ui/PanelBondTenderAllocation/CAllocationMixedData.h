#pragma once

#include <boost/shared_ptr.hpp>

#include "CAllocationMixedInfo.h"
#include "KZ/HpfTableModel.h"

namespace TC {

// One row of the account allocation table. Copies share the info, so an edit made
// through the table's model shows in the table's group store and back.
class CAllocationMixedData : public KZ::IBaseHpfTableData {
public:
    // Column indices of table three.
    enum EColumn {
        COL_PRODUCT = 0,
        COL_MARKET = 1,
        COL_PURCHASE_TYPE = 2,
        COL_UNDERWRITER = 3,
        COL_BID_PRICE = 4,
        COL_BID_AMOUNT = 5,
        COL_WIN_PRICE = 6,
        COL_WIN_AMOUNT = 7,
        COL_ACCOUNT = 8,
        COL_OPERATION = 9,
        COLUMN_COUNT = 10,
    };

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

    // The key of the row numbered rowNumber, and the same as the delegates take it.
    static std::string keyOf(int rowNumber);
    static QString keyText(int rowNumber);

    boost::shared_ptr<CAllocationMixedInfo> info;
    int rowNumber = 0;                       // 1-based; also the row's key
};

using CAllocationMixedDataPtr = boost::shared_ptr<CAllocationMixedData>;

} // namespace TC
