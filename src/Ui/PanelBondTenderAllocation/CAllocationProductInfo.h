#pragma once
// One row of table two as a plain value: a product's bid and won volume, per tender
// position for the American and mixed tenders. Volumes in 亿.

#include <string>

#include "ttservice/TenderEnums.h"

namespace TC {

class CAllocationProductInfo {
public:
    CAllocationProductInfo();
    CAllocationProductInfo(const CAllocationProductInfo& other);
    CAllocationProductInfo& operator=(const CAllocationProductInfo& other);
    ~CAllocationProductInfo();

    std::string bondCode;
    std::string bondName;
    int productId = ttservice::kInvalidInt;
    // Bid price or rate; the no-value double for rows without a position (Dutch tenders).
    double tenderPrice = ttservice::kInvalidDouble;
    int purchaseType = ttservice::TPT_NONE;   // ttservice::ETenderPurchaseType
    double bidAmount = 0.0;
    double winAmount = 0.0;
};

} // namespace TC
