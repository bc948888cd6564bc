#pragma once

#include <string>

#include "ttservice/TenderEnums.h"

namespace TC {

// What one row of the account allocation table says: how much of one product's
// won volume at one tender position goes through which market, purchase type,
// underwriter and account. Volumes are in 亿.
class CAllocationMixedInfo {
public:
    CAllocationMixedInfo();

    std::string productName;
    int tenderMarket;                   // ETenderMarket; -1 when not chosen
    std::string purchaseType;           // "一级分销", "二级上市" or empty
    std::string underWriter;            // empty when not chosen
    double bidPrice;                    // tender position; the no-value double in a Dutch tender
    double bidAmount;
    double winBidPrice;                 // position at which the won volume settles
    double winBidAmount;
    std::string account;                // empty when not chosen
    std::string operationText;          // "+添加" on a group's fixed row, else "删除" or empty

    bool isFixedRow() const;
};

// Texts of the operation cell.
extern const char* const kMixedAddText;      // "+添加"
extern const char* const kMixedDeleteText;   // "删除"

} // namespace TC
