#include "CPanelFrame.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QStyle>

#include "CChoicePopupSizer.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "CUnallocatedVolume.h"

namespace desk {

namespace {

// The rail is at least this wide, and as wide as a figure below 100 亿 needs; it widens
// (never narrows) to a larger figure.
const int kRailWidth = 48;
const char* const kWidestUsualFigure = "未分配\n99.0000 亿";
const int kFigureMargin = 4;

QString figureStyle(bool alert)
{
    return alert ? QStringLiteral("QLabel { background: transparent; border: none; padding: 0; font-size: 11px; font-weight: bold; color: #c00000; }")
                 : QStringLiteral("QLabel { background: transparent; border: none; padding: 0; font-size: 11px; font-weight: bold; }");
}

QWidget* findByClass(QWidget* root, const char* className)
{
    for (QWidget* child : root->findChildren<QWidget*>())
        if (child->inherits(className))
            return child;
    return nullptr;
}

} // namespace

CPanelFrame::CPanelFrame(int panelType, QWidget* parent) : QWidget(parent)
{
    rail_ = new QWidget(this);
    rail_->setFixedWidth(kRailWidth);
    panel_ = new TC::CPanelBondTenderAllocationPanel(panelType, this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(rail_);
    layout->addWidget(panel_, 1);

    addCaption("TC::CPanelBondAllocationUnderWriteTable", CPanelTableDriver::T_ONE, tr("表一"), tr("承销商\n中标"));
    addCaption("TC::CPanelBondAllocationProductTable", CPanelTableDriver::T_TWO, tr("表二"), tr("产品\n中标"));
    addCaption("TC::CPanelBondAllocationMixedTable", CPanelTableDriver::T_THREE, tr("表三"), tr("账号\n分配"));

    settledNotice_ = new QLabel(tr("已结算\n本债券已结算，没有可显示的分配"), this);
    settledNotice_->setAlignment(Qt::AlignCenter);
    settledNotice_->setAttribute(Qt::WA_TransparentForMouseEvents);
    settledNotice_->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(255, 255, 255, 210); color: #7a4b00; font-size: 20px; font-weight: bold; }"));
    settledNotice_->hide();

    for (const SCaption& c : captions_)
        c.figure->setStyleSheet(figureStyle(false));
    if (!captions_.empty()) {
        QLabel* sample = captions_.front().figure;
        sample->setText(QString::fromUtf8(kWidestUsualFigure));
        sample->ensurePolished();
        rail_->setFixedWidth(qMax(kRailWidth, sample->sizeHint().width() + 2 * kFigureMargin));
    }
    new CChoicePopupSizer(panel_, this);   // owned by Qt parent
    unallocated_ = new CUnallocatedVolume(panel_, this);
    connect(unallocated_, &CUnallocatedVolume::changed, this, &CPanelFrame::showUnallocated);
    showUnallocated();
}

void CPanelFrame::addCaption(const char* tableClass, int tableIndex, const QString& number, const QString& name)
{
    QWidget* table = findByClass(panel_, tableClass);
    if (table == nullptr)
        return;
    auto* label = new QLabel(QStringLiteral("<b>%1</b><br>%2").arg(number, QString(name).replace(QLatin1Char('\n'), QStringLiteral("<br>"))),
                             rail_);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setAccessibleName(number + QLatin1Char(' ') + QString(name).remove(QLatin1Char('\n')));
    label->setStyleSheet(QStringLiteral("QLabel { background: #e8eef6; border-right: 2px solid #1f4e79; padding-top: 6px; }"));
    auto* figure = new QLabel(label);   // its tool tip says the figure as a sentence
    figure->setAlignment(Qt::AlignCenter);
    captions_.push_back({table, label, figure, tableIndex});
    // Any move of the table or of what holds it (the panel's scrolling included) moves its caption.
    for (QWidget* node = table; node != nullptr && node != this; node = node->parentWidget())
        node->installEventFilter(this);
}

QStringList CPanelFrame::captions() const
{
    QStringList out;
    for (const SCaption& c : captions_)
        out << c.label->accessibleName();
    return out;
}

std::vector<CPanelFrame::SUnallocatedLine> CPanelFrame::unallocatedLines() const
{
    std::vector<SUnallocatedLine> out;
    for (const SCaption& c : captions_)
        out.push_back({c.figure->text().replace(QLatin1Char('\n'), QLatin1Char(' ')),
                       unallocated_->figure(static_cast<CPanelTableDriver::ETable>(c.tableIndex)).isAlert(),
                       c.figure->toolTip()});
    return out;
}

void CPanelFrame::setBasicTenderUnit(double unit)
{
    unallocated_->setBasicTenderUnit(unit);
}

void CPanelFrame::showUnallocated()
{
    int railWidth = rail_->minimumWidth();
    for (const SCaption& c : captions_) {
        const SUnallocatedFigure& figure = unallocated_->figure(static_cast<CPanelTableDriver::ETable>(c.tableIndex));
        c.figure->setText(figure.railText());
        c.figure->setToolTip(figure.sentence(c.tableIndex));
        c.figure->setAccessibleName(c.figure->toolTip());
        const bool alert = figure.isAlert();
        if (c.figure->property("alert").toBool() != alert) {
            c.figure->setProperty("alert", alert);
            c.figure->setStyleSheet(figureStyle(alert));
        }
        railWidth = qMax(railWidth, c.figure->sizeHint().width() + 2 * kFigureMargin);
    }
    const bool widened = railWidth != rail_->minimumWidth();
    rail_->setFixedWidth(railWidth);
    placeCaptions();
    if (widened)
        emit preferredWidthChanged();
}

void CPanelFrame::setSettledNotice(bool shown)
{
    settledNotice_->setVisible(shown);
    placeCaptions();
}

bool CPanelFrame::settledNoticeShown() const
{
    return !settledNotice_->isHidden();
}

int CPanelFrame::preferredWidth() const
{
    int widest = 0;
    for (const SCaption& c : captions_)
        // What the table needs, not what it was stretched to: the panel's list of areas
        // widens its areas to the room it is given.
        widest = qMax(widest, qMax(c.table->minimumWidth(), c.table->minimumSizeHint().width()));
    // The panel's left margin of 10, the scroll area's frame, and a vertical scroll bar's
    // width even when none is needed: the panel's scroll area keeps the bars it showed
    // while the window was smaller until its viewport without them holds the content.
    const auto* scroll = panel_->findChild<QScrollArea*>();
    const int frame = scroll != nullptr ? 2 * scroll->frameWidth() : 4;
    return rail_->minimumWidth() + widest + 10 + frame + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

QRect CPanelFrame::rectInFrame(const QWidget* widget) const
{
    return QRect(widget->mapTo(this, QPoint(0, 0)), widget->size());
}

void CPanelFrame::placeCaptions()
{
    QRect tables;
    for (const SCaption& c : captions_) {
        const QRect r = rectInFrame(c.table);
        c.label->setGeometry(0, r.top() - rail_->y(), rail_->minimumWidth(), r.height());
        c.label->setVisible(c.table->isVisibleTo(this));
        // Beside the table's totals, at its foot.
        const int figureHeight = c.figure->sizeHint().height();
        c.figure->setGeometry(0, r.height() - figureHeight - kFigureMargin, rail_->minimumWidth() - 2, figureHeight);
        tables = tables.united(r);
    }
    if (settledNotice_->isVisible()) {
        // Over the tables, but within the panel's visible part.
        settledNotice_->setGeometry(tables.intersected(rectInFrame(panel_)));
        settledNotice_->raise();
    }
}

bool CPanelFrame::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        placeCaptions();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace desk
