#include "CPanelBondTenderAllocationPanel.h"

#include <QAbstractButton>
#include <QStringList>
#include <boost/bind/bind.hpp>
#include <boost/format.hpp>
#include <boost/thread/locks.hpp>
#include <algorithm>
#include <log4cxx/logger.h>
#include <sstream>

#include "KZ/Format.h"
#include "KZ/MessageBox.h"
#include "KZ/Widgets.h"
#include "services/LogCentre.h"

#include "CAllocationMixedModel.h"
#include "CAllocationProductData.h"
#include "CPanelBondAllocationButtonTable.h"
#include "CPanelBondAllocationHeadTable.h"
#include "CPanelBondAllocationMixedTable.h"
#include "CPanelBondAllocationProductTable.h"
#include "CPanelBondAllocationUnderWriteTable.h"
#include "CPanelBondTenderAllocationHelper.h"

namespace TC {

namespace {

using Helper = CPanelBondTenderAllocationHelper;

const char* const kPanelName = "btdallo";
const char* const kOnTimerName = "TC::CPanelBondTenderAllocationPanel::onTimer";
const char* const kClearName = "TC::CPanelBondTenderAllocationPanel::clear";

// Table id and record type of the hidden win-bid table.
constexpr int kWinBidTableId = 445;

// Event senders of the panel's children.
enum ESender {
    SENDER_RESULT_WON = 10,
    SENDER_RESULT_LOST = 11,
    SENDER_MARGINAL_PRICE = 12,
    SENDER_WEIGHTED_MEAN_PRICE = 13,
    SENDER_HEAD_SAVE = 15,
    SENDER_SAVE = 32,
    SENDER_FAIR_ALLOCATION = 33,
    SENDER_RETURN_TO_EXECUTION = 34,
};

// Debug ids of the log centre.
constexpr int kDbgTimerBegin = 54;
constexpr int kDbgTimerEnd = 53;
constexpr int kDbgUnsubscribe = 50;

constexpr int kAnchorFill = 3;
constexpr int kHintFlag = 1;
constexpr int kListHeight = 680;

bool debugLineEnabled(int debugId)
{
    ttservice::CLogCentre* log = ttservice::CLogCentre::instance();
    return log->fileLogEnabled(debugId) && log->logEnabled();
}

QString qs(const char* utf8) { return QString::fromUtf8(utf8); }

} // namespace

// ---------------------------------------------------------------- construction

CPanelBondTenderAllocationPanel::CPanelBondTenderAllocationPanel(int panelType, QWidget* parent)
    : ITradeDockableWidget(qs(kPanelName), panelType, ITradeDockableWidget::getDockWidgetInfo(qs(kPanelName)), parent)
{
    createUi(panelType, parent);
}

CPanelBondTenderAllocationPanel::~CPanelBondTenderAllocationPanel()
{
    clear();
    QObject::disconnect(this, nullptr, nullptr, nullptr);
    // Dropping a handle waits for its delivery in progress; afterwards no delivery can
    // reach this panel any more.
    accountSubscriptions.clear();
    boost::unique_lock<boost::shared_mutex> noDeliveryRunning(deliveryLock);
}

void CPanelBondTenderAllocationPanel::createUi(int panelType, QWidget* parent)
{
    auto* hiddenList = new KZ::CWidgetList(Qt::Vertical, this);
    hiddenList->setMargin(0, 0, 0, 0);
    hiddenList->setSpacing(0);
    winBidDetailTable = new CHpfDataTable(kWinBidTableId, ttservice::RT_WIN_BID_DETAIL, this);
    hiddenList->addStretchWidget(winBidDetailTable, 1, kAnchorFill, false);
    setInnerStretchWidget(hiddenList, 0, 0, 0, 0);
    hiddenList->hide();

    auto* scrollArea = new KZ::CScrollArea(this);
    auto* list = new KZ::CWidgetList(Qt::Vertical, scrollArea);
    list->setFixedHeight(kListHeight);
    list->setMargin(10, 0, 0, 0);

    headTable = new CPanelBondAllocationHeadTable(panelType, parent);
    list->addFixedWidget(headTable, kAnchorFill, false);
    underWriteTable = new CPanelBondAllocationUnderWriteTable(panelType, parent);
    list->addFixedWidget(underWriteTable, kAnchorFill, false);
    list->addFixedSpace(10);
    productTable = new CPanelBondAllocationProductTable(panelType, parent);
    list->addFixedWidget(productTable, kAnchorFill, false);
    productButtonBar = new CPanelBondAllocationButtonTable(panelType, parent);
    productButtonBar->createProductInfoButton();
    list->addFixedWidget(productButtonBar, kAnchorFill, false);
    list->addFixedSpace(20);
    mixedTable = new CPanelBondAllocationMixedTable(panelType, parent);
    list->addFixedWidget(mixedTable, kAnchorFill, false);
    mixedButtonBar = new CPanelBondAllocationButtonTable(panelType, parent);
    mixedButtonBar->createMixedInfoButton();
    list->addFixedWidget(mixedButtonBar, kAnchorFill, false);

    // The list keeps its fixed height; its width follows the widest area, and the
    // scroll area scrolls when the dock is smaller than that.
    list->setMinimumWidth(list->sizeHint().width());
    scrollArea->setWidget(list);
    scrollArea->setWidgetResizable(true);
    setInnerStretchWidget(scrollArea, 0, 0, 0, 0);
}

bool CPanelBondTenderAllocationPanel::hasAllChildren() const
{
    return headTable && productButtonBar && mixedButtonBar && underWriteTable && productTable && mixedTable;
}

// ---------------------------------------------------------------- host operations

void CPanelBondTenderAllocationPanel::setParam(const QString& param)
{
    const QStringList parts = param.split(QLatin1Char('|'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (!parts.isEmpty() && winBidDetailTable)
        winBidDetailTable->loadConfigStr(parts.first());
}

QString CPanelBondTenderAllocationPanel::param() const
{
    QStringList parts;
    parts << (winBidDetailTable ? winBidDetailTable->saveConfigStr() : QString());
    return parts.join(QLatin1Char('|'));
}

void CPanelBondTenderAllocationPanel::release()
{
    ITradeDockableWidget::release();
}

void CPanelBondTenderAllocationPanel::setTradeType(ttservice::EVnTraderType type)
{
    if (type == tradeType() || !winBidDetailTable)
        return;
    ITradeDockableWidget::setTradeType(type);
    winBidDetailTable->setTradeType(type);
    refreshAccounts();
}

void CPanelBondTenderAllocationPanel::refreshAccounts()
{
    requestAccount(ttservice::CAccountInfo());
}

void CPanelBondTenderAllocationPanel::requestAccount(const ttservice::CAccountInfo& account)
{
    const boost::shared_ptr<ttservice::CAccountData> data = accountData();
    if (!data)
        return;

    ttservice::IDataList records;
    {
        ttservice::CAccountData::Lock lock(data);
        records = data->getDatas(ttservice::RT_WIN_BID_DETAIL);
    }
    if (!records.empty() && winBidDetailTable) {
        const UserProducts products = userProducts();
        for (const ttservice::IDataPtr& record : records) {
            auto detail = boost::dynamic_pointer_cast<ttservice::CWinBidInfoDetail>(record);
            if (detail && isUserProduct(products, detail->productId))
                doUpdateTabelData(detail);
        }
        winBidDetailTable->updateTable();
    }

    namespace ph = boost::placeholders;
    ttservice::CSubscriptionPtr handle = data->subscribe(
        ttservice::RT_WIN_BID_DETAIL, std::string(),
        boost::bind(&CPanelBondTenderAllocationPanel::onPositionStat, this, ph::_1));
    if (handle)
        accountSubscriptions[account.getKey()] = handle;
}

void CPanelBondTenderAllocationPanel::onPositionStat(const boost::shared_ptr<ttservice::IData>& data)
{
    boost::shared_lock<boost::shared_mutex> delivering(deliveryLock);
    if (!data)
        return;
    PendingKey key(data->getKey(), std::string());
    boost::lock_guard<boost::mutex> guard(pendingKeysMutex);
    pendingDataKeys.insert(std::move(key));
}

void CPanelBondTenderAllocationPanel::onTimer(ETimerUpdateFlags flags)
{
    Q_UNUSED(flags);
    const double start = utils::clock();
    if (debugLineEnabled(kDbgTimerBegin)) {
        const std::string text = (boost::format("%1% begin.") % kOnTimerName).str();
        LOG4CXX_DEBUG(ttservice::CLogCentre::instance()->debugLogger(),
                      (boost::format("[dbg_id=%1%] %2%") % kDbgTimerBegin % text).str());
    }

    PendingKeySet keys;
    {
        boost::lock_guard<boost::mutex> guard(pendingKeysMutex);
        keys.swap(pendingDataKeys);
    }
    doUpdateStatMap(keys);
    if (winBidDetailTable)
        winBidDetailTable->updateTable();

    if (debugLineEnabled(kDbgTimerEnd))
        ttservice::CLogCentre::instance()->ttDbgLogNew(kDbgTimerEnd, "%s end, time = %.2f msec.", kOnTimerName,
                                                       (utils::clock() - start) * 1000.0);
}

void CPanelBondTenderAllocationPanel::doUpdateStatMap(PendingKeySet& keys)
{
    if (!winBidDetailTable)
        return;
    const boost::shared_ptr<ttservice::CAccountData> data = accountData();
    if (!data)
        return;
    const UserProducts products = userProducts();
    std::vector<boost::shared_ptr<ttservice::CWinBidInfoDetail>> changed;
    for (const PendingKey& key : keys) {
        auto detail = boost::dynamic_pointer_cast<ttservice::CWinBidInfoDetail>(
            data->getData(ttservice::RT_WIN_BID_DETAIL, key.first));
        if (detail && isUserProduct(products, detail->productId))
            changed.push_back(detail);
    }
    for (const auto& detail : changed)
        doUpdateTabelData(detail);
}

void CPanelBondTenderAllocationPanel::doUpdateTabelData(boost::shared_ptr<ttservice::CWinBidInfoDetail> record)
{
    if (record && winBidDetailTable)
        winBidDetailTable->updateDataFixColor(record, KZ::getStockColorKey(0.0, 0.0), false);
}

void CPanelBondTenderAllocationPanel::moneyUnitChange()
{
    if (winBidDetailTable)
        winBidDetailTable->updateTable();
}

void CPanelBondTenderAllocationPanel::clear()
{
    const log4cxx::LoggerPtr standard = ttservice::CLogCentre::instance()->standardLogger();
    if (standard && standard->isInfoEnabled()) {
        std::ostringstream line;
        line << "[" << static_cast<const void*>(this) << "] [" << kClearName << "] " << "clear positions";
        LOG4CXX_INFO(standard, line.str());
    }
    if (winBidDetailTable)
        winBidDetailTable->clear();
    if (debugLineEnabled(kDbgUnsubscribe))
        ttservice::CLogCentre::instance()->ttDbgLogNew(
            kDbgUnsubscribe, "CPanelBondTenderAllocationPanel (%p) unsubscribe all.", static_cast<void*>(this));
    ITradeDockableWidget::clear();
}

void CPanelBondTenderAllocationPanel::slotNewTradingDay(std::string day)
{
    Q_UNUSED(day);
    clear();
    refreshAccounts();
}

boost::shared_ptr<ttservice::CAccountData> CPanelBondTenderAllocationPanel::accountData()
{
    ttservice::CDataCenter* center = ttservice::TraderCenter::instance()->getDataCenter();
    return center ? center->getAccountData(std::string()) : boost::shared_ptr<ttservice::CAccountData>();
}

// Read once per tick or account request; a record counts when the host's product of its
// id is one of these very objects.
CPanelBondTenderAllocationPanel::UserProducts CPanelBondTenderAllocationPanel::userProducts()
{
    UserProducts products;
    for (const auto& product : getUserConfig()->getAllProducts()) {
        if (product)
            products.insert(product.get());
    }
    return products;
}

bool CPanelBondTenderAllocationPanel::isUserProduct(const UserProducts& products, int productId)
{
    const boost::shared_ptr<ttservice::CProduct> product = getUserConfig()->getProductByID(productId);
    return product && products.count(product.get()) > 0;
}

// ---------------------------------------------------------------- events

bool CPanelBondTenderAllocationPanel::handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam,
                                                  void* pParam)
{
    switch (nEventID) {
    case KZ::EVT_HEAD_RESULT_CHOSEN:
        if (nSenderID == SENDER_RESULT_WON)
            refreshWinBidAllocationPanel(false, std::string(), 0.0);
        else if (nSenderID == SENDER_RESULT_LOST)
            refreshLoseBidAllocationPanel();
        return true;
    case KZ::EVT_PARAM_CELL_EDITED:
        if ((nSenderID == SENDER_MARGINAL_PRICE || nSenderID == SENDER_WEIGHTED_MEAN_PRICE) && headTable
            && headTable->isControllorEnable())
            refreshWinBidAllocationPanel(true, std::string(), 0.0);
        handleButtonEvent(nSenderID);
        return true;
    case KZ::EVT_BUTTON_CLICKED:
        handleButtonEvent(nSenderID);
        return true;
    default:
        return KZ::CBaseWidget::handleEvent(nEventID, nSenderID, nIntParam, qsParam, pParam);
    }
}

void CPanelBondTenderAllocationPanel::handleButtonEvent(int nSenderID)
{
    switch (nSenderID) {
    case SENDER_FAIR_ALLOCATION: startFairAllocation(); break;
    case SENDER_HEAD_SAVE: saveHeadTableOnly(); break;
    case SENDER_SAVE: saveAllTables(); break;
    case SENDER_RETURN_TO_EXECUTION: handleReturnExecutionPanelOperation(); break;
    default: break;
    }
}

// ---------------------------------------------------------------- message boxes and signals

bool CPanelBondTenderAllocationPanel::hintsEnabled() const
{
    ttservice::CUserConfig* config = getUserConfig();
    ttservice::CTradeSetting* setting = config->getTradeSetting();
    return (setting && setting->testHintBeforeOrderFlag(kHintFlag)) || config->testGlobalOrderHint(kHintFlag);
}

void CPanelBondTenderAllocationPanel::showTips(QString& message)
{
    if (hintsEnabled())
        KZ::CMessageBox::critical(0, this, qs("检查错误"), message, KZ::CMessageBox::Ok, KZ::CMessageBox::NoButton,
                                  false);
}

void CPanelBondTenderAllocationPanel::showTips(QString title, QString& message)
{
    if (hintsEnabled())
        KZ::CMessageBox::information(0, this, title, message, KZ::CMessageBox::Ok, KZ::CMessageBox::NoButton, false);
}

void CPanelBondTenderAllocationPanel::emitWinBidAmount(double amount)
{
    emit sigRefreshBondTenderWinBidAmount(KZ::sToQs(bondCode + "|" + Helper::printF(amount)));
}

// ---------------------------------------------------------------- views

void CPanelBondTenderAllocationPanel::onInitHeadTableDatas(
    const std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocParams>>& params)
{
    if (!headTable)
        return;
    headTable->setMarginalPrice(0);
    headTable->setWeightedMeanPrice(0);
    headTable->setCouponRate(0);
    headTable->setStep(basicTenderUnit);
    for (const auto& p : params) {
        if (!p)
            continue;
        headTable->setMarginalPrice(p->marginalPrice);
        headTable->setWeightedMeanPrice(p->weightedMeanPrice);
        headTable->setCouponRate(p->couponRate);
        break;
    }
}

void CPanelBondTenderAllocationPanel::onInitUnderWriterTableDatas(
    const std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocUnderWriterInfo>>& rows, double marginal,
    double weighted, ttservice::ETenderTarget target, ttservice::ETenderingType type, double unit)
{
    if (underWriteTable)
        underWriteTable->updateUnderWriterTableDatas(rows, marginal, weighted, target, type, bondCode, unit);
}

void CPanelBondTenderAllocationPanel::onInitProductTableDatas(
    const std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocProductInfo>>& rows, double marginal,
    ttservice::ETenderingType type, ttservice::ETenderTarget target, double unit)
{
    if (productTable)
        productTable->updateProductTableDatas(rows, marginal, bondCode, type, unit, target);
}

void CPanelBondTenderAllocationPanel::onInitMixedTableDatas(
    const std::vector<boost::shared_ptr<ttservice::CWinBidInfoDetail>>& rows, double marginal, double weighted,
    QStringList& underWriters, ttservice::ETenderTarget target, ttservice::ETenderingType type, double unit,
    std::string name)
{
    if (mixedTable)
        mixedTable->updateMixedTableDatas(rows, marginal, weighted, bondCode, underWriters, target, type, unit, name);
}

namespace {

// Where the bond has no tender command: the target of its first execution report.
ttservice::ETenderTarget tenderTargetFromReports(const std::string& code)
{
    for (const auto& report : ttservice::CBondTerderDataManager::instance()->getBtExecInternalReportInfo(code)) {
        if (report)
            return static_cast<ttservice::ETenderTarget>(report->tenderTarget);
    }
    return ttservice::TTG_NONE;
}

// Where the bond has no tender command: the type of its first stored underwriter row.
ttservice::ETenderingType tenderingTypeFromUnderWriterRows(const std::string& code)
{
    for (const auto& row : ttservice::CBondTerderDataManager::instance()->getBtAllocUnderWriterInfo(code)) {
        if (row)
            return static_cast<ttservice::ETenderingType>(row->tenderingType);
    }
    return ttservice::TT_NONE;
}

} // namespace

ttservice::ETenderTarget CPanelBondTenderAllocationPanel::getETenderTarget(std::string code) const
{
    if (const auto param = CPanelBondTenderAllocationHelper::getFirstTenderParam(code))
        return static_cast<ttservice::ETenderTarget>(param->tenderTarget);
    return tenderTargetFromReports(code);
}

ttservice::ETenderingType CPanelBondTenderAllocationPanel::getETenderingType(std::string code) const
{
    if (const auto param = CPanelBondTenderAllocationHelper::getFirstTenderParam(code))
        return static_cast<ttservice::ETenderingType>(param->tenderingType);
    return tenderingTypeFromUnderWriterRows(code);
}

// Finding the bond's first command means going through the host's command list: a load
// that needs both answers goes through it once.
CPanelBondTenderAllocationPanel::STenderKind CPanelBondTenderAllocationPanel::getTenderKind(
    const std::string& code) const
{
    if (const auto param = CPanelBondTenderAllocationHelper::getFirstTenderParam(code))
        return {static_cast<ttservice::ETenderTarget>(param->tenderTarget),
                static_cast<ttservice::ETenderingType>(param->tenderingType)};
    return {tenderTargetFromReports(code), tenderingTypeFromUnderWriterRows(code)};
}

double CPanelBondTenderAllocationPanel::getBackGroundMarginalPrice(
    const std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocParams>>& params) const
{
    for (const auto& p : params) {
        if (p)
            return p->marginalPrice;
    }
    return 0.0;
}

std::string CPanelBondTenderAllocationPanel::getBondNameFromProductData(
    const std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocProductInfo>>& rows) const
{
    return (!rows.empty() && rows[0]) ? rows[0]->bondName : std::string();
}

std::string CPanelBondTenderAllocationPanel::getBondNameFromInternalReportData(
    const std::vector<boost::shared_ptr<ttservice::CIBondTenderExecInternalReportInfo>>& reports) const
{
    return (!reports.empty() && reports[0]) ? reports[0]->bondName : std::string();
}

void CPanelBondTenderAllocationPanel::getMixedTableUnderWriterQsList(QStringList& out, std::string code) const
{
    out.append(QString());
    for (const auto& report : ttservice::CBondTerderDataManager::instance()->getBtExecExternalReportInfo(code)) {
        if (report)
            out.append(KZ::sToQs(report->underWriterName));
    }
}

void CPanelBondTenderAllocationPanel::refreshWinBidAllocationPanel(bool keepHead, std::string code, double unit)
{
    if (!hasAllChildren())
        return;
    if (!code.empty())
        bondCode = code;
    if (!Helper::isZero(unit))
        basicTenderUnit = unit;

    headTable->showWinBidHeadTable();
    productButtonBar->refreshAllocationProductTableButton(true);
    mixedButtonBar->refreshAllocationMixedTableButton(true, true);
    headTable->refreshAllocationHeadTableButton(false);

    ttservice::CBondTerderDataManager* manager = ttservice::CBondTerderDataManager::instance();
    const auto params = manager->getBtAllocParams(bondCode);
    if (!keepHead)
        onInitHeadTableDatas(params);
    // An edited head value wins over the stored one.
    const double marginal = headTable->getMarginalPrice();
    const double weighted = headTable->getWeightedMeanPrice();

    const auto productRows = manager->getBtProductInfo(bondCode);
    const auto accountRows = manager->getWinBidInfo(bondCode);
    const auto underWriterRows = manager->getBtAllocUnderWriterInfo(bondCode);
    const STenderKind kind = getTenderKind(bondCode);
    const ttservice::ETenderTarget target = kind.target;
    tenderingType = kind.type;
    bondName = getBondNameFromProductData(productRows);
    QStringList underWriters;
    getMixedTableUnderWriterQsList(underWriters, bondCode);

    onInitUnderWriterTableDatas(underWriterRows, marginal, weighted, target, tenderingType, basicTenderUnit);
    onInitProductTableDatas(productRows, marginal, tenderingType, target, basicTenderUnit);
    onInitMixedTableDatas(accountRows, marginal, weighted, underWriters, target, tenderingType, basicTenderUnit,
                          bondName);

    // Where nothing was stored yet, start from the tender execution reports.
    if (!underWriteTable->isUnderWriterTableHasData())
        underWriteTable->refreshWinBidAllocationUnderWriteTable(manager->getBtExecExternalReportInfo(bondCode),
                                                               tenderingType, weighted);
    if (!productTable->isProductTableHasData()) {
        const auto reports = manager->getBtExecInternalReportInfo(bondCode);
        bondName = getBondNameFromInternalReportData(reports);
        productTable->refreshWinBidAllocationProductTable(reports);
    }
    if (!mixedTable->isMixedTableHasData()) {
        auto products = productTable->getRowNum2ProductData();
        mixedTable->refreshWinBidAllocationMixedTable(products, tenderingType, bondName);
    }

    lockPanelOnLockDate();
}

void CPanelBondTenderAllocationPanel::showLoseBidTables(ttservice::ETenderingType type)
{
    ttservice::CBondTerderDataManager* manager = ttservice::CBondTerderDataManager::instance();
    underWriteTable->refreshLoseBidAllocationUnderWriteTable(manager->getBtExecExternalReportInfo(bondCode), type);
    productTable->refreshLoseBidAllocationProductTable(manager->getBtExecInternalReportInfo(bondCode), type);
    auto products = productTable->getRowNum2ProductData();
    mixedTable->refreshLoseBidAllocationMixedTable(products, type);
}

void CPanelBondTenderAllocationPanel::refreshLoseBidAllocationPanel()
{
    if (!hasAllChildren())
        return;
    headTable->showLoseBidHeadTable();
    productButtonBar->refreshAllocationProductTableButton(false);
    mixedButtonBar->refreshAllocationMixedTableButton(false, true);
    headTable->refreshAllocationHeadTableButton(true);
    onInitHeadTableDatas(ttservice::CBondTerderDataManager::instance()->getBtAllocParams(bondCode));
    showLoseBidTables(tenderingType);
}

void CPanelBondTenderAllocationPanel::refreshSettleStatusBond(std::string code, double unit)
{
    if (!hasAllChildren())
        return;
    bondCode = code;
    ttservice::CBondTerderDataManager* manager = ttservice::CBondTerderDataManager::instance();
    const auto params = manager->getBtAllocParams(bondCode);
    const auto underWriterRows = manager->getBtAllocUnderWriterInfo(bondCode);
    const auto productRows = manager->getBtProductInfo(bondCode);
    const auto accountRows = manager->getWinBidInfo(bondCode);

    const double storedMarginal = getBackGroundMarginalPrice(params);
    onInitHeadTableDatas(params);
    if (Helper::isZero(storedMarginal)) {
        headTable->showLoseBidHeadTable();
        showLoseBidTables(getETenderingType(bondCode));
    } else {
        headTable->showWinBidHeadTable();
        const double marginal = headTable->getMarginalPrice();
        const double weighted = headTable->getWeightedMeanPrice();
        const ttservice::ETenderTarget target = getETenderTarget(bondCode);
        const ttservice::ETenderingType type = getETenderingType(bondCode);
        const std::string name = getBondNameFromProductData(productRows);
        QStringList underWriters;
        getMixedTableUnderWriterQsList(underWriters, bondCode);
        onInitUnderWriterTableDatas(underWriterRows, marginal, weighted, target, type, unit);
        onInitProductTableDatas(productRows, marginal, type, target, unit);
        onInitMixedTableDatas(accountRows, marginal, weighted, underWriters, target, type, unit, name);
    }
    lockPanel();
}

void CPanelBondTenderAllocationPanel::lockPanel()
{
    headTable->disableBidHeadTable();
    productButtonBar->refreshAllocationProductTableButton(false);
    mixedButtonBar->refreshAllocationMixedTableButton(false, false);
    underWriteTable->disableUnderWriterTableDelegate();
    productTable->disableProductTableDelegate();
    mixedTable->disableMixedTableDelegate();
}

void CPanelBondTenderAllocationPanel::lockPanelOnLockDate()
{
    const boost::shared_ptr<ttservice::CTenderBondInfoDetail> detail =
        ttservice::CExchangeClient::instance()->getTenderBondInfoDetailPtr(bondCode);
    if (detail && ttservice::getTimeService()->currentDateTime().toString(QStringLiteral("yyyyMMdd")).toStdString()
                      == detail->lockDate)
        lockPanel();
}

void CPanelBondTenderAllocationPanel::clearAllocationPanel()
{
    if (headTable) {
        headTable->showWinBidHeadTable();
        headTable->setMarginalPrice(0);
        headTable->setWeightedMeanPrice(0);
        headTable->setCouponRate(0);
        headTable->disableBidHeadTable();
    }
    if (underWriteTable)
        underWriteTable->refreshUnderWriterModel();
    if (productTable)
        productTable->refreshProductModel();
    if (mixedTable)
        mixedTable->refreshMixedModel();
    if (productButtonBar)
        productButtonBar->refreshAllocationProductTableButton(false);
    if (mixedButtonBar)
        mixedButtonBar->refreshAllocationMixedTableButton(false, false);
}

// ---------------------------------------------------------------- actions

void CPanelBondTenderAllocationPanel::startFairAllocation()
{
    if (Helper::isZero(basicTenderUnit)) {
        QString message = qs("基本投标单位为0,无法进行公平分配!");
        showTips(message);
        return;
    }
    if (bondCode.empty()) {
        QString message = qs("没有债券信息,无法进行公平分配!");
        showTips(message);
        return;
    }
    refreshAllocationPanelWithFairAlloc();
}

void CPanelBondTenderAllocationPanel::refreshAllocationPanelWithFairAlloc()
{
    if (!underWriteTable || !productTable)
        return;
    productTable->refreshFairWinBidAllocationProductTable(underWriteTable->getTotalBidAmount());
}

void CPanelBondTenderAllocationPanel::saveHeadTableOnly()
{
    if (!headTable)
        return;
    QString message;
    if (!headTable->check(message, bondCode, tenderingType)) {
        showTips(message);
        return;
    }
    headTable->placeHeadTableDatas(bondCode);
    emitWinBidAmount(0.0);
    QString saved = qs("保存成功!");
    showTips(qs("中标分配参数信息"), saved);
}

void CPanelBondTenderAllocationPanel::saveAllTables()
{
    if (!headTable || !underWriteTable || !productTable || !mixedTable)
        return;
    const double totalBid = underWriteTable->getTotalBidAmount();
    auto underWriterRows = underWriteTable->getUnderWriterData();
    auto products = productTable->getRowNum2ProductData();

    QString message;
    const bool valid = headTable->check(message, bondCode, tenderingType) && underWriteTable->check(message)
                       && productTable->check(totalBid, message)
                       && mixedTable->check(totalBid, message, products, underWriterRows, tenderingType);
    if (!valid) {
        showTips(message);
        return;
    }

    headTable->placeHeadTableDatas(bondCode);
    underWriteTable->placeUnderWriteTableDatas();
    productTable->placeProductTableDatas();
    mixedTable->placeMixedTableDatas();

    CAllocationMixedModel* model = mixedTable->getAllocationMixedModel();
    emitWinBidAmount(model ? model->getTotalWinBidAmount() : 0.0);
    QString saved = qs("保存成功!");
    showTips(qs("中标分配信息"), saved);
}

void CPanelBondTenderAllocationPanel::handleReturnExecutionPanelOperation()
{
    if (!hasAllChildren())
        return;
    const int answer = KZ::CMessageBox::question(
        0, this, qs("提示"), qs("返回执行投标后,中标分配面板数据将会重置,确定返回执行投标?"),
        KZ::CMessageBox::Ok | KZ::CMessageBox::Cancel, KZ::CMessageBox::NoButton, false);
    if (answer != KZ::CMessageBox::Ok)
        return;

    headTable->clearHeadTableBackStageData(bondCode);
    underWriteTable->clearUnderWriterTableBackStageData();
    productTable->clearProductTableBackStageData();
    mixedTable->clearMixedTableBackStageData();

    headTable->setMarginalPrice(0);
    headTable->setWeightedMeanPrice(0);
    headTable->setCouponRate(0);
    underWriteTable->refreshUnderWriterModel();
    productTable->refreshProductModel();
    mixedTable->refreshMixedModel();
    lockPanel();

    ttservice::CInstrumentsHelper::updateCommandStatus(ttservice::OCS_RETURN_TO_EXECUTION, bondCode);
    emit sigBondExecutionShowTab(
        KZ::sToQs(bondCode + "|") + KZ::formatDoubleNumber(basicTenderUnit, 4, 0, false, qs("非法值")));
    emitWinBidAmount(0.0);
}

} // namespace TC
