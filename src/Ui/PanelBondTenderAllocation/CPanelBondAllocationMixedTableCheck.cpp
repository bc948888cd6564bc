// The check that table three agrees with tables one and two before anything is saved.
#include "CPanelBondAllocationMixedTable.h"

#include <cmath>
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
using SumsByKey = std::unordered_map<std::string, SWonAndAllocated>;

bool hasPositions(ttservice::ETenderingType type)
{
    return type == ttservice::TT_AMERICAN || type == ttservice::TT_MIXED;
}

std::string crossTableKey(ttservice::ETenderingType type, const std::string& name, double price)
{
    if (type == ttservice::TT_DUTCH)
        return name;
    if (hasPositions(type))
        return name + "|" + Helper::printF(price);
    return std::string();
}

SWonAndAllocated& sumsOf(SumsByKey& sums, std::string key)
{
    return sums.try_emplace(std::move(key)).first->second;
}

void addWon(SumsByKey& sums, std::string key, double amount)
{
    SWonAndAllocated& sum = sumsOf(sums, std::move(key));
    sum.listedAbove = true;
    sum.won += amount;
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

// The first key, in byte-wise order, listed by the table above whose allocated sum differs
// from its won one (a key table three alone has is not looked at).
const std::string* firstMismatch(const SumsByKey& sums)
{
    const std::string* first = nullptr;
    for (const auto& entry : sums) {
        const SWonAndAllocated& sum = entry.second;
        if (sum.listedAbove && !Helper::isEqual(sum.allocated, sum.won) && (!first || entry.first < *first))
            first = &entry.first;
    }
    return first;
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
    return crossTableKey(type, name, price);
}

std::string CPanelBondAllocationMixedTable::getUnderWriterAndTenderkey(ttservice::ETenderingType type,
                                                                       std::string name, double price)
{
    return crossTableKey(type, name, price);
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
        for (const CAllocationMixedDataPtr& row : group) {
            if (!row || !row->info)
                continue;
            const CAllocationMixedInfo& info = *row->info;
            sumsOf(byUnderWriter, crossTableKey(type, info.underWriter, info.bidPrice)).allocated += info.winBidAmount;
            sumsOf(byProduct, crossTableKey(type, productName, info.bidPrice)).allocated += info.winBidAmount;
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
        addWon(byProduct, crossTableKey(type, name->second, info.tenderPrice), info.winAmount);
    }
    if (const std::string* key = firstMismatch(byProduct)) {
        setMismatchMessage(type, *key, QStringLiteral("表三产品 "),
                           QStringLiteral("实际分配合计与表二中该产品该标位中标数量不一致,无法保存!"),
                           QStringLiteral("实际分配合计与表二中该产品中标数量不一致,无法保存!"), msg);
        return false;
    }

    for (const auto& underWriter : underWriters) {
        if (underWriter && underWriter->info)
            addWon(byUnderWriter, crossTableKey(type, underWriter->info->underWriter, underWriter->info->bidPrice),
                   underWriter->info->winBidAmount);
    }
    if (const std::string* key = firstMismatch(byUnderWriter)) {
        setMismatchMessage(type, *key, QStringLiteral("表三承销商 "),
                           QStringLiteral("实际分配合计与表一中该承销商该标位中标数量不一致,无法保存!"),
                           QStringLiteral("实际分配合计与表一中该承销商中标量合计不一致,无法保存!"), msg);
        return false;
    }
    return true;
}

} // namespace TC
