// Editing table three through its delegates in a shown view.
#include "test_mixed_support.h"

using namespace mixedtest;

namespace {

class MixedEditingTest : public MixedTableTest {
protected:
    // One group of product 12 (fixed row 1, added row 2) and one of product 9 (row 3).
    void loadTwoGroups()
    {
        load(table, {detail(12, "P12", 100.5, 30000, true), detail(12, "P12", 100.5, 10000, false),
                     detail(9, "P9", 100.5, 20000, true)});
    }
};

} // namespace

TEST_F(MixedEditingTest, shouldRenewAccountChoicesWhenAnotherMarketIsChosen)
{
    // Given a Shanghai row of product 12 with account SH1
    loadTwoGroups();
    const auto row = rowByKey(table, "1");

    // When interbank is chosen in the market editor, then the account is emptied and
    // only interbank accounts are offered
    typeInto(&table, "1", 1, "银行间");
    EXPECT_EQ(row->info->tenderMarket, ttservice::TM_INTERBANK);
    EXPECT_EQ(row->info->account, "");
    EXPECT_EQ(choices(table, 8, "1"), (QStringList{"", "IB1"}));

    // When an account is chosen and the same market again, then the account stays
    typeInto(&table, "1", 8, "IB1");
    typeInto(&table, "1", 1, "银行间");
    EXPECT_EQ(row->info->account, "IB1");

    // When a text that is no market is typed, then no market and no account choices
    typeInto(&table, "1", 1, "xyz");
    EXPECT_EQ(row->info->tenderMarket, -1);
    EXPECT_EQ(row->info->account, "");
    EXPECT_EQ(choices(table, 8, "1"), QStringList{""});

    // When a combo box serves the market column, then its choice acts the same way
    auto* combo = new KZ::CBaseTableColumnComboxDelegate(1, table.getTable());
    table.getTable()->setColumnDelegate(1, combo);
    combo->setItemText(QStringLiteral("1"), QStringLiteral("深交所"));
    EXPECT_TRUE(table.handleEvent(268, 1, 0, QStringLiteral("1"), nullptr));
    EXPECT_EQ(row->info->tenderMarket, ttservice::TM_SZSE);
    EXPECT_EQ(choices(table, 8, "1"), (QStringList{"", "SH1", "SH2"}));
}

TEST_F(MixedEditingTest, shouldCutTypedVolumeToWholeUnitsAndCapItAtTheBid)
{
    // Given a row bidding 3 and a second row winning 2, unit 0.1
    DetailPtr first = detail(12, "P12", 100.5, 10000, true);
    first->bidAmount = 3.0;
    load(table, {first, detail(9, "P9", 100.5, 20000, true)});
    const struct { const char* typed; double stored; const char* shown; } cases[] = {
        {"1.23456", 1.2, "1.2000"}, {"5", 3.0, "3.0000"}};
    for (const auto& [typed, stored, shown] : cases) {
        SCOPED_TRACE(typed);
        // When a volume is typed into the first row
        typeInto(&table, "1", 7, typed);
        // Then it is cut to whole units, at most the bid, and the total follows
        EXPECT_DOUBLE_EQ(rowByKey(table, "1")->info->winBidAmount, stored);
        EXPECT_EQ(delegateAt<KZ::CBaseTableColumnLineeditDelegate>(table, 7)->getItemText("1"),
                  QString::fromUtf8(shown));
        EXPECT_DOUBLE_EQ(wonTotal(), stored + 2.0);
    }
}

TEST_F(MixedEditingTest, shouldAddACopyOfTheFirstRowAndDeleteTheClickedRow)
{
    loadTwoGroups();
    QAbstractItemModelTester tester(table.getTable()->qtModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);

    // When "+添加" of product 12's group is clicked
    clickCell(&table, "1", 9);
    // Then a copy of its first row ends the group and rows are renumbered in group order
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"1:P12|3.0000|+添加", "2:P12|1.0000|删除",
                                                            "3:P12|3.0000|", "4:P9|2.0000|+添加"}));
    EXPECT_EQ(delegateAt<KZ::CBaseTableColumnSimpleTextDelegate>(table, 9)->getText("3"), QStringLiteral("删除"));
    EXPECT_EQ(rowByKey(table, "3")->info->account, "SH1");
    EXPECT_DOUBLE_EQ(wonTotal(), 9.0);

    // When "删除" of the row just added is clicked
    clickCell(&table, "3", 9);
    // Then exactly that row is gone and the rest renumbered
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"1:P12|3.0000|+添加", "2:P12|1.0000|删除",
                                                            "3:P9|2.0000|+添加"}));
    EXPECT_DOUBLE_EQ(wonTotal(), 6.0);

    // And events for a row that no longer exists change nothing
    QString typed = QStringLiteral("1");
    EXPECT_TRUE(table.handleEvent(226, 0, 7, QStringLiteral("4"), &typed));
    EXPECT_TRUE(table.handleEvent(224, 9, 0, QStringLiteral("4"), nullptr));
    EXPECT_EQ(rowSummary(table).size(), 3u);
    EXPECT_DOUBLE_EQ(wonTotal(), 6.0);
}

TEST_F(MixedEditingTest, shouldHitTheClickedRowsGroupRightAfterALoadInHostOrder)
{
    // Given the host's order P9, P12 added, P12 fixed: row 1 is P9 but sits in group 2
    load(table, {detail(9, "P9", 100.5, 20000, true), detail(12, "P12", 100.5, 10000, false),
                 detail(12, "P12", 100.5, 30000, true)});
    // When P9's "+添加" (row 1) is clicked, then P9's group grew
    clickCell(&table, "1", 9);
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"1:P12|3.0000|+添加", "2:P12|1.0000|删除",
                                                            "3:P9|2.0000|+添加", "4:P9|2.0000|"}));

    // Given the host's order P9 added, P12 fixed, P9 fixed: row 1 is the last row of group 2
    load(table, {detail(9, "P9", 100.5, 10000, false), detail(12, "P12", 100.5, 30000, true),
                 detail(9, "P9", 100.5, 20000, true)});
    // When its "删除" is clicked, then exactly that row is gone
    clickCell(&table, "1", 9);
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"1:P12|3.0000|+添加", "2:P9|2.0000|+添加"}));
}

TEST_F(MixedEditingTest, shouldLeaveNothingEditableWhenLocked)
{
    // Given a loaded table, when it is locked
    loadTwoGroups();
    table.disableMixedTableDelegate();
    // Then each choice column offers only the row's value
    EXPECT_EQ(choices(table, 1, "2"), QStringList{"上交所"});
    EXPECT_EQ(choices(table, 2, "2"), QStringList{"一级分销"});
    EXPECT_EQ(choices(table, 3, "2"), QStringList{"UW1"});
    EXPECT_EQ(choices(table, 8, "2"), QStringList{"SH1"});
    // And the won volume cannot be typed, and the operation cells do nothing
    EXPECT_EQ(openEditor(&table, "1", 7), nullptr);
    clickCell(&table, "1", 9);
    clickCell(&table, "2", 9);
    EXPECT_EQ(rowSummary(table).size(), 3u);
}

namespace {

// The literal rebuild of a click: empty the model, add to or remove from the group, put
// every stored row back. The table under test may do less work for the same result.
class RebuiltOnEveryClick : public TC::CPanelBondAllocationMixedTable {
public:
    RebuiltOnEveryClick() : TC::CPanelBondAllocationMixedTable(0, nullptr) {}
    void clickOperation(const QString& key)
    {
        getAllocationMixedModel()->clear();
        getAllocationMixedModel()->clearFilter();
        if (isAddOperation(key.toInt()))
            addProductData2Map(key.toInt());
        else
            delProductData2Map(key.toInt());
        refreshTable();
    }
};

// What the table shows: its rows, then what every row's cells hold in the delegates.
std::vector<std::string> shownState(const TC::CPanelBondAllocationMixedTable& table)
{
    std::vector<std::string> out = rowSummary(table);
    auto* volume = delegateAt<KZ::CBaseTableColumnLineeditDelegate>(table, 7);
    auto* operation = delegateAt<KZ::CBaseTableColumnSimpleTextDelegate>(table, 9);
    for (int number = 1; number <= table.getAllocationMixedModel()->rowCount(); ++number) {
        const QString key = QString::number(number);
        QStringList cells;
        for (int column : {1, 2, 3, 8}) {
            auto* choice = delegateAt<TC::CBaseTableColumnAutoLineEditDelegate>(table, column);
            cells << choice->getItems(key).join(',') << choice->getCurText(key);
        }
        cells << volume->getItemText(key) << (volume->isItemVisible(key) ? "shown" : "hidden")
              << operation->getText(key) << operation->itemColorKey(key)
              << (operation->isItemEnabled(key) ? "enabled" : "disabled");
        out.push_back(key.toStdString() + "=" + cells.join(';').toStdString());
    }
    out.push_back("won " + table.getAllocationMixedModel()->getStatDispalyQString(7).toStdString());
    return out;
}

} // namespace

TEST_F(MixedEditingTest, shouldShowAfterEveryClickWhatARebuildOfTheWholeTableShows)
{
    // Given the same saved rows, in host order across three groups, in two tables
    RebuiltOnEveryClick rebuilt;
    rebuilt.resize(900, 300);
    rebuilt.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rebuilt));
    const std::vector<DetailPtr> details{detail(9, "P9", 100.5, 20000, true), detail(12, "P12", 100.5, 10000, false),
                                         detail(12, "P12", 100.5, 30000, true), detail(10, "P10", 99.5, 5000, true),
                                         detail(9, "P9", 100.5, 10000, false)};

    // When both get the same edits and clicks (the step's text says what it does)
    struct SStep { const char* what; std::string key; int column; const char* text; };
    const SStep editedBeforeTheFirstClick[] = {
        {"account typed right after the load", "2", 8, "XYZ"},
        {"market edited right after the load", "5", 1, "银行间"},
        {"first click after the load, on an added row", "2", 9, nullptr},
        {"add in the first group", "1", 9, nullptr},
    };
    const SStep steps[] = {
        {"first click after the load", "3", 9, nullptr},
        {"market edited in group 1", "2", 1, "银行间"},
        {"account typed freely in group 3", "6", 8, "XYZ"},
        {"known underwriter chosen in group 2", "4", 3, "UW2"},
        {"volume typed in group 3", "5", 7, "0.3"},
        {"add in group 1, the edited rows after it move", "1", 9, nullptr},
        {"delete in the middle", "3", 9, nullptr},
        {"add in the last group", "6", 9, nullptr},
        {"delete the last row", "7", 9, nullptr},
        {"P12 gains an account", "", -1, nullptr},
        {"add in the last group after the products changed", "6", 9, nullptr},
        {"a new underwriter typed in group 2", "3", 3, "UW9"},
        {"add after the choices grew", "1", 9, nullptr},
        {"add in group 2", "3", 9, nullptr},
    };
    const auto run = [&](const SStep* begin, const SStep* end) {
        load(table, details);
        load(rebuilt, details);
        for (const SStep* step = begin; step != end; ++step) {
            SCOPED_TRACE(step->what);
            if (step->column < 0) {
                CHostStore::instance().setProducts(
                    {product(9, "P9", {account(2, "SH9")}), product(10, "P10", {account(2, "SH10")}),
                     product(12, "P12", {account(2, "SH1"), account(15002, "IB1"), account(2, "SH3")})});
                continue;
            }
            for (TC::CPanelBondAllocationMixedTable* target :
                 {&table, static_cast<TC::CPanelBondAllocationMixedTable*>(&rebuilt)}) {
                if (step->column == 9 && target == &rebuilt)
                    rebuilt.clickOperation(QString::fromStdString(step->key));
                else if (step->column == 9)
                    clickCell(target, step->key, 9);
                else
                    typeInto(target, step->key, step->column, step->text);
            }
            // Then both show the same rows with the same cells
            ASSERT_EQ(shownState(table), shownState(rebuilt));
        }
    };
    run(std::begin(steps), std::end(steps));
    run(std::begin(editedBeforeTheFirstClick), std::end(editedBeforeTheFirstClick));
}
