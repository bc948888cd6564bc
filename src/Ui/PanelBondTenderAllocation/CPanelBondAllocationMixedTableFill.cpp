// Filling table three: from a saved allocation, from a won or a lost table two, and the
// rebuild that renumbers the stored groups after a row is added or removed.
#include "CPanelBondAllocationMixedTable.h"

#include <boost/make_shared.hpp>
#include <map>

#include "CAllocationMixedModel.h"
#include "CAllocationProductData.h"
#include "CMixedRowPresenter.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "KZ/StandardHpfTable.h"
#include "services/HostServices.h"

namespace TC {

namespace {

using Helper = CPanelBondTenderAllocationHelper;

CAllocationMixedDataPtr newRow(int rowNumber)
{
    auto row = boost::make_shared<CAllocationMixedData>();
    row->info = boost::make_shared<CAllocationMixedInfo>();
    row->rowNumber = rowNumber;
    return row;
}

std::string productNameOf(int productId)
{
    return getUserConfig()->getProductName(productId).toStdString();
}

// A row of table two's product, named as the user's products name it, no market chosen yet.
CAllocationMixedDataPtr newProductRow(int rowNumber, const CAllocationProductInfo& source)
{
    CAllocationMixedDataPtr row = newRow(rowNumber);
    row->info->productName = productNameOf(source.productId);
    row->info->tenderMarket = ttservice::TM_NONE;
    return row;
}

// A saved row's group: the product id followed directly by the bid price with 4 decimals
// (product 12 at 100.5 is "12100.5000"). Groups are ordered by this text.
std::string groupKeyOf(const ttservice::CWinBidInfoDetail& detail)
{
    return std::to_string(detail.productId) + Helper::format4Text(detail.bidPrice);
}

} // namespace

void CPanelBondAllocationMixedTable::getAllocationAccounts(QStringList& out, ttservice::ETenderMarket market,
                                                           std::string productName) const
{
    out.append(CMixedRowPresenter(table).accountChoices(market, productName));
}

void CPanelBondAllocationMixedTable::updateMixedTableDatas(const WinBidDetails& details, double marginal,
                                                           double weightedMean, std::string code,
                                                           QStringList& underWriters,
                                                           ttservice::ETenderTarget target,
                                                           ttservice::ETenderingType type, double unit,
                                                           std::string name)
{
    // The rows in the host's order, each with the underwriter choices it offers: the list
    // grows row by row. They are told their cells once they are in the model. Their room and
    // the presenter's copy of the products are made before the old rows go, so that the new
    // rows' small blocks are the old rows' again rather than a heap rearranged around them.
    std::vector<std::pair<CAllocationMixedDataPtr, QStringList>> shown;
    shown.reserve(details.size());
    CMixedRowPresenter presenter(table);
    refreshMixedModel();
    productDataMap.clear();
    marginalPrice = marginal;
    weightedMeanPrice = weightedMean;
    bondCode = std::move(code);
    tenderTarget = target;
    basicTenderUnit = unit;
    bondName = std::move(name);
    underWriterList = underWriters;
    initProductName2ProductIdMapWithWinBidInfo(details);
    if (details.empty() || !table || !model)
        return;

    std::map<std::string, MixedGroup> groups;   // by group key, in byte order
    COfferedUnderWriters offered(underWriters);   // the caller's list grows row by row
    int counter = 0;
    // A group's rows mostly follow one another: a row of the previous row's product and price
    // joins its group without the key being printed and looked up again.
    const ttservice::CWinBidInfoDetail* previous = nullptr;
    MixedGroup* group = nullptr;
    for (const auto& detail : details) {
        if (!detail)
            continue;
        const CAllocationMixedDataPtr row = newRow(++counter);
        CAllocationMixedInfo& info = *row->info;
        info.productName = detail->productName;
        info.tenderMarket = detail->tenderMarket;
        info.purchaseType = Helper::getStrPurchaseType(static_cast<ttservice::ETenderPurchaseType>(detail->purchaseType));
        info.underWriter = detail->underWriter;
        offered.offer(info.underWriter);
        if (type == ttservice::TT_DUTCH)
            info.bidPrice = ttservice::kInvalidDouble;
        else if (type == ttservice::TT_AMERICAN || type == ttservice::TT_MIXED)
            info.bidPrice = detail->bidPrice;
        info.bidAmount = detail->bidAmount;
        info.winBidPrice = Helper::getWinBidPrice(type, target, info.bidPrice, marginalPrice, weightedMeanPrice);
        info.winBidAmount = Helper::roundTo4(detail->winBidAmount / 10000.0);
        info.account = detail->account;
        const bool added = detail->fixedRowIndex.empty();
        info.operationText = added ? kMixedDeleteText : kMixedAddText;
        shown.emplace_back(row, underWriters);

        if (group == nullptr || previous->productId != detail->productId || previous->bidPrice != detail->bidPrice)
            group = &groups[groupKeyOf(*detail)];
        previous = detail.get();
        if (added || group->isEmpty())
            group->append(row);
        else
            group->prepend(row);
    }
    int groupNumber = 0;
    for (auto& group : groups)
        productDataMap.insert(++groupNumber, std::move(group.second));

    for (const MixedGroup& group : qAsConst(productDataMap)) {
        for (const CAllocationMixedDataPtr& row : group)
            model->addData(row);
    }
    for (const auto& row : shown)
        presenter.showEditableRow(CAllocationMixedData::keyText(row.first->rowNumber), *row.first->info, row.second,
                                  offered.text(row.first->info->underWriter), false);
    storedInGroupOrder = true;
    int position = 0;
    for (const MixedGroup& group : qAsConst(productDataMap)) {
        for (const CAllocationMixedDataPtr& row : group)
            storedInGroupOrder = storedInGroupOrder && row->rowNumber == ++position;
    }
    noteRowsShown(ERowsShown::AsStored, presenter);
    setStoredTotals();
    table->updateTable();
}

void CPanelBondAllocationMixedTable::refreshWinBidAllocationMixedTable(ProductRowMap& products,
                                                                       ttservice::ETenderingType type,
                                                                       std::string name)
{
    if (!table || !model)
        return;
    refreshMixedModel();
    productDataMap.clear();
    bondName = std::move(name);
    initProductName2ProductIdMapWithProductData(products);

    CMixedRowPresenter presenter(table);
    int counter = 0;
    for (const auto& product : qAsConst(products)) {
        if (!product || !product->info)
            continue;
        const CAllocationProductInfo& source = *product->info;
        const CAllocationMixedDataPtr row = newProductRow(++counter, source);
        CAllocationMixedInfo& info = *row->info;
        if (type != ttservice::TT_DUTCH)
            info.purchaseType =
                Helper::getStrPurchaseType(static_cast<ttservice::ETenderPurchaseType>(source.purchaseType));
        info.bidPrice = source.tenderPrice;
        info.bidAmount = Helper::roundTo4(source.bidAmount);
        info.winBidPrice =
            Helper::getWinBidPrice(type, tenderTarget, source.tenderPrice, marginalPrice, weightedMeanPrice);
        info.winBidAmount = source.winAmount;
        info.operationText = kMixedAddText;
        presenter.showEditableRow(CAllocationMixedData::keyText(row->rowNumber), info, underWriterList,
                                  QString::fromStdString(info.underWriter), true);

        productDataMap.insert(counter, MixedGroup{row});
        model->addData(row);
    }
    // Shown as a click leaves them, once the rows' (empty) underwriter is among the choices.
    noteRowsShown(underWriterList.contains(QString()) ? ERowsShown::Editable : ERowsShown::Unknown, presenter);
    setStoredTotals();
    table->updateTable();
}

void CPanelBondAllocationMixedTable::refreshLoseBidAllocationMixedTable(ProductRowMap& products,
                                                                        ttservice::ETenderingType type)
{
    if (!table || !model)
        return;
    refreshMixedModel();
    CMixedRowPresenter presenter(table);
    double bidSum = 0.0;
    int counter = 0;
    for (const auto& product : qAsConst(products)) {
        if (!product || !product->info)
            continue;
        const CAllocationProductInfo& source = *product->info;
        const CAllocationMixedDataPtr row = newProductRow(++counter, source);
        CAllocationMixedInfo& info = *row->info;
        if (type == ttservice::TT_DUTCH)
            info.bidPrice = ttservice::kInvalidDouble;
        else if (type == ttservice::TT_AMERICAN || type == ttservice::TT_MIXED)
            info.bidPrice = source.tenderPrice;
        info.bidAmount = source.bidAmount;
        info.winBidPrice = 0.0;
        info.winBidAmount = 0.0;
        presenter.showLostRow(CAllocationMixedData::keyText(row->rowNumber), info);
        bidSum += info.bidAmount;
        model->addData(row);
    }
    model->setTotalData(bidSum, 0.0);
    table->updateTable();
}

void CPanelBondAllocationMixedTable::refreshMixedModel()
{
    if (!table || !model)
        return;
    rowsShown = ERowsShown::Unknown;
    rowsEditedSinceShown.clear();
    model->setTotalData(0.0, 0.0);
    model->clear();
    model->clearFilter();
    table->clear();
    table->clearFilter();
    table->clearSort();
    table->updateTable();
}

void CPanelBondAllocationMixedTable::refreshTable()
{
    if (!table || !model)
        return;
    CMixedRowPresenter presenter(table);
    COfferedUnderWriters offered(underWriterList);
    int counter = 0;
    for (const MixedGroup& group : qAsConst(productDataMap)) {
        for (const CAllocationMixedDataPtr& row : group) {
            if (!row || !row->info)
                continue;
            row->rowNumber = ++counter;
            model->addData(row);
            offered.offer(row->info->underWriter);
            presenter.showEditableRow(CAllocationMixedData::keyText(row->rowNumber), *row->info, underWriterList,
                                      offered.text(row->info->underWriter), true);
        }
    }
    // Its underwriter lists may have grown part way: the next click tells every row again.
    rowsShown = ERowsShown::Unknown;
    setStoredTotals();
    table->updateTable();
}

void CPanelBondAllocationMixedTable::initProductName2ProductIdMapWithWinBidInfo(const WinBidDetails& details)
{
    productName2ProductIdMap.clear();
    const ttservice::CWinBidInfoDetail* previous = nullptr;
    for (const auto& detail : details) {
        if (!detail)
            continue;
        // A product's rows mostly follow one another: the same name and id again changes nothing.
        if (previous == nullptr || previous->productId != detail->productId
            || previous->productName != detail->productName)
            productName2ProductIdMap.insert(detail->productName, detail->productId);
        previous = detail.get();
    }
}

void CPanelBondAllocationMixedTable::initProductName2ProductIdMapWithProductData(const ProductRowMap& products)
{
    productName2ProductIdMap.clear();
    for (const auto& product : products) {
        if (product && product->info)
            productName2ProductIdMap.insert(productNameOf(product->info->productId), product->info->productId);
    }
}

} // namespace TC
