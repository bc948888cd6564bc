#pragma once
// Seeded generator of large, consistent bond tenders for the benchmarks and the desk's
// memory measurement. One American price tender: every product bids at every tender
// position, every position is at or above the marginal price (so all of it is won),
// and the generated allocation passes the full-save checks of all four areas.

#include <QJsonArray>
#include <QJsonObject>
#include <boost/shared_ptr.hpp>
#include <string>
#include <vector>

#include "ttservice/BondTenderRecords.h"

namespace ttservice {
class CHostStore;
}

namespace bench {

struct STenderSize {
    const char* name;
    int products;
    int positions;       // tender positions per product
    int underwriters;
    int accountRows;     // rows of table three; at least products * positions
};

// Groups (product x position) split over up to four accounts: the shape a user makes.
extern const STenderSize kSmall;    // 20 x 2, 5 underwriters, 50 account rows
extern const STenderSize kMedium;   // 80 x 5, 20 underwriters, 1,000 account rows
extern const STenderSize kLarge;    // 800 x 5, 50 underwriters, 10,000 account rows
const STenderSize& tenderSize(const std::string& name);   // "S", "M" or "L"; kSmall otherwise

// A complete allocation as the panel saves it: bid parameters, tables one, two and three,
// and the tender commands table three's rows are saved under.
struct SStoredAllocation {
    ttservice::IDataList params;
    ttservice::IDataList underwriterRows;
    ttservice::IDataList productRows;
    std::vector<boost::shared_ptr<ttservice::CWinBidInfoDetail>> accountRows;
    std::vector<int> commandIds;
};

class CGeneratedTender {
public:
    using ProductPtr = boost::shared_ptr<ttservice::CProduct>;

    // The same size, seed and bond number give the same tender, byte for byte. Tenders of
    // one size share products and underwriters; bond numbers from 2 on name another bond
    // with tender commands of its own.
    CGeneratedTender(const STenderSize& size, unsigned seed, int bondNumber = 1);

    // Products, bond detail, tender commands and execution reports: what the host knows
    // before anything was allocated.
    void seedExecution(ttservice::CHostStore& store) const;
    // A complete stored allocation on top: bid parameters, tables one, two and three.
    void seedStoredAllocation(ttservice::CHostStore& store) const;
    SStoredAllocation storedAllocation() const;
    // The tender as a desk scenario document; several tenders of one size as one scenario.
    QJsonObject toScenario() const;
    static QJsonObject scenarioOf(const std::vector<const CGeneratedTender*>& tenders);

    const std::string& bondCode() const { return bondCode_; }
    double basicTenderUnit() const { return kUnit; }
    double marginalPrice() const { return kMarginal; }
    double weightedMeanPrice() const { return kWeightedMean; }
    const std::vector<ProductPtr>& products() const { return products_; }
    const std::vector<std::string>& underwriters() const { return underwriters_; }
    // Table three as stored: fixed rows first in their groups, rowKey 1..n.
    const std::vector<boost::shared_ptr<ttservice::CWinBidInfoDetail>>& accountRows() const { return accountRows_; }
    // The underwriter choices table three offers: empty first, then one per report.
    std::vector<std::string> underwriterChoices() const;

    static constexpr double kUnit = 0.1;
    static constexpr double kMarginal = 99.5;
    static constexpr double kWeightedMean = 99.7;
    static constexpr double kCoupon = 2.35;

private:
    struct SBid {
        int product;      // index into products_
        int position;     // index into positions_
        int bidUnits;     // whole basic units
        int wonUnits;
    };
    struct SUnderwriterBid {
        int underwriter;
        int position;
        int bidUnits;
        int wonUnits;
    };

    void generateBids(unsigned seed);
    void generateAccountRows(unsigned seed);
    std::string positionText(int position) const;

    void appendToScenario(QJsonArray& bonds, QJsonArray& commands, QJsonArray& underwriterReports,
                          QJsonArray& productReports) const;

    std::string bondCode_;
    std::string bondName_;
    int firstCommandId_;
    std::vector<double> positions_;
    std::vector<ProductPtr> products_;
    std::vector<std::string> underwriters_;
    std::vector<SBid> bids_;                       // one per product and position
    std::vector<SUnderwriterBid> underwriterBids_; // one per underwriter and position
    std::vector<boost::shared_ptr<ttservice::CWinBidInfoDetail>> accountRows_;
    int accountRowCount_;
};

} // namespace bench
