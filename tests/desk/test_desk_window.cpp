// The desk window as the panel's host: the bond list names the bond, the panel's
// signals reach the status bar and the report view, and the panel's configuration
// string survives a restart through the settings.

#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>

#include "CDeskWindow.h"
#include "CExecutionReportView.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "CScenario.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"

using namespace desk;

namespace {

class DeskWindowTest : public testsupport::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        QString error;
        ASSERT_TRUE(CScenario::loadFile(CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();
        sample.applyTo(ttservice::CHostStore::instance());
        ttservice::CHostStore::instance().setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
    }

    int rowOf(const CDeskWindow& window, const QString& code) const
    {
        for (int row = 0; row < window.bondList()->rowCount(); ++row)
            if (window.bondList()->item(row, 0)->text() == code)
                return row;
        return -1;
    }

    CScenario sample;
    testsupport::MessageBoxRecorder boxes;   // the desk's loads show no box
};

} // namespace

TEST_F(DeskWindowTest, shouldListEveryBondWithMethodAndStoredResultAndLoadTheChosenOneIntoThePanel)
{
    // Given the window on the sample
    CDeskWindow window(sample);
    window.show();

    // Then each bond is listed with its method and what is stored for it
    ASSERT_EQ(window.bondList()->rowCount(), static_cast<int>(sample.bonds().size()));
    const struct { const char* code; int column; const char* text; } listed[] = {
        {"260205.IB", 2, "混合式"}, {"260205.IB", 3, "已中标"}, {"260011.IB", 2, "荷兰式"}, {"262403.IB", 2, "美国式"},
        {"264201.IB", 3, "未中标"}, {"260301.IB", 3, "已中标(已结算)"}, {"260006.IB", 3, "待录入"},
    };
    for (const auto& l : listed)
        EXPECT_EQ(window.bondList()->item(rowOf(window, QLatin1String(l.code)), l.column)->text(), QString::fromUtf8(l.text));

    // When the user picks the American tender in the list
    ASSERT_TRUE(window.showBond(sample.defaultBondCode()));
    window.bondList()->setCurrentCell(rowOf(window, QStringLiteral("262403.IB")), 1);

    // Then the panel shows it with its basic tender unit and method, and its reports are listed
    EXPECT_EQ(window.panel()->currentBondCode(), "262403.IB");
    EXPECT_DOUBLE_EQ(window.panel()->currentBasicTenderUnit(), 0.1);
    EXPECT_EQ(window.panel()->currentTenderingType(), ttservice::TT_AMERICAN);
    EXPECT_EQ(window.reportView()->bondCode(), "262403.IB");
    EXPECT_GT(window.reportView()->productTable()->rowCount(), 0);
    EXPECT_TRUE(window.statusText().contains(QStringLiteral("262403.IB")));

    // And the bond without a result shows as well, while a code the scenario does not know changes nothing
    window.bondList()->setCurrentCell(rowOf(window, QStringLiteral("260006.IB")), 0);
    EXPECT_EQ(window.panel()->currentTenderingType(), ttservice::TT_DUTCH);
    EXPECT_FALSE(window.showBond("NOPE"));
    EXPECT_EQ(window.panel()->currentBondCode(), "260006.IB");
}

TEST_F(DeskWindowTest, shouldShowThePanelsSignalsAndTheReportsOfTheReturnedBond)
{
    CDeskWindow window(sample);
    window.showBond(sample.defaultBondCode());

    emit window.panel()->sigRefreshBondTenderWinBidAmount(QStringLiteral("260205.IB|17.300000"));
    EXPECT_EQ(window.statusText(), QStringLiteral("中标分配已保存: 260205.IB, 中标总量 17.300000 亿"));

    emit window.panel()->sigBondExecutionShowTab(QStringLiteral("260011.IB|0.1000"));
    EXPECT_EQ(window.statusText(), QStringLiteral("返回投标执行: 260011.IB, 基本投标单位 0.1000"));
    EXPECT_EQ(window.reportView()->bondCode(), "260011.IB");
    EXPECT_GT(window.reportView()->underwriterTable()->rowCount(), 0);
}

TEST_F(DeskWindowTest, shouldKeepThePanelsConfigurationAcrossRuns)
{
    // Given a first run whose panel has a configuration of its data table (widths, order, sort)
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("desk.ini"));
    QString configured;
    {
        CDeskWindow first(sample);
        first.panel()->setParam(QStringLiteral("hpf1;w=137,90;o=1,0;s=1,1"));
        configured = first.panel()->param();
        QSettings settings(file, QSettings::IniFormat);
        first.saveSettings(settings);
    }

    // When the desk starts again with those settings, then the panel has the first run's configuration
    CDeskWindow second(sample);
    second.show();
    ASSERT_NE(second.panel()->param(), configured);
    QSettings settings(file, QSettings::IniFormat);
    second.restoreSettings(settings);
    EXPECT_EQ(second.panel()->param(), configured);
}
