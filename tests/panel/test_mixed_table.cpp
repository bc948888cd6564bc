// Table three, the account allocation table, alone in a shown view: filled from saved rows
// and from table two (groups, order, positions, the choices each row offers), edited
// through its delegates, checked against tables one and two, and what it writes to the host.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <map>

#include "panel_workflow_support.h"

using namespace wf;

namespace {

using DetailPtr = boost::shared_ptr<ttservice::CWinBidInfoDetail>;
using ProductRowPtr = boost::shared_ptr<TC::CAllocationProductData>;

const std::string kBond = "B1";

// A saved row: product at a position, won volume in units of 0.0001, fixed or added,
// complete with market 1, primary distribution, an underwriter and an exchange account.
inline DetailPtr detail(int productId, const std::string& productName, double bidPrice, int winUnits, bool fixed,
                        const std::string& underWriter = "UW1")
{
    DetailPtr d(new ttservice::CWinBidInfoDetail());
    d->bondCode = kBond;
    d->productId = productId;
    d->productName = productName;
    d->bidPrice = bidPrice;
    d->bidAmount = 10.0;
    d->winBidAmount = winUnits;
    d->fixedRowIndex = fixed ? "1" : "";
    d->tenderMarket = ttservice::TM_SSE;
    d->purchaseType = ttservice::TPT_PRIMARY;
    d->underWriter = underWriter;
    d->account = "SH1";
    return d;
}

inline void load(TC::CPanelBondAllocationMixedTable& table, const std::vector<DetailPtr>& details,
                 ttservice::ETenderingType type = ttservice::TT_AMERICAN, double unit = 0.1)
{
    QStringList underWriters{QString(), QStringLiteral("UW1"), QStringLiteral("UW2")};
    table.updateMixedTableDatas(details, 100.0, 100.5, kBond, underWriters, ttservice::TTG_PRICE, type, unit, "Bond 1");
}

inline ProductRowPtr productRow(int rowNumber, int productId, double price, double bid, double won,
                                int purchaseType = ttservice::TPT_PRIMARY)
{
    ProductRowPtr row(new TC::CAllocationProductData());
    row->info.reset(new TC::CAllocationProductInfo());
    row->info->bondCode = kBond;
    row->info->productId = productId;
    row->info->tenderPrice = price;
    row->info->purchaseType = purchaseType;
    row->info->bidAmount = bid;
    row->info->winAmount = won;
    row->rowNumber = rowNumber;
    return row;
}

inline TC::CAllocationMixedDataPtr rowByKey(const TC::CPanelBondAllocationMixedTable& table, const std::string& key)
{
    return boost::dynamic_pointer_cast<TC::CAllocationMixedData>(table.getAllocationMixedModel()->getDataByKey(key));
}

// Model rows in order as "key:product|won volume|operation text".
inline std::vector<std::string> rowSummary(const TC::CPanelBondAllocationMixedTable& table)
{
    std::vector<std::string> out;
    for (const auto& data : table.getAllocationMixedModel()->getDatas()) {
        const auto row = boost::dynamic_pointer_cast<TC::CAllocationMixedData>(data);
        out.push_back(row->key() + ":" + row->info->productName + "|" + row->getDisplayQString(7).toStdString() + "|"
                      + row->info->operationText);
    }
    return out;
}

template <class Delegate>
Delegate* delegateAt(const TC::CPanelBondAllocationMixedTable& table, int column)
{
    return dynamic_cast<Delegate*>(table.getTable()->columnDelegate(column));
}

inline QStringList choices(const TC::CPanelBondAllocationMixedTable& table, int column, const QString& key)
{
    return delegateAt<TC::CBaseTableColumnAutoLineEditDelegate>(table, column)->getItems(key);
}

// A shown table three over products 9, 10 and 12 (12 with exchange and interbank accounts).
class MixedTableTest : public testsupport::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        CHostStore::instance().setProducts({
            product(9, "P9", {{2, "SH9"}}),
            product(10, "P10", {{2, "SH10"}}),
            product(12, "P12", {{2, "SH1"}, {15002, "IB1"}, {2, "SH2"}}),
        });
        table.resize(900, 300);
        table.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    }

    double wonTotal() const { return table.getAllocationMixedModel()->getTotalWinBidAmount(); }

    // One group of product 12 (fixed row 1, added row 2) and one of product 9 (row 3).
    void loadTwoGroups()
    {
        load(table, {detail(12, "P12", 100.5, 30000, true), detail(12, "P12", 100.5, 10000, false),
                     detail(9, "P9", 100.5, 20000, true)});
    }

    testsupport::MessageBoxRecorder boxes;
    TC::CPanelBondAllocationMixedTable table{0, nullptr};
};

} // namespace

// ------------------------------------------------------------------ filling

TEST_F(MixedTableTest, shouldGroupSavedRowsFixedFirstInKeyTextOrder)
{
    // Given saved rows in the host's order: P12 added, P9, P12 fixed, P10 (won 1.2345)
    load(table, {detail(12, "P12", 100.5, 10000, false), detail(9, "P9", 100.0, 10000, true),
                 detail(12, "P12", 100.5, 30000, true), detail(10, "P10", 100.0, 12345, true)});

    // Then each product and position is one group with its fixed row first, the groups in
    // key text order ("10100.0000" < "12100.5000" < "9100.0000"), rows keyed in host order
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"4:P10|1.2345|+添加", "3:P12|3.0000|+添加",
                                                            "1:P12|1.0000|删除", "2:P9|1.0000|+添加"}));
    EXPECT_EQ(table.getProductDataMap().size(), 3);
    EXPECT_DOUBLE_EQ(wonTotal(), 6.2345);
    EXPECT_EQ(rowByKey(table, "3")->getDisplayQString(4), QStringLiteral("100.5000"));

    // Given keys that agree in their first 16 bytes ("123456781234.500x"), then the 17th decides
    load(table, {detail(12345678, "PA", 1234.5001, 10000, true), detail(12345678, "PA", 1234.5, 20000, true),
                 detail(12345678, "PA", 1234.5001, 10000, false)});
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"2:PA|2.0000|+添加", "1:PA|1.0000|+添加",
                                                            "3:PA|1.0000|删除"}));
    // and the three groups of the load before are gone, not only refilled
    EXPECT_EQ(table.getProductDataMap().keys(), (QList<int>{1, 2}));
    EXPECT_EQ(table.getProductDataMap().value(2).size(), 2);

    // When a Dutch tender is loaded, then positions show "-" and rows settle at the marginal
    load(table, {detail(12, "P12", 100.5, 10000, true)}, ttservice::TT_DUTCH);
    EXPECT_EQ(rowByKey(table, "1")->getDisplayQString(4), QStringLiteral("-"));
    EXPECT_DOUBLE_EQ(rowByKey(table, "1")->info->winBidPrice, 100.0);
}

TEST_F(MixedTableTest, shouldOfferAccountsOfTheRowsMarketKeepASavedAccountAndShowNoUnknownMarket)
{
    // Given saved rows of product 12: interbank, Shanghai, and one with an account and an
    // underwriter it no longer has
    const DetailPtr interbank = detail(12, "P12", 100.5, 10000, true);
    interbank->tenderMarket = ttservice::TM_INTERBANK;
    interbank->account = "IB1";
    const DetailPtr gone = detail(12, "P12", 100.5, 10000, false, "UW9");
    gone->account = "OLD";
    // and one whose market is no market at all (the records carry it as any int)
    const DetailPtr unknownMarket = detail(12, "P12", 100.5, 10000, false);
    unknownMarket->tenderMarket = 7;
    load(table, {interbank, detail(12, "P12", 100.5, 10000, false), gone, unknownMarket});

    // Then each row offers its market's accounts, and the saved values stay offered
    EXPECT_EQ(choices(table, 8, "1"), (QStringList{"", "IB1"}));
    EXPECT_EQ(choices(table, 8, "2"), (QStringList{"", "SH1", "SH2"}));
    EXPECT_EQ(choices(table, 8, "3"), (QStringList{"", "SH1", "SH2", "OLD"}));
    EXPECT_EQ(choices(table, 3, "3"), (QStringList{"", "UW1", "UW2", "UW9"}));
    EXPECT_EQ(choices(table, 1, "1"), (QStringList{"", "上交所", "深交所", "银行间"}));
    // And the unknown market shows as none
    EXPECT_EQ(rowByKey(table, "4")->getDisplayQString(1), QString());
    EXPECT_EQ(choices(table, 8, "4"), (QStringList{"", "SH1"}));
}

TEST_F(MixedTableTest, shouldStartAWonAllocationWithOneFixedRowPerRowOfTableTwo)
{
    // Given a saved allocation loaded before (underwriter UW1, account SH1), one of whose
    // rows a caller still holds
    load(table, {detail(12, "P12", 99.5, 10000, true), detail(9, "P9", 99.0, 20000, true)});
    const auto held = rowByKey(table, "2");
    // and table two with rows of two purchase types
    QMap<int, ProductRowPtr> products{{1, productRow(1, 12, 99.5, 3.123456, 2.0)},
                                      {2, productRow(2, 9, 99.0, 1.0, 0.5, ttservice::TPT_SECONDARY)}};

    // When the won allocation starts
    table.refreshWinBidAllocationMixedTable(products, ttservice::TT_AMERICAN, "Bond 1");

    // Then each row copies its product row: won volume, bid to 4 decimals, purchase type, no market
    EXPECT_EQ(rowSummary(table), (std::vector<std::string>{"1:P12|2.0000|+添加", "2:P9|0.5000|+添加"}));
    const auto first = rowByKey(table, "1");
    EXPECT_EQ(first->info->bidAmount, 3.1235);
    EXPECT_EQ(first->info->purchaseType, "一级分销");
    EXPECT_EQ(first->info->tenderMarket, -1);
    EXPECT_EQ(first->info->underWriter, "");
    EXPECT_EQ(first->info->account, "");
    // and the held row of the load before is still that row
    EXPECT_EQ(held->info->productName, "P9");
    EXPECT_EQ(held->info->winBidAmount, 2.0);
    EXPECT_EQ(held->info->account, "SH1");
    EXPECT_EQ(rowByKey(table, "2")->info->purchaseType, "二级上市");
    EXPECT_EQ(choices(table, 8, "1"), QStringList{""});
}

// ------------------------------------------------------------------ editing

using MixedEditingTest = MixedTableTest;

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

TEST_F(MixedEditingTest, shouldShowAnAddedRowAsOneInsertedRowAndKeepTheUserOnTheirRow)
{
    // Given two groups shown (product 12's two rows, then product 9's) and the user on product 9's row
    loadTwoGroups();
    QTableView* view = table.getTable()->view();
    const QModelIndex p9 = cellIndex(&table, QStringLiteral("3"), 0);
    ASSERT_TRUE(p9.isValid());
    view->setCurrentIndex(p9);
    QSignalSpy inserted(table.getTable()->qtModel(), &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(table.getTable()->qtModel(), &QAbstractItemModel::modelReset);

    // When product 12's "+添加" is clicked (as its cell reports it, the user's row unchanged)
    EXPECT_TRUE(table.handleEvent(224, 9, 0, QStringLiteral("1"), nullptr));
    table.getTable()->syncNow();

    // Then the view saw one row come at the end of product 12's group, and no reset
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 2);
    EXPECT_EQ(inserted[0][2].toInt(), 2);
    EXPECT_EQ(reset.size(), 0);
    // And the user is still on product 9's row, now row 4
    EXPECT_EQ(view->currentIndex().row(), 3);
    EXPECT_EQ(view->currentIndex().data(KZ::kRowKeyRole).toString(), QStringLiteral("4"));
    EXPECT_EQ(rowByKey(table, "4")->info->productName, "P9");
}

TEST_F(MixedEditingTest, shouldShowTheTypedChoiceOnlyWhenTheRowTookIt)
{
    // Given a lost bid's rows, which the table shows but does not keep in groups
    QMap<int, ProductRowPtr> products{{1, productRow(1, 12, 100.5, 5.0, 0.0)}};
    table.refreshLoseBidAllocationMixedTable(products, ttservice::TT_AMERICAN);
    auto* purchase = delegateAt<TC::CBaseTableColumnAutoLineEditDelegate>(table, 2);

    // When a purchase type is typed into its row
    typeInto(&table, "1", 2, "一级分销");

    // Then neither the row nor its cell changed
    EXPECT_EQ(rowByKey(table, "1")->info->purchaseType, "");
    EXPECT_EQ(purchase->getCurText(QStringLiteral("1")), QString());
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
// every stored row back and tell every row's cells again. The table under test must show
// the same, whatever it leaves out.
class RebuiltOnEveryClick : public TC::CPanelBondAllocationMixedTable {
public:
    RebuiltOnEveryClick() : TC::CPanelBondAllocationMixedTable(0, nullptr) {}
    void clickOperation(const QString& key)
    {
        const bool add = isAddOperation(key.toInt());
        getAllocationMixedModel()->clear();
        getAllocationMixedModel()->clearFilter();
        if (add)
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
    // The same rows saved in group order: a first click need not put the rows back.
    const std::vector<DetailPtr> inGroupOrder{details[3], details[2], details[1], details[0], details[4]};
    const SStep afterALoadInGroupOrder[] = {
        {"market edited right after the load", "5", 1, "银行间"},
        {"first click after the load, on an added row", "3", 9, nullptr},
        {"add in the last group", "3", 9, nullptr},
    };
    const auto run = [&](const std::vector<DetailPtr>& saved, const SStep* begin, const SStep* end) {
        load(table, saved);
        load(rebuilt, saved);
        for (const SStep* step = begin; step != end; ++step) {
            SCOPED_TRACE(step->what);
            if (step->column < 0) {
                CHostStore::instance().setProducts(
                    {product(9, "P9", {{2, "SH9"}}), product(10, "P10", {{2, "SH10"}}),
                     product(12, "P12", {{2, "SH1"}, {15002, "IB1"}, {2, "SH3"}})});
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
    run(details, std::begin(steps), std::end(steps));
    run(details, std::begin(editedBeforeTheFirstClick), std::end(editedBeforeTheFirstClick));
    run(inGroupOrder, std::begin(afterALoadInGroupOrder), std::end(afterALoadInGroupOrder));
}

// ------------------------------------------------------------------ check and save

namespace {

using UnderWriterRowPtr = boost::shared_ptr<TC::CAllocationUnderWriteData>;

UnderWriterRowPtr underWriterRow(const std::string& name, double price, double won)
{
    UnderWriterRowPtr row(new TC::CAllocationUnderWriteData());
    row->info.reset(new TC::CAllocationUnderWriteInfo());
    row->info->bondCode = kBond;
    row->info->underWriter = name;
    row->info->bidPrice = price;
    row->info->bidAmount = 10.0;
    row->info->winBidAmount = won;
    return row;
}

// Tables one, two and three agreeing: P12 won 3 at 1234.5 (UW1 2, UW2 1), P9 won 1 at 99 (UW1),
// P10 bid at 98 and won nothing.
class MixedCheckTest : public MixedTableTest {
protected:
    void loadAgreeing(ttservice::ETenderingType type)
    {
        load(table, {detail(12, "P12", 1234.5, 20000, true), detail(12, "P12", 1234.5, 10000, false, "UW2"),
                     detail(9, "P9", 99.0, 10000, true)},
             type);
        const auto position = [type](double price) { return type == TT_DUTCH ? ttservice::kInvalidDouble : price; };
        products = {{1, productRow(1, 12, position(1234.5), 5.0, 3.0)},
                    {2, productRow(2, 9, position(99.0), 5.0, 1.0)},
                    {3, productRow(3, 10, position(98.0), 5.0, 0.0)}};
        underWriters = {underWriterRow("UW1", 1234.5, 2.0), underWriterRow("UW2", 1234.5, 1.0),
                        underWriterRow("UW1", 99.0, 1.0)};
    }

    TC::CAllocationMixedInfo& info(const char* key) { return *rowByKey(table, key)->info; }

    // Checks against table one's total, leaving msg alone when it passes.
    bool check(ttservice::ETenderingType type, double tableOne = -1)
    {
        msg = QStringLiteral("untouched");
        return table.check(tableOne < 0 ? wonTotal() : tableOne, msg, products, underWriters, type);
    }

    QMap<int, ProductRowPtr> products;
    std::vector<UnderWriterRowPtr> underWriters;
    QString msg;
};

} // namespace

TEST_F(MixedCheckTest, shouldRequireAPositiveTotalEqualToTableOne)
{
    const struct { double total; double tableOne; const char* message; } cases[] = {
        {0.000005, 0.000005, "表三中标合计数据必须大于0!"},
        {0.00002, 0.00002, "untouched"},
        {10.000005, 10.0, "untouched"},
        {10.0001, 10.0, "表三中标数量合计与表一中标总量不一致!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.total);
        table.getAllocationMixedModel()->setTotalData(0.0, c.total);
        EXPECT_EQ(check(TT_AMERICAN, c.tableOne), c.message == std::string("untouched"));
        EXPECT_EQ(msg, QString::fromUtf8(c.message));
    }
    for (auto type : {TT_AMERICAN, TT_MIXED, TT_DUTCH}) {
        loadAgreeing(type);
        EXPECT_TRUE(check(type)) << msg.toStdString();
    }
    // A position that differs below the keys' sixth decimal is the same position
    loadAgreeing(TT_AMERICAN);
    info("1").bidPrice += 1e-9;
    EXPECT_TRUE(check(TT_AMERICAN)) << msg.toStdString();
}

TEST_F(MixedCheckTest, shouldReportTheFirstIncompleteFieldOfTheFirstIncompleteRow)
{
    using Info = TC::CAllocationMixedInfo;
    const struct { const char* field; void (*clear)(Info&); const char* message; } cases[] = {
        {"market", [](Info& i) { i.tenderMarket = -1; }, "表三第 2 行数据未选择投标市场!"},
        {"purchaseType", [](Info& i) { i.purchaseType.clear(); }, "表三第 2 行数据未选择申购方式!"},
        {"underWriter", [](Info& i) { i.underWriter.clear(); }, "表三第 2 行数据未选择承销商!"},
        {"account", [](Info& i) { i.account.clear(); }, "表三第 2 行数据未选择账号!"},
        {"marketAndAccount", [](Info& i) { i.tenderMarket = -1; i.account.clear(); }, "表三第 2 行数据未选择投标市场!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        // Given row 2 (model order: second) lacks a field and row 3 lacks an account
        loadAgreeing(TT_AMERICAN);
        c.clear(info("2"));
        info("3").account.clear();
        // Then only row 2's first missing field is reported
        EXPECT_FALSE(check(TT_AMERICAN));
        EXPECT_EQ(msg, QString::fromUtf8(c.message));
    }
}

TEST_F(MixedCheckTest, shouldNameTheFirstProductOrUnderwriterThatDiffersWithItsPosition)
{
    // Given P12 allocated 2.5 instead of 3 and P9 1.5 instead of 1 (P12's key sorts first),
    // and a user format that groups thousands
    CHostStore::instance().setSegmentedFormat(true);
    loadAgreeing(TT_AMERICAN);
    info("2").winBidAmount = 0.5;
    info("3").winBidAmount = 1.5;
    // Then P12 and its position are named, without grouping
    EXPECT_FALSE(check(TT_AMERICAN));
    EXPECT_EQ(msg, QStringLiteral("表三产品 P12 标位 1234.5000实际分配合计与表二中该产品该标位中标数量不一致,无法保存!"));

    // Given a mixed tender whose products agree, but UW2's 1.0 is booked to UW1
    loadAgreeing(TT_MIXED);
    info("2").underWriter = "UW1";
    // Then UW1 and its position are named
    EXPECT_FALSE(check(TT_MIXED));
    EXPECT_EQ(msg,
              QStringLiteral("表三承销商 UW1 标位 1234.5000实际分配合计与表一中该承销商该标位中标数量不一致,无法保存!"));

    // Given UW2 at 1234.5 and UW1 at 99 both allocated nothing (table one lists UW2 first)
    loadAgreeing(TT_AMERICAN);
    info("2").underWriter = "UW3";
    info("3").underWriter = "UW3";
    // Then the key first in byte order is named
    EXPECT_FALSE(check(TT_AMERICAN));
    EXPECT_EQ(msg,
              QStringLiteral("表三承销商 UW1 标位 99.0000实际分配合计与表一中该承销商该标位中标数量不一致,无法保存!"));

    // Given table one names "UW" at 99 (nothing allocated to it) and UW2's 1.0 is booked to UW1
    loadAgreeing(TT_AMERICAN);
    underWriters[2] = underWriterRow("UW", 99.0, 1.0);
    info("2").underWriter = "UW1";
    // Then the whole key's bytes decide ("UW1|" before "UW|"), not the name alone
    EXPECT_FALSE(check(TT_AMERICAN));
    EXPECT_EQ(msg,
              QStringLiteral("表三承销商 UW1 标位 1234.5000实际分配合计与表一中该承销商该标位中标数量不一致,无法保存!"));

    // Given P12's added row moved to another position than its group's
    loadAgreeing(TT_AMERICAN);
    info("2").bidPrice = 99.0;
    // Then its volume counts at that position: P12 at 1234.5 is short of table two
    EXPECT_FALSE(check(TT_AMERICAN));
    EXPECT_EQ(msg, QStringLiteral("表三产品 P12 标位 1234.5000实际分配合计与表二中该产品该标位中标数量不一致,无法保存!"));
}

TEST_F(MixedTableTest, shouldSaveTheProductsCommandsOnceAndVolumesAsWholeTenThousandths)
{
    // Given tender commands of products 12 and 9, one of another bond, one without parameters
    // and a second record of command 501 under product 9
    for (auto [id, productId, bond] : {std::tuple{501, 12, kBond}, std::tuple{503, 12, std::string("B2")},
                                       std::tuple{502, 12, kBond}, std::tuple{504, 9, kBond},
                                       std::tuple{501, 9, kBond}})
        addTenderCommand(id, productId, bond, 100.5, TPT_PRIMARY, TTG_PRICE, TT_AMERICAN);
    boost::shared_ptr<ttservice::CTenderCommandInfo> bare(new ttservice::CTenderCommandInfo());
    bare->commandId = 505;
    bare->productId = 12;
    CHostStore::instance().addTenderCommand(bare);
    // And a fresh allocation whose rows won 1.2345 and 0.99995, with a basic tender unit of 0.1
    load(table, {});
    QMap<int, ProductRowPtr> products{{1, productRow(1, 12, 100.5, 3.0, 1.2345)},
                                      {2, productRow(2, 9, 100.5, 3.0, 0.99995)}};
    table.refreshWinBidAllocationMixedTable(products, TT_AMERICAN, "Bond 1");

    // When saved
    CHostStore::instance().clearCalls();
    table.placeMixedTableDatas();

    // Then one call carries the command ids once each, in the order the products come
    const auto calls = updateCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, ttservice::SHostCall::TenderCmds);
    EXPECT_EQ(calls[0].operation, 3);
    EXPECT_EQ(calls[0].commandIds, (std::vector<int>{501, 502, 504}));
    // And the volumes in ten-thousandths are cut, not rounded
    std::vector<std::pair<int, int>> saved;
    for (const auto& row : stored<ttservice::CWinBidInfoDetail>(kBond, RT_WIN_BID_DETAIL))
        saved.emplace_back(row->productId, row->winBidAmount);
    EXPECT_EQ(saved, (std::vector<std::pair<int, int>>{{12, 12345}, {9, 9999}}));
}

TEST_F(MixedTableTest, shouldSaveEachNameWithTheIdTheLastLoadGaveItLast)
{
    // Each load: the product ids by name it leaves; a name met again further on takes its
    // later id; a reload with other ids is not answered with the earlier load's.
    using Loaded = std::vector<std::pair<std::string, int>>;
    const std::vector<Loaded> loads = {
        {{"P12", 12}, {"P9", 9}},
        {{"P12", 12}, {"P9", 9}},
        {{"P12", 10}, {"P9", 9}},
        {{"P12", 12}, {"P9", 9}, {"P12", 10}},
    };
    const std::vector<std::map<std::string, int>> expected = {
        {{"P12", 12}, {"P9", 9}},
        {{"P12", 12}, {"P9", 9}},
        {{"P12", 10}, {"P9", 9}},
        {{"P12", 10}, {"P9", 9}},
    };
    for (size_t i = 0; i < loads.size(); ++i) {
        std::vector<DetailPtr> details;
        double price = 99.0;
        for (const auto& [name, id] : loads[i])
            details.push_back(detail(id, name, price += 0.5, 10000, true));
        load(table, details);
        table.placeMixedTableDatas();

        std::map<std::string, int> saved;
        for (const auto& row : stored<ttservice::CWinBidInfoDetail>(kBond, RT_WIN_BID_DETAIL))
            saved[row->productName] = row->productId;
        EXPECT_EQ(saved, expected[i]) << "load " << i;
    }
}
