#include "CDeskWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStyle>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>

#include "CEditTracker.h"
#include "CExecutionReportView.h"
#include "CPanelFrame.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "CScenario.h"
#include "KZ/Format.h"
#include "services/HostStore.h"

namespace desk {

namespace {

const char* const kParamKey = "panel/param";
const int kPanelType = 0;
// The bond list and the reports keep at least this width when the user narrows the side.
const int kSideMinimumWidth = 160;
// Room for a window manager's title bar and borders around the window's contents.
const QSize kFrameAllowance(4, 36);

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
    createPanelFrame();

    bondList_->setMinimumWidth(kSideMinimumWidth / 2);
    reportView_->setMinimumWidth(kSideMinimumWidth / 2);
    sideSplitter_ = new QSplitter(Qt::Vertical, this);
    sideSplitter_->addWidget(bondList_);
    sideSplitter_->addWidget(reportView_);
    sideSplitter_->setStretchFactor(1, 1);
    mainSplitter_ = new QSplitter(Qt::Horizontal, this);
    mainSplitter_->addWidget(sideSplitter_);
    mainSplitter_->addWidget(panelFrame_);
    mainSplitter_->setStretchFactor(1, 1);
    mainSplitter_->setCollapsible(1, false);
    // Once the user has placed the splitter, a load no longer moves it.
    connect(mainSplitter_, &QSplitter::splitterMoved, this, [this] { splitterPlaced_ = true; });
    setCentralWidget(mainSplitter_);

    hint_ = new QLabel(this);
    statusBar()->addPermanentWidget(hint_);
    statusBar()->showMessage(tr("就绪"));

    timer_ = new QTimer(this);
    timer_->setInterval(kTimerIntervalMs);
    connect(timer_, &QTimer::timeout, this, &CDeskWindow::onTimerTick);
    timer_->start();
    fitTo(fittedSize(screen()));
}

QSize CDeskWindow::fittedSize(const QScreen* screen)
{
    if (screen == nullptr)
        return kPreferredSize;
    return kPreferredSize.boundedTo(screen->availableGeometry().size() - kFrameAllowance);
}

void CDeskWindow::arrangeSplitters()
{
    // The list shows every bond of a scenario of usual size; the reports get the rest.
    const int listHeight = bondList_->horizontalHeader()->sizeHint().height() + bondList_->verticalHeader()->length()
        + 2 * bondList_->frameWidth() + 4;
    sideSplitter_->setSizes({listHeight, qMax(height() - listHeight, listHeight)});
    placeMainSplitter();
}

void CDeskWindow::placeMainSplitter()
{
    // The panel is the main area: it gets what its widest table needs and the side the
    // rest, but never less than the side needs to show its numbers whole; on a small
    // screen the panel then scrolls sideways.
    const int side = qMax(width() - mainSplitter_->handleWidth() - panelFrame_->preferredWidth(), sideUsefulWidth());
    mainSplitter_->setSizes({side, qMax(width() - side, 1)});
}

int CDeskWindow::sideUsefulWidth() const
{
    // The bond list shows code and name; its further columns may scroll.
    const QHeaderView* header = bondList_->horizontalHeader();
    const int list = header->sectionSize(BC_CODE) + header->sectionSize(BC_NAME) + 2 * bondList_->frameWidth()
        + bondList_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, bondList_);
    return qMax(list, reportView_->usefulWidth());
}

void CDeskWindow::fitTo(const QSize& size)
{
    resize(size);
    arrangeSplitters();
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

void CDeskWindow::createPanelFrame()
{
    panelFrame_ = new CPanelFrame(kPanelType, this);
    panel_ = panelFrame_->panel();
    connect(panelFrame_, &CPanelFrame::preferredWidthChanged, this, [this] {
        if (!splitterPlaced_)
            placeMainSplitter();
    });
    tracker_ = new CEditTracker(panel_, this);
    connect(tracker_, &CEditTracker::stepChanged, this, &CDeskWindow::showHint);

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

bool CDeskWindow::hasStoredAllocation(const std::string& bondCode)
{
    const ttservice::CHostStore& store = ttservice::CHostStore::instance();
    for (const auto type : {ttservice::RT_ALLOC_UNDERWRITER, ttservice::RT_ALLOC_PRODUCT, ttservice::RT_WIN_BID_DETAIL})
        if (!store.records(bondCode, type).empty())
            return true;
    return false;
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
    const EStoredResult stored = storedResult(bond->code);
    if (bond->settled) {
        panel_->refreshSettleStatusBond(bond->code, bond->basicTenderUnit);
    } else {
        panel_->refreshWinBidAllocationPanel(false, bond->code, bond->basicTenderUnit);
        if (stored == SR_LOST)
            panel_->refreshLoseBidAllocationPanel();
    }
    panelFrame_->setBasicTenderUnit(bond->basicTenderUnit);
    const bool allocated = hasStoredAllocation(bond->code);
    panelFrame_->setSettledNotice(bond->settled && stored != SR_LOST && !allocated);
    if (bond->settled)
        tracker_->reset(CEditTracker::ST_READ_ONLY);
    else if (stored == SR_LOST)
        tracker_->reset(CEditTracker::ST_LOST);
    else
        tracker_->reset(allocated ? CEditTracker::ST_SAVED : CEditTracker::ST_ENTER_TABLE_ONE);
    reportView_->showBond(ttservice::CHostStore::instance(), bond->code);
    if (!splitterPlaced_)
        placeMainSplitter();   // the side's needs follow the bond's reports
    selectListRowOf(bond->code);
    statusBar()->showMessage(tr("已载入 %1 %2").arg(QString::fromStdString(bond->code), QString::fromStdString(bond->name)));
    return true;
}

void CDeskWindow::selectListRowOf(const std::string& bondCode)
{
    const SScenarioBond* bond = scenario_.bond(bondCode);
    if (!bond)
        return;
    const int row = static_cast<int>(bond - scenario_.bonds().data());
    if (bondList_->currentRow() != row) {
        const QSignalBlocker blocker(bondList_);
        bondList_->selectRow(row);
    }
}

void CDeskWindow::onBondRowChanged(int row)
{
    if (row < 0 || row >= static_cast<int>(scenario_.bonds().size()))
        return;
    if (!settleUnsavedWork()) {
        selectListRowOf(currentBond_);   // the user stays with the unsaved work
        return;
    }
    showBond(scenario_.bonds()[row].code);
}

bool CDeskWindow::settleUnsavedWork()
{
    if (!tracker_->hasUnsavedChanges())
        return true;
    switch (prompt_ ? prompt_(QString::fromStdString(currentBond_)) : askAboutUnsavedWork()) {
    case UA_SAVE:
        return tracker_->save();
    case UA_DISCARD:
        return true;
    case UA_CANCEL:
        break;
    }
    return false;
}

CDeskWindow::EUnsavedAnswer CDeskWindow::askAboutUnsavedWork() const
{
    QMessageBox box(QMessageBox::Warning, tr("未保存的修改"),
                    tr("债券 %1 的中标分配有未保存的修改。\n保存后继续，还是放弃这些修改？")
                        .arg(QString::fromStdString(currentBond_)),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, const_cast<CDeskWindow*>(this));
    box.button(QMessageBox::Save)->setText(tr("保存"));
    box.button(QMessageBox::Discard)->setText(tr("放弃"));
    box.button(QMessageBox::Cancel)->setText(tr("取消"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return UA_SAVE;
    case QMessageBox::Discard: return UA_DISCARD;
    default: return UA_CANCEL;
    }
}

void CDeskWindow::setUnsavedPrompt(UnsavedPrompt prompt)
{
    prompt_ = std::move(prompt);
}

void CDeskWindow::noteSaveFailed()
{
    tracker_->noteSaveFailed();
}

void CDeskWindow::closeEvent(QCloseEvent* event)
{
    if (settleUnsavedWork())
        event->accept();
    else
        event->ignore();
}

void CDeskWindow::showHint()
{
    hint_->setText(CEditTracker::hintText(tracker_->step()));
}

QString CDeskWindow::hintText() const
{
    return hint_->text();
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
    // The panel sends the total with six decimals; volumes are shown with four.
    const double total = QLocale::c().toDouble(payload.section(QLatin1Char('|'), 1));
    statusBar()->showMessage(tr("中标分配已保存: %1, 中标总量 %2 亿")
                                 .arg(bondOfPayload(payload), QLocale::c().toString(total, 'f', 4)));
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
