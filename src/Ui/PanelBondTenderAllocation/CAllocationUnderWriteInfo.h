#pragma once
// One row of table one as a plain value: an underwriter's bid at one tender position
// and the volume it won there. Volumes in 亿.

#include <string>

namespace TC {

class CAllocationUnderWriteInfo {
public:
    CAllocationUnderWriteInfo();
    CAllocationUnderWriteInfo(const CAllocationUnderWriteInfo& other);
    CAllocationUnderWriteInfo& operator=(const CAllocationUnderWriteInfo& other);
    ~CAllocationUnderWriteInfo();

    std::string bondCode;
    std::string bondName;
    std::string tenderingType;      // display text of the ETenderingType
    std::string underWriter;
    double bidPrice = 0.0;          // tender position: bid price or rate
    double bidAmount = 0.0;
    double winBidPrice = 0.0;       // where the won volume settles; 0 for a lost tender
    double winBidAmount = 0.0;      // the one field the user edits
};

} // namespace TC
