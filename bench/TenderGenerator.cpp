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
const STenderSize kMedium{"M", 200, 5, 20, 1000};
const STenderSize kLarge{"L", 2000, 5, 50, 10000};

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

CGeneratedTender::CGeneratedTender(const STenderSize& size, unsigned seed)
    : bondCode_(std::string("BENCH") + size.name + ".IB"),
      bondName_(std::string("基准招标债") + size.name),
      accountRowCount_(size.accountRows)
{
    for (int k = 0; k < size.positions; ++k)
        positions_.push_back(kMarginal + kPositionStep * k);
    for (int p = 0; p < size.products; ++p) {
        ProductPtr product(new CProduct());
        product->productId = kFirstProductId + p;
        product->productName = numbered("产品", p + 1, 5);
        boost::shared_ptr<CAccountInfo> exchange(new CAccountInfo());
        exchange->accountType = kExchangeAccountType;
        exchange->accountId = numbered("SH", p + 1, 8);
        boost::shared_ptr<CAccountInfo> interbank(new CAccountInfo());
        interbank->accountType = kInterbankAccountType;
        interbank->accountId = numbered("IB", p + 1, 8);
        product->accounts = {exchange, interbank};
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

// One fixed row per bid; the extra rows split random groups, each added row taking part
// of its group's won volume. Every row goes through a random underwriter and market;
// table one then states exactly what the rows give each underwriter at each position.
void CGeneratedTender::generateAccountRows(unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::vector<int>> groups(bids_.size());   // won units per row, fixed row first
    for (size_t b = 0; b < bids_.size(); ++b)
        groups[b].push_back(bids_[b].wonUnits);
    for (int extra = accountRowCount_ - static_cast<int>(bids_.size()); extra > 0;) {
        std::vector<int>& group = groups[static_cast<size_t>(uniform(random, 0, static_cast<int>(groups.size()) - 1))];
        if (group.front() < 2)
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
        for (size_t r = 0; r < groups[b].size(); ++r) {
            const int underwriter = uniform(random, 0, static_cast<int>(underwriters_.size()) - 1);
            const bool interbank = uniform(random, 0, 1) == 1;
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
            row->account = product.accounts[interbank ? 1 : 0]->accountId;
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

    int commandId = kFirstCommandId;
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
    boost::shared_ptr<CIBondTenderAllocParams> params(new CIBondTenderAllocParams());
    params->bondCode = bondCode_;
    params->bondName = bondName_;
    params->marginalPrice = kMarginal;
    params->weightedMeanPrice = kWeightedMean;
    params->issuePrice = 0.0;
    params->couponRate = kCoupon;
    store.putRecords(bondCode_, RT_ALLOC_PARAMS, {params});

    IDataList one;
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
    store.putRecords(bondCode_, RT_ALLOC_UNDERWRITER, one);

    IDataList two;
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
    store.putRecords(bondCode_, RT_ALLOC_PRODUCT, two);

    store.putRecords(bondCode_, RT_WIN_BID_DETAIL, IDataList(accountRows_.begin(), accountRows_.end()));
}

QJsonObject CGeneratedTender::toScenario() const
{
    QJsonObject result{{"marginalPrice", kMarginal}, {"weightedMeanPrice", kWeightedMean}, {"couponRate", kCoupon}};
    QJsonObject bond{{"code", qs(bondCode_)},          {"name", qs(bondName_)},
                     {"basicTenderUnit", kUnit},       {"tenderTarget", "price"},
                     {"tenderingMethod", "american"},  {"lockDate", "20991231"},
                     {"settled", false},               {"result", result}};

    QJsonArray underwriters;
    for (const std::string& name : underwriters_)
        underwriters.append(qs(name));

    QJsonArray products;
    for (const ProductPtr& product : products_) {
        QJsonArray accounts;
        for (const auto& account : product->accounts)
            accounts.append(QJsonObject{{"type", account->accountType}, {"id", qs(account->accountId)}});
        products.append(QJsonObject{{"id", product->productId}, {"name", qs(product->productName)}, {"accounts", accounts}});
    }

    QJsonArray commands;
    int commandId = kFirstCommandId;
    for (const SBid& bid : bids_) {
        QJsonObject param{{"bondCode", qs(bondCode_)},
                          {"tenderPrice", positions_[static_cast<size_t>(bid.position)]},
                          {"purchaseType", static_cast<int>(TPT_PRIMARY)}};
        commands.append(QJsonObject{{"commandId", commandId++},
                                    {"productId", products_[static_cast<size_t>(bid.product)]->productId},
                                    {"btdparam", param}});
    }

    QJsonArray underwriterReports;
    for (const SUnderwriterBid& bid : underwriterBids_) {
        underwriterReports.append(QJsonObject{{"bondCode", qs(bondCode_)},
                                              {"underwriter", qs(underwriters_[static_cast<size_t>(bid.underwriter)])},
                                              {"tenderPrice", positions_[static_cast<size_t>(bid.position)]},
                                              {"bidAmount", volumeOf(bid.bidUnits)}});
    }

    QJsonArray productReports;
    for (size_t p = 0; p < products_.size(); ++p) {
        QJsonObject details;
        for (size_t k = 0; k < positions_.size(); ++k) {
            const SBid& bid = bids_[p * positions_.size() + k];
            details.insert(qs(positionText(bid.position)), volumeOf(bid.bidUnits));
        }
        productReports.append(QJsonObject{
            {"bondCode", qs(bondCode_)}, {"productId", products_[p]->productId}, {"bidDetails", details}});
    }

    return QJsonObject{{"title", qs("生成的招标 " + bondName_)},
                       {"defaultBond", qs(bondCode_)},
                       {"bonds", QJsonArray{bond}},
                       {"underwriters", underwriters},
                       {"products", products},
                       {"tenderCommands", commands},
                       {"underwriterReports", underwriterReports},
                       {"productReports", productReports}};
}

} // namespace bench
