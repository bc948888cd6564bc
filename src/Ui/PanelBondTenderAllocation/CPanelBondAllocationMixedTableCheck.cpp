// The check that table three agrees with tables one and two before anything is saved.
#include "CPanelBondAllocationMixedTable.h"

#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "CAllocationMixedModel.h"
#include "CAllocationProductData.h"
#include "CAllocationUnderWriteData.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "services/HostServices.h"

namespace TC {

namespace {

using Helper = CPanelBondTenderAllocationHelper;

// What a table above has won under a cross-table key, and what table three allocates to it.
struct SWonAndAllocated {
    bool listedAbove = false;
    double won = 0.0;
    double allocated = 0.0;
};

bool hasPositions(ttservice::ETenderingType type)
{
    return type == ttservice::TT_AMERICAN || type == ttservice::TT_MIXED;
}

// A cross-table key as its two parts: the name (a view of a row's own text, which outlives
// the check) and the position as the host prints prices. Kept apart, a key needs no text of
// its own per row: a position's text is short enough to be held in place.
struct SCrossKey {
    std::string_view name;
    std::string position;

    bool operator==(const SCrossKey& other) const { return name == other.name && position == other.position; }
};

struct SCrossKeyHash {
    std::size_t operator()(const SCrossKey& key) const
    {
        return std::hash<std::string_view>()(key.name) * 31 + std::hash<std::string>()(key.position);
    }
};

using SumsByKey = std::unordered_map<SCrossKey, SWonAndAllocated, SCrossKeyHash>;

// The position part of a key: tenders with positions only.
std::string positionOf(ttservice::ETenderingType type, double price)
{
    return hasPositions(type) ? Helper::printF(price) : std::string();
}

SCrossKey crossKeyOf(ttservice::ETenderingType type, std::string_view name, std::string position)
{
    if (type == ttservice::TT_DUTCH)
        return {name, std::string()};
    if (hasPositions(type))
        return {name, std::move(position)};
    return {};
}

// The key as one text: "name|position" with positions, the name in a Dutch tender.
std::string crossTableKey(ttservice::ETenderingType type, std::string_view name, const std::string& position)
{
    if (type == ttservice::TT_DUTCH)
        return std::string(name);
    if (hasPositions(type))
        return std::string(name).append("|").append(position);
    return std::string();
}

SWonAndAllocated& sumsOf(SumsByKey& sums, SCrossKey key)
{
    return sums.try_emplace(std::move(key)).first->second;
}

void addWon(SumsByKey& sums, SCrossKey key, double amount)
{
    SWonAndAllocated& sum = sumsOf(sums, std::move(key));
    sum.listedAbove = true;
    sum.won += amount;
}

// Same bits: a row printed with its group's position text (-0.0 and 0.0 print apart).
bool samePrice(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The message part of a row that lacks a choice, empty when the row is complete.
const char* missingChoiceOf(const CAllocationMixedInfo& info)
{
    if (info.tenderMarket == ttservice::TM_NONE)
        return " 行数据未选择投标市场!";
    if (info.purchaseType.empty())
        return " 行数据未选择申购方式!";
    if (info.underWriter.empty())
        return " 行数据未选择承销商!";
    if (info.account.empty())
        return " 行数据未选择账号!";
    return "";
}

// The first key as text, in byte-wise order, listed by the table above whose allocated sum
// differs from its won one (a key table three alone has is not looked at); none when all agree.
bool firstMismatch(const SumsByKey& sums, ttservice::ETenderingType type, std::string& first)
{
    bool found = false;
    for (const auto& entry : sums) {
        const SWonAndAllocated& sum = entry.second;
        if (!sum.listedAbove || Helper::isEqual(sum.allocated, sum.won))
            continue;
        std::string key = crossTableKey(type, entry.first.name, entry.first.position);
        if (!found || key < first) {
            first = std::move(key);
            found = true;
        }
    }
    return found;
}

// The message of a sum that differs under key: name and position for tenders with
// positions, the key alone for Dutch ones; any other tendering type leaves msg as it was.
void setMismatchMessage(ttservice::ETenderingType type, const std::string& key, const QString& subject,
                        const QString& positionTail, const QString& totalTail, QString& msg)
{
    if (hasPositions(type)) {
        const std::string::size_type bar = key.rfind('|');
        const std::string name = bar == std::string::npos ? key : key.substr(0, bar);
        bool ok = false;
        const double position = bar == std::string::npos ? 0.0 : Helper::readDouble(key.substr(bar + 1), &ok);
        // A position printed as "nan" or "inf" is no number the formatter shows.
        msg = subject + QString::fromStdString(name) + QStringLiteral(" 标位 ")
              + Helper::format4(ok || bar == std::string::npos ? position : std::nan(""), utils::FNF_NONE)
              + positionTail;
    } else if (type == ttservice::TT_DUTCH) {
        msg = subject + QString::fromStdString(key) + totalTail;
    }
}

} // namespace

std::string CPanelBondAllocationMixedTable::getProductAndTenderKey(ttservice::ETenderingType type,
                                                                   std::string name, double price)
{
    return crossTableKey(type, name, positionOf(type, price));
}

std::string CPanelBondAllocationMixedTable::getUnderWriterAndTenderkey(ttservice::ETenderingType type,
                                                                       std::string name, double price)
{
    return crossTableKey(type, name, positionOf(type, price));
}

bool CPanelBondAllocationMixedTable::check(double totalWinBid, QString& msg, ProductRowMap& products,
                                           UnderWriterRows& underWriters, ttservice::ETenderingType type)
{
    if (!model)
        return false;
    const double total = model->getTotalWinBidAmount();
    if (!Helper::isGreaterThanZero(total)) {
        msg = QStringLiteral("表三中标合计数据必须大于0!");
        return false;
    }
    if (!Helper::isEqual(total, totalWinBid)) {
        msg = QStringLiteral("表三中标数量合计与表一中标总量不一致!");
        return false;
    }
    const QList<KZ::IBaseHpfTableDataPtr> modelRows = model->getDatas();
    for (const KZ::IBaseHpfTableDataPtr& entry : modelRows) {
        const auto* row = dynamic_cast<const CAllocationMixedData*>(entry.get());
        if (!row || !row->info)
            continue;
        const char* missing = missingChoiceOf(*row->info);
        if (*missing) {
            msg = QStringLiteral("表三第 ") + QString::number(row->rowNumber) + QString::fromUtf8(missing);
            return false;
        }
    }

    SumsByKey byProduct(static_cast<std::size_t>(products.size()));
    SumsByKey byUnderWriter(underWriters.size());
    for (const MixedGroup& group : qAsConst(productDataMap)) {
        if (group.isEmpty() || !group.first() || !group.first()->info)
            continue;
        const std::string& productName = group.first()->info->productName;
        // A group is one product at one position: its position is printed once, and its
        // rows add to one product sum, found once.
        const double groupPrice = group.first()->info->bidPrice;
        const std::string groupPosition = positionOf(type, groupPrice);
        SWonAndAllocated& groupSums = sumsOf(byProduct, crossKeyOf(type, productName, groupPosition));
        for (const CAllocationMixedDataPtr& row : group) {
            if (!row || !row->info)
                continue;
            const CAllocationMixedInfo& info = *row->info;
            if (samePrice(info.bidPrice, groupPrice)) {
                sumsOf(byUnderWriter, crossKeyOf(type, info.underWriter, groupPosition)).allocated += info.winBidAmount;
                groupSums.allocated += info.winBidAmount;
            } else {
                const std::string position = positionOf(type, info.bidPrice);
                sumsOf(byUnderWriter, crossKeyOf(type, info.underWriter, position)).allocated += info.winBidAmount;
                sumsOf(byProduct, crossKeyOf(type, productName, position)).allocated += info.winBidAmount;
            }
        }
    }

    std::unordered_map<int, std::string> productNames;   // a product has many positions
    for (const auto& product : qAsConst(products)) {
        if (!product || !product->info)
            continue;
        const CAllocationProductInfo& info = *product->info;
        auto name = productNames.find(info.productId);
        if (name == productNames.end())
            name = productNames.emplace(info.productId, getUserConfig()->getProductName(info.productId).toStdString())
                       .first;
        addWon(byProduct, crossKeyOf(type, name->second, positionOf(type, info.tenderPrice)), info.winAmount);
    }
    std::string key;
    if (firstMismatch(byProduct, type, key)) {
        setMismatchMessage(type, key, QStringLiteral("表三产品 "),
                           QStringLiteral("实际分配合计与表二中该产品该标位中标数量不一致,无法保存!"),
                           QStringLiteral("实际分配合计与表二中该产品中标数量不一致,无法保存!"), msg);
        return false;
    }

    for (const auto& underWriter : underWriters) {
        if (underWriter && underWriter->info)
            addWon(byUnderWriter,
                   crossKeyOf(type, underWriter->info->underWriter, positionOf(type, underWriter->info->bidPrice)),
                   underWriter->info->winBidAmount);
    }
    if (firstMismatch(byUnderWriter, type, key)) {
        setMismatchMessage(type, key, QStringLiteral("表三承销商 "),
                           QStringLiteral("实际分配合计与表一中该承销商该标位中标数量不一致,无法保存!"),
                           QStringLiteral("实际分配合计与表一中该承销商中标量合计不一致,无法保存!"), msg);
        return false;
    }
    return true;
}

} // namespace TC
