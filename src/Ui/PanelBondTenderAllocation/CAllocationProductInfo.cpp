#include "CAllocationProductInfo.h"

namespace TC {

CAllocationProductInfo::CAllocationProductInfo() = default;
CAllocationProductInfo::CAllocationProductInfo(const CAllocationProductInfo& other) = default;
CAllocationProductInfo& CAllocationProductInfo::operator=(const CAllocationProductInfo& other) = default;
CAllocationProductInfo::~CAllocationProductInfo() = default;

} // namespace TC
