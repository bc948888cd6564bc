#pragma once
// Tender enumerations of the host and the no-value marks of its records.

#include <cfloat>
#include <climits>

namespace ttservice {

constexpr int kInvalidInt = INT_MAX;
constexpr long long kInvalidLongLong = LLONG_MAX;
constexpr double kInvalidDouble = DBL_MAX;

enum ETenderingType : int { TT_DUTCH = 0, TT_AMERICAN = 1, TT_MIXED = 2, TT_NONE = 7 };
enum ETenderTarget : int { TTG_RATE = 0, TTG_PRICE = 1, TTG_NONE = 4 };
enum ETenderMarket : int { TM_NONE = -1, TM_SSE = 1, TM_SZSE = 2, TM_INTERBANK = 3 };
enum ETenderPurchaseType : int { TPT_NONE = 0, TPT_PRIMARY = 1, TPT_SECONDARY = 2 };
enum ETenderOperation { TOP_NONE = 0, TOP_SAVE_WIN_BID = 3 };
enum EOrderCommandStatus { OCS_NONE = 0, OCS_RETURN_TO_EXECUTION = 204 };
enum EVnTraderType { VTT_NONE = 0, VTT_NORMAL = 1, VTT_CREDIT = 2 };

enum ERecordType {
    RT_TENDER_COMMAND = 535,
    RT_WIN_BID_DETAIL = 30097,
    RT_ALLOC_PARAMS = 30101,
    RT_ALLOC_PRODUCT = 30103,
    RT_ALLOC_UNDERWRITER = 30109,
};

} // namespace ttservice

namespace utils {
enum EFormatNumberFlag { FNF_NONE = 0, FNF_SEGMENTED = 0x1 };
double clock();
} // namespace utils
