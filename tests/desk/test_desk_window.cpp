// The desk window as the panel's host: the bond list names the bond, the panel's
// signals reach the status bar and the report view, and the panel's configuration
// string survives a restart through the settings.

#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "CDeskWindow.h"
#include "CExecutionReportView.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "CScenario.h"
#include "TC/TradeDockableWidget.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"

using namespace desk;

namespace {

class DeskWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::resetHost();
        QString error;
        ASSERT_TRUE(CScenario::loadFile(CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();
        sample.applyTo(ttservice::CHostStore::instance());
        ttservice::CHostStore::instance().setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
    }
    void TearDown() override { testsupport::resetHost(); }

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

TEST_F(DeskWindowTest, shouldListEveryBondWithMethodAndStoredResult)
{
    // Given the window on the sample
    CDeskWindow window(sample);

    // Then each bond is listed with its method and what is stored for it
    ASSERT_EQ(window.bondList()->rowCount(), static_cast<int>(sample.bonds().size()));
    const auto textAt = [&](const char* code, int column) { return window.bondList()->item(rowOf(window, QLatin1String(code)), column)->text(); };
    EXPECT_EQ(textAt("260205.IB", 2), QStringLiteral("混合式"));
    EXPECT_EQ(textAt("260205.IB", 3), QStringLiteral("已中标"));
    EXPECT_EQ(textAt("260011.IB", 2), QStringLiteral("荷兰式"));
    EXPECT_EQ(textAt("262403.IB", 2), QStringLiteral("美国式"));
    EXPECT_EQ(textAt("264201.IB", 3), QStringLiteral("未中标"));
    EXPECT_EQ(textAt("260301.IB", 3), QStringLiteral("已中标(已结算)"));
    EXPECT_EQ(textAt("260006.IB", 3), QStringLiteral("待录入"));
}

TEST_F(DeskWindowTest, shouldLoadTheBondChosenInTheListIntoThePanel)
{
    // Given the window showing the default bond
    CDeskWindow window(sample);
    window.show();
    ASSERT_TRUE(window.showBond(sample.defaultBondCode()));
    EXPECT_EQ(window.panel()->currentBondCode(), sample.defaultBondCode());

    // When the user picks the American tender in the list
    window.bondList()->setCurrentCell(rowOf(window, QStringLiteral("262403.IB")), 1);

    // Then the panel shows it with its basic tender unit and method, and its reports are listed
    EXPECT_EQ(window.panel()->currentBondCode(), "262403.IB");
    EXPECT_DOUBLE_EQ(window.panel()->currentBasicTenderUnit(), 0.1);
    EXPECT_EQ(window.panel()->currentTenderingType(), ttservice::TT_AMERICAN);
    EXPECT_EQ(window.reportView()->bondCode(), "262403.IB");
    EXPECT_GT(window.reportView()->underwriterTable()->rowCount(), 0);
    EXPECT_GT(window.reportView()->productTable()->rowCount(), 0);
    EXPECT_TRUE(window.statusText().contains(QStringLiteral("262403.IB")));

    // When the user picks the settled bond, then the bond without a result
    window.bondList()->setCurrentCell(rowOf(window, QStringLiteral("260301.IB")), 0);
    // Then the settled bond is shown, the panel keeping the unit it had (read-only view)
    EXPECT_EQ(window.panel()->currentBondCode(), "260301.IB");
    EXPECT_EQ(window.reportView()->bondCode(), "260301.IB");
    window.bondList()->setCurrentCell(rowOf(window, QStringLiteral("260006.IB")), 0);
    EXPECT_EQ(window.panel()->currentBondCode(), "260006.IB");
    EXPECT_EQ(window.panel()->currentTenderingType(), ttservice::TT_DUTCH);

    // And a code the scenario does not know changes nothing
    EXPECT_FALSE(window.showBond("NOPE"));
    EXPECT_EQ(window.panel()->currentBondCode(), "260006.IB");
}

TEST_F(DeskWindowTest, shouldShowThePanelsSignalsAndTheReportsOfTheReturnedBond)
{
    // Given the window on the default bond
    CDeskWindow window(sample);
    window.showBond(sample.defaultBondCode());

    // When the panel reports a save
    emit window.panel()->sigRefreshBondTenderWinBidAmount(QStringLiteral("260205.IB|17.300000"));
    // Then the status bar says so
    EXPECT_EQ(window.statusText(), QStringLiteral("中标分配已保存: 260205.IB, 中标总量 17.300000 亿"));

    // When the panel asks to show a bond's tender execution
    emit window.panel()->sigBondExecutionShowTab(QStringLiteral("260011.IB|0.1000"));
    // Then the status bar says so and the report view shows that bond's reports
    EXPECT_EQ(window.statusText(), QStringLiteral("返回投标执行: 260011.IB, 基本投标单位 0.1000"));
    EXPECT_EQ(window.reportView()->bondCode(), "260011.IB");
    EXPECT_GT(window.reportView()->underwriterTable()->rowCount(), 0);
}

TEST_F(DeskWindowTest, shouldKeepThePanelsConfigurationAcrossRuns)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("desk.ini"));
    QString configured;

    // Given a first run whose panel has a configuration of its data table (widths, order, sort)
    {
        CDeskWindow first(sample);
        first.panel()->setParam(QStringLiteral("hpf1;w=137,90;o=1,0;s=1,1"));
        configured = first.panel()->param();
        QSettings settings(file, QSettings::IniFormat);
        first.saveSettings(settings);
    }

    // When the desk starts again with those settings
    CDeskWindow second(sample);
    second.show();
    const QString fresh = second.panel()->param();
    QSettings settings(file, QSettings::IniFormat);
    second.restoreSettings(settings);

    // Then the panel has the first run's configuration
    EXPECT_EQ(second.panel()->param(), configured);
    EXPECT_NE(fresh, configured) << "the configuration did not reach the panel";
}
