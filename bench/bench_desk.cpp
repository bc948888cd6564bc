// The desk in process over generated tenders of three sizes (argument 0, 1, 2 = S, M, L):
// reading a scenario, the execution-report view, switching the shown bond between two
// bonds with saved allocations, from the click in the bond list to table three painted,
// a press of "保存" committed to the desk's file, and the bond's history shown.
#include <QApplication>
#include <QJsonDocument>
#include <QTableWidget>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

#include "BenchSupport.h"
#include "CDeskDatabase.h"
#include "CDeskWindow.h"
#include "CExecutionReportView.h"
#include "CHistoryDialog.h"
#include "CPanelBondAllocationMixedTable.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "CScenario.h"
#include "KZ/MessageBox.h"
#include "TenderGenerator.h"
#include "services/HostStore.h"

namespace {

using bench::CGeneratedTender;
using bench::CPaintWatch;

constexpr unsigned kSeed = 20261205;
constexpr int kSaveButton = 32;     // "保存" in the panel's button row
constexpr int kReturnButton = 34;   // "返回执行投标"

const bench::STenderSize& sizeOf(const benchmark::State& state)
{
    static const bench::STenderSize* const sizes[] = {&bench::kSmall, &bench::kMedium, &bench::kLarge};
    return *sizes[state.range(0)];
}

// Two bonds of one size, each with its allocation saved, as a desk that has worked on both.
class CTwoBonds {
public:
    explicit CTwoBonds(const bench::STenderSize& size)
        : first_(size, kSeed, 1),
          second_(size, kSeed + 1, 2),
          json_(QJsonDocument(CGeneratedTender::scenarioOf({&first_, &second_})).toJson(QJsonDocument::Compact))
    {
    }
    const QByteArray& json() const { return json_; }
    const CGeneratedTender& first() const { return first_; }

    // A fresh host with the scenario and both saved allocations.
    bool seed(desk::CScenario* scenario) const
    {
        KZ::CMessageBox::setHandler([](KZ::CMessageBox::EKind, const QString&, const QString&, int) {
            return static_cast<int>(KZ::CMessageBox::Ok);
        });
        QString error;
        if (!desk::CScenario::parse(json_, QStringLiteral("generated"), scenario, &error))
            return false;
        ttservice::CHostStore& store = ttservice::CHostStore::instance();
        store.reset();
        store.setHintSettings(false, false);
        store.setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
        scenario->applyTo(store);
        first_.seedStoredAllocation(store);
        second_.seedStoredAllocation(store);
        return true;
    }

private:
    CGeneratedTender first_;
    CGeneratedTender second_;
    QByteArray json_;
};

const CTwoBonds& bondsOf(const benchmark::State& state)
{
    static std::unique_ptr<CTwoBonds> bonds[3];
    std::unique_ptr<CTwoBonds>& of = bonds[state.range(0)];
    if (!of)
        of.reset(new CTwoBonds(sizeOf(state)));
    return *of;
}

// Reading and checking the two bonds' scenario document.
void BM_ScenarioParse(benchmark::State& state)
{
    const CTwoBonds& bonds = bondsOf(state);
    std::unique_ptr<desk::CScenario> scenario;
    for (auto _ : state) {
        state.PauseTiming();   // the last one goes away outside the measurement
        scenario.reset(new desk::CScenario);
        state.ResumeTiming();
        QString error;
        if (!desk::CScenario::parse(bonds.json(), QStringLiteral("generated"), scenario.get(), &error)) {
            state.SkipWithError(error.toUtf8().constData());
            break;
        }
    }
    state.SetLabel(sizeOf(state).name);
}

// The execution reports of one bond shown in the report view, painted.
void BM_ReportViewShowBond(benchmark::State& state)
{
    const CTwoBonds& bonds = bondsOf(state);
    desk::CScenario scenario;
    if (!bonds.seed(&scenario)) {
        state.SkipWithError("the generated scenario was refused");
        return;
    }
    desk::CExecutionReportView view;
    view.resize(600, 900);
    view.show();
    QApplication::processEvents();
    CPaintWatch painted(view.productTable()->viewport());
    for (auto _ : state)
        if (!(view.showBond(ttservice::CHostStore::instance(), bonds.first().bondCode()), painted.waitForPaint())) {
            state.SkipWithError("the report view was not painted");
            break;
        }
    state.SetLabel(sizeOf(state).name);
}

// A click on the other bond in the desk's bond list, to table three painted with its rows.
void BM_DeskBondSwitch(benchmark::State& state)
{
    const CTwoBonds& bonds = bondsOf(state);
    desk::CScenario scenario;
    if (!bonds.seed(&scenario)) {
        state.SkipWithError("the generated scenario was refused");
        return;
    }
    desk::CDeskWindow window(scenario);
    window.show();
    window.showBond(bonds.first().bondCode());
    QAbstractItemView* three = bench::mainViewOf(window.panel()->findChild<TC::CPanelBondAllocationMixedTable*>());
    CPaintWatch painted(three->viewport());
    painted.waitForPaint();
    int row = 0;
    for (auto _ : state) {
        row = 1 - row;
        window.bondList()->setCurrentCell(row, 0);
        if (!painted.waitForPaint()) {
            state.SkipWithError("table three was not painted");
            break;
        }
    }
    if (three->model()->rowCount() != static_cast<int>(bonds.first().accountRows().size()))
        state.SkipWithError("table three does not show the bond's saved rows");
    state.SetLabel(sizeOf(state).name);
}

// The desk on its own file, showing the first bond: the host seeded, the file attached as
// the store's persistence, message boxes answered and remembered.
class CDeskOnFile {
public:
    explicit CDeskOnFile(const CTwoBonds& bonds)
    {
        if (!bonds.seed(&scenario_))
            return;
        QString error;
        database_ = desk::CDeskDatabase::open(dir_.filePath(QStringLiteral("desk.sqlite")), &error);
        if (!database_)
            return;
        ttservice::CHostStore& store = ttservice::CHostStore::instance();
        store.setHintSettings(true, true);   // the box tells the verdict
        KZ::CMessageBox::setHandler([this](KZ::CMessageBox::EKind, const QString&, const QString& text, int) {
            lastBox_ = text;
            return static_cast<int>(KZ::CMessageBox::Ok);
        });
        store.setPersistence(database_.get());
        window_.reset(new desk::CDeskWindow(scenario_));
        window_->show();
        window_->showBond(bonds.first().bondCode());
        QApplication::processEvents();
    }
    ~CDeskOnFile()
    {
        window_.reset();
        ttservice::CHostStore::instance().setPersistence(nullptr);
    }
    bool isOpen() const { return window_ != nullptr; }
    desk::CDeskDatabase& database() const { return *database_; }

    // "保存" pressed: true once the box tells it done (the transaction committed before it).
    bool save()
    {
        press(kSaveButton);
        return lastBox_ == QStringLiteral("保存成功!");
    }
    // A button of the panel's row pressed, every box answered "OK", and what the press
    // changed committed (an action without a box ends when control is back in the loop).
    void press(int button)
    {
        lastBox_.clear();
        static_cast<KZ::CEventDeliverer&>(*window_->panel()).handleEvent(KZ::EVT_BUTTON_CLICKED, button, 0, QString(), nullptr);
        QApplication::processEvents();
    }

private:
    desk::CScenario scenario_;
    QTemporaryDir dir_;
    std::unique_ptr<desk::CDeskDatabase> database_;
    std::unique_ptr<desk::CDeskWindow> window_;
    QString lastBox_;
};

// One press of "保存" on the shown bond: the panel's checks and write-back, then the desk's
// transaction (the bond's records and the history entry) committed to its file before the
// box tells the user; what the user waits for at the desk.
void BM_DeskSave(benchmark::State& state)
{
    CDeskOnFile desk(bondsOf(state));
    if (!desk.isOpen()) {
        state.SkipWithError("the desk could not be opened on a new file");
        return;
    }
    for (auto _ : state)
        if (!desk.save()) {
            state.SkipWithError("the save was not told as done");
            break;
        }
    state.SetLabel(sizeOf(state).name);
}

// The history of the shown bond after a save and a return to tender execution: its
// entries read from the file and the dialog made with the latest entry's rows compared
// (every row of the four areas gone), shown and painted.
void BM_HistoryDialog(benchmark::State& state)
{
    const CTwoBonds& bonds = bondsOf(state);
    CDeskOnFile desk(bonds);
    if (!desk.isOpen() || !desk.save()) {
        state.SkipWithError("the desk could not save on a new file");
        return;
    }
    desk.press(kReturnButton);
    for (auto _ : state) {
        std::vector<desk::SHistoryEntry> entries;
        QString error;
        if (!desk.database().readHistory(bonds.first().bondCode(), &entries, &error) || entries.size() != 2) {
            state.SkipWithError(error.isEmpty() ? "the return to tender execution left no entry" : error.toUtf8().constData());
            break;
        }
        desk::CHistoryDialog dialog(QString::fromStdString(bonds.first().bondCode()), std::move(entries));
        dialog.show();
        CPaintWatch painted(dialog.changeList()->viewport());
        if (!painted.waitForPaint()) {
            state.SkipWithError("the history was not painted");
            break;
        }
    }
    state.SetLabel(sizeOf(state).name);
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_ScenarioParse)->Apply(sizes);
BENCHMARK(BM_ReportViewShowBond)->Apply(sizes);
BENCHMARK(BM_DeskBondSwitch)->Apply(sizes);
BENCHMARK(BM_DeskSave)->Apply(sizes);
BENCHMARK(BM_HistoryDialog)->Apply(sizes);
