#include "CAllocationMixedInfo.h"

namespace TC {

const char* const kMixedAddText = "+添加";
const char* const kMixedDeleteText = "删除";

// Builders set every number before a row is shown; these starting values only keep
// a half-built row harmless (no market, no position, nothing bid or won).
CAllocationMixedInfo::CAllocationMixedInfo()
    : tenderMarket(ttservice::TM_NONE)
    , bidPrice(ttservice::kInvalidDouble)
    , bidAmount(0.0)
    , winBidPrice(0.0)
    , winBidAmount(0.0)
{
}

bool CAllocationMixedInfo::isFixedRow() const
{
    return operationText == kMixedAddText;
}

} // namespace TC
