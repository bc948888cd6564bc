// The panel as a user sees it: every area whole inside the scroll area. With
// BTA_SCREENSHOT_DIR set, also writes panel.png there (docs/img/panel.png in the repository).

#include <QDir>
#include <QPixmap>
#include <QScrollArea>

#include "panel_workflow_support.h"

using namespace wf;

namespace {

class PanelScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        freshHost();
        seedDutchRateTender();
    }
    void TearDown() override { testsupport::resetHost(); }

    testsupport::MessageBoxRecorder boxes;
};

// A Dutch tender won and distributed, with fund one split over two accounts.
void loadSeededTender(PanelUnderTest& p)
{
    p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
    p.editHeadPrices(3.30, 3.15);
    const auto one = oneRows(p);
    ASSERT_EQ(one.size(), 2u);
    typeInto(p.one(), one[0]->key(), 7, "2.7");
    typeInto(p.one(), one[1]->key(), 7, "1.8");
    click(p.fairButton());
    completeRow(p, "1", "上交所", "一级分销", kGuotai, "A001");
    clickCell(p.three(), "1", 9);
    typeInto(p.three(), "2", 1, "银行间");
    typeInto(p.three(), "2", 8, "IB001");
    typeInto(p.three(), "1", 7, "1.2");
    typeInto(p.three(), "2", 7, "1.5");
    completeRow(p, "3", "深交所", "一级分销", kCitic, "B001");
    typeInto(p.three(), "3", 7, "1.8");
}

} // namespace

TEST_F(PanelScreenshotTest, shouldShowEveryAreaWholeInsideTheScrollArea)
{
    // Given a panel with a loaded tender in a window large enough for it
    PanelUnderTest p;
    p.panel->resize(1180, 720);
    loadSeededTender(p);
    QApplication::processEvents();

    // Then no area is squeezed below its own size or reaches outside the scrolled list
    QScrollArea* scroll = p.panel->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    QWidget* list = scroll->widget();
    ASSERT_NE(list, nullptr);
    const std::vector<QWidget*> areas{p.head(), p.one(), p.two(), p.bar(false), p.three(), p.bar(true)};
    for (QWidget* area : areas) {
        SCOPED_TRACE(area->metaObject()->className());
        EXPECT_GE(area->width(), area->minimumWidth());
        EXPECT_GE(area->height(), area->minimumHeight());
        const QRect inList(area->mapTo(list, QPoint(0, 0)), area->size());
        EXPECT_TRUE(list->rect().contains(inList)) << "area outside the list";
    }
    // And at this size everything is visible without scrolling
    EXPECT_LE(list->width(), scroll->viewport()->width());
    EXPECT_LE(list->height(), scroll->viewport()->height());

    // When a screenshot directory is given, the panel is written there
    const QByteArray dir = qgetenv("BTA_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    const QString file = QDir(QString::fromLocal8Bit(dir)).filePath(QStringLiteral("panel.png"));
    EXPECT_TRUE(p.panel->grab().save(file, "PNG")) << file.toStdString();
}
