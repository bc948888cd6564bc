// The check that table three agrees with tables one and two before anything is saved.
#include "CPanelBondAllocationMixedTable.h"

#include <cmath>
#include <map>

#include "CAllocationMixedModel.h"
#include "CAllocationProductData.h"
#include "CAllocationUnderWriteData.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "services/HostServices.h"

namespace TC {

namespace {

using Helper = CPanelBondTenderAllocationHelper;
using SumsByKey = std::map<std::string, double>;   // byte-wise key order

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

// The first key of expected whose sum differs from actual's (absent counts as 0).
const std::string* firstMismatch(const SumsByKey& expected, const SumsByKey& actual)
{
    for (const auto& entry : expected) {
        const auto found = actual.find(entry.first);
        if (!Helper::isEqual(found != actual.end() ? found->second : 0.0, entry.second))
            return &entry.first;
    }
    return nullptr;
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
    for (const KZ::IBaseHpfTableDataPtr& entry : model->getDatas()) {
        const auto row = boost::dynamic_pointer_cast<CAllocationMixedData>(entry);
        if (!row || !row->info)
            continue;
        const char* missing = missingChoiceOf(*row->info);
        if (*missing) {
            msg = QStringLiteral("表三第 ") + QString::number(row->rowNumber) + QString::fromUtf8(missing);
            return false;
        }
    }

    SumsByKey allocatedByProduct;
    SumsByKey allocatedByUnderWriter;
    for (const MixedGroup& group : qAsConst(productDataMap)) {
        if (group.isEmpty() || !group.first() || !group.first()->info)
            continue;
        const std::string& productName = group.first()->info->productName;
        for (const CAllocationMixedDataPtr& row : group) {
            if (!row || !row->info)
                continue;
            allocatedByProduct[crossTableKey(type, productName, row->info->bidPrice)] += row->info->winBidAmount;
            allocatedByUnderWriter[crossTableKey(type, row->info->underWriter, row->info->bidPrice)] +=
                row->info->winBidAmount;
        }
    }

    SumsByKey wonByProduct;
    for (const auto& product : qAsConst(products)) {
        if (!product || !product->info)
            continue;
        const std::string name = getUserConfig()->getProductName(product->info->productId).toStdString();
        wonByProduct[crossTableKey(type, name, product->info->tenderPrice)] += product->info->winAmount;
    }
    if (const std::string* key = firstMismatch(wonByProduct, allocatedByProduct)) {
        setMismatchMessage(type, *key, QStringLiteral("表三产品 "),
                           QStringLiteral("实际分配合计与表二中该产品该标位中标数量不一致,无法保存!"),
                           QStringLiteral("实际分配合计与表二中该产品中标数量不一致,无法保存!"), msg);
        return false;
    }

    SumsByKey wonByUnderWriter;
    for (const auto& underWriter : underWriters) {
        if (underWriter && underWriter->info)
            wonByUnderWriter[crossTableKey(type, underWriter->info->underWriter, underWriter->info->bidPrice)] +=
                underWriter->info->winBidAmount;
    }
    if (const std::string* key = firstMismatch(wonByUnderWriter, allocatedByUnderWriter)) {
        setMismatchMessage(type, *key, QStringLiteral("表三承销商 "),
                           QStringLiteral("实际分配合计与表一中该承销商该标位中标数量不一致,无法保存!"),
                           QStringLiteral("实际分配合计与表一中该承销商中标量合计不一致,无法保存!"), msg);
        return false;
    }
    return true;
}

} // namespace TC
