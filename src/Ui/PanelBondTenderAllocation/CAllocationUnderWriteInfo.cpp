#include "CAllocationUnderWriteInfo.h"

namespace TC {

CAllocationUnderWriteInfo::CAllocationUnderWriteInfo() = default;
CAllocationUnderWriteInfo::CAllocationUnderWriteInfo(const CAllocationUnderWriteInfo& other) = default;
CAllocationUnderWriteInfo& CAllocationUnderWriteInfo::operator=(const CAllocationUnderWriteInfo& other) = default;
CAllocationUnderWriteInfo::~CAllocationUnderWriteInfo() = default;

} // namespace TC
