// Editing and events through real widgets: cell editors, clickable cells, parameter
// cells, radio groups, buttons and the delivery of their events up the widget chain.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCompleter>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <cfloat>
#include <functional>
#include <memory>

#include "KZ/ColumnDelegates.h"
#include "KZ/Format.h"
#include "KZ/HpfTableModel.h"
#include "KZ/StandardHpfTable.h"
#include "KZ/Widgets.h"
#include "TC/AutoLineEditDelegate.h"
#include "TC/OpButton.h"

namespace {

struct SEvent {
    int id;
    int sender;
    int intParam;
    QString text;
    QString typed;   // the QString behind the pointer of 226
};

// A widget owning children, as a panel does: records what reaches it.
class CRecordingWidget : public KZ::CBaseWidget {
public:
    explicit CRecordingWidget(QWidget* parent = nullptr, bool consume = true)
        : KZ::CBaseWidget(QStringLiteral("test"), false, parent), consume_(consume) {}
    bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam) override
    {
        SEvent event{nEventID, nSenderID, nIntParam, qsParam, QString()};
        if (nEventID == KZ::EVT_LINEEDIT_FINISHED && pParam != nullptr)
            event.typed = *static_cast<QString*>(pParam);
        events.push_back(event);
        if (onEvent)
            onEvent(event);
        return consume_;
    }
    std::vector<SEvent> events;
    std::function<void(const SEvent&)> onEvent;

private:
    bool consume_;
};

class CTextRow : public KZ::IBaseHpfTableData {
public:
    CTextRow(std::string key, QString text) : key_(std::move(key)), text_(std::move(text)) {}
    QString getDisplayQString(int) const override { return text_; }
    std::string key() const override { return key_; }

private:
    std::string key_;
    QString text_;
};

class CTextModel : public KZ::IBaseHpfTableModel {
public:
    CTextModel() : KZ::IBaseHpfTableModel(true) {}
    int columnCount() const override { return 3; }
    QString columnHeader(int column) const override { return QStringLiteral("列%1").arg(column); }
    QVariant::Type columnType(int) const override { return QVariant::String; }
};

// Types any text, Chinese included, as key presses carrying the characters.
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

// A shown table with rows "r1" and "r2" inside a recording owner.
struct EditingFixture : ::testing::Test {
    void SetUp() override
    {
        owner = std::make_unique<CRecordingWidget>();
        table = new KZ::CStandardHpfTable(0, owner.get(), 255);
        table->setFlag(table->flag() | KZ::CStandardHpfTable::TF_EDITABLE);
        owner->setInnerStretchWidget(table);
        model = new CTextModel;
        table->setDataModel(model);
        model->addData(KZ::IBaseHpfTableDataPtr(new CTextRow("r1", QStringLiteral("甲"))));
        model->addData(KZ::IBaseHpfTableDataPtr(new CTextRow("r2", QStringLiteral("乙"))));
        owner->resize(400, 200);
        owner->show();
        QApplication::setActiveWindow(owner.get());
        table->updateTable();
        table->syncNow();
    }
    QModelIndex cell(int row, int column) const { return table->qtModel()->index(row, column); }
    QLineEdit* openLineEditor(const QModelIndex& index)
    {
        table->view()->edit(index);
        return qobject_cast<QLineEdit*>(table->view()->indexWidget(index));
    }
    std::vector<SEvent> eventsWithId(int id) const
    {
        std::vector<SEvent> result;
        for (const SEvent& event : owner->events) {
            if (event.id == id)
                result.push_back(event);
        }
        return result;
    }

    std::unique_ptr<CRecordingWidget> owner;
    KZ::CStandardHpfTable* table = nullptr;   // owned by owner
    CTextModel* model = nullptr;              // owned by table
};

} // namespace

TEST(FrameworkEvents, shouldReachTheNearestHandlingAncestorAndStopThere)
{
    // Given root > handler > passer > button
    CRecordingWidget root;
    auto* handler = new CRecordingWidget(&root, true);
    auto* passer = new CRecordingWidget(handler, false);
    auto* button = new TC::COpButton(32, 1, passer);

    // When the button is clicked
    QTest::mouseClick(button, Qt::LeftButton);

    // Then the passer saw it, the handler consumed it and the root never heard of it
    ASSERT_EQ(passer->events.size(), 1u);
    ASSERT_EQ(handler->events.size(), 1u);
    EXPECT_EQ(handler->events[0].id, KZ::EVT_BUTTON_CLICKED);
    EXPECT_EQ(handler->events[0].sender, 32);
    EXPECT_TRUE(root.events.empty());
    EXPECT_FALSE(KZ::deliverEventFrom(nullptr, 5, 1, 0, QString(), nullptr));
}

TEST(FrameworkEvents, shouldKeepEventsFlowingThroughListsAndScrollAreas)
{
    // Given a button in a widget list inside a scroll area of a panel
    CRecordingWidget panel;
    auto* scroll = new KZ::CScrollArea(&panel);
    auto* list = new KZ::CWidgetList(Qt::Vertical, &panel);
    auto* button = new TC::COpButton(33, 1, &panel);
    list->addFixedWidget(button, 3, false);
    list->setFixedSize(200, 600);
    scroll->setWidget(list);
    panel.setInnerStretchWidget(scroll);
    panel.resize(300, 200);
    panel.show();

    QTest::mouseClick(button, Qt::LeftButton);

    EXPECT_EQ(button->parentWidget(), list);
    EXPECT_EQ(list->size(), QSize(200, 600));   // the scroll area does not squeeze its content
    ASSERT_EQ(panel.events.size(), 1u);
    EXPECT_EQ(panel.events[0].sender, 33);
}

TEST_F(EditingFixture, shouldDeliverTypedNumberWithoutSeparatorsToTheTableOwner)
{
    // Given an editable line-edit column
    auto* delegate = new KZ::CBaseTableColumnLineeditDelegate(1, table);
    delegate->setDoubleRange(0.0, DBL_MAX, 4);
    delegate->setItemText(QStringLiteral("r2"), QStringLiteral("0.0000"));
    table->setColumnDelegate(1, delegate);

    const struct { const char* typed; const char* handedOn; } cases[] = {
        {"1,234.5", "1234.5"}, {"12000.25", "12000.25"}, {"0.12345", "0.1234"},   // a fifth decimal is refused
    };
    for (const auto& c : cases) {
        owner->events.clear();
        // When the user types into row r2's cell and presses Enter
        QLineEdit* editor = openLineEditor(cell(1, 1));
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), delegate->getItemText(QStringLiteral("r2")));
        editor->clear();
        QTest::keyClicks(editor, QString::fromLatin1(c.typed));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();

        // Then the owner gets 226 once with the row key and the typed text
        const auto finished = eventsWithId(KZ::EVT_LINEEDIT_FINISHED);
        ASSERT_EQ(finished.size(), 1u) << c.typed;
        EXPECT_EQ(finished[0].sender, 1);
        EXPECT_EQ(finished[0].intParam, 1);
        EXPECT_EQ(finished[0].text, QStringLiteral("r2"));
        EXPECT_EQ(finished[0].typed, QString::fromLatin1(c.handedOn));
        EXPECT_EQ(delegate->getItemText(QStringLiteral("r2")), QString::fromLatin1(c.handedOn));
        EXPECT_EQ(table->view()->indexWidget(cell(1, 1)), nullptr);   // editor closed
    }
    // And the model itself was never written
    EXPECT_EQ(model->getDataByKey("r2")->getDisplayQString(1), QStringLiteral("乙"));
}

TEST_F(EditingFixture, shouldKeepAnOpenEditorWhileSyncsOnlyChangeValues)
{
    // Given an open editor in row r2 (as after Tab moved on from a committed cell)
    auto* delegate = new KZ::CBaseTableColumnLineeditDelegate(1, table);
    table->setColumnDelegate(1, delegate);
    QLineEdit* editor = openLineEditor(cell(1, 1));
    ASSERT_NE(editor, nullptr);

    // When the owner redraws after changing a value of the same rows
    delegate->setItemText(QStringLiteral("r1"), QStringLiteral("5.0000"));
    table->updateTable();
    QCoreApplication::processEvents();

    // Then the editor is still there and the new value shows
    EXPECT_EQ(table->view()->indexWidget(cell(1, 1)), editor);
    EXPECT_EQ(cell(0, 1).data().toString(), QStringLiteral("5.0000"));

    // But a changed row set rebuilds the view
    model->addData(KZ::IBaseHpfTableDataPtr(new CTextRow("r3", QStringLiteral("丙"))));
    table->updateTable();
    QCoreApplication::processEvents();
    EXPECT_EQ(table->qtModel()->rowCount(), 3);
    EXPECT_EQ(table->view()->indexWidget(cell(1, 1)), nullptr);
}

TEST_F(EditingFixture, shouldOpenNoEditorOnAReadOnlyLineEditColumn)
{
    auto* delegate = new KZ::CBaseTableColumnLineeditDelegate(1, table);
    delegate->setLineEditable(false);
    table->setColumnDelegate(1, delegate);
    QTest::mouseDClick(table->view()->viewport(), Qt::LeftButton, Qt::NoModifier,
                       table->view()->visualRect(cell(0, 1)).center());
    EXPECT_EQ(table->view()->indexWidget(cell(0, 1)), nullptr);
    EXPECT_TRUE(owner->events.empty());
}

TEST_F(EditingFixture, shouldDeliverAutoLineEditCommitOnceWithTheRowAsLastKey)
{
    // Given an auto line edit with choices for row r1, whose handler closes the editor
    auto* delegate = new TC::CBaseTableColumnAutoLineEditDelegate(2, table);
    delegate->setItems(QStringLiteral("r1"), {QStringLiteral("上交所"), QStringLiteral("深交所"), QStringLiteral("银行间")}, {});
    delegate->setCurItem(QStringLiteral("r1"), QStringLiteral("上交所"), -1);
    table->setColumnDelegate(2, delegate);
    QString keySeenByHandler;
    owner->onEvent = [&](const SEvent&) {
        keySeenByHandler = delegate->getLastKey();
        delegate->hideAutoLineEdit();
        delegate->setCurrentText(QStringLiteral("深交所"));
    };

    // When the user types and commits with Enter
    QLineEdit* editor = openLineEditor(cell(0, 2));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("上交所"));
    editor->clear();
    typeText(editor, QStringLiteral("深交所"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    // Then 244 came once with the text, the row is the last key and the editor is gone
    const auto changed = eventsWithId(KZ::EVT_AUTO_LINEEDIT_CHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].sender, 2);
    EXPECT_EQ(changed[0].intParam, 0);
    EXPECT_EQ(changed[0].text, QStringLiteral("深交所"));
    EXPECT_EQ(keySeenByHandler, QStringLiteral("r1"));
    EXPECT_EQ(delegate->getCurText(QStringLiteral("r1")), QStringLiteral("深交所"));
    EXPECT_EQ(table->view()->indexWidget(cell(0, 2)), nullptr);
    EXPECT_EQ(cell(0, 2).data().toString(), QStringLiteral("深交所"));
}

TEST_F(EditingFixture, shouldDeliverAChosenCompletionOnce)
{
    // Given an open auto line edit whose popup offers every choice while the text is empty
    auto* delegate = new TC::CBaseTableColumnAutoLineEditDelegate(8, table);
    delegate->setItems(QStringLiteral("r2"), {QStringLiteral("A001"), QStringLiteral("B001"), QStringLiteral("a002")}, {});
    table->setColumnDelegate(2, delegate);
    owner->onEvent = [&](const SEvent&) { delegate->hideAutoLineEdit(); };
    QLineEdit* editor = openLineEditor(cell(1, 2));
    ASSERT_NE(editor, nullptr);
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_A, Qt::NoModifier);
    QTest::keyClick(editor, Qt::Key_Backspace);
    QCompleter* completer = editor->completer();
    ASSERT_NE(completer, nullptr);
    EXPECT_EQ(completer->completionCount(), 3);

    // When "0" is typed the popup filters by contains, case-sensitively
    QTest::keyClicks(editor, QStringLiteral("A"));
    EXPECT_EQ(completer->completionCount(), 1);
    editor->clear();
    QTest::keyClicks(editor, QStringLiteral("00"));
    EXPECT_EQ(completer->completionCount(), 3);

    // And the user picks the second entry from the popup
    QAbstractItemView* popup = completer->popup();
    ASSERT_TRUE(popup->isVisible());
    popup->setCurrentIndex(completer->completionModel()->index(1, 0));
    QTest::keyClick(popup, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    // Then exactly one 244 carries the chosen text and the editor is closed
    const auto changed = eventsWithId(KZ::EVT_AUTO_LINEEDIT_CHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].sender, 8);
    EXPECT_EQ(changed[0].text, QStringLiteral("B001"));
    EXPECT_EQ(delegate->getLastKey(), QStringLiteral("r2"));
    EXPECT_EQ(table->view()->indexWidget(cell(1, 2)), nullptr);
}

TEST_F(EditingFixture, shouldRaiseClickOnlyForEnabledClickableTextCells)
{
    auto* delegate = new KZ::CBaseTableColumnSimpleTextDelegate(9, table);
    delegate->setItemText(QStringLiteral("r1"), QStringLiteral("+添加"));
    delegate->setItemEnabled(QStringLiteral("r1"), true, true);
    delegate->setItemColorKey(QStringLiteral("r1"), QStringLiteral("clr_global_fall"), false);
    delegate->setItemText(QStringLiteral("r2"), QStringLiteral("删除"));
    delegate->setItemEnabled(QStringLiteral("r2"), false, false);
    table->setColumnDelegate(0, delegate);
    table->updateTable();
    table->syncNow();
    EXPECT_EQ(cell(0, 0).data().toString(), QStringLiteral("+添加"));

    const auto click = [this](int row) {
        QTest::mouseClick(table->view()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          table->view()->visualRect(cell(row, 0)).center());
    };
    click(1);
    EXPECT_TRUE(eventsWithId(KZ::EVT_SIMPLE_TEXT_CLICKED).empty());
    click(0);
    const auto clicked = eventsWithId(KZ::EVT_SIMPLE_TEXT_CLICKED);
    ASSERT_EQ(clicked.size(), 1u);
    EXPECT_EQ(clicked[0].sender, 9);
    EXPECT_EQ(clicked[0].text, QStringLiteral("r1"));
}

TEST(FrameworkWidgets, shouldRaiseParameterEditOnlyForAChangeTheUserFinished)
{
    // Given a price cell shown with a value set by code
    CRecordingWidget owner;
    auto* cell = new KZ::CParameterCell(12, QStringLiteral("  边际价格/利率:"), QString(), &owner);
    cell->setDoubleValidator(QString(), 0.0, 1000000.0, 0.0001, true);
    cell->getEditor()->setNumberFormatFlag(utils::FNF_SEGMENTED);
    cell->getEditor()->setValue(1234.5);
    owner.show();
    EXPECT_EQ(cell->getEditor()->text(), QStringLiteral("1,234.5000"));
    EXPECT_DOUBLE_EQ(cell->toDouble(), 1234.5);
    QTest::keyClick(cell->getEditor(), Qt::Key_Return);   // finished without a change
    EXPECT_TRUE(owner.events.empty());

    // When the user types a new value and presses Enter
    cell->getEditor()->clear();
    QTest::keyClicks(cell->getEditor(), QStringLiteral("99.5"));
    QTest::keyClick(cell->getEditor(), Qt::Key_Return);

    // Then 114 arrives once from the cell, and code that sets a value raises nothing
    ASSERT_EQ(owner.events.size(), 1u);
    EXPECT_EQ(owner.events[0].id, KZ::EVT_PARAM_CELL_EDITED);
    EXPECT_EQ(owner.events[0].sender, 12);
    EXPECT_DOUBLE_EQ(cell->toDouble(), 99.5);
    cell->getEditor()->setValue(7.0);
    QTest::keyClick(cell->getEditor(), Qt::Key_Return);
    EXPECT_EQ(owner.events.size(), 1u);

    cell->setEditEnable(false);
    EXPECT_FALSE(cell->isEditEnable());
    EXPECT_TRUE(cell->getEditor()->isReadOnly());
    cell->getEditor()->setText(QStringLiteral("garbage"));
    EXPECT_EQ(cell->toDouble(), 0.0);
}

TEST(FrameworkWidgets, shouldRaiseRadioChoiceForUserClicksOnly)
{
    CRecordingWidget owner;
    auto* group = new KZ::CRadioButtonGroup(0, 0, Qt::Horizontal, &owner);
    group->addButton(QStringLiteral("已中标"), 10, true);
    group->addButton(QStringLiteral("未中标"), 11, false);
    owner.show();

    group->setButtonCheckedByID(11);
    EXPECT_EQ(group->checkedId(), 11);
    EXPECT_TRUE(owner.events.empty());

    QTest::mouseClick(group->button(10), Qt::LeftButton);
    EXPECT_EQ(group->checkedId(), 10);
    ASSERT_EQ(owner.events.size(), 1u);
    EXPECT_EQ(owner.events[0].id, KZ::EVT_RADIO_CHOSEN);
    EXPECT_EQ(owner.events[0].sender, 10);
}

TEST(FrameworkWidgets, shouldEmboldenAHoveredButtonOnlyWhenAsked)
{
    CRecordingWidget owner;
    auto* button = new TC::COpButton(15, 1, &owner);
    button->setFontKeys(QStringLiteral("tc_fnt_operation_btn_text_option"), QStringLiteral("tc_fnt_operation_btn_text_price"),
                        QStringLiteral("tc_fnt_operation_btn_text_volume"));
    QEvent enter(QEvent::Enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &enter);
    EXPECT_FALSE(button->font().bold());
    button->setBoldOnHover(true);
    QApplication::sendEvent(button, &enter);
    EXPECT_TRUE(button->font().bold());
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->font().bold());
}
