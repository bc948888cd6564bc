#pragma once
// Tender conversions, tolerance comparisons and settlement rules shared by every
// area of the allocation panel. Static functions only; nothing here touches a widget.

#include <QString>
#include <boost/shared_ptr.hpp>
#include <string>
#include <vector>

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

    // --- the host's tender commands, read at the moment of use ---
    using TenderCommands = std::vector<boost::shared_ptr<ttservice::CTenderCommandInfo>>;
    // Every tender command (535) of the user's accounts, in the host's order; copied under
    // the account data's lock, examined after it is released.
    static TenderCommands getTenderCommands();
    // A command's "btdparam" document as tender parameters; null when it is missing or is
    // not an embedded document.
    static boost::shared_ptr<ttservice::CBondTendersParam> readTenderParam(const ttservice::CTenderCommandInfo& command);
    // The same read into a fresh param the caller holds; false when there is none. A walk
    // over every command then allocates no param per command.
    static bool readTenderParam(const ttservice::CTenderCommandInfo& command, ttservice::CBondTendersParam& param);

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
    // value formatted with 4 decimals and no flags, read back: exactly 4 decimals. A value
    // the formatter cannot show (the no-value double among them) reads back as 0.
    static double roundTo4(double value);
    // A decimal text ("100.25", "-3", ".5") as a number; false in ok for anything that is
    // not entirely one. The process locale plays no part.
    static double readDouble(const std::string& text, bool* ok);
    // formatDoubleNumber(value, 4, flag, false, "非法值").
    static QString format4(double value, int flag);
    // format4(value, no flags) as UTF-8, made without a QString.
    static std::string format4Text(double value);
    // A typed volume cut down to whole basic tender units (units of 0.0001 underneath);
    // 0 when the unit is 0.
    static double cutToWholeUnits(const std::string& typedText, double basicTenderUnit);
};

} // namespace TC
