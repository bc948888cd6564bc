#pragma once
// A tender scenario: what the host knows about a few bonds in tender (bonds, products
// with their accounts, underwriters, tender commands and execution reports), read from
// a JSON file and checked completely before anything reaches the store.

#include <QByteArray>
#include <QString>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ttservice/TenderEnums.h"

namespace ttservice {
class CHostStore;
}

namespace desk {

struct SScenarioBond {
    std::string code;
    std::string name;
    double basicTenderUnit = 0.0;           // 亿
    ttservice::ETenderTarget target = ttservice::TTG_NONE;
    ttservice::ETenderingType tenderingType = ttservice::TT_NONE;
    std::string lockDate;                   // yyyyMMdd, empty: none
    bool settled = false;
    // The tender's result as bid parameters; a marginal price of 0 marks a lost tender.
    bool hasResult = false;
    double marginalPrice = 0.0;
    double weightedMeanPrice = 0.0;
    double couponRate = 0.0;
};

struct SScenarioAccount {
    int type = 0;                           // 2 exchange, 15002 interbank
    std::string id;
};

struct SScenarioProduct {
    int id = 0;
    std::string name;
    std::vector<SScenarioAccount> accounts;
};

struct SScenarioCommand {
    int commandId = 0;
    int productId = 0;
    std::string bondCode;
    double tenderPrice = 0.0;
    int purchaseType = ttservice::TPT_NONE;
};

struct SUnderwriterReport {
    std::string bondCode;
    std::string underwriter;
    double tenderPrice = 0.0;
    double bidAmount = 0.0;
};

struct SProductReport {
    std::string bondCode;
    int productId = 0;
    std::map<std::string, double> bidDetails;  // price text -> bid volume (亿)
};

class CScenario {
public:
    // The sample built into the desk.
    static const QString kBuiltInPath;

    // Reads and checks a scenario. On failure returns false with error =
    // "<source>:<line>:<column>: <what>" for malformed JSON, or
    // "<source>: <json path>: <what>" for a field that is missing, of the wrong type or wrong.
    static bool parse(const QByteArray& json, const QString& source, CScenario* out, QString* error);
    // The same through Qt's JSON document alone: parse() reads plain JSON in one pass and
    // leaves every other text, and every text it refuses, to this.
    static bool parseWithQtDocument(const QByteArray& json, const QString& source, CScenario* out, QString* error);
    // Reads at most maxBytes from the file (a device or a pipe too); more is refused.
    static constexpr qint64 kMaxFileBytes = qint64(512) << 20;
    static bool loadFile(const QString& path, CScenario* out, QString* error, qint64 maxBytes = kMaxFileBytes);

    // What a scenario may hold: the unit the volumes of a bond are cut to, and codes short
    // enough to show.
    static constexpr double kMinBasicTenderUnit = 0.0001;
    static constexpr double kMaxBasicTenderUnit = 1e6;
    static constexpr int kMaxBondCodeChars = 64;

    // Puts the scenario's read-only records into the store: products, bond details, tender
    // commands, execution reports and the bid parameters of decided tenders.
    void applyTo(ttservice::CHostStore& store) const;
    // Forgets what applyTo put into the store (products, underwriters, commands, reports),
    // keeping the title and the bonds the window lists: the store holds the rest from then
    // on, and a large tender is not kept twice.
    void releaseStoredParts();

    const QString& title() const { return title_; }
    const std::vector<SScenarioBond>& bonds() const { return bonds_; }
    const SScenarioBond* bond(const std::string& code) const;
    // The bond shown when none is asked for.
    const std::string& defaultBondCode() const { return defaultBond_; }
    const std::vector<SScenarioProduct>& products() const { return products_; }
    const std::vector<std::string>& underwriters() const { return underwriters_; }
    const std::vector<SScenarioCommand>& commands() const { return commands_; }
    const std::vector<SUnderwriterReport>& underwriterReports() const { return underwriterReports_; }
    const std::vector<SProductReport>& productReports() const { return productReports_; }

    // Whether both hold the same, every number to its bit (the sign of a zero included).
    bool operator==(const CScenario& other) const;
    bool operator!=(const CScenario& other) const { return !(*this == other); }

private:
    template <class Json>
    friend class CScenarioParser;

    QString title_;
    std::string defaultBond_;
    std::vector<SScenarioBond> bonds_;
    std::vector<SScenarioProduct> products_;
    std::vector<std::string> underwriters_;
    std::vector<SScenarioCommand> commands_;
    std::vector<SUnderwriterReport> underwriterReports_;
    std::vector<SProductReport> productReports_;
};

} // namespace desk
