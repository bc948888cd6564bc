#include "CPanelBondAllocationHeadTable.h"

#include <QAbstractButton>
#include <boost/shared_ptr.hpp>

#include "CPanelBondAllocationButtonTable.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "KZ/Widgets.h"
#include "TC/OpButton.h"
#include "services/HostServices.h"
#include "ttservice/BondTenderRecords.h"

namespace TC {

namespace {

const char* const kStyleKey = "qmvt_vkt_bondallocationwidget";
constexpr int kStripWidth = 1100;
constexpr int kStripHeight = 50;
constexpr int kLineHeight = 22;
constexpr int kPriceCellWidth = 223;
constexpr double kPriceTop = 1000000.0;
constexpr double kCouponRateTop = 100.0;
constexpr double kIncrement = 0.0001;
constexpr int kAnchorStart = 1;
constexpr int kSaveButtonType = 1;

} // namespace

CPanelBondAllocationHeadTable::CPanelBondAllocationHeadTable(int id, QWidget* parent)
    : KZ::CBaseWidget(QString::fromLatin1(kStyleKey), false, parent)
{
    Q_UNUSED(id);
    createUi();
}

CPanelBondAllocationHeadTable::~CPanelBondAllocationHeadTable() = default;

void CPanelBondAllocationHeadTable::setMarginalPrice(double value)
{
    if (marginalPriceCell_) marginalPriceCell_->getEditor()->setValue(value);
}

void CPanelBondAllocationHeadTable::setWeightedMeanPrice(double value)
{
    if (weightedMeanPriceCell_) weightedMeanPriceCell_->getEditor()->setValue(value);
}

void CPanelBondAllocationHeadTable::setCouponRate(double value)
{
    if (couponRateCell_) couponRateCell_->getEditor()->setValue(value);
}

void CPanelBondAllocationHeadTable::setStep(double step)
{
    step_ = step;
}

double CPanelBondAllocationHeadTable::getMarginalPrice() const
{
    return marginalPriceCell_ ? marginalPriceCell_->toDouble() : 0.0;
}

double CPanelBondAllocationHeadTable::getWeightedMeanPrice() const
{
    return weightedMeanPriceCell_ ? weightedMeanPriceCell_->toDouble() : 0.0;
}

bool CPanelBondAllocationHeadTable::isControllorEnable() const
{
    return resultGroup_ && resultGroup_->isEnabled();
}

void CPanelBondAllocationHeadTable::showWinBidHeadTable()
{
    if (resultCaption_) resultCaption_->show();
    if (resultGroup_) {
        resultGroup_->setEnabled(true);
        resultGroup_->show();
        resultGroup_->setButtonCheckedByID(ID_RESULT_WON);
    }
    for (KZ::CParameterCell* cell : {marginalPriceCell_, weightedMeanPriceCell_}) {
        if (!cell) continue;
        cell->show();
        cell->setEnabled(true);
    }
    if (couponRateCell_) couponRateCell_->hide();
    if (saveButton_) saveButton_->hide();
}

void CPanelBondAllocationHeadTable::showLoseBidHeadTable()
{
    if (resultCaption_) resultCaption_->show();
    if (resultGroup_) {
        resultGroup_->setEnabled(true);
        resultGroup_->show();
        resultGroup_->setButtonCheckedByID(ID_RESULT_LOST);
    }
    if (marginalPriceCell_) marginalPriceCell_->hide();
    if (weightedMeanPriceCell_) weightedMeanPriceCell_->hide();
    if (couponRateCell_) {
        couponRateCell_->show();
        couponRateCell_->setEnabled(true);
    }
    if (saveButton_) {
        saveButton_->show();
        saveButton_->setEnabled(true);
    }
}

void CPanelBondAllocationHeadTable::disableBidHeadTable()
{
    if (resultGroup_) resultGroup_->setEnabled(false);
    for (KZ::CParameterCell* cell : {marginalPriceCell_, weightedMeanPriceCell_, couponRateCell_})
        if (cell) cell->setEnabled(false);
    if (saveButton_) saveButton_->setEnabled(false);
}

void CPanelBondAllocationHeadTable::refreshAllocationHeadTableButton(bool on)
{
    if (saveButton_) saveButton_->setEnabled(on);
    if (couponRateCell_) couponRateCell_->setEditEnable(on);
}

bool CPanelBondAllocationHeadTable::check(QString& msg, std::string bondCode, ttservice::ETenderingType type)
{
    using Helper = CPanelBondTenderAllocationHelper;
    // A hidden cell belongs to the other face and is not the user's to fill.
    if (marginalPriceCell_ && !marginalPriceCell_->isHidden()
        && !Helper::isGreaterThanZero(marginalPriceCell_->toDouble())) {
        msg = QStringLiteral("边际价格/利率为0,无法保存!");
        return false;
    }
    const bool hasWeightedMean = (type == ttservice::TT_AMERICAN || type == ttservice::TT_MIXED);
    if (hasWeightedMean && weightedMeanPriceCell_ && !weightedMeanPriceCell_->isHidden()
        && !Helper::isGreaterThanZero(weightedMeanPriceCell_->toDouble())) {
        msg = QStringLiteral("加权平均价格/利率必须大于0!");
        return false;
    }
    if (couponRateCell_ && !couponRateCell_->isHidden() && !Helper::isGreaterThanZero(couponRateCell_->toDouble())) {
        msg = QStringLiteral("票面利率必须大于0!");
        return false;
    }
    if (bondCode.empty()) {
        msg = QStringLiteral("债券代码为空,无法保存!");
        return false;
    }
    return true;
}

void CPanelBondAllocationHeadTable::placeHeadTableDatas(std::string& bondCode)
{
    sendParams(bondCode, visibleValue(marginalPriceCell_), visibleValue(weightedMeanPriceCell_),
               visibleValue(couponRateCell_), false);
}

void CPanelBondAllocationHeadTable::clearHeadTableBackStageData(std::string bondCode)
{
    sendParams(bondCode, 0.0, 0.0, 0.0, true);
}

void CPanelBondAllocationHeadTable::createUi()
{
    setFixedHeight(kStripHeight);
    setFixedSize(kStripWidth, kStripHeight);
    const int numberFormat = TC::getUserConfig()->getSegmentedFormatFlag();

    widgetList_ = new KZ::CWidgetList(Qt::Horizontal, this);
    widgetList_->setFixedSize(kStripWidth, kStripHeight);
    widgetList_->setMargin(0, 0, 0, 0);
    widgetList_->setSpacing(0);

    resultCaption_ = new KZ::CSimpleTextWidget(widgetList_, QStringLiteral("中标结果:"));
    resultCaption_->setFixedSize(80, kLineHeight);
    widgetList_->addFixedWidget(resultCaption_, kAnchorStart, false);

    resultGroup_ = new KZ::CRadioButtonGroup(0, 0, Qt::Horizontal, widgetList_);
    resultGroup_->addButton(QStringLiteral("已中标"), ID_RESULT_WON, true);
    resultGroup_->addButton(QStringLiteral("未中标"), ID_RESULT_LOST, false);
    resultGroup_->setEnabled(false);
    resultGroup_->setFixedSize(120, kLineHeight);
    widgetList_->addFixedWidget(resultGroup_, kAnchorStart, false);

    marginalPriceCell_ = createPriceCell(ID_MARGINAL_PRICE, QStringLiteral("  边际价格/利率:"), kPriceTop, numberFormat);
    marginalPriceCell_->setEnabled(false);
    weightedMeanPriceCell_ =
        createPriceCell(ID_WEIGHTED_MEAN_PRICE, QStringLiteral("  加权平均价格/利率:"), kPriceTop, numberFormat);
    weightedMeanPriceCell_->setEnabled(false);
    couponRateCell_ = createPriceCell(ID_COUPON_RATE, QStringLiteral("  票面利率:"), kCouponRateTop, numberFormat);
    couponRateCell_->setEditEnable(false);
    couponRateCell_->hide();

    widgetList_->addFixedSpace(10);
    saveButton_ = CPanelBondAllocationButtonTable::addOperationButton(widgetList_, this, ID_SAVE, kSaveButtonType,
                                                                      QStringLiteral("  保存  "), 60);
    saveButton_->hide();

    setInnerStretchWidget(widgetList_, 0, 0, 0, 0);
}

bool CPanelBondAllocationHeadTable::handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam,
                                                void* pParam)
{
    if (nEventID != KZ::EVT_RADIO_CHOSEN)
        return KZ::CBaseWidget::handleEvent(nEventID, nSenderID, nIntParam, qsParam, pParam);
    if (nSenderID == ID_RESULT_WON || nSenderID == ID_RESULT_LOST)
        deliverEvent(kResultChosenEvent, nSenderID, 0, QString(), nullptr);
    return true;
}

KZ::CParameterCell* CPanelBondAllocationHeadTable::createPriceCell(int id, const QString& caption, double top,
                                                                   int numberFormat)
{
    auto* cell = new KZ::CParameterCell(id, caption, QString(), widgetList_);
    cell->setFixedSize(kPriceCellWidth, kLineHeight);
    cell->setDoubleValidator(QString(), 0.0, top, kIncrement, true);
    cell->getEditor()->setNumberFormatFlag(numberFormat);
    widgetList_->addFixedWidget(cell, kAnchorStart, false);
    return cell;
}

double CPanelBondAllocationHeadTable::visibleValue(const KZ::CParameterCell* cell)
{
    return (cell && !cell->isHidden()) ? cell->toDouble() : 0.0;
}

void CPanelBondAllocationHeadTable::sendParams(const std::string& bondCode, double marginal, double weightedMean,
                                               double coupon, bool zeroIssuePrice)
{
    boost::shared_ptr<ttservice::CIBondTenderAllocParams> params(new ttservice::CIBondTenderAllocParams());
    params->bondCode = bondCode;
    params->bondName.clear();
    params->marginalPrice = marginal;
    params->weightedMeanPrice = weightedMean;
    if (zeroIssuePrice) params->issuePrice = 0.0;
    params->couponRate = coupon;
    const ttservice::IDataList records{params};
    ttservice::CTradeClient::instance()->updateBondTenderDatas_async(bondCode, ttservice::RT_ALLOC_PARAMS, records);
}

} // namespace TC
