// The allocation panel over generated tenders of three sizes (argument 0, 1, 2 = S, M, L;
// the label names the size). Every figure is UI-thread work: the loads, edits and
// rebuilds include the one view sync the event loop would run afterwards.
#include <QApplication>
#include <QHeaderView>
#include <QLocale>
#include <QStandardItemModel>
#include <QTableView>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

#include "CAllocationMixedData.h"
#include "CAllocationMixedModel.h"
#include "CPanelBondAllocationHeadTable.h"
#include "CPanelBondAllocationMixedTable.h"
#include "CPanelBondAllocationProductTable.h"
#include "CPanelBondAllocationUnderWriteTable.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "KZ/EventDeliverer.h"
#include "KZ/MessageBox.h"
#include "KZ/StandardHpfTable.h"
#include "TenderGenerator.h"
#include "services/HostStore.h"

namespace {

using namespace ttservice;
using bench::CGeneratedTender;

constexpr unsigned kSeed = 20261205;
constexpr int kTickKeys = 10000;
constexpr int kWinAmountColumn = 7;
constexpr int kOperationColumn = 9;

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

// A fresh host holding the tender; no box may interrupt a measurement.
void seedHost(const CGeneratedTender& tender, EStored stored)
{
    KZ::CMessageBox::setHandler([](KZ::CMessageBox::EKind, const QString&, const QString&, int) {
        return static_cast<int>(KZ::CMessageBox::Ok);
    });
    CHostStore& store = CHostStore::instance();
    store.reset();
    store.setHintSettings(false, false);
    store.setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
    tender.seedExecution(store);
    if (stored == EStored::Allocation)
        tender.seedStoredAllocation(store);
}

// The panel as the host docks it, with the data-thread entry reachable.
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

    void load(const CGeneratedTender& tender)
    {
        refreshWinBidAllocationPanel(false, tender.bondCode(), tender.basicTenderUnit());
        syncViews();
    }
    void syncViews()
    {
        for (KZ::CStandardHpfTable* table : findChildren<KZ::CStandardHpfTable*>())
            table->syncNow();
    }
    int accountRowCount() const { return three()->getAllocationMixedModel()->rowCount(); }
};

bool loadedCompletely(benchmark::State& state, const CBenchPanel& panel, int expectedRows)
{
    if (panel.accountRowCount() == expectedRows)
        return true;
    state.SkipWithError("table three did not get the tender's rows");
    return false;
}

QString rowKey(int rowNumber)
{
    return QString::fromStdString(TC::CAllocationMixedData::keyOf(rowNumber));
}

QStringList qsList(const std::vector<std::string>& items)
{
    QStringList out;
    for (const std::string& item : items)
        out << QString::fromStdString(item);
    return out;
}

// ------------------------------------------------------------------ 1, 2: loading the panel

void BM_LoadStoredAllocation(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CBenchPanel panel;
    panel.load(tender);
    if (!loadedCompletely(state, panel, static_cast<int>(tender.accountRows().size())))
        return;
    for (auto _ : state)
        panel.load(tender);
    state.SetLabel(sizeOf(state).name);
}

void BM_LoadFromExecutionReports(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Nothing);
    CBenchPanel panel;
    panel.load(tender);
    const bench::STenderSize& size = sizeOf(state);
    if (!loadedCompletely(state, panel, size.products * size.positions))
        return;
    for (auto _ : state)
        panel.load(tender);
    state.SetLabel(size.name);
}

// ------------------------------------------------------------------ 3: fair distribution

void BM_FairDistribution(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CBenchPanel panel;
    panel.load(tender);
    for (auto _ : state) {
        panel.refreshAllocationPanelWithFairAlloc();
        panel.two()->getTable()->syncNow();
    }
    state.SetLabel(sizeOf(state).name);
}

// ------------------------------------------------------------------ 4: the full-save checks

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
        if (!valid) {
            state.SkipWithError(("the generated allocation fails a check: " + message.toStdString()).c_str());
            break;
        }
    }
    state.SetLabel(sizeOf(state).name);
}

// What "保存" does after its checks: the four areas written back to the host.
void BM_SaveAllocation(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CBenchPanel panel;
    panel.load(tender);
    std::string bondCode = tender.bondCode();
    for (auto _ : state) {
        panel.head()->placeHeadTableDatas(bondCode);
        panel.one()->placeUnderWriteTableDatas();
        panel.two()->placeProductTableDatas();
        panel.three()->placeMixedTableDatas();
    }
    if (CHostStore::instance().records(bondCode, RT_WIN_BID_DETAIL).size() != tender.accountRows().size())
        state.SkipWithError("the save did not store every account row");
    state.SetLabel(sizeOf(state).name);
}

// ------------------------------------------------------------------ 5: editing table three

void BM_TypeWonVolume(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CBenchPanel panel;
    panel.load(tender);
    TC::CPanelBondAllocationMixedTable* three = panel.three();
    const QString key = rowKey(panel.accountRowCount() / 2);
    const QString typed[] = {QStringLiteral("0.1"), QStringLiteral("0.2")};
    int i = 0;
    for (auto _ : state) {
        QString text = typed[i++ & 1];
        three->handleEvent(KZ::EVT_LINEEDIT_FINISHED, kWinAmountColumn, kWinAmountColumn, key, &text);
        three->getTable()->syncNow();
    }
    state.SetLabel(sizeOf(state).name);
}

// One "+添加" on the fixed row of a group in the middle; the row it added is deleted again
// outside the measurement, so every click meets the same table.
void BM_AddRowClick(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    seedHost(tender, EStored::Allocation);
    CBenchPanel panel;
    panel.load(tender);
    TC::CPanelBondAllocationMixedTable* three = panel.three();
    const int group = three->getProductDataMap().size() / 2 + 1;
    for (auto _ : state) {
        const QString fixedRow = rowKey(three->getProductDataMap().value(group).first()->rowNumber);
        three->handleEvent(KZ::EVT_SIMPLE_TEXT_CLICKED, kOperationColumn, 0, fixedRow, nullptr);
        three->getTable()->syncNow();

        state.PauseTiming();
        const QString addedRow = rowKey(three->getProductDataMap().value(group).last()->rowNumber);
        three->handleEvent(KZ::EVT_SIMPLE_TEXT_CLICKED, kOperationColumn, 0, addedRow, nullptr);
        three->getTable()->syncNow();
        state.ResumeTiming();
    }
    if (panel.accountRowCount() != static_cast<int>(tender.accountRows().size()))
        state.SkipWithError("the added rows were not deleted again");
    state.SetLabel(sizeOf(state).name);
}

// A panel over the tender's stored allocation whose table three is filled on its own.
class CTableThreeBench {
public:
    explicit CTableThreeBench(const CGeneratedTender& tender)
        : tender_(seeded(tender)),
          underwriters_(qsList(tender.underwriterChoices()))
    {
    }
    TC::CPanelBondAllocationMixedTable* three() const { return panel_.three(); }
    int rowCount() const { return panel_.accountRowCount(); }

    // Filled from the stored rows, as the panel fills it, and synced.
    void load()
    {
        QStringList choices = underwriters_;
        three()->updateMixedTableDatas(tender_.accountRows(), tender_.marginalPrice(), tender_.weightedMeanPrice(),
                                       tender_.bondCode(), choices, TTG_PRICE, TT_AMERICAN,
                                       tender_.basicTenderUnit(), "bond");
        three()->getTable()->syncNow();
    }

private:
    // The host holds the stored allocation before the panel is made.
    static const CGeneratedTender& seeded(const CGeneratedTender& tender)
    {
        seedHost(tender, EStored::Allocation);
        return tender;
    }

    const CGeneratedTender& tender_;
    CBenchPanel panel_;
    const QStringList underwriters_;
};

// The first "+添加" right after a saved allocation is loaded: the load numbers the rows in
// the host's order with the won volume inputs hidden, so this click also renumbers every
// row into group order. Each iteration loads again outside the timing.
void BM_FirstAddRowClickAfterLoad(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    CTableThreeBench bench(tender);
    TC::CPanelBondAllocationMixedTable* three = bench.three();
    for (auto _ : state) {
        state.PauseTiming();
        bench.load();
        const int group = three->getProductDataMap().size() / 2 + 1;
        const QString fixedRow = rowKey(three->getProductDataMap().value(group).first()->rowNumber);
        state.ResumeTiming();
        three->handleEvent(KZ::EVT_SIMPLE_TEXT_CLICKED, kOperationColumn, 0, fixedRow, nullptr);
        three->getTable()->syncNow();
    }
    if (bench.rowCount() != static_cast<int>(tender.accountRows().size()) + 1)
        state.SkipWithError("the click did not add a row");
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
        record->rowKey = "gone" + TC::CAllocationMixedData::keyOf(gone);
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
        panel.winBidDetailDataTable()->syncNow();
    }
    if (panel.winBidDetailDataTable()->dataModel()->rowCount() != static_cast<int>(tender.accountRows().size()))
        state.SkipWithError("the hidden table did not get every changed row");
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

// The panel's table three alone, filled from the stored rows and synced once.
void BM_TableThreeLoadStored(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    CTableThreeBench bench(tender);
    for (auto _ : state)
        bench.load();
    if (bench.rowCount() != static_cast<int>(tender.accountRows().size()))
        state.SkipWithError("table three did not get the stored rows");
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

// The same rows as 10 columns of formatted text in a QStandardItemModel shown by a
// QTableView: the replaced model goes away inside the measurement, as the panel's old
// rows do.
void BM_StockQtTableThree(benchmark::State& state)
{
    const CGeneratedTender& tender = tenderOf(state);
    const auto& rows = tender.accountRows();
    const QLocale c = QLocale::c();
    QTableView view;
    view.resize(1120, 168);
    view.show();
    QApplication::processEvents();
    std::unique_ptr<QStandardItemModel> shown;
    for (auto _ : state) {
        std::unique_ptr<QStandardItemModel> model(new QStandardItemModel(static_cast<int>(rows.size()), 10));
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
        view.setModel(model.get());
        view.doItemsLayout();
        shown = std::move(model);
    }
    state.SetLabel(sizeOf(state).name);
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_LoadStoredAllocation)->Apply(sizes);
BENCHMARK(BM_LoadFromExecutionReports)->Apply(sizes);
BENCHMARK(BM_FairDistribution)->Apply(sizes);
BENCHMARK(BM_FullSaveChecks)->Apply(sizes);
BENCHMARK(BM_SaveAllocation)->Apply(sizes);
BENCHMARK(BM_TypeWonVolume)->Apply(sizes);
BENCHMARK(BM_AddRowClick)->Apply(sizes);
BENCHMARK(BM_FirstAddRowClickAfterLoad)->Apply(sizes);
BENCHMARK(BM_TimerTickDrains10000Keys)->Apply(sizes);
BENCHMARK(BM_OnPositionStat)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_TableThreeLoadStored)->Apply(sizes);
BENCHMARK(BM_StockQtTableThree)->Apply(sizes);
