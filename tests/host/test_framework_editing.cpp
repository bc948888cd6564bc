// Editing and events through real widgets: cell editors, clickable cells, parameter
// cells, radio groups, buttons and the delivery of their events up the widget chain.

#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <functional>

#include "KZ/Widgets.h"
#include "TC/AutoLineEditDelegate.h"
#include "TC/OpButton.h"
#include "framework_support.h"

using namespace fwtest;

namespace {

void pressReturn(QWidget* widget)
{
    QTest::keyClick(widget, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();   // editors close late
}

// A shown table with rows "1" to "4".
struct EditingFixture : TableFixture {
    void SetUp() override
    {
        TableFixture::SetUp();
        fill();
        show();
    }
    QLineEdit* openLineEditor(const QModelIndex& index)
    {
        table->view()->edit(index);
        return qobject_cast<QLineEdit*>(table->view()->indexWidget(index));
    }
    QWidget* editorAt(int row, int column) const { return table->view()->indexWidget(cell(row, column)); }
    void clickCell(int row, int column)
    {
        QTest::mouseClick(table->view()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          table->view()->visualRect(cell(row, column)).center());
    }
};

} // namespace

TEST(FrameworkEvents, shouldReachTheNearestHandlingAncestorThroughListsAndScrollAreasAndStopThere)
{
    // Given root > handler > passer > scroll area > widget list > button
    CRecordingWidget root;
    auto* handler = new CRecordingWidget(&root, true);
    auto* passer = new CRecordingWidget(handler, false);
    auto* scroll = new KZ::CScrollArea(passer);
    auto* list = new KZ::CWidgetList(Qt::Vertical, passer);
    auto* button = new TC::COpButton(32, 1, passer);
    list->addFixedWidget(button, 3, false);
    scroll->setWidget(list);
    passer->setInnerStretchWidget(scroll);
    root.show();

    // When the button is clicked
    QTest::mouseClick(button, Qt::LeftButton);

    // Then the passer saw it, the handler consumed it and the root never heard of it
    EXPECT_EQ(passer->events.size(), 1u);
    ASSERT_EQ(handler->events.size(), 1u);
    EXPECT_EQ(handler->events[0].id, KZ::EVT_BUTTON_CLICKED);
    EXPECT_EQ(handler->events[0].sender, 32);
    EXPECT_TRUE(root.events.empty());
}

TEST_F(EditingFixture, shouldDeliverTypedNumberWithoutSeparatorsToTheTableOwner)
{
    // Given an editable line-edit column
    auto* delegate = new KZ::CBaseTableColumnLineeditDelegate(1, table);
    delegate->setDoubleRange(0.0, DBL_MAX, 4);
    delegate->setItemText(QStringLiteral("2"), QStringLiteral("0.0000"));
    table->setColumnDelegate(1, delegate);

    const struct { const char* typed; const char* handedOn; } cases[] = {
        {"1,234.5", "1234.5"}, {"12000.25", "12000.25"}, {"0.12345", "0.1234"},   // a fifth decimal is refused
    };
    for (const auto& c : cases) {
        owner->events.clear();
        // When the user types into row 2's cell and presses Enter
        QLineEdit* editor = openLineEditor(cell(1, 1));
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), delegate->getItemText(QStringLiteral("2")));
        editor->clear();
        QTest::keyClicks(editor, QString::fromLatin1(c.typed));
        pressReturn(editor);

        // Then the owner gets 226 once with the row key and the typed text, and the editor closes
        const auto finished = owner->eventsWithId(KZ::EVT_LINEEDIT_FINISHED);
        ASSERT_EQ(finished.size(), 1u) << c.typed;
        EXPECT_EQ(finished[0].intParam, 1);
        EXPECT_EQ(finished[0].text, QStringLiteral("2"));
        EXPECT_EQ(finished[0].typed, QString::fromLatin1(c.handedOn));
        EXPECT_EQ(delegate->getItemText(QStringLiteral("2")), QString::fromLatin1(c.handedOn));
        EXPECT_EQ(editorAt(1, 1), nullptr);
    }
    EXPECT_EQ(model->getDataByKey("2")->getDouble(1), 1.0);   // the model itself was never written
}

TEST_F(EditingFixture, shouldKeepAnOpenEditorWhileSyncsOnlyChangeValues)
{
    // Given an open editor in row 2 (as after Tab moved on from a committed cell)
    auto* delegate = new KZ::CBaseTableColumnLineeditDelegate(1, table);
    table->setColumnDelegate(1, delegate);
    QLineEdit* editor = openLineEditor(cell(1, 1));
    ASSERT_NE(editor, nullptr);

    // When the owner redraws after changing a value of the same rows, the editor stays
    delegate->setItemText(QStringLiteral("1"), QStringLiteral("5.0000"));
    table->updateTable();
    QCoreApplication::processEvents();
    EXPECT_EQ(editorAt(1, 1), editor);
    EXPECT_EQ(cell(0, 1).data().toString(), QStringLiteral("5.0000"));

    // But a changed row set rebuilds the view
    model->addData(row("5", QStringLiteral("戊"), 0));
    table->updateTable();
    QCoreApplication::processEvents();
    EXPECT_EQ(table->qtModel()->rowCount(), 5);
    EXPECT_EQ(editorAt(1, 1), nullptr);
}

TEST_F(EditingFixture, shouldRaiseAutoLineEditOnceWithTheRowAsLastKeyWhetherTypedOrChosen)
{
    // Given an auto line edit whose handler takes the text and closes the editor
    auto* delegate = new TC::CBaseTableColumnAutoLineEditDelegate(8, table);
    table->setColumnDelegate(2, delegate);
    QString keySeenByHandler;
    owner->onEvent = [&](const SEvent& event) {
        keySeenByHandler = delegate->getLastKey();
        delegate->hideAutoLineEdit();
        delegate->setCurrentText(event.text);
    };
    const auto typed = [](QLineEdit* editor) {   // Chinese as key presses carrying the characters
        for (const QChar ch : QStringLiteral("深交所"))
            QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        pressReturn(editor);
    };
    const auto chosen = [](QLineEdit* editor) {
        QCompleter* completer = editor->completer();
        ASSERT_NE(completer, nullptr);
        QTest::keyClicks(editor, QStringLiteral("A"));
        EXPECT_EQ(completer->completionCount(), 1);   // contains, case-sensitively
        editor->clear();
        QTest::keyClicks(editor, QStringLiteral("00"));
        EXPECT_EQ(completer->completionCount(), 3);
        ASSERT_TRUE(completer->popup()->isVisible());
        completer->popup()->setCurrentIndex(completer->completionModel()->index(1, 0));
        pressReturn(completer->popup());
    };
    const struct { int row; QString key; std::function<void(QLineEdit*)> commit; QString expected; } cases[] = {
        {0, QStringLiteral("1"), typed, QStringLiteral("深交所")}, {1, QStringLiteral("2"), chosen, QStringLiteral("B001")},
    };
    delegate->setCurItem(QStringLiteral("1"), QStringLiteral("上交所"), -1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        delegate->setItems(c.key, {QStringLiteral("上交所"), QStringLiteral("深交所"), QStringLiteral("A001"),
                                   QStringLiteral("B001"), QStringLiteral("a002")}, {});
        owner->events.clear();

        // When the user opens the cell's editor and commits a text
        QLineEdit* editor = openLineEditor(cell(c.row, 2));
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), delegate->getCurText(c.key));
        editor->setFocus();
        editor->clear();
        c.commit(editor);

        // Then 244 came once with the text, the row is the last key and the editor is gone
        const auto changed = owner->eventsWithId(KZ::EVT_AUTO_LINEEDIT_CHANGED);
        ASSERT_EQ(changed.size(), 1u);
        EXPECT_EQ(changed[0].sender, 8);
        EXPECT_EQ(changed[0].text, c.expected);
        EXPECT_EQ(keySeenByHandler, c.key);
        EXPECT_EQ(editorAt(c.row, 2), nullptr);
        EXPECT_EQ(cell(c.row, 2).data().toString(), c.expected);
    }
}

TEST_F(EditingFixture, shouldRaiseClickOnlyForEnabledClickableTextCells)
{
    auto* delegate = new KZ::CBaseTableColumnSimpleTextDelegate(9, table);
    delegate->setItemText(QStringLiteral("1"), QStringLiteral("+添加"));
    delegate->setItemEnabled(QStringLiteral("1"), true, true);
    delegate->setItemText(QStringLiteral("2"), QStringLiteral("删除"));
    delegate->setItemEnabled(QStringLiteral("2"), false, false);
    table->setColumnDelegate(0, delegate);
    sync();
    EXPECT_EQ(cell(0, 0).data().toString(), QStringLiteral("+添加"));

    clickCell(1, 0);
    EXPECT_TRUE(owner->events.empty());
    clickCell(0, 0);
    const auto clicked = owner->eventsWithId(KZ::EVT_SIMPLE_TEXT_CLICKED);
    ASSERT_EQ(clicked.size(), 1u);
    EXPECT_EQ(clicked[0].sender, 9);
    EXPECT_EQ(clicked[0].text, QStringLiteral("1"));
}

TEST(FrameworkWidgets, shouldRaiseParameterEditAndRadioChoiceOnlyForWhatTheUserDid)
{
    // Given a segmented price cell and a radio group, both set by code
    CRecordingWidget owner;
    auto* cell = new KZ::CParameterCell(12, QStringLiteral("  边际价格/利率:"), QString(), &owner);
    cell->setDoubleValidator(QString(), 0.0, 1000000.0, 0.0001, true);
    cell->getEditor()->setNumberFormatFlag(utils::FNF_SEGMENTED);
    cell->getEditor()->setValue(1234.5);
    auto* group = new KZ::CRadioButtonGroup(0, 0, Qt::Horizontal, &owner);
    group->addButton(QStringLiteral("已中标"), 10, true);
    group->addButton(QStringLiteral("未中标"), 11, false);
    group->setButtonCheckedByID(11);
    owner.show();
    EXPECT_EQ(cell->getEditor()->text(), QStringLiteral("1,234.5000"));
    QTest::keyClick(cell->getEditor(), Qt::Key_Return);   // finished without a change
    EXPECT_TRUE(owner.events.empty());

    // When the user types a new value and presses Enter, then clicks a radio button
    cell->getEditor()->clear();
    QTest::keyClicks(cell->getEditor(), QStringLiteral("99.5"));
    QTest::keyClick(cell->getEditor(), Qt::Key_Return);
    QTest::mouseClick(group->button(10), Qt::LeftButton);

    // Then 114 arrives once from the cell and 96 from the button
    ASSERT_EQ(owner.events.size(), 2u);
    EXPECT_EQ(owner.events[0].id, KZ::EVT_PARAM_CELL_EDITED);
    EXPECT_EQ(owner.events[0].sender, 12);
    EXPECT_DOUBLE_EQ(cell->toDouble(), 99.5);
    EXPECT_EQ(owner.events[1].id, KZ::EVT_RADIO_CHOSEN);
    EXPECT_EQ(owner.events[1].sender, 10);
    EXPECT_EQ(group->checkedId(), 10);
}
