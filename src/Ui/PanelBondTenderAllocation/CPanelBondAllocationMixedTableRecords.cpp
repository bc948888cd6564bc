// Table three's rows as the host stores them: the win-bid details of a save, with the
// products' tender commands, and the record that clears them.
#include "CPanelBondAllocationMixedTable.h"

#include <QSet>
#include <boost/make_shared.hpp>
#include <unordered_map>
#include <unordered_set>

#include "CAllocationMixedModel.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "KZ/ColumnDelegates.h"
#include "KZ/StandardHpfTable.h"
#include "services/HostServices.h"

namespace TC {

namespace {

using Helper = CPanelBondTenderAllocationHelper;

// The bond's tender command ids by product, in the host's order, read once per save.
class CBondCommandIds {
public:
    explicit CBondCommandIds(const std::string& bondCode)
    {
        for (const auto& command : Helper::getTenderCommands()) {
            ttservice::CBondTendersParam param;
            if (Helper::readTenderParam(*command, param) && param.bondCode == bondCode)
                idsByProduct[command->productId].push_back(command->commandId);
        }
    }

    // Appends the product's ids that ids does not hold yet; held mirrors ids.
    void appendOf(int productId, QVector<int>& ids, QSet<int>& held) const
    {
        const auto found = idsByProduct.find(productId);
        if (found == idsByProduct.end())
            return;
        for (const int id : found->second) {
            if (!held.contains(id)) {
                held.insert(id);
                ids.append(id);
            }
        }
    }

private:
    std::unordered_map<int, std::vector<int>> idsByProduct;
};

} // namespace

void CPanelBondAllocationMixedTable::getProductCommandIdVec(int productId, QVector<int>& ids)
{
    QSet<int> held(ids.cbegin(), ids.cend());
    CBondCommandIds(bondCode).appendOf(productId, ids, held);
}

void CPanelBondAllocationMixedTable::placeMixedTableDatas()
{
    if (!model)
        return;
    const CBondCommandIds commands(bondCode);   // the commands as they are at this save
    QVector<int> ids;
    QSet<int> held;
    std::unordered_set<int> productsTaken;   // a product's ids are all taken at its first row
    WinBidDetails records;
    int fixedCount = 0;
    const std::string tradingDay =
        ttservice::getTimeService()->currentDateTime().toString(QStringLiteral("yyyyMMdd")).toStdString();
    const KZ::CBaseTableColumnSimpleTextDelegate* operation = operationDelegate();
    const QString addText = QString::fromUtf8(kMixedAddText);

    const QList<KZ::IBaseHpfTableDataPtr> modelRows = model->getDatas();
    records.reserve(static_cast<std::size_t>(modelRows.size()));
    QString rowKeyText;   // the delegates' key of the row, written over from row to row
    for (const KZ::IBaseHpfTableDataPtr& entry : modelRows) {
        const auto* row = dynamic_cast<const CAllocationMixedData*>(entry.get());
        if (!row || !row->info)
            continue;
        const CAllocationMixedInfo& info = *row->info;
        auto detail = boost::make_shared<ttservice::CWinBidInfoDetail>();
        detail->tradingDay = tradingDay;
        detail->remark.clear();
        detail->portfolioId = ttservice::kInvalidInt;
        detail->productName = info.productName;
        detail->productId = productName2ProductIdMap[info.productName];
        detail->bondCode = bondCode;
        detail->bondName = bondName;
        detail->tenderTarget = tenderTarget;
        detail->winBidPrice = info.winBidPrice;
        detail->account = info.account;
        detail->tenderMarket = info.tenderMarket;
        if (info.tenderMarket == ttservice::TM_SSE || info.tenderMarket == ttservice::TM_SZSE)
            detail->accountTypeText = "证券账号";
        else if (info.tenderMarket == ttservice::TM_INTERBANK)
            detail->accountTypeText = "银行间账号";
        detail->underWriter = info.underWriter;
        // The unit (a fraction of one 0.0001) added before the cut lifts 1.2345 * 10000 =
        // 12344.999... back to 12345.
        detail->winBidAmount = static_cast<int>(info.winBidAmount * 10000.0 + basicTenderUnit);
        detail->bidAmount = info.bidAmount;
        detail->rowKey = row->key();
        if (operation && operation->getText(rowKeyText.setNum(row->rowNumber)) == addText)
            detail->fixedRowIndex = std::to_string(++fixedCount);
        detail->purchaseType = Helper::getEPurchaseType(info.purchaseType);
        detail->bidPrice = info.bidPrice;
        if (productsTaken.insert(detail->productId).second)
            commands.appendOf(detail->productId, ids, held);
        records.push_back(std::move(detail));
    }
    ttservice::CTradeClient::instance()->updateTenderCmds_async(ttservice::TOP_SAVE_WIN_BID,
                                                                std::vector<int>(ids.cbegin(), ids.cend()), records);
}

void CPanelBondAllocationMixedTable::clearMixedTableBackStageData()
{
    auto clearing = boost::make_shared<ttservice::CWinBidInfoDetail>();
    clearing->bondCode = bondCode;
    clearing->productId = ttservice::kInvalidInt;
    clearing->productName.clear();
    ttservice::CTradeClient::instance()->updateTenderCmds_async(ttservice::TOP_SAVE_WIN_BID, std::vector<int>(),
                                                                WinBidDetails{clearing});
}

} // namespace TC
