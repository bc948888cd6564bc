#include "TenderGenerator.h"

#include <QJsonArray>
#include <charconv>
#include <map>
#include <random>

#include "services/HostStore.h"
#include "ttservice/Bson.h"

namespace bench {

using namespace ttservice;

const STenderSize kSmall{"S", 20, 2, 5, 50};
const STenderSize kMedium{"M", 80, 5, 20, 1000};
const STenderSize kLarge{"L", 800, 5, 50, 10000};

const STenderSize& tenderSize(const std::string& name)
{
    if (name == "L")
        return kLarge;
    if (name == "M")
        return kMedium;
    return kSmall;
}

namespace {

constexpr int kFirstProductId = 100001;
constexpr int kFirstCommandId = 700001;
constexpr int kCommandIdsPerBond = 100000;
constexpr int kAccountsPerProduct = 4;   // an exchange and an interbank account, twice
constexpr int kMaxRowsPerGroup = 4;
constexpr double kPositionStep = 0.05;
constexpr int kUnitsPerWholeUnit = 1000;   // 0.1 亿 in stored units of 0.0001 亿

// Volumes stay whole basic units: n / 10 is the double the panel itself computes for n units.
double volumeOf(int units) { return units / 10.0; }

std::string fixed(double value, int decimals)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

std::string intText(int value)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string numbered(const char* prefix, int number, int width)
{
    std::string digits = intText(number);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    return prefix + digits;
}

QString qs(const std::string& text) { return QString::fromStdString(text); }

int uniform(std::mt19937& random, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(random);
}

} // namespace

CGeneratedTender::CGeneratedTender(const STenderSize& size, unsigned seed, int bondNumber)
    : bondCode_(std::string("BENCH") + size.name + (bondNumber > 1 ? intText(bondNumber) : std::string()) + ".IB"),
      bondName_(std::string("基准招标债") + size.name + (bondNumber > 1 ? intText(bondNumber) : std::string())),
      firstCommandId_(kFirstCommandId + (bondNumber - 1) * kCommandIdsPerBond),
      accountRowCount_(size.accountRows)
{
    for (int k = 0; k < size.positions; ++k)
        positions_.push_back(kMarginal + kPositionStep * k);
    for (int p = 0; p < size.products; ++p) {
        ProductPtr product(new CProduct());
        product->productId = kFirstProductId + p;
        product->productName = numbered("产品", p + 1, 5);
        for (int a = 0; a < kAccountsPerProduct; ++a) {
            const bool interbank = a % 2 == 1;
            boost::shared_ptr<CAccountInfo> account(new CAccountInfo());
            account->accountType = interbank ? kInterbankAccountType : kExchangeAccountType;
            account->accountId = numbered(interbank ? "IB" : "SH", p * kAccountsPerProduct / 2 + a / 2 + 1, 8);
            product->accounts.push_back(account);
        }
        products_.push_back(product);
    }
    for (int u = 0; u < size.underwriters; ++u)
        underwriters_.push_back(numbered("承销商", u + 1, 3));
    generateBids(seed);
    generateAccountRows(seed + 1);
}

void CGeneratedTender::generateBids(unsigned seed)
{
    std::mt19937 random(seed);
    for (size_t p = 0; p < products_.size(); ++p) {
        for (size_t k = 0; k < positions_.size(); ++k) {
            const int bidUnits = uniform(random, 10, 50);
            bids_.push_back({static_cast<int>(p), static_cast<int>(k), bidUnits, uniform(random, bidUnits / 2, bidUnits)});
        }
    }
}

// One fixed row per bid; the extra rows split random groups over up to four accounts, each
// added row taking part of its group's won volume, as a user splits a product's volume.
// Every row goes through a random underwriter and a different account of its product;
// table one then states exactly what the rows give each underwriter at each position.
void CGeneratedTender::generateAccountRows(unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::vector<int>> groups(bids_.size());   // won units per row, fixed row first
    for (size_t b = 0; b < bids_.size(); ++b)
        groups[b].push_back(bids_[b].wonUnits);
    for (int extra = accountRowCount_ - static_cast<int>(bids_.size()); extra > 0;) {
        std::vector<int>& group = groups[static_cast<size_t>(uniform(random, 0, static_cast<int>(groups.size()) - 1))];
        if (group.front() < 2 || static_cast<int>(group.size()) >= kMaxRowsPerGroup)
            continue;
        const int moved = uniform(random, 1, group.front() - 1);
        group.front() -= moved;
        group.push_back(moved);
        --extra;
    }

    std::map<std::pair<int, int>, int> wonByUnderwriter;   // (underwriter, position) -> units
    int rowKey = 0;
    int fixedIndex = 0;
    for (size_t b = 0; b < bids_.size(); ++b) {
        const SBid& bid = bids_[b];
        const CProduct& product = *products_[static_cast<size_t>(bid.product)];
        const int firstAccount = uniform(random, 0, kAccountsPerProduct - 1);
        for (size_t r = 0; r < groups[b].size(); ++r) {
            const int underwriter = uniform(random, 0, static_cast<int>(underwriters_.size()) - 1);
            const size_t accountIndex = (static_cast<size_t>(firstAccount) + r) % kAccountsPerProduct;
            const bool interbank = accountIndex % 2 == 1;
            boost::shared_ptr<CWinBidInfoDetail> row(new CWinBidInfoDetail());
            row->tradingDay = "20261205";
            row->productId = product.productId;
            row->productName = product.productName;
            row->bondCode = bondCode_;
            row->bondName = bondName_;
            row->tenderTarget = TTG_PRICE;
            row->bidPrice = positions_[static_cast<size_t>(bid.position)];
            row->winBidPrice = row->bidPrice;
            row->bidAmount = volumeOf(bid.bidUnits);
            row->winBidAmount = groups[b][r] * kUnitsPerWholeUnit;
            row->tenderMarket = interbank ? TM_INTERBANK : TM_SSE;
            row->accountTypeText = interbank ? "银行间账号" : "证券账号";
            row->account = product.accounts[accountIndex]->accountId;
            row->underWriter = underwriters_[static_cast<size_t>(underwriter)];
            row->purchaseType = TPT_PRIMARY;
            row->rowKey = intText(++rowKey);
            if (r == 0)
                row->fixedRowIndex = intText(++fixedIndex);
            accountRows_.push_back(row);
            wonByUnderwriter[{underwriter, bid.position}] += groups[b][r];
        }
    }

    for (size_t u = 0; u < underwriters_.size(); ++u) {
        for (size_t k = 0; k < positions_.size(); ++k) {
            const int won = wonByUnderwriter[{static_cast<int>(u), static_cast<int>(k)}];
            underwriterBids_.push_back({static_cast<int>(u), static_cast<int>(k), won + uniform(random, 1, 20), won});
        }
    }
}

std::string CGeneratedTender::positionText(int position) const
{
    return fixed(positions_[static_cast<size_t>(position)], 2);
}

std::vector<std::string> CGeneratedTender::underwriterChoices() const
{
    std::vector<std::string> out{std::string()};
    for (const SUnderwriterBid& bid : underwriterBids_)
        out.push_back(underwriters_[static_cast<size_t>(bid.underwriter)]);
    return out;
}

void CGeneratedTender::seedExecution(CHostStore& store) const
{
    store.setProducts(products_);

    CTenderBondInfoDetail detail;
    detail.bondCode = bondCode_;
    detail.bondName = bondName_;
    detail.lockDate = "20991231";
    store.setTenderBondInfo(detail);

    int commandId = firstCommandId_;
    for (const SBid& bid : bids_) {
        BSONObjBuilder param;
        param.append("bondCode", bondCode_)
            .append("tenderPrice", positions_[static_cast<size_t>(bid.position)])
            .append("purchaseType", static_cast<int>(TPT_PRIMARY))
            .append("tenderTarget", static_cast<int>(TTG_PRICE))
            .append("tenderingType", static_cast<int>(TT_AMERICAN));
        BSONObjBuilder extension;
        extension.append("btdparam", param.obj());
        boost::shared_ptr<CTenderCommandInfo> command(new CTenderCommandInfo());
        command->commandId = commandId++;
        command->productId = products_[static_cast<size_t>(bid.product)]->productId;
        command->extension = extension.obj();
        store.addTenderCommand(command);
    }

    IDataList external;
    for (const SUnderwriterBid& bid : underwriterBids_) {
        boost::shared_ptr<CIBondTenderExecExternalReportInfo> report(new CIBondTenderExecExternalReportInfo());
        report->bondCode = bondCode_;
        report->bondName = bondName_;
        report->underWriterName = underwriters_[static_cast<size_t>(bid.underwriter)];
        report->tenderPrice = positions_[static_cast<size_t>(bid.position)];
        report->bidAmount = volumeOf(bid.bidUnits);
        external.push_back(report);
    }
    store.putRecords(bondCode_, RT_EXEC_EXTERNAL_REPORT, external);

    IDataList internal;
    for (size_t p = 0; p < products_.size(); ++p) {
        boost::shared_ptr<CIBondTenderExecInternalReportInfo> report(new CIBondTenderExecInternalReportInfo());
        report->bondCode = bondCode_;
        report->bondName = bondName_;
        report->tenderTarget = TTG_PRICE;
        report->productId = products_[p]->productId;
        for (size_t k = 0; k < positions_.size(); ++k) {
            const SBid& bid = bids_[p * positions_.size() + k];
            report->bidDetails[positionText(bid.position)] = volumeOf(bid.bidUnits);
        }
        internal.push_back(report);
    }
    store.putRecords(bondCode_, RT_EXEC_INTERNAL_REPORT, internal);
}

void CGeneratedTender::seedStoredAllocation(CHostStore& store) const
{
    const SStoredAllocation stored = storedAllocation();
    store.putRecords(bondCode_, RT_ALLOC_PARAMS, stored.params);
    store.putRecords(bondCode_, RT_ALLOC_UNDERWRITER, stored.underwriterRows);
    store.putRecords(bondCode_, RT_ALLOC_PRODUCT, stored.productRows);
    store.putRecords(bondCode_, RT_WIN_BID_DETAIL, IDataList(stored.accountRows.begin(), stored.accountRows.end()));
}

SStoredAllocation CGeneratedTender::storedAllocation() const
{
    SStoredAllocation stored;
    boost::shared_ptr<CIBondTenderAllocParams> params(new CIBondTenderAllocParams());
    params->bondCode = bondCode_;
    params->bondName = bondName_;
    params->marginalPrice = kMarginal;
    params->weightedMeanPrice = kWeightedMean;
    params->issuePrice = 0.0;
    params->couponRate = kCoupon;
    stored.params.push_back(params);

    IDataList& one = stored.underwriterRows;
    for (const SUnderwriterBid& bid : underwriterBids_) {
        boost::shared_ptr<CIBondTenderAllocUnderWriterInfo> row(new CIBondTenderAllocUnderWriterInfo());
        row->bondCode = bondCode_;
        row->bondName = bondName_;
        row->tenderingType = TT_AMERICAN;
        row->underWriterName = underwriters_[static_cast<size_t>(bid.underwriter)];
        row->tenderPrice = positions_[static_cast<size_t>(bid.position)];
        row->bidAmount = volumeOf(bid.bidUnits);
        row->winBidPrice = row->tenderPrice;
        row->winAmount = volumeOf(bid.wonUnits);
        one.push_back(row);
    }

    IDataList& two = stored.productRows;
    for (const SBid& bid : bids_) {
        const CProduct& product = *products_[static_cast<size_t>(bid.product)];
        boost::shared_ptr<CIBondTenderAllocProductInfo> row(new CIBondTenderAllocProductInfo());
        row->bondCode = bondCode_;
        row->bondName = bondName_;
        row->productId = product.productId;
        row->productName = product.productName;
        row->tenderPrice = positions_[static_cast<size_t>(bid.position)];
        row->bidAmount = volumeOf(bid.bidUnits);
        row->winAmount = volumeOf(bid.wonUnits);
        row->purchaseType = TPT_PRIMARY;
        two.push_back(row);
    }

    stored.accountRows = accountRows_;
    for (int c = 0; c < static_cast<int>(bids_.size()); ++c)
        stored.commandIds.push_back(firstCommandId_ + c);
    return stored;
}

QJsonObject CGeneratedTender::toScenario() const
{
    return scenarioOf({this});
}

QJsonObject CGeneratedTender::scenarioOf(const std::vector<const CGeneratedTender*>& tenders)
{
    const CGeneratedTender& first = *tenders.front();
    QJsonArray underwriters;
    for (const std::string& name : first.underwriters_)
        underwriters.append(qs(name));

    QJsonArray products;
    for (const ProductPtr& product : first.products_) {
        QJsonArray accounts;
        for (const auto& account : product->accounts)
            accounts.append(QJsonObject{{"type", account->accountType}, {"id", qs(account->accountId)}});
        products.append(QJsonObject{{"id", product->productId}, {"name", qs(product->productName)}, {"accounts", accounts}});
    }

    QJsonArray bonds;
    QJsonArray commands;
    QJsonArray underwriterReports;
    QJsonArray productReports;
    for (const CGeneratedTender* tender : tenders)
        tender->appendToScenario(bonds, commands, underwriterReports, productReports);

    return QJsonObject{{"title", qs("生成的招标 " + first.bondName_)},
                       {"defaultBond", qs(first.bondCode_)},
                       {"bonds", bonds},
                       {"underwriters", underwriters},
                       {"products", products},
                       {"tenderCommands", commands},
                       {"underwriterReports", underwriterReports},
                       {"productReports", productReports}};
}

void CGeneratedTender::appendToScenario(QJsonArray& bonds, QJsonArray& commands, QJsonArray& underwriterReports,
                                        QJsonArray& productReports) const
{
    const QJsonObject result{{"marginalPrice", kMarginal}, {"weightedMeanPrice", kWeightedMean}, {"couponRate", kCoupon}};
    bonds.append(QJsonObject{{"code", qs(bondCode_)},          {"name", qs(bondName_)},
                             {"basicTenderUnit", kUnit},       {"tenderTarget", "price"},
                             {"tenderingMethod", "american"},  {"lockDate", "20991231"},
                             {"settled", false},               {"result", result}});

    int commandId = firstCommandId_;
    for (const SBid& bid : bids_) {
        QJsonObject param{{"bondCode", qs(bondCode_)},
                          {"tenderPrice", positions_[static_cast<size_t>(bid.position)]},
                          {"purchaseType", static_cast<int>(TPT_PRIMARY)}};
        commands.append(QJsonObject{{"commandId", commandId++},
                                    {"productId", products_[static_cast<size_t>(bid.product)]->productId},
                                    {"btdparam", param}});
    }

    for (const SUnderwriterBid& bid : underwriterBids_) {
        underwriterReports.append(QJsonObject{{"bondCode", qs(bondCode_)},
                                              {"underwriter", qs(underwriters_[static_cast<size_t>(bid.underwriter)])},
                                              {"tenderPrice", positions_[static_cast<size_t>(bid.position)]},
                                              {"bidAmount", volumeOf(bid.bidUnits)}});
    }

    for (size_t p = 0; p < products_.size(); ++p) {
        QJsonObject details;
        for (size_t k = 0; k < positions_.size(); ++k) {
            const SBid& bid = bids_[p * positions_.size() + k];
            details.insert(qs(positionText(bid.position)), volumeOf(bid.bidUnits));
        }
        productReports.append(QJsonObject{
            {"bondCode", qs(bondCode_)}, {"productId", products_[p]->productId}, {"bidDetails", details}});
    }
}

} // namespace bench
