#include "CMixedRowPresenter.h"

#include <algorithm>

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

QString marketName(ttservice::ETenderMarket market)
{
    return QString::fromStdString(Helper::getStrTenderTarget(market));
}

QString purchaseTypeName(ttservice::ETenderPurchaseType type)
{
    return QString::fromStdString(Helper::getStrPurchaseType(type));
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

COfferedUnderWriters::COfferedUnderWriters(QStringList& list) : list_(list)
{
    for (int i = 0; i < list.size(); ++i)
        positions_.emplace(list.at(i).toStdString(), i);
}

bool COfferedUnderWriters::offer(const std::string& name)
{
    // Looked up first: most rows name an underwriter offered already, and an emplace would
    // make a node for each of them.
    if (positions_.find(name) != positions_.end())
        return false;
    positions_.emplace(name, list_.size());
    list_.append(QString::fromStdString(name));
    return true;
}

QString COfferedUnderWriters::text(const std::string& name) const
{
    const auto offered = positions_.find(name);
    return offered != positions_.end() ? list_.at(offered->second) : QString::fromStdString(name);
}

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
      emptyText_(QStringLiteral("")),
      sseText_(marketName(ttservice::TM_SSE)),
      szseText_(marketName(ttservice::TM_SZSE)),
      interbankText_(marketName(ttservice::TM_INTERBANK)),
      primaryText_(purchaseTypeName(ttservice::TPT_PRIMARY)),
      secondaryText_(purchaseTypeName(ttservice::TPT_SECONDARY)),
      addText_(QString::fromUtf8(kMixedAddText)),
      deleteText_(QString::fromUtf8(kMixedDeleteText)),
      allProducts_(getUserConfig()->getAllProducts())
{
}

QStringList CMixedRowPresenter::marketChoices()
{
    return {QString(), QStringLiteral("上交所"), QStringLiteral("深交所"), QStringLiteral("银行间")};
}

QStringList CMixedRowPresenter::accountChoices(int market, const std::string& productName)
{
    return accountChoicesOf(market, productName).texts;
}

const CMixedRowPresenter::SAccountChoices& CMixedRowPresenter::accountChoicesOf(int market,
                                                                                const std::string& productName)
{
    if (lastProduct_ == nullptr || productName != lastProductName_) {
        lastProduct_ = &productChoicesOf(productName);
        lastProductName_ = productName;
    }
    std::vector<std::pair<int, SAccountChoices>>& byMarket = lastProduct_->byMarket;
    for (const auto& known : byMarket) {
        if (known.first == market)
            return known.second;
    }
    SAccountChoices choices{{QString()}, {std::string()}};
    if (const auto& product = lastProduct_->product) {
        choices.ids.reserve(product->accounts.size() + 1);
        for (const auto& account : product->accounts) {
            if (account && offeredIn(market, account->accountType)) {
                choices.texts.append(QString::fromStdString(account->accountId));
                choices.ids.push_back(account->accountId);
            }
        }
    }
    byMarket.emplace_back(market, std::move(choices));
    return byMarket.back().second;
}

CMixedRowPresenter::SProductChoices& CMixedRowPresenter::productChoicesOf(const std::string& productName)
{
    const auto known = accountChoices_.find(productName);
    if (known != accountChoices_.end())
        return known->second;
    if (products_.empty()) {
        for (const auto& product : allProducts_) {
            if (product)
                products_.emplace(product->productName, product);   // the first of a name wins
        }
    }
    const auto product = products_.find(productName);
    SProductChoices choices;
    if (product != products_.end())
        choices.product = product->second;
    return accountChoices_.emplace(productName, std::move(choices)).first->second;
}

const QString& CMixedRowPresenter::marketText(int market) const
{
    switch (market) {
    case ttservice::TM_SSE: return sseText_;
    case ttservice::TM_SZSE: return szseText_;
    case ttservice::TM_INTERBANK: return interbankText_;
    default: return emptyText_;
    }
}

QString CMixedRowPresenter::purchaseTypeText(const std::string& purchaseType) const
{
    if (purchaseType.empty())
        return emptyText_;
    switch (Helper::getEPurchaseType(purchaseType)) {
    case ttservice::TPT_PRIMARY: return primaryText_;
    case ttservice::TPT_SECONDARY: return secondaryText_;
    default: return QString::fromStdString(purchaseType);
    }
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
                                         const QStringList& underWriters, const QString& underWriter,
                                         bool volumeVisible)
{
    setChoices(market_, key, marketChoices_, marketText(info.tenderMarket));
    setChoices(purchaseType_, key, purchaseTypeChoices_, purchaseTypeText(info.purchaseType));
    setChoices(underWriter_, key, underWriters, underWriter);
    const SAccountChoices& accounts = accountChoicesOf(info.tenderMarket, info.productName);
    const auto offered = std::find(accounts.ids.begin(), accounts.ids.end(), info.account);
    if (offered == accounts.ids.begin())
        setChoices(account_, key, accounts.texts, emptyText_);
    else if (offered != accounts.ids.end())
        setChoices(account_, key, accounts.texts, accounts.texts.at(static_cast<int>(offered - accounts.ids.begin())));
    else {
        const QString account = QString::fromStdString(info.account);
        setChoices(account_, key, accounts.texts + QStringList{account}, account);
    }
    if (volume_) {
        volume_->setItemVisible(key, volumeVisible);
        volume_->setItemText(key, Helper::format4(info.winBidAmount, flag_));
        volume_->setLineEditable(true);
    }
    if (operation_) {
        operation_->setItemText(key, info.isFixedRow() ? addText_ : deleteText_);
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
