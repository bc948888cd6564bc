#include "CMixedRowPresenter.h"

#include "CAllocationMixedData.h"
#include "CAllocationMixedInfo.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "KZ/ColumnDelegates.h"
#include "KZ/StandardHpfTable.h"
#include "TC/AutoLineEditDelegate.h"
#include "services/HostServices.h"

namespace TC {

namespace {

using Helper = CPanelBondTenderAllocationHelper;

// The host's account types: an exchange account trades in the exchanges' markets, an
// interbank account in the interbank market.
constexpr int kExchangeAccount = 2;
constexpr int kInterbankAccount = 15002;

const QString kOperationColor = QStringLiteral("clr_global_fall");
const QString kDisabledColor = QStringLiteral("clr_disable_color");

QString marketText(int market)
{
    return QString::fromStdString(Helper::getStrTenderTarget(static_cast<ttservice::ETenderMarket>(market)));
}

QStringList purchaseTypeChoices()
{
    return {QString(), QStringLiteral("一级分销"), QStringLiteral("二级上市")};
}

bool offeredIn(int market, int accountType)
{
    if (market == ttservice::TM_INTERBANK)
        return accountType == kInterbankAccount;
    if (market == ttservice::TM_SSE || market == ttservice::TM_SZSE)
        return accountType == kExchangeAccount;
    return false;
}

template <class Delegate>
Delegate* delegateOf(const KZ::CStandardHpfTable* table, int column)
{
    return table ? dynamic_cast<Delegate*>(table->columnDelegate(column)) : nullptr;
}

} // namespace

CMixedRowPresenter::CMixedRowPresenter(const KZ::CStandardHpfTable* table)
    : market_(delegateOf<CBaseTableColumnAutoLineEditDelegate>(table, CAllocationMixedData::COL_MARKET)),
      purchaseType_(delegateOf<CBaseTableColumnAutoLineEditDelegate>(table, CAllocationMixedData::COL_PURCHASE_TYPE)),
      underWriter_(delegateOf<CBaseTableColumnAutoLineEditDelegate>(table, CAllocationMixedData::COL_UNDERWRITER)),
      account_(delegateOf<CBaseTableColumnAutoLineEditDelegate>(table, CAllocationMixedData::COL_ACCOUNT)),
      volume_(delegateOf<KZ::CBaseTableColumnLineeditDelegate>(table, CAllocationMixedData::COL_WIN_AMOUNT)),
      operation_(delegateOf<KZ::CBaseTableColumnSimpleTextDelegate>(table, CAllocationMixedData::COL_OPERATION)),
      flag_(getUserConfig()->getSegmentedFormatFlag()),
      marketChoices_(marketChoices()),
      purchaseTypeChoices_(purchaseTypeChoices()),
      allProducts_(getUserConfig()->getAllProducts())
{
}

QStringList CMixedRowPresenter::marketChoices()
{
    return {QString(), QStringLiteral("上交所"), QStringLiteral("深交所"), QStringLiteral("银行间")};
}

QStringList CMixedRowPresenter::accountChoices(int market, const std::string& productName)
{
    std::string lookup = std::to_string(market);
    lookup += '|';
    lookup += productName;
    const auto known = accountChoices_.find(lookup);
    if (known != accountChoices_.end())
        return known->second;
    if (products_.empty()) {
        for (const auto& product : allProducts_) {
            if (product)
                products_.emplace(product->productName, product);   // the first of a name wins
        }
    }
    QStringList choices{QString()};
    const auto product = products_.find(productName);
    if (product != products_.end()) {
        for (const auto& account : product->second->accounts) {
            if (account && offeredIn(market, account->accountType))
                choices.append(QString::fromStdString(account->accountId));
        }
    }
    accountChoices_.emplace(std::move(lookup), choices);
    return choices;
}

void CMixedRowPresenter::setChoices(CBaseTableColumnAutoLineEditDelegate* delegate, const QString& key,
                                    const QStringList& items, const QString& current)
{
    if (!delegate)
        return;
    delegate->setItems(key, items, {});
    delegate->setCurItem(key, current, -1);
}

void CMixedRowPresenter::showEditableRow(const QString& key, const CAllocationMixedInfo& info,
                                         const QStringList& underWriters, bool volumeVisible)
{
    setChoices(market_, key, marketChoices_, marketText(info.tenderMarket));
    setChoices(purchaseType_, key, purchaseTypeChoices_, QString::fromStdString(info.purchaseType));
    setChoices(underWriter_, key, underWriters, QString::fromStdString(info.underWriter));
    const QString account = QString::fromStdString(info.account);
    QStringList accounts = accountChoices(info.tenderMarket, info.productName);
    if (!accounts.contains(account))
        accounts.append(account);
    setChoices(account_, key, accounts, account);
    if (volume_) {
        volume_->setItemVisible(key, volumeVisible);
        volume_->setItemText(key, Helper::format4(info.winBidAmount, flag_));
        volume_->setLineEditable(true);
    }
    if (operation_) {
        operation_->setItemText(key, QString::fromUtf8(info.isFixedRow() ? kMixedAddText : kMixedDeleteText));
        operation_->setItemColorKey(key, kOperationColor, true);
        operation_->setItemEnabled(key, true, true);
    }
}

void CMixedRowPresenter::showStoredRowEditable(const QString& key, const QStringList& underWriters)
{
    if (underWriter_)
        underWriter_->setItems(key, underWriters, {});
    if (volume_)
        volume_->setItemVisible(key, true);
}

void CMixedRowPresenter::showLostRow(const QString& key, const CAllocationMixedInfo& info)
{
    // The market column keeps its choices: a lost bid chooses nothing there.
    if (purchaseType_)
        purchaseType_->setItems(key, {QString::fromStdString(info.purchaseType)}, {});
    if (underWriter_)
        underWriter_->setItems(key, {QString::fromStdString(info.underWriter)}, {});
    if (account_)
        account_->setItems(key, {QString::fromStdString(info.account)}, {});
    if (volume_) {
        volume_->setItemText(key, Helper::format4(0.0, flag_));
        volume_->setLineEditable(false);
    }
    if (operation_) {
        operation_->setItemText(key, QString());
        operation_->setItemColorKey(key, kOperationColor, true);
        operation_->setItemEnabled(key, false, false);
    }
}

void CMixedRowPresenter::showLockedRow(const QString& key, const CAllocationMixedInfo& info)
{
    if (market_)
        market_->setItems(key, {marketText(info.tenderMarket)}, {});
    if (purchaseType_)
        purchaseType_->setItems(key, {QString::fromStdString(info.purchaseType)}, {});
    if (underWriter_)
        underWriter_->setItems(key, {QString::fromStdString(info.underWriter)}, {});
    if (volume_) {
        volume_->setItemVisible(key, false);
        volume_->setLineEditable(false);
    }
    if (account_)
        account_->setItems(key, {QString::fromStdString(info.account)}, {});
    if (operation_) {
        operation_->setItemEnabled(key, false, false);
        operation_->setItemColorKey(key, kDisabledColor, true);
    }
}

} // namespace TC
