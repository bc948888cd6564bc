// The allocation panel over generated tenders of three sizes (argument 0, 1, 2 = S, M, L;
// the label names the size), driven through its workflow operations and the events its
// widgets deliver. A measure ends when the view the user looks at has been painted: the
// deferred sync, the view's layout and the paint are inside it. "First" measures start
// from a panel just made and shown (made and later destroyed outside the measurement);
// the others repeat on one panel.
#include <QApplication>
#include <QLocale>
#include <QStandardItemModel>
#include <QTableView>
#include <benchmark/benchmark.h>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "CPanelBondAllocationHeadTable.h"
#include "CPanelBondAllocationMixedTable.h"
#include "CPanelBondAllocationProductTable.h"
#include "CPanelBondAllocationUnderWriteTable.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "KZ/EventDeliverer.h"
#include "KZ/MessageBox.h"
#include "TenderGenerator.h"
#include "services/HostStore.h"

namespace {

using namespace ttservice;
using bench::CGeneratedTender;
using bench::CPaintWatch;

constexpr unsigned kSeed = 20261205;
constexpr int kTickKeys = 10000;
constexpr int kWinAmountColumn = 7;
constexpr int kOperationColumn = 9;
constexpr int kSaveButton = 32;
constexpr int kFairDistributionButton = 33;

const bench::STenderSize& sizeOf(const benchmark::State& state)
{
    static const bench::STenderSize* const sizes[] = {&bench::kSmall, &bench::kMedium, &bench::kLarge};
    return *sizes[state.range(0)];
}

const CGeneratedTender& tenderOf(const benchmark::State& state)
{
    static std::unique_ptr<CGeneratedTender> tenders[3];
    std::unique_ptr<CGeneratedTender>& tender = tenders[state.range(0)];
    if (!tender)
        tender.reset(new CGeneratedTender(sizeOf(state), kSeed));
    return *tender;
}

enum class EStored { Nothing, Allocation };

// No box may interrupt a measurement.
void answerBoxesOk()
{
    KZ::CMessageBox::setHandler([](KZ::CMessageBox::EKind, const QString&, const QString&, int) {
        return static_cast<int>(KZ::CMessageBox::Ok);
    });
}

// A fresh host holding the tender.
void seedHost(const CGeneratedTender& tender, EStored stored)
{
    answerBoxesOk();
    CHostStore& store = CHostStore::instance();
    store.reset();
    store.setHintSettings(false, false);
    store.setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
    tender.seedExecution(store);
    if (stored == EStored::Allocation)
        tender.seedStoredAllocation(store);
}

// The panel as the host docks it, shown, with the data-thread entry reachable.
class CBenchPanel : public TC::CPanelBondTenderAllocationPanel {
public:
    CBenchPanel() : TC::CPanelBondTenderAllocationPanel(1, nullptr)
    {
        resize(1200, 760);
        show();
        QApplication::processEvents();
    }
    using TC::CPanelBondTenderAllocationPanel::onPositionStat;

    TC::CPanelBondAllocationHeadTable* head() const { return findChild<TC::CPanelBondAllocationHeadTable*>(); }
    TC::CPanelBondAllocationUnderWriteTable* one() const
    {
        return findChild<TC::CPanelBondAllocationUnderWriteTable*>();
    }
    TC::CPanelBondAllocationProductTable* two() const { return findChild<TC::CPanelBondAllocationProductTable*>(); }
    TC::CPanelBondAllocationMixedTable* three() const { return findChild<TC::CPanelBondAllocationMixedTable*>(); }
    QAbstractItemView* threeView() const { return bench::mainViewOf(three()); }
    int accountRowCount() const { return threeView()->model()->rowCount(); }

    // What the host calls when the user picks the bond; true once table three is painted.
    bool load(const CGeneratedTender& tender)
    {
        CPaintWatch painted(threeView()->viewport());
        refreshWinBidAllocationPanel(false, tender.bondCode(), tender.basicTenderUnit());
        return painted.waitForPaint();
    }
    // A button under a table, as its bar delivers the click.
    void press(int button) { deliverer(*this).handleEvent(KZ::EVT_BUTTON_CLICKED, button, 0, QString(), nullptr); }
    // Table three's row, as its column delegates deliver an edit: true once it is painted.
    bool typeWonVolume(const QString& key, QString text)
    {
        CPaintWatch painted(threeView()->viewport());
        deliverer(*three()).handleEvent(KZ::EVT_LINEEDIT_FINISHED, kWinAmountColumn, kWinAmountColumn, key, &text);
        return painted.waitForPaint();
    }
    bool clickOperation(const QString& key)
    {
        CPaintWatch painted(threeView()->viewport());
        deliverer(*three()).handleEvent(KZ::EVT_SIMPLE_TEXT_CLICKED, kOperationColumn, 0, key, nullptr);
        return painted.waitForPaint();
    }
    // Brings table three's row into sight, as the user scrolls to it.
    void scrollTo(int rowNumber)
    {
        QAbstractItemView* view = threeView();
        view->scrollTo(view->model()->index(rowNumber - 1, 0), QAbstractItemView::PositionAtCenter);
        CPaintWatch(view->viewport()).waitForPaint();
    }

private:
    static KZ::CEventDeliverer& deliverer(KZ::CEventDeliverer& widget) { return widget; }
};

QString rowKey(int rowNumber)
{
    return QString::number(rowNumber);   // a row's key is its number
}

// A group in the middle of table three as stored (groups in order, the fixed row first).
struct SGroup {
    int fixedRow = 0;
    int size = 0;
};

SGroup middleGroup(const CGeneratedTender& tender)
{
    const auto& rows = tender.accountRows();
    size_t i = rows.size() / 2;
    while (i < rows.size() && rows[i]->fixedRowIndex.empty())
        ++i;
    SGroup group;
    group.fixedRow = static_cast<int>(i) + 1;
    for (group.size = 1; i + group.size < rows.size() && rows[i + group.size]->fixedRowIndex.empty(); ++group.size) {
    }
    return group;
}

QStringList qsList(const std::vector<std::string>& items)
{
    QStringList out;
    for (const std::string& item : items)
        out << QString::fromStdString(item);
    return out;
}

bool fails(benchmark::State& state, bool ok, const char* what)
{
    if (!ok)
        state.SkipWithError(what);
    return !ok;
}

// A panel made, shown and loaded outside the measurement, and destroyed outside it.
class CFreshPanels {
public:
    CFreshPanels(benchmark::State& state) : state_(state) {}
    ~CFreshPanels() { panel_.reset(); }
    CBenchPanel& next()
    {
        state_.PauseTiming();
        panel_.reset();
        panel_.reset(new CBenchPanel);
        state_.ResumeTiming();
        return *panel_;
    }
    CBenchPanel& current() { return *panel_; }

private:
    benchmark::State& state_;
    std::unique_ptr<CBenchPanel> panel_;
};

// ------------------------------------------------------------------ 1, 2: loading the panel

void BM_PanelFirstLoadStored(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CFreshPanels panels(state);
    for (auto _ : state)
        if (fails(state, panels.next().load(tender), "table three was not painted"))
            break;
    fails(state, panels.current().accountRowCount() == static_cast<int>(tender.accountRows().size()),
          "table three did not get the stored rows");
    state.SetLabel(sizeOf(state).name);
}

void BM_PanelReloadStored(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CBenchPanel panel;
    panel.load(tender);
    for (auto _ : state)
        if (fails(state, panel.load(tender), "table three was not painted"))
            break;
    state.SetLabel(sizeOf(state).name);
}

void BM_PanelFirstLoadFromReports(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Nothing);
    CFreshPanels panels(state);
    for (auto _ : state)
        if (fails(state, panels.next().load(tender), "table three was not painted"))
            break;
    const bench::STenderSize& size = sizeOf(state);
    fails(state, panels.current().accountRowCount() == size.products * size.positions,
          "table three did not get a row per product and position");
    state.SetLabel(size.name);
}

// ------------------------------------------------------------------ 3: fair distribution

void BM_FairDistribution(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CBenchPanel panel;
    panel.load(tender);
    CPaintWatch painted(bench::mainViewOf(panel.two())->viewport());
    for (auto _ : state) {
        panel.press(kFairDistributionButton);
        painted.waitForPaint();
    }
    state.SetLabel(sizeOf(state).name);
}

// ------------------------------------------------------------------ 4: saving

void BM_FullSaveChecks(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CBenchPanel panel;
    panel.load(tender);
    QString message;
    for (auto _ : state) {
        const double totalWon = panel.one()->getTotalBidAmount();
        auto underwriterRows = panel.one()->getUnderWriterData();
        auto productRows = panel.two()->getRowNum2ProductData();
        const bool valid = panel.head()->check(message, tender.bondCode(), TT_AMERICAN)
                           && panel.one()->check(message) && panel.two()->check(totalWon, message)
                           && panel.three()->check(totalWon, message, productRows, underwriterRows, TT_AMERICAN);
        if (fails(state, valid, ("the generated allocation fails a check: " + message.toStdString()).c_str()))
            break;
    }
    state.SetLabel(sizeOf(state).name);
}

// One press of "保存": the checks, the four areas written back to the host, the box.
void BM_SaveAllocation(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    QString lastBox;
    KZ::CMessageBox::setHandler([&lastBox](KZ::CMessageBox::EKind, const QString&, const QString& text, int) {
        lastBox = text;
        return static_cast<int>(KZ::CMessageBox::Ok);
    });
    CHostStore::instance().setHintSettings(true, true);
    CBenchPanel panel;
    panel.load(tender);
    for (auto _ : state) {
        panel.press(kSaveButton);
        QApplication::processEvents();
    }
    fails(state, lastBox == QStringLiteral("保存成功!"), ("the save was refused: " + lastBox.toStdString()).c_str());
    answerBoxesOk();
    state.SetLabel(sizeOf(state).name);
}

// ------------------------------------------------------------------ 5: editing table three

// Typed won volumes in a row in sight, each with the repaint it causes.
void BM_TypeWonVolume(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CBenchPanel panel;
    panel.load(tender);
    const int row = panel.accountRowCount() / 2;
    panel.scrollTo(row);
    const QString typed[] = {QStringLiteral("0.1"), QStringLiteral("0.2")};
    int i = 0;
    for (auto _ : state)
        if (fails(state, panel.typeWonVolume(rowKey(row), typed[i++ & 1]), "the typed row was not painted"))
            break;
    state.SetLabel(sizeOf(state).name);
}

// One "+添加" on the fixed row of a group in sight, with its repaint; the added row is
// deleted again outside the measurement, so every click meets the same table.
void BM_AddRowClick(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CBenchPanel panel;
    panel.load(tender);
    const SGroup group = middleGroup(tender);
    panel.scrollTo(group.fixedRow);
    for (auto _ : state) {
        if (fails(state, panel.clickOperation(rowKey(group.fixedRow)), "the click was not painted"))
            break;
        state.PauseTiming();
        panel.clickOperation(rowKey(group.fixedRow + group.size));
        state.ResumeTiming();
    }
    fails(state, panel.accountRowCount() == static_cast<int>(tender.accountRows().size()),
          "the added rows were not deleted again");
    state.SetLabel(sizeOf(state).name);
}

// The first edit on a panel just loaded (made, loaded and scrolled outside the measurement).
void BM_FirstTypeOnColdPanel(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    const int row = static_cast<int>(tender.accountRows().size()) / 2;
    CFreshPanels panels(state);
    for (auto _ : state) {
        CBenchPanel& panel = panels.next();
        state.PauseTiming();
        panel.load(tender);
        panel.scrollTo(row);
        state.ResumeTiming();
        if (fails(state, panel.typeWonVolume(rowKey(row), QStringLiteral("0.1")), "the typed row was not painted"))
            break;
    }
    state.SetLabel(sizeOf(state).name);
}

void BM_FirstAddRowClickOnColdPanel(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    const SGroup group = middleGroup(tender);
    CFreshPanels panels(state);
    for (auto _ : state) {
        CBenchPanel& panel = panels.next();
        state.PauseTiming();
        panel.load(tender);
        panel.scrollTo(group.fixedRow);
        state.ResumeTiming();
        if (fails(state, panel.clickOperation(rowKey(group.fixedRow)), "the click was not painted"))
            break;
    }
    fails(state, panels.current().accountRowCount() == static_cast<int>(tender.accountRows().size()) + 1,
          "the click did not add a row");
    state.SetLabel(sizeOf(state).name);
}

// ------------------------------------------------------------------ 6: subscription and timer

// 10,000 changed keys: every account row of the tender, the rest keys of rows that went
// away (the store announces those too; fetching them finds nothing).
std::vector<IDataPtr> changedRecords(const CGeneratedTender& tender)
{
    std::vector<IDataPtr> out(tender.accountRows().begin(), tender.accountRows().end());
    for (int gone = 0; static_cast<int>(out.size()) < kTickKeys; ++gone) {
        boost::shared_ptr<CWinBidInfoDetail> record(new CWinBidInfoDetail());
        record->bondCode = tender.bondCode();
        record->rowKey = "gone" + std::to_string(gone);
        out.push_back(record);
    }
    return out;
}

void BM_TimerTickDrains10000Keys(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CBenchPanel panel;
    const std::vector<IDataPtr> changed = changedRecords(tender);
    for (auto _ : state) {
        state.PauseTiming();
        for (const IDataPtr& record : changed)
            panel.onPositionStat(record);
        state.ResumeTiming();
        panel.onTimer(TC::TUF_NORMAL);
        QApplication::processEvents();
    }
    state.SetLabel(sizeOf(state).name);
}

void BM_OnPositionStat(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CBenchPanel panel;
    const auto& rows = tender.accountRows();
    size_t i = 0;
    for (auto _ : state) {
        panel.onPositionStat(rows[i]);
        if (++i == rows.size())
            i = 0;
    }
    state.SetLabel(sizeOf(state).name);
}

// ------------------------------------------------------------------ 7: table three against stock Qt

// Table three of a panel just made and shown, filled from the stored rows the way the
// panel fills it, laid out and painted.
void BM_TableThreeFirstLoad(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    const QStringList underwriters = qsList(tender.underwriterChoices());
    CFreshPanels panels(state);
    for (auto _ : state) {
        TC::CPanelBondAllocationMixedTable* three = panels.next().three();
        CPaintWatch painted(bench::mainViewOf(three)->viewport());
        QStringList choices = underwriters;
        three->updateMixedTableDatas(tender.accountRows(), tender.marginalPrice(), tender.weightedMeanPrice(),
                                     tender.bondCode(), choices, TTG_PRICE, TT_AMERICAN, tender.basicTenderUnit(),
                                     "bond");
        if (fails(state, painted.waitForPaint(), "table three was not painted"))
            break;
    }
    fails(state, panels.current().accountRowCount() == static_cast<int>(tender.accountRows().size()),
          "table three did not get the stored rows");
    state.SetLabel(sizeOf(state).name);
}

QString marketText(int market)
{
    switch (market) {
    case TM_SSE: return QStringLiteral("上交所");
    case TM_SZSE: return QStringLiteral("深交所");
    case TM_INTERBANK: return QStringLiteral("银行间");
    default: return QString();
    }
}

// The same rows as 10 columns of the same texts in a QStandardItemModel, shown by a
// QTableView of table three's size that was just made and shown: filled, laid out and
// painted. The model and the view go away outside the measurement, as the panel's do.
void BM_StockQtTableThreeFirstLoad(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    const auto& rows = tender.accountRows();
    const QLocale c = QLocale::c();
    std::unique_ptr<QStandardItemModel> model;
    std::unique_ptr<QTableView> view;
    for (auto _ : state) {
        state.PauseTiming();
        view.reset();
        model.reset();
        view.reset(new QTableView);
        view->resize(1120, 168);
        view->show();
        QApplication::processEvents();
        CPaintWatch painted(view->viewport());
        state.ResumeTiming();

        model.reset(new QStandardItemModel(static_cast<int>(rows.size()), 10));
        int r = 0;
        for (const auto& row : rows) {
            const QString texts[10] = {
                QString::fromStdString(row->productName),
                marketText(row->tenderMarket),
                QStringLiteral("一级分销"),
                QString::fromStdString(row->underWriter),
                c.toString(row->bidPrice, 'f', 4),
                c.toString(row->bidAmount, 'f', 4),
                c.toString(row->winBidPrice, 'f', 4),
                c.toString(row->winBidAmount / 10000.0, 'f', 4),
                QString::fromStdString(row->account),
                row->fixedRowIndex.empty() ? QStringLiteral("删除") : QStringLiteral("+添加"),
            };
            for (int column = 0; column < 10; ++column)
                model->setItem(r, column, new QStandardItem(texts[column]));
            ++r;
        }
        view->setModel(model.get());
        if (fails(state, painted.waitForPaint(), "the view was not painted"))
            break;
    }
    state.SetLabel(sizeOf(state).name);
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_PanelFirstLoadStored)->Apply(sizes);
BENCHMARK(BM_PanelReloadStored)->Apply(sizes);
BENCHMARK(BM_PanelFirstLoadFromReports)->Apply(sizes);
BENCHMARK(BM_FairDistribution)->Apply(sizes);
BENCHMARK(BM_FullSaveChecks)->Apply(sizes);
BENCHMARK(BM_SaveAllocation)->Apply(sizes);
BENCHMARK(BM_TypeWonVolume)->Apply(sizes);
BENCHMARK(BM_AddRowClick)->Apply(sizes);
BENCHMARK(BM_FirstTypeOnColdPanel)->Apply(sizes);
BENCHMARK(BM_FirstAddRowClickOnColdPanel)->Apply(sizes);
BENCHMARK(BM_TimerTickDrains10000Keys)->Apply(sizes);
BENCHMARK(BM_OnPositionStat)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_TableThreeFirstLoad)->Apply(sizes);
BENCHMARK(BM_StockQtTableThreeFirstLoad)->Apply(sizes);
