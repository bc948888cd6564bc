// The panel as a user sees it: every area whole inside the scroll area. With
// BTA_SCREENSHOT_DIR set, also writes panel.png there (docs/img/panel.png in the repository).

#include <QDir>
#include <QPixmap>
#include <QScrollArea>

#include "panel_workflow_support.h"

using namespace wf;

namespace {

using PanelScreenshotTest = PanelTest;

} // namespace

TEST_F(PanelScreenshotTest, shouldShowEveryAreaWholeInsideTheScrollArea)
{
    // Given a panel in a window large enough for it, with the American tender won and
    // distributed: table three with three groups, fund one's 1.5 at 99.50 split over an
    // exchange and an interbank account
    seedAmericanPriceTender();
    PanelUnderTest p;
    p.panel->resize(1180, 720);
    allocateAmericanTender(p);
    clickCell(p.three(), "2", 9);   // "+添加"
    ASSERT_EQ(threeRows(p).size(), 4u);
    typeInto(p.three(), "3", 1, "银行间");
    typeInto(p.three(), "3", 8, "IB001");
    typeInto(p.three(), "3", 7, "0.5");
    typeInto(p.three(), "2", 7, "1");
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
