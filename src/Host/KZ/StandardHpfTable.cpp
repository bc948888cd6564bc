#include "KZ/StandardHpfTable.h"

#include <QFontMetrics>
#include <QHash>
#include <QHeaderView>
#include <QInputDialog>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QSignalBlocker>
#include <QStringList>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <memory>

#include "KZ/ColumnDelegates.h"
#include "KZ/HpfTableModel.h"
#include "KZ/HpfTableQtModel.h"
#include "KZ/UiResource.h"

namespace KZ {

namespace {

constexpr int kRowHeight = 24;
constexpr int kDefaultColumnWidth = 80;
constexpr int kMaxColumnWidth = 10000;
constexpr int kMaxFittedRows = 60;       // more than a screen of rows
constexpr int kMaxFittedWidth = 320;     // a column a long text may not grow past
const QString kConfigTag = QStringLiteral("hpf1");

QString joinInts(const QVector<int>& values)
{
    QStringList parts;
    parts.reserve(values.size());
    for (int value : values)
        parts << QString::number(value);
    return parts.join(QLatin1Char(','));
}

bool parseInts(const QString& text, QVector<int>* out)
{
    out->clear();
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int value = part.toInt(&ok);   // QString::toInt ignores the process locale
        if (!ok)
            return false;
        out->append(value);
    }
    return true;
}

bool isPermutation(QVector<int> order)
{
    std::sort(order.begin(), order.end());
    for (int i = 0; i < order.size(); ++i) {
        if (order[i] != i)
            return false;
    }
    return true;
}

void setUpRows(QTableView* view)
{
    view->setFont(CUiResource::getFont(QStringLiteral("fnt_table_text")));
    QHeaderView* rows = view->verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(16);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    view->setWordWrap(false);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

} // namespace

// An upper bound of a text's width without shaping it: each ASCII character counted as the
// widest ASCII one, every other character as a Chinese one (an em) and a quarter more. Shaping a Chinese text costs microseconds; most cells fit their column by
// far, and this tells so from the characters alone. A text that may not fit is shaped once
// and its width kept, as the same names repeat down a column.
class CTextWidthBound {
public:
    explicit CTextWidthBound(const QFont& font) : fontKey_(font.key()), metrics_(font)
    {
        for (char c = ' '; c <= '~'; ++c)
            ascii_ = std::max(ascii_, metrics_.horizontalAdvance(QLatin1Char(c)));
        const int em = std::max(metrics_.horizontalAdvance(QChar(0x4E2D)), ascii_);   // 中
        other_ = em + (em + 3) / 4;
    }
    int atMost(const QString& text) const
    {
        int width = 0;
        for (const QChar c : text)
            width += c.unicode() < 0x80 ? ascii_ : other_;
        return width;
    }
    int exact(const QString& text) const
    {
        auto found = exact_.constFind(text);
        if (found != exact_.constEnd())
            return found.value();
        if (exact_.size() >= kKeptWidths)
            exact_.clear();
        return exact_.insert(text, metrics_.horizontalAdvance(text)).value();
    }

    // The bound for font: kept while the table's font stays the same, made anew otherwise.
    static const CTextWidthBound& of(const QFont& font, std::unique_ptr<CTextWidthBound>& kept)
    {
        if (!kept || kept->fontKey_ != font.key())
            kept = std::make_unique<CTextWidthBound>(font);
        return *kept;
    }

private:
    static constexpr int kKeptWidths = 4096;
    QString fontKey_;
    QFontMetrics metrics_;
    int ascii_ = 0;
    int other_ = 0;
    mutable QHash<QString, int> exact_;
};

// Column widths, visual order and sort, as kept in the table's configuration string:
// "hpf1;w=80,80,120;o=0,2,1;s=2,1" (s = sort column or -1, then 0 ascending / 1 descending).
struct CStandardHpfTable::SViewConfig {
    QVector<int> widths;
    QVector<int> order;
    int sortColumn = -1;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;

    QString text() const
    {
        return QStringLiteral("%1;w=%2;o=%3;s=%4,%5")
            .arg(kConfigTag, joinInts(widths), joinInts(order), QString::number(sortColumn),
                 QString::number(sortOrder == Qt::DescendingOrder ? 1 : 0));
    }

    bool parse(const QString& config)
    {
        const QStringList parts = config.split(QLatin1Char(';'));
        if (parts.size() != 4 || parts[0] != kConfigTag || !parts[1].startsWith(QLatin1String("w="))
            || !parts[2].startsWith(QLatin1String("o=")) || !parts[3].startsWith(QLatin1String("s=")))
            return false;
        QVector<int> sort;
        if (!parseInts(parts[1].mid(2), &widths) || !parseInts(parts[2].mid(2), &order)
            || !parseInts(parts[3].mid(2), &sort) || sort.size() != 2)
            return false;
        if (std::any_of(widths.begin(), widths.end(), [](int w) { return w < 0 || w > kMaxColumnWidth; }))
            return false;
        if (!isPermutation(order) || sort[0] < -1 || (sort[1] != 0 && sort[1] != 1))
            return false;
        sortColumn = sort[0];
        sortOrder = sort[1] == 1 ? Qt::DescendingOrder : Qt::AscendingOrder;
        return true;
    }
};

CStandardHpfTable::CStandardHpfTable(int id, QWidget* parent, int menuFlags)
    : CBaseWidget(QStringLiteral("hpf_table"), false, parent), id_(id), menuFlags_(menuFlags)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    view_ = new QTableView(this);
    qtModel_ = new CHpfTableQtModel([this](int column) { return columnDelegate(column); }, this);
    view_->setModel(qtModel_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    setUpRows(view_);
    QHeaderView* header = view_->horizontalHeader();
    header->setSectionsMovable(true);
    header->setHighlightSections(false);
    header->setMinimumSectionSize(20);
    header->setDefaultSectionSize(kDefaultColumnWidth);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    connect(header, &QHeaderView::sortIndicatorChanged, this, &CStandardHpfTable::onSortIndicatorChanged);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this, &CStandardHpfTable::showHeaderMenu);
    layout->addWidget(view_, 1);
    connect(qtModel_, &QAbstractItemModel::modelReset, this, [this]() { fitPending_ = true; });
    connect(qtModel_, &QAbstractItemModel::rowsInserted, this, [this]() { fitPending_ = true; });

    statView_ = new QTableView(this);
    statModel_ = new CHpfStatQtModel(this);
    statView_->setModel(statModel_);
    setUpRows(statView_);
    statView_->horizontalHeader()->hide();
    statView_->horizontalHeader()->setMinimumSectionSize(20);
    statView_->horizontalHeader()->setDefaultSectionSize(kDefaultColumnWidth);
    statView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    statView_->setSelectionMode(QAbstractItemView::NoSelection);
    statView_->setFocusPolicy(Qt::NoFocus);
    statView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    statView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    statView_->setFixedHeight(kRowHeight + 2 * statView_->frameWidth());
    // The statistics row follows the table's columns and horizontal scrolling.
    connect(header, &QHeaderView::sectionResized, statView_,
            [this](int logical, int, int size) { statView_->setColumnWidth(logical, size); });
    connect(header, &QHeaderView::sectionMoved, statView_,
            [this](int, int from, int to) { statView_->horizontalHeader()->moveSection(from, to); });
    connect(view_->horizontalScrollBar(), &QScrollBar::valueChanged, statView_->horizontalScrollBar(),
            &QScrollBar::setValue);
    layout->addWidget(statView_);

    applyFlags();
}

CStandardHpfTable::~CStandardHpfTable()
{
    // The views outlive this body (Qt children); they must not see the model we are about to drop.
    qtModel_->setSource(nullptr);
    statModel_->setSource(nullptr);
}

void CStandardHpfTable::setFlag(int flags)
{
    flags_ = flags;
    applyFlags();
}

void CStandardHpfTable::applyFlags()
{
    view_->setEditTriggers((flags_ & TF_EDITABLE)
                               ? QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                                     | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed
                               : QAbstractItemView::NoEditTriggers);
    const bool headerSort = (flags_ & TF_HEADER_SORT) != 0;
    view_->horizontalHeader()->setSectionsClickable(headerSort);
    view_->horizontalHeader()->setSortIndicatorShown(headerSort);
    statView_->setVisible((flags_ & TF_STAT_ROW) != 0);
}

void CStandardHpfTable::setColumnWidth(int column, int width)
{
    if (column < 0 || width < 0)
        return;
    if (widths_.size() <= column)
        widths_.resize(column + 1);
    widths_[column] = width;
    view_->setColumnWidth(column, width);
}

void CStandardHpfTable::applyColumnWidths()
{
    const int count = std::min(widths_.size(), qtModel_->columnCount());
    for (int column = 0; column < count; ++column) {
        if (widths_[column] > 0)
            view_->setColumnWidth(column, widths_[column]);
    }
}

void CStandardHpfTable::setDataModel(IBaseHpfTableModel* model)
{
    if (model == model_.get())
        return;
    qtModel_->setSource(nullptr);
    statModel_->setSource(nullptr);
    model_.reset(model);
    qtModel_->setSource(model);
    statModel_->setSource(model);
    sync();
}

IBaseHpfTableModel* CStandardHpfTable::dataModel() const
{
    return model_.get();
}

void CStandardHpfTable::setColumnDelegate(int column, CBaseTableColumnDelegate* delegate)
{
    if (column < 0 || delegate == nullptr)
        return;
    if (delegates_.size() <= column)
        delegates_.resize(column + 1);
    CBaseTableColumnDelegate* previous = delegates_[column].data();
    if (previous != nullptr && previous != delegate) {
        view_->setItemDelegateForColumn(column, nullptr);
        qtModel_->forgetCellsOf(previous);
        previous->deleteLater();
    }
    delegate->setParent(this);
    delegate->attach(qtModel_);
    delegates_[column] = delegate;
    view_->setItemDelegateForColumn(column, delegate);
}

CBaseTableColumnDelegate* CStandardHpfTable::columnDelegate(int column) const
{
    if (column < 0 || column >= delegates_.size())
        return nullptr;
    return delegates_[column].data();
}

void CStandardHpfTable::setColumnFilterable(int column, bool on)
{
    if (on) {
        filterableColumns_.insert(column);
    } else {
        filterableColumns_.remove(column);
        qtModel_->setFilter(column, QString());
    }
}

void CStandardHpfTable::setColumnSortable(int column, bool on)
{
    if (on)
        sortableColumns_.insert(column);
    else
        sortableColumns_.remove(column);
}

void CStandardHpfTable::setColumnFilter(int column, const QString& text)
{
    qtModel_->setFilter(column, text);
}

void CStandardHpfTable::sortByColumn(int column, Qt::SortOrder order)
{
    qtModel_->setSort(column, order);
    showSortIndicator();
}

int CStandardHpfTable::sortColumn() const
{
    return qtModel_->sortColumn();
}

Qt::SortOrder CStandardHpfTable::sortOrder() const
{
    return qtModel_->sortOrder();
}

void CStandardHpfTable::onSortIndicatorChanged(int column, Qt::SortOrder order)
{
    if ((flags_ & TF_HEADER_SORT) && sortableColumns_.contains(column))
        qtModel_->setSort(column, order);
    else
        showSortIndicator();   // a click on a column that does not sort changes nothing
}

// A right click on the header of a filterable column lets the user filter it by text.
void CStandardHpfTable::showHeaderMenu(const QPoint& position)
{
    QHeaderView* header = view_->horizontalHeader();
    const int column = header->logicalIndexAt(position);
    if (column < 0 || !filterableColumns_.contains(column))
        return;
    QPointer<CStandardHpfTable> alive(this);   // the menu and the dialog run nested event loops
    QMenu menu;
    QAction* filter = menu.addAction(QStringLiteral("筛选..."));
    QAction* clearAll = menu.addAction(QStringLiteral("清除筛选"));
    QAction* unsort = menu.addAction(QStringLiteral("取消排序"));
    unsort->setEnabled(qtModel_->sortColumn() >= 0);
    QAction* chosen = menu.exec(header->viewport()->mapToGlobal(position));
    if (alive.isNull())
        return;
    if (chosen == filter) {
        bool ok = false;
        const QString caption = qtModel_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        const QString text = QInputDialog::getText(this, QStringLiteral("筛选"), caption + QStringLiteral(" 包含:"),
                                                   QLineEdit::Normal, QString(), &ok);
        if (ok && !alive.isNull())
            setColumnFilter(column, text.trimmed());
    } else if (chosen == clearAll) {
        clearFilter();
    } else if (chosen == unsort) {
        clearSort();
    }
}

void CStandardHpfTable::showSortIndicator()
{
    QSignalBlocker blocker(view_->horizontalHeader());
    view_->horizontalHeader()->setSortIndicator(qtModel_->sortColumn(), qtModel_->sortOrder());
    view_->horizontalHeader()->viewport()->update();
}

void CStandardHpfTable::clear()
{
    view_->reset();   // releases open editors and the current index
    view_->clearSelection();
    qtModel_->releaseRows();
    updateTable();
}

void CStandardHpfTable::clearFilter()
{
    qtModel_->clearFilters();
}

void CStandardHpfTable::clearSort()
{
    sortByColumn(-1, Qt::AscendingOrder);
}

void CStandardHpfTable::updateTable()
{
    dirty_ = true;
    if (syncQueued_)
        return;
    syncQueued_ = true;
    QMetaObject::invokeMethod(this, [this]() {
        syncQueued_ = false;
        if (dirty_)
            sync();
    }, Qt::QueuedConnection);
}

void CStandardHpfTable::syncNow()
{
    if (dirty_ || (model_ && model_->revision() != syncedRevision_))
        sync();
}

void CStandardHpfTable::sync()
{
    dirty_ = false;
    ++syncCount_;
    syncedRevision_ = model_ ? model_->revision() : 0;
    const int columnsBefore = qtModel_->columnCount();
    qtModel_->resync();
    statModel_->resync();
    if (qtModel_->columnCount() != columnsBefore) {
        applyColumnWidths();
        if (pendingConfig_ && applyConfig(*pendingConfig_))
            pendingConfig_.reset();
        mirrorHeaderToStatView();
    }
    widenColumnsToStatTexts();
    if (fitPending_ && view_->isVisible())
        widenColumnsToShownTexts();
    // Rows change their values in place too (a typed volume, a total): what is in sight is
    // drawn again from them.
    view_->viewport()->update();
}

// A total is the figure the user checks first: its column grows until the total shows
// whole, however wide (never shrinks, so a width the user chose wider stays).
void CStandardHpfTable::widenColumnsToStatTexts()
{
    if (!(flags_ & TF_STAT_ROW))
        return;
    const int columns = statModel_->columnCount();
    if (columns == 0)
        return;
    const CTextWidthBound& bound = CTextWidthBound::of(statModel_->index(0, 0).data(Qt::FontRole).value<QFont>(), statBound_);
    for (int column = 0; column < columns; ++column)
        growColumnToText(column, bound, statModel_->index(0, column).data(Qt::DisplayRole).toString(), INT_MAX);
}

// After the rows change, a column grows until the texts of the rows in sight fit, up to
// kMaxFittedWidth: a bond's name cut to "26政金05(..." hides the very part that tells a
// reopened issue from the first one. Only the rows in sight are measured, so a table of
// ten thousand rows costs no more than one of ten.
void CStandardHpfTable::widenColumnsToShownTexts()
{
    fitPending_ = false;
    const int rows = qtModel_->rowCount();
    const int columns = qtModel_->columnCount();
    if (rows == 0 || columns == 0)
        return;
    // Rows have one fixed height and the view scrolls by whole rows: the rows in sight follow
    // from the scroll position, without asking the header to lay out ten thousand sections.
    const int first = std::min(std::max(0, view_->verticalScrollBar()->value()), rows - 1);
    const int inSight = std::min(view_->viewport()->height() / kRowHeight + 1, kMaxFittedRows);
    const int last = std::min(rows - 1, first + std::max(inSight, 1) - 1);
    const CTextWidthBound& bound = CTextWidthBound::of(view_->font(), rowBound_);
    for (int column = 0; column < columns; ++column) {
        for (int row = first; row <= last; ++row)
            growColumnToText(column, bound, qtModel_->index(row, column).data(Qt::DisplayRole).toString(),
                             kMaxFittedWidth);
    }
}

// The item delegate's text margin on each side, and the grid line.
int CStandardHpfTable::textPadding() const
{
    return 2 * (view_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view_) + 1) + 1;
}

void CStandardHpfTable::showEvent(QShowEvent* event)
{
    CBaseWidget::showEvent(event);
    if (fitPending_)
        widenColumnsToShownTexts();   // rows that arrived while the table was hidden
}

void CStandardHpfTable::growColumnToText(int column, const CTextWidthBound& bound, const QString& text, int limit)
{
    QHeaderView* header = view_->horizontalHeader();
    if (text.isEmpty() || header->isSectionHidden(column))
        return;
    const int width = header->sectionSize(column);
    if (bound.atMost(text) + textPadding() <= width)
        return;   // fits by its characters alone: no need to shape it
    const int needed = std::min(bound.exact(text) + textPadding(), limit);
    if (width < needed)
        view_->setColumnWidth(column, needed);
}

void CStandardHpfTable::mirrorHeaderToStatView()
{
    QHeaderView* header = view_->horizontalHeader();
    QHeaderView* statHeader = statView_->horizontalHeader();
    const int count = std::min(header->count(), statHeader->count());
    for (int logical = 0; logical < count; ++logical)
        statView_->setColumnWidth(logical, header->sectionSize(logical));
    for (int visual = 0; visual < count; ++visual) {
        const int from = statHeader->visualIndex(header->logicalIndex(visual));
        if (from != visual)
            statHeader->moveSection(from, visual);
    }
}

QString CStandardHpfTable::saveConfigStr() const
{
    const int count = qtModel_->columnCount();
    if (count == 0 && pendingConfig_)
        return pendingConfig_->text();   // columns not known yet: keep what was loaded
    SViewConfig config;
    const QHeaderView* header = view_->horizontalHeader();
    for (int column = 0; column < count; ++column)
        config.widths << header->sectionSize(column);
    for (int visual = 0; visual < count; ++visual)
        config.order << header->logicalIndex(visual);
    config.sortColumn = qtModel_->sortColumn();
    config.sortOrder = qtModel_->sortOrder();
    return config.text();
}

bool CStandardHpfTable::loadConfigStr(const QString& config)
{
    SViewConfig parsed;
    if (config.isEmpty() || !parsed.parse(config))
        return false;
    if (applyConfig(parsed))
        pendingConfig_.reset();
    else
        pendingConfig_.reset(new SViewConfig(parsed));
    return true;
}

bool CStandardHpfTable::applyConfig(const SViewConfig& config)
{
    const int count = qtModel_->columnCount();
    if (count == 0)
        return false;
    for (int column = 0; column < std::min(count, config.widths.size()); ++column) {
        if (config.widths[column] > 0)
            setColumnWidth(column, config.widths[column]);
    }
    if (config.order.size() == count) {
        QHeaderView* header = view_->horizontalHeader();
        for (int visual = 0; visual < count; ++visual) {
            const int from = header->visualIndex(config.order[visual]);
            if (from != visual)
                header->moveSection(from, visual);
        }
    }
    sortByColumn(config.sortColumn < count ? config.sortColumn : -1, config.sortOrder);
    return true;
}

QAbstractItemModel* CStandardHpfTable::qtModel() const
{
    return qtModel_;
}

} // namespace KZ
