#pragma once
// A row of table two as the high-performance table shows it. Keyed by its row number,
// which the loaders give from 1 in load order.

#include <QColor>
#include <QString>
#include <boost/shared_ptr.hpp>
#include <string>

#include "KZ/HpfTableModel.h"
#include "ttservice/TenderEnums.h"

#include "CAllocationProductInfo.h"

namespace TC {

class CAllocationProductData : public KZ::IBaseHpfTableData {
public:
    // Column indices of table two.
    enum EColumn {
        COL_BOND_CODE = 0,
        COL_BOND_NAME = 1,
        COL_PRODUCT = 2,
        COL_TENDER_PRICE = 3,
        COL_PURCHASE_TYPE = 4,
        COL_BID_AMOUNT = 5,
        COL_WIN_AMOUNT = 6,
        COLUMN_COUNT = 7,
    };

    CAllocationProductData();
    CAllocationProductData(const CAllocationProductData& other);
    CAllocationProductData& operator=(const CAllocationProductData& other);

    QString getDisplayQString(int column) const override;
    QString getQString(int column) const override;
    int getInt(int column) const override;
    double getDouble(int column) const override;
    long long getLongLong(int column) const override;
    QColor getColor(int column) const override;
    std::string key() const override;   // rowNumber in decimal
    QString keyText() const;            // the same key as the delegates take it

    boost::shared_ptr<CAllocationProductInfo> info;  // shared by copies of the row
    int rowNumber = 0;

private:
    static QString getPurchaseType(ttservice::ETenderPurchaseType type);
};

using CAllocationProductDataPtr = boost::shared_ptr<CAllocationProductData>;

} // namespace TC
