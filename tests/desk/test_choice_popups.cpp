// The choices a cell of table three pops up (market, underwriter) are shown whole:
// every item in sight without scrolling, none cut short, wherever the list's first item is
// blank or in another font than the names below it.

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QPainter>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include "CDeskWindow.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "CPanelTableDriver.h"
#include "CScenario.h"
#include "KZ/StandardHpfTable.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"

using namespace desk;

namespace {

class ChoicePopupTest : public testsupport::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        QString error;
        ASSERT_TRUE(CScenario::loadFile(CScenario::kBuiltInPath, &sample, &error)) << error.toStdString();
        sample.applyTo(ttservice::CHostStore::instance());
        window = std::make_unique<CDeskWindow>(sample);
        window->fitTo(QSize(1362, 732));   // as on a 1366 x 768 screen
        window->show();
        ASSERT_TRUE(window->showBond(sample.defaultBondCode()));
        tables = std::make_unique<CPanelTableDriver>(window->panel());
        ASSERT_TRUE(tables->isComplete());
    }

    // The list the cell of table three's first row pops up when its editor opens.
    QAbstractItemView* openChoices(const char* title)
    {
        KZ::CStandardHpfTable* three = tables->table(CPanelTableDriver::T_THREE);
        three->syncNow();
        const QModelIndex cell = three->qtModel()->index(0, tables->column(CPanelTableDriver::T_THREE, QString::fromUtf8(title)));
        three->view()->edit(cell);
        auto* editor = qobject_cast<QLineEdit*>(three->view()->indexWidget(cell));
        if (editor == nullptr || editor->completer() == nullptr)
            return nullptr;
        QAbstractItemView* list = editor->completer()->popup();

        EXPECT_TRUE(QTest::qWaitFor([list] { return list->isVisible(); }));
        QApplication::processEvents();
        return list;
    }

    // The user guide's picture of the choices: BTA_GUIDE_PICTURES=DIR keeps the window with
    // the underwriter's list open (a list is a window of its own: it is drawn over the window).
    void keepGuidePicture(QAbstractItemView& list) const
    {
        const QString pictures = qEnvironmentVariable("BTA_GUIDE_PICTURES");
        if (pictures.isEmpty() || list.model()->index(1, 0).data().toString() != QStringLiteral("华鼎证券"))
            return;
        // Under the cell, where a screen large enough shows it (the offscreen one is small).
        const QTableView* view = tables->table(CPanelTableDriver::T_THREE)->view();
        const QRect cell = view->visualRect(view->indexAt(view->viewport()->focusWidget()->geometry().center()));
        QPixmap picture = window->grab();
        QPainter painter(&picture);
        painter.drawPixmap(view->viewport()->mapTo(window.get(), cell.bottomLeft() + QPoint(0, 1)), list.grab());
        painter.end();
        EXPECT_TRUE(picture.save(QDir(pictures).filePath(QStringLiteral("guide-choices.png")), "PNG"));
    }

    testsupport::MessageBoxRecorder boxes;   // none expected
    CScenario sample;
    std::unique_ptr<CDeskWindow> window;
    std::unique_ptr<CPanelTableDriver> tables;
};

} // namespace

TEST_F(ChoicePopupTest, shouldShowEveryChoiceOfTableThreeWholeWithoutScrolling)
{
    // Cells still blank: their editors offer every choice at once
    for (const char* title : {"投标市场", "承销商"}) {
        SCOPED_TRACE(title);
        QAbstractItemView* list = openChoices(title);
        ASSERT_NE(list, nullptr);
        const int rows = list->model()->rowCount();
        ASSERT_GT(rows, 1);
        ASSERT_LE(rows, 7) << "the sample offers fewer choices than a list shows at once";

        EXPECT_EQ(list->verticalScrollBar()->maximum(), 0) << "height " << list->height();
        const QRect last = list->visualRect(list->model()->index(rows - 1, 0));
        EXPECT_LE(last.bottom(), list->viewport()->height()) << "the last choice is cut off";
        for (int row = 0; row < rows; ++row) {
            const QModelIndex item = list->model()->index(row, 0);
            EXPECT_GE(list->viewport()->width(), list->fontMetrics().horizontalAdvance(item.data().toString()))
                << item.data().toString().toStdString();
        }
        keepGuidePicture(*list);
        list->hide();
        QTest::keyClick(tables->table(CPanelTableDriver::T_THREE)->view()->viewport()->focusWidget(), Qt::Key_Escape);
        QApplication::processEvents();
    }
}
