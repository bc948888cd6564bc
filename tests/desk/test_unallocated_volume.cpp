// What each of the panel's tables still has to allocate, beside its caption in the desk's
// frame: table two against table one, table three against table two, red while anything
// is left or too much was given, and following the user's typing before it is committed.

#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include "CDeskWindow.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "CPanelFrame.h"
#include "CPanelTableDriver.h"
#include "CScenario.h"
#include "CUnallocatedVolume.h"
#include "KZ/StandardHpfTable.h"
#include "services/HostStore.h"
#include "TC/OpButton.h"
#include "support/TestSupport.h"

using namespace desk;
using ttservice::CHostStore;

namespace {

using Lines = std::vector<std::pair<QString, bool>>;   // text beside each table, red or not

class UnallocatedVolumeTest : public testsupport::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        QString error;
        ASSERT_TRUE(CScenario::loadFile(CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();
        sample.applyTo(CHostStore::instance());
        CHostStore::instance().setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
        window = std::make_unique<CDeskWindow>(sample);
        window->show();
        ASSERT_TRUE(window->showBond(sample.defaultBondCode()));
        tables = std::make_unique<CPanelTableDriver>(window->panel());
        ASSERT_TRUE(tables->isComplete());
    }

    Lines lines()
    {
        QApplication::processEvents();   // the tables sync, then the figures follow
        QApplication::processEvents();
        Lines out;
        for (const auto& line : window->panelFrame()->unallocatedLines())
            out.emplace_back(line.text, line.alert);
        return out;
    }

    int wonColumn(CPanelTableDriver::ETable table) const { return tables->column(table, QStringLiteral("中标量(亿)")); }

    // Every underwriter's bid taken whole but the marginal position's, cut by 1.0: 17.3 of 18.3.
    void typeTableOne()
    {
        const int bid = tables->column(CPanelTableDriver::T_ONE, QStringLiteral("投标量(亿)"));
        const int position = tables->column(CPanelTableDriver::T_ONE, QStringLiteral("标位"));
        for (const QString& key : tables->keys(CPanelTableDriver::T_ONE)) {
            const double amount = tables->number(CPanelTableDriver::T_ONE, key, bid);
            const bool marginal = tables->text(CPanelTableDriver::T_ONE, key, position) == QStringLiteral("99.8500");
            ASSERT_TRUE(tables->type(CPanelTableDriver::T_ONE, key, wonColumn(CPanelTableDriver::T_ONE),
                                     QString::number(marginal ? amount - 1.0 : amount, 'f', 4)));
        }
    }

    void pressFairDistribution()
    {
        for (TC::COpButton* button : window->panel()->findChildren<TC::COpButton*>())
            if (button->text().contains(QStringLiteral("公平分配")))
                QTest::mouseClick(button, Qt::LeftButton);
    }

    testsupport::MessageBoxRecorder boxes;   // none expected
    CScenario sample;
    std::unique_ptr<CDeskWindow> window;
    std::unique_ptr<CPanelTableDriver> tables;
};

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

TEST_F(UnallocatedVolumeTest, shouldShowWhatEachTableLeavesOfTheLevelAboveAfterEachStep)
{
    // Given the bond as the tender execution left it: nothing won entered yet
    EXPECT_EQ(lines(), (Lines{{s("中标合计 0.0000 亿"), false}, {s("无待分配"), false}, {s("无待分配"), false}}));

    // When table one's won volumes are typed, then table two has all of them to allocate
    typeTableOne();
    EXPECT_EQ(lines(), (Lines{{s("中标合计 17.3000 亿"), false}, {s("未分配 17.3000 亿"), true}, {s("无待分配"), false}}));

    // When the fair distribution splits them over the products, then table three has them
    pressFairDistribution();
    EXPECT_EQ(lines(), (Lines{{s("中标合计 17.3000 亿"), false}, {s("已分配完"), false}, {s("未分配 17.3000 亿"), true}}));
    EXPECT_EQ(window->panelFrame()->unallocatedLines()[2].sentence, s("表三比表二少分配 17.3000 亿"));

    // When a volume is typed in table three (cut to the unit of 0.1 as the panel cuts it)
    const QString first = tables->keys(CPanelTableDriver::T_THREE).front();
    ASSERT_TRUE(tables->type(CPanelTableDriver::T_THREE, first, wonColumn(CPanelTableDriver::T_THREE), QStringLiteral("1.25")));
    EXPECT_EQ(lines()[2], std::make_pair(s("未分配 16.1000 亿"), true));

    // When "+添加" splits that row, then the new row's copy of its volume counts too
    ASSERT_TRUE(tables->click(CPanelTableDriver::T_THREE, first, tables->column(CPanelTableDriver::T_THREE, QStringLiteral("操作"))));
    EXPECT_EQ(lines()[2], std::make_pair(s("未分配 14.9000 亿"), true));

    // When table one is lowered below what table two was given, then table two shows too much
    const QString keyOne = tables->keys(CPanelTableDriver::T_ONE).front();
    ASSERT_TRUE(tables->type(CPanelTableDriver::T_ONE, keyOne, wonColumn(CPanelTableDriver::T_ONE), QStringLiteral("0")));
    EXPECT_EQ(lines()[1], std::make_pair(s("多分配 2.5000 亿"), true));
}

TEST_F(UnallocatedVolumeTest, shouldFollowTheVolumeBeingTypedBeforeItIsCommitted)
{
    // Given table one's first row's editor open
    const QString key = tables->keys(CPanelTableDriver::T_ONE).front();
    KZ::CStandardHpfTable* one = tables->table(CPanelTableDriver::T_ONE);
    one->syncNow();
    const QModelIndex cell = one->qtModel()->index(0, wonColumn(CPanelTableDriver::T_ONE));
    one->view()->edit(cell);
    auto* editor = qobject_cast<QLineEdit*>(one->view()->indexWidget(cell));
    ASSERT_NE(editor, nullptr);

    // When the user types, then the figures show what the panel will make of the text
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("1.25"));
    EXPECT_EQ(lines()[0], std::make_pair(s("中标合计 1.2000 亿"), false));
    EXPECT_EQ(lines()[1], std::make_pair(s("未分配 1.2000 亿"), true));

    // And a text above the row's bid counts as the bid
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("125"));
    EXPECT_EQ(lines()[1].first, s("未分配 2.5000 亿"));

    // When the user presses Escape instead of committing, then the figures go back
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(lines()[1], std::make_pair(s("无待分配"), false));
    EXPECT_EQ(tables->number(CPanelTableDriver::T_ONE, key, wonColumn(CPanelTableDriver::T_ONE)), 0.0);
}

TEST(UnallocatedFigureTest, shouldTurnRedOnlyBeyondTheToleranceEitherWay)
{
    const struct {
        bool shown;
        bool hasReference;
        double total;
        double remaining;
        const char* text;
        bool alert;
    } cases[] = {
        {true, true, 5.0, 0.0, "已分配完", false},
        {true, true, 5.0, 0.00001, "已分配完", false},
        {true, true, 5.0, -0.00001, "已分配完", false},
        {true, true, 5.0, 0.00002, "未分配\n0.0000 亿", true},
        {true, true, 5.0, -0.00002, "多分配\n0.0000 亿", true},
        {true, true, 5.0, 1.2, "未分配\n1.2000 亿", true},
        {true, true, 0.0, 0.0, "无待分配", false},
        {true, false, 0.0, 0.0, "中标合计\n0.0000 亿", false},   // table one: nothing above it
        {false, true, 0.0, 3.0, "", false},                     // a table without rows
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SUnallocatedFigure figure;
        figure.shown = c.shown;
        figure.hasReference = c.hasReference;
        figure.total = c.total;
        figure.remaining = c.remaining;
        EXPECT_EQ(figure.railText(), QString::fromUtf8(c.text));
        EXPECT_EQ(figure.isAlert(), c.alert);
    }
}
