#include "CDeskWindow.h"

#include <QDockWidget>
#include <QHeaderView>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>

#include "CExecutionReportView.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "CScenario.h"
#include "KZ/Format.h"
#include "services/HostStore.h"

namespace desk {

namespace {

const char* const kParamKey = "panel/param";
const int kPanelType = 0;
// The panel's widest table is 1120 px and its area 680 px high; room for margins and scroll bars.
const QSize kPanelMinimumSize(1180, 720);

enum EBondColumn { BC_CODE, BC_NAME, BC_METHOD, BC_RESULT, BC_COUNT };

// The bond code in front of the "|" of a panel signal.
QString bondOfPayload(const QString& payload)
{
    return payload.section(QLatin1Char('|'), 0, 0);
}

} // namespace

const QSize CDeskWindow::kPreferredSize(1800, 940);

CDeskWindow::CDeskWindow(const CScenario& scenario, QWidget* parent) : QMainWindow(parent), scenario_(scenario)
{
    setWindowTitle(tr("债券中标分配台") + (scenario.title().isEmpty() ? QString() : QStringLiteral(" - ") + scenario.title()));
    createBondList();
    reportView_ = new CExecutionReportView(this);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(bondList_);
    splitter->addWidget(reportView_);
    // The list shows every bond of a scenario of usual size; the reports get the rest.
    const int listHeight = bondList_->horizontalHeader()->sizeHint().height() + bondList_->verticalHeader()->length()
        + 2 * bondList_->frameWidth() + 4;
    splitter->setSizes({listHeight, kPreferredSize.height() - listHeight});
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

    createPanelDock();
    statusBar()->showMessage(tr("就绪"));

    timer_ = new QTimer(this);
    timer_->setInterval(kTimerIntervalMs);
    connect(timer_, &QTimer::timeout, this, &CDeskWindow::onTimerTick);
    timer_->start();
    resize(kPreferredSize);
}

CDeskWindow::~CDeskWindow()
{
    timer_->stop();
}

void CDeskWindow::createBondList()
{
    bondList_ = new QTableWidget(0, BC_COUNT, this);
    bondList_->setHorizontalHeaderLabels({tr("债券代码"), tr("债券名称"), tr("招标方式"), tr("中标结果")});
    bondList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    bondList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    bondList_->setSelectionMode(QAbstractItemView::SingleSelection);
    bondList_->verticalHeader()->setVisible(false);
    bondList_->horizontalHeader()->setStretchLastSection(true);
    for (const SScenarioBond& bond : scenario_.bonds()) {
        const int row = bondList_->rowCount();
        bondList_->insertRow(row);
        bondList_->setItem(row, BC_CODE, new QTableWidgetItem(QString::fromStdString(bond.code)));
        bondList_->setItem(row, BC_NAME, new QTableWidgetItem(QString::fromStdString(bond.name)));
        bondList_->setItem(row, BC_METHOD, new QTableWidgetItem(QString::fromStdString(
                                               TC::CPanelBondTenderAllocationHelper::getStrTenderingType(bond.tenderingType))));
        bondList_->setItem(row, BC_RESULT, new QTableWidgetItem);
    }
    bondList_->resizeColumnsToContents();
    refreshBondResults();
    connect(bondList_, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int previousRow, int) { if (row != previousRow) onBondRowChanged(row); });
}

void CDeskWindow::createPanelDock()
{
    auto* dock = new QDockWidget(tr("中标分配"), this);
    dock->setObjectName(QStringLiteral("btdallo"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    panel_ = new TC::CPanelBondTenderAllocationPanel(kPanelType, dock);
    panel_->setMinimumSize(kPanelMinimumSize);
    dock->setWidget(panel_);
    addDockWidget(Qt::RightDockWidgetArea, dock);

    connect(panel_, &TC::CPanelBondTenderAllocationPanel::sigBondExecutionShowTab, this,
            &CDeskWindow::onBondExecutionShowTab);
    connect(panel_, &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount, this,
            &CDeskWindow::onWinBidAmountRefreshed);
    // A changed trade type subscribes the panel to the win-bid records.
    panel_->setTradeType(ttservice::VTT_NORMAL);
}

CDeskWindow::EStoredResult CDeskWindow::storedResult(const std::string& bondCode)
{
    const auto params = ttservice::CHostStore::instance().typedRecords<ttservice::CIBondTenderAllocParams>(
        bondCode, ttservice::RT_ALLOC_PARAMS);
    for (const auto& p : params) {
        if (p)   // the panel reads the first record; a marginal price of 0 means lost
            return TC::CPanelBondTenderAllocationHelper::isZero(p->marginalPrice) ? SR_LOST : SR_WON;
    }
    return SR_NONE;
}

QString CDeskWindow::resultText(const std::string& bondCode, bool settled)
{
    QString text;
    switch (storedResult(bondCode)) {
    case SR_NONE: text = tr("待录入"); break;
    case SR_WON: text = tr("已中标"); break;
    case SR_LOST: text = tr("未中标"); break;
    }
    return settled ? text + tr("(已结算)") : text;
}

void CDeskWindow::refreshBondResults()
{
    const auto& bonds = scenario_.bonds();
    for (int row = 0; row < bondList_->rowCount() && row < static_cast<int>(bonds.size()); ++row)
        bondList_->item(row, BC_RESULT)->setText(resultText(bonds[row].code, bonds[row].settled));
}

bool CDeskWindow::showBond(const std::string& bondCode)
{
    const SScenarioBond* bond = scenario_.bond(bondCode);
    if (!bond)
        return false;
    currentBond_ = bondCode;
    if (bond->settled) {
        panel_->refreshSettleStatusBond(bond->code, bond->basicTenderUnit);
    } else {
        panel_->refreshWinBidAllocationPanel(false, bond->code, bond->basicTenderUnit);
        if (storedResult(bond->code) == SR_LOST)
            panel_->refreshLoseBidAllocationPanel();
    }
    reportView_->showBond(ttservice::CHostStore::instance(), bond->code);

    const int row = static_cast<int>(bond - scenario_.bonds().data());
    if (bondList_->currentRow() != row) {
        const QSignalBlocker blocker(bondList_);
        bondList_->selectRow(row);
    }
    statusBar()->showMessage(tr("已载入 %1 %2").arg(QString::fromStdString(bond->code), QString::fromStdString(bond->name)));
    return true;
}

void CDeskWindow::onBondRowChanged(int row)
{
    if (row >= 0 && row < static_cast<int>(scenario_.bonds().size()))
        showBond(scenario_.bonds()[row].code);
}

void CDeskWindow::onBondExecutionShowTab(const QString& payload)
{
    const QString code = bondOfPayload(payload);
    reportView_->showBond(ttservice::CHostStore::instance(), code.toStdString());
    reportView_->setFocus();
    refreshBondResults();
    statusBar()->showMessage(tr("返回投标执行: %1, 基本投标单位 %2")
                                 .arg(code, payload.section(QLatin1Char('|'), 1)));
}

void CDeskWindow::onWinBidAmountRefreshed(const QString& payload)
{
    refreshBondResults();
    statusBar()->showMessage(tr("中标分配已保存: %1, 中标总量 %2 亿")
                                 .arg(bondOfPayload(payload), payload.section(QLatin1Char('|'), 1)));
}

void CDeskWindow::onTimerTick()
{
    panel_->onTimer(TC::TUF_NORMAL);
}

void CDeskWindow::restoreSettings(const QSettings& settings)
{
    if (settings.contains(QLatin1String(kParamKey)))
        panel_->setParam(settings.value(QLatin1String(kParamKey)).toString());
}

void CDeskWindow::saveSettings(QSettings& settings) const
{
    settings.setValue(QLatin1String(kParamKey), panel_->param());
}

QString CDeskWindow::statusText() const
{
    return statusBar()->currentMessage();
}

} // namespace desk
