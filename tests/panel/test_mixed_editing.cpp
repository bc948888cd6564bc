// Editing table three through its delegates in a shown view.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include "test_mixed_support.h"

using namespace mixedtest;
using TC::CPanelBondAllocationMixedTable;

namespace {

class MixedEditingTest : public MixedTableTest {
protected:
    void SetUp() override
    {
        MixedTableTest::SetUp();
        table.reset(new CPanelBondAllocationMixedTable(0, nullptr));
        table->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(table.get()));
    }

    // One group of product 12 (fixed row 1, added row 2) and one of product 9 (row 3).
    void loadTwoGroups()
    {
        load(*table, {detail(12, "P12", 100.5, 30000, true), detail(12, "P12", 100.5, 10000, false),
                      detail(9, "P9", 100.5, 20000, true)});
    }

    double wonTotal() const { return table->getAllocationMixedModel()->getTotalWinBidAmount(); }

    std::unique_ptr<CPanelBondAllocationMixedTable> table;
};

} // namespace

TEST_F(MixedEditingTest, shouldRenewAccountChoicesWhenAnotherMarketIsChosen)
{
    // Given a Shanghai row of product 12 with account SH1
    loadTwoGroups();
    ASSERT_EQ(rowByKey(*table, "1")->info->account, "SH1");

    // When the market is changed to interbank in the editor
    QLineEdit* editor = openEditor(*table, "1", 1);
    ASSERT_NE(editor, nullptr);
    chooseFromList(editor, QStringLiteral("银行间"));

    // Then the account is emptied and only interbank accounts are offered
    const auto row = rowByKey(*table, "1");
    EXPECT_EQ(row->info->tenderMarket, 3);
    EXPECT_EQ(row->info->account, "");
    EXPECT_EQ(choices(*table, 8, "1"), (QStringList{"", "IB1"}));
    EXPECT_EQ(delegateAt<TC::CBaseTableColumnAutoLineEditDelegate>(*table, 1)->getCurText("1"),
              QStringLiteral("银行间"));

    // When an account is chosen and the same market is chosen again
    editor = openEditor(*table, "1", 8);
    ASSERT_NE(editor, nullptr);
    chooseFromList(editor, QStringLiteral("IB1"));
    editor = openEditor(*table, "1", 1);
    ASSERT_NE(editor, nullptr);
    chooseFromList(editor, QStringLiteral("银行间"));
    // Then the account stays
    EXPECT_EQ(row->info->account, "IB1");

    // When a text that is no market is typed, the row has no market and no account choices
    editor = openEditor(*table, "1", 1);
    ASSERT_NE(editor, nullptr);
    typeAndCommit(editor, QStringLiteral("xyz"));
    EXPECT_EQ(row->info->tenderMarket, -1);
    EXPECT_EQ(row->info->account, "");
    EXPECT_EQ(choices(*table, 8, "1"), QStringList{""});
}

TEST_F(MixedEditingTest, shouldTakePurchaseTypeAndUnderwriterAsTyped)
{
    loadTwoGroups();
    QLineEdit* editor = openEditor(*table, "3", 2);
    ASSERT_NE(editor, nullptr);
    chooseFromList(editor, QStringLiteral("二级上市"));
    editor = openEditor(*table, "3", 3);
    ASSERT_NE(editor, nullptr);
    typeAndCommit(editor, QStringLiteral("UW2"));
    EXPECT_EQ(rowByKey(*table, "3")->info->purchaseType, "二级上市");
    EXPECT_EQ(rowByKey(*table, "3")->info->underWriter, "UW2");
}

TEST_F(MixedEditingTest, shouldCutTypedVolumeToWholeUnitsAndCapItAtTheBid)
{
    const struct { double unit; const char* typed; double stored; const char* shown; } cases[] = {
        {0.1, "1.23456", 1.2, "1.2000"},
        {0.1, "0.05", 0.0, "0.0000"},
        {0.1, "5", 3.0, "3.0000"},     // bid is 3
        {0.0, "2", 0.0, "0.0000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        // Given a row bidding 3 and a second row winning 2
        DetailPtr first = detail(12, "P12", 100.5, 10000, true);
        first->bidAmount = 3.0;
        load(*table, {first, detail(9, "P9", 100.5, 20000, true)}, ttservice::TT_AMERICAN, c.unit);
        // When a volume is typed into the first row
        QLineEdit* editor = openEditor(*table, "1", 7);
        ASSERT_NE(editor, nullptr);
        typeAndCommit(editor, QString::fromUtf8(c.typed));
        // Then
        EXPECT_DOUBLE_EQ(rowByKey(*table, "1")->info->winBidAmount, c.stored);
        EXPECT_EQ(delegateAt<KZ::CBaseTableColumnLineeditDelegate>(*table, 7)->getItemText("1"),
                  QString::fromUtf8(c.shown));
        EXPECT_DOUBLE_EQ(wonTotal(), c.stored + 2.0);
    }
}

TEST_F(MixedEditingTest, shouldAppendACopyOfTheFirstRowWhenAddIsClicked)
{
    loadTwoGroups();
    QAbstractItemModelTester tester(table->getTable()->qtModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    // When "+添加" of product 12's group is clicked
    clickCell(*table, "1", 9);
    // Then the copy ends the group and rows are numbered 1..4 in group order (P9's key sorts after P12's)
    EXPECT_EQ(rowSummary(*table), (std::vector<std::string>{"1:P12|3.0000|+添加", "2:P12|1.0000|删除",
                                                             "3:P12|3.0000|", "4:P9|2.0000|+添加"}));
    EXPECT_EQ(delegateAt<KZ::CBaseTableColumnSimpleTextDelegate>(*table, 9)->getText("3"), QStringLiteral("删除"));
    EXPECT_EQ(rowByKey(*table, "3")->info->account, "SH1");
    EXPECT_DOUBLE_EQ(wonTotal(), 9.0);

    // When "删除" of the row just added is clicked
    clickCell(*table, "3", 9);
    // Then exactly that row is gone and the rest renumbered
    EXPECT_EQ(rowSummary(*table), (std::vector<std::string>{"1:P12|3.0000|+添加", "2:P12|1.0000|删除",
                                                             "3:P9|2.0000|+添加"}));
    EXPECT_DOUBLE_EQ(wonTotal(), 6.0);
    table->getTable()->syncNow();
    EXPECT_EQ(table->getTable()->qtModel()->index(0, 0).data(KZ::kRowKeyRole).toString(), QStringLiteral("1"));
}

TEST_F(MixedEditingTest, shouldHitTheClickedRowsGroupRightAfterALoadInHostOrder)
{
    // Given the host's order P9, P12 added, P12 fixed: row 1 is P9 but sits in group 2
    load(*table, {detail(9, "P9", 100.5, 20000, true), detail(12, "P12", 100.5, 10000, false),
                  detail(12, "P12", 100.5, 30000, true)});
    // When P9's "+添加" (row 1) is clicked
    clickCell(*table, "1", 9);
    // Then P9's group grew
    ASSERT_EQ(table->getProductDataMap().size(), 2);
    EXPECT_EQ(table->getProductDataMap().value(1).size(), 2);
    EXPECT_EQ(table->getProductDataMap().value(2).size(), 2);

    // Given the host's order P9 added, P12 fixed, P9 fixed: row 1 is the last row of group 2
    load(*table, {detail(9, "P9", 100.5, 10000, false), detail(12, "P12", 100.5, 30000, true),
                  detail(9, "P9", 100.5, 20000, true)});
    // When its "删除" is clicked
    clickCell(*table, "1", 9);
    // Then exactly that row is gone
    EXPECT_EQ(rowSummary(*table), (std::vector<std::string>{"1:P12|3.0000|+添加", "2:P9|2.0000|+添加"}));
}

TEST_F(MixedEditingTest, shouldLeaveNothingEditableWhenLocked)
{
    // Given a loaded table, when it is locked
    loadTwoGroups();
    table->disableMixedTableDelegate();
    // Then each choice column offers only the row's value
    EXPECT_EQ(choices(*table, 1, "2"), QStringList{"上交所"});
    EXPECT_EQ(choices(*table, 2, "2"), QStringList{"一级分销"});
    EXPECT_EQ(choices(*table, 3, "2"), QStringList{"UW1"});
    EXPECT_EQ(choices(*table, 8, "2"), QStringList{"SH1"});
    // And the won volume cannot be typed, and the operation cells do nothing
    EXPECT_EQ(openEditor(*table, "1", 7), nullptr);
    auto* operations = delegateAt<KZ::CBaseTableColumnSimpleTextDelegate>(*table, 9);
    EXPECT_FALSE(operations->isItemEnabled("1"));
    EXPECT_EQ(operations->itemColorKey("1"), QStringLiteral("clr_disable_color"));
    clickCell(*table, "1", 9);
    clickCell(*table, "2", 9);
    EXPECT_EQ(table->getAllocationMixedModel()->rowCount(), 3);
}

TEST_F(MixedEditingTest, shouldIgnoreEventsForRowsThatNoLongerExist)
{
    loadTwoGroups();
    QString typed = QStringLiteral("1");
    EXPECT_TRUE(table->handleEvent(226, 0, 7, QStringLiteral("99"), &typed));
    EXPECT_TRUE(table->handleEvent(224, 9, 0, QStringLiteral("99"), nullptr));
    EXPECT_EQ(table->getAllocationMixedModel()->rowCount(), 3);
    EXPECT_DOUBLE_EQ(wonTotal(), 6.0);
    EXPECT_FALSE(table->handleEvent(5, 32, 0, QString(), nullptr));
}

TEST_F(MixedEditingTest, shouldApplyAComboBoxChoiceLikeTheAutoLineEdit)
{
    // Given the market column is served by a combo box
    loadTwoGroups();
    auto* combo = new KZ::CBaseTableColumnComboxDelegate(1, table->getTable());
    table->getTable()->setColumnDelegate(1, combo);
    // When it reports Shenzhen for row 1
    combo->setItemText(QStringLiteral("1"), QStringLiteral("深交所"));
    EXPECT_TRUE(table->handleEvent(268, 1, 0, QStringLiteral("1"), nullptr));
    // Then the market changes and the account is reset as with the line edit
    EXPECT_EQ(rowByKey(*table, "1")->info->tenderMarket, 2);
    EXPECT_EQ(rowByKey(*table, "1")->info->account, "");
    EXPECT_EQ(choices(*table, 8, "1"), (QStringList{"", "SH1", "SH2"}));
}
