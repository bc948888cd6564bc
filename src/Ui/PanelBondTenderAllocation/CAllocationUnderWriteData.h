#pragma once
// A row of table one as the high-performance table shows it, keyed by underwriter and
// tender position ("underwriter|price" with the price printed as "%f").

#include <QColor>
#include <QString>
#include <boost/shared_ptr.hpp>
#include <string>

#include "KZ/HpfTableModel.h"

#include "CAllocationUnderWriteInfo.h"

namespace TC {

class CAllocationUnderWriteData : public KZ::IBaseHpfTableData {
public:
    // Column indices of table one.
    enum EColumn {
        COL_BOND_CODE = 0,
        COL_BOND_NAME = 1,
        COL_TENDERING_TYPE = 2,
        COL_UNDERWRITER = 3,
        COL_BID_PRICE = 4,
        COL_BID_AMOUNT = 5,
        COL_WIN_BID_PRICE = 6,
        COL_WIN_BID_AMOUNT = 7,
        COLUMN_COUNT = 8,
    };

    CAllocationUnderWriteData();
    explicit CAllocationUnderWriteData(const boost::shared_ptr<CAllocationUnderWriteInfo>& rowInfo);
    CAllocationUnderWriteData(const CAllocationUnderWriteData& other);
    CAllocationUnderWriteData& operator=(const CAllocationUnderWriteData& other);

    QString getDisplayQString(int column) const override;
    QString getQString(int column) const override;
    int getInt(int column) const override;
    double getDouble(int column) const override;
    long long getLongLong(int column) const override;
    QColor getColor(int column) const override;
    std::string key() const override;   // empty without info

    // The key a row of this underwriter and tender position has.
    static std::string makeKey(const std::string& underWriter, double bidPrice);

    boost::shared_ptr<CAllocationUnderWriteInfo> info;  // shared by copies of the row
};

using CAllocationUnderWriteDataPtr = boost::shared_ptr<CAllocationUnderWriteData>;

} // namespace TC
