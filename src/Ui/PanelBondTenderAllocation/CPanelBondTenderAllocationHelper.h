#pragma once
// Tender conversions, tolerance comparisons and settlement rules shared by every
// area of the allocation panel. Static functions only; nothing here touches a widget.

#include <QString>
#include <boost/make_shared.hpp>
#include <boost/pool/pool_alloc.hpp>
#include <boost/shared_ptr.hpp>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "KZ/HpfTableModel.h"
#include "ttservice/BondTenderRecords.h"
#include "ttservice/TenderEnums.h"

namespace TC {


class CPanelBondTenderAllocationHelper {
public:
    CPanelBondTenderAllocationHelper() = default;

    // --- display texts <-> enumerations ---
    static std::string getStrTenderingType(ttservice::ETenderingType type);
    static ttservice::ETenderingType getETenderingType(std::string text);
    // Converts a tender MARKET (the historic name is kept).
    static std::string getStrTenderTarget(ttservice::ETenderMarket market);
    static ttservice::ETenderMarket getETenderMarket(std::string text);
    static std::string getStrPurchaseType(ttservice::ETenderPurchaseType type);
    static ttservice::ETenderPurchaseType getEPurchaseType(std::string text);

    // Tender value with 4 decimals; the no-value double shows "-".
    static QString getTenderQStr(double value, utils::EFormatNumberFlag flag);
    // Decimal text -> count of 0.0001 (cut after 4 decimals, not rounded).
    static int str2Int(std::string text);

    // Whether a bid belongs to bond A and won against the marginal value.
    static bool isValidData(std::string bondCodeA, double marginal, ttservice::ETenderTarget target,
                            std::string bondCodeB, double bid);
    // Price or rate at which a won bid settles.
    static double getWinBidPrice(ttservice::ETenderingType type, ttservice::ETenderTarget target, double bid,
                                 double marginal, double weightedMean);
    // Purchase type chosen when the product's bid at that price was placed (0 if no command matches).
    static ttservice::ETenderPurchaseType getETenderPurchaseTypeFromCmd(std::string bondCode, int productId,
                                                                        double bidPrice);
    // The tender parameters of the bond's first command in the host's order (null if none).
    static boost::shared_ptr<ttservice::CBondTendersParam> getFirstTenderParam(const std::string& bondCode);

    // The model's rows of class Row, visited in order where they sit: no copied list of
    // rows, no shared count taken per row, and no search of the class hierarchy for a row
    // of exactly that class. A visit that returns false ends the walk; a visit must not add
    // rows to the model or take rows from it.
    template <class Row, class Visit>
    static void forEachRowOf(const KZ::IBaseHpfTableModel& model, Visit&& visit)
    {
        const int count = model.rowCount();
        for (int i = 0; i < count; ++i) {
            const KZ::IBaseHpfTableData* entry = model.rowAt(i);
            if (!entry)
                continue;
            const auto* row = typeid(*entry) == typeid(Row) ? static_cast<const Row*>(entry)
                                                            : dynamic_cast<const Row*>(entry);
            if (!row)
                continue;
            if constexpr (std::is_same_v<decltype(visit(*row)), bool>) {
                if (!visit(*row))
                    return;
            } else {
                visit(*row);
            }
        }
    }

    // --- row objects made by the ten thousand ---
    // A new T from a pool of equal-sized blocks. A reload or save of a large tender
    // releases and makes tens of thousands of rows and records: the pools keep them side
    // by side in a few large blocks, reused at once, instead of scattered through the heap,
    // and keep that memory for the next load. Safe from any thread.
    template <class T>
    static boost::shared_ptr<T> makePooled()
    {
        return boost::allocate_shared<T>(boost::fast_pool_allocator<T>());
    }

    // --- the one place that owns the tolerance for prices and volumes ---
    static constexpr double kTolerance = 0.00001;
    static bool isEqual(double a, double b);              // |a - b| <= tolerance
    static bool isGreaterOrEqual(double a, double b);     // a - b >= -tolerance
    static bool isLessOrEqual(double a, double b);        // a - b <= tolerance
    static bool isGreater(double a, double b);            // a - b > tolerance
    static bool isZero(double a) { return isEqual(a, 0.0); }
    static bool isGreaterThanZero(double a) { return isGreater(a, 0.0); }

    // --- locale-independent number texts ---
    // value printed as C's "%f" would print it (six decimals, '.').
    static std::string printF(double value);
    // value formatted with 4 decimals and no flags, read back: exactly 4 decimals.
    static double roundTo4(double value);
    // formatDoubleNumber(value, 4, flag, false, "非法值").
    static QString format4(double value, int flag);
    // A typed volume cut down to whole basic tender units (units of 0.0001 underneath);
    // 0 when the unit is 0.
    static double cutToWholeUnits(const std::string& typedText, double basicTenderUnit);
};

} // namespace TC
