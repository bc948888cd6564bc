#pragma once
// Tender enumerations of the host and the no-value marks its records use.

#include <cfloat>
#include <climits>

namespace ttservice {

// Marks a field that holds no value.
constexpr int kInvalidInt = INT_MAX;                        // 2147483647
constexpr long long kInvalidLongLong = LLONG_MAX;           // 9223372036854775807
constexpr double kInvalidDouble = DBL_MAX;                  // 1.7976931348623157e308

// Fixed to int: records carry these as plain ints (the no-value mark included), and
// casting any such int back to the enum must stay defined.
enum ETenderingType : int { TT_DUTCH = 0, TT_AMERICAN = 1, TT_MIXED = 2, TT_NONE = 7 };
enum ETenderTarget : int { TTG_RATE = 0, TTG_PRICE = 1, TTG_NONE = 4 };
enum ETenderMarket : int { TM_NONE = -1, TM_SSE = 1, TM_SZSE = 2, TM_INTERBANK = 3 };
enum ETenderPurchaseType : int { TPT_NONE = 0, TPT_PRIMARY = 1, TPT_SECONDARY = 2 };
enum ETenderOperation { TOP_NONE = 0, TOP_SAVE_WIN_BID = 3 };
enum EOrderCommandStatus { OCS_NONE = 0, OCS_RETURN_TO_EXECUTION = 204 };
enum EVnTraderType { VTT_NONE = 0, VTT_NORMAL = 1, VTT_CREDIT = 2 };

// Record type ids under which the host stores records.
enum ERecordType {
    RT_TENDER_COMMAND = 535,
    RT_WIN_BID_DETAIL = 30097,
    RT_ALLOC_PARAMS = 30101,
    RT_ALLOC_PRODUCT = 30103,
    RT_EXEC_EXTERNAL_REPORT = 30105,
    RT_EXEC_INTERNAL_REPORT = 30107,
    RT_ALLOC_UNDERWRITER = 30109,
};

} // namespace ttservice

namespace utils {
// Number-format flags used as a flag set (0 = none).
enum EFormatNumberFlag { FNF_NONE = 0, FNF_SEGMENTED = 0x1 };
// Seconds since an arbitrary fixed point, for timing.
double clock();
} // namespace utils
