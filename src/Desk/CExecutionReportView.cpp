#include "CExecutionReportView.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <utility>

#include "CDeskTimings.h"
#include "DisplayWidth.h"
#include "KZ/Format.h"
#include "services/HostStore.h"
#include "ttservice/BondTenderRecords.h"

namespace desk {

namespace {

enum EColumn { RC_NAME, RC_PRICE, RC_BID_AMOUNT, RC_COUNT };
// Measured when the view has no height yet: about a screenful of rows.
const int kRowsMeasuredUnlaid = 40;

// Positions and volumes alike: 4 decimals, as the panel shows them.
QString volumeText(double value)
{
    return KZ::formatDoubleNumber(value, 4, utils::FNF_NONE, false, QStringLiteral("非法值"));
}

QString productName(const ttservice::CHostStore& store, int productId)
{
    const auto product = store.productById(productId);   // the host's first of the id
    return product ? QString::fromStdString(product->productName) : QString::number(productId);
}

class CReportRowsModel : public QAbstractTableModel {
public:
    CReportRowsModel(const QString& nameHeader, QObject* parent)
        : QAbstractTableModel(parent), headers_{nameHeader, QObject::tr("标位"), QObject::tr("投标量\n(亿)")}
    {
    }

    void setRows(std::vector<CReportTable::SRow> rows)
    {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    const std::vector<CReportTable::SRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : RC_COUNT; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= rowCount())
            return QVariant();
        if (role == Qt::TextAlignmentRole)
            return static_cast<int>((index.column() == RC_NAME ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return QVariant();
        const CReportTable::SRow& row = rows_[static_cast<size_t>(index.row())];
        switch (index.column()) {
        case RC_NAME: return row.name;
        case RC_PRICE: return row.priceText.isEmpty() ? volumeText(row.price) : row.priceText;
        case RC_BID_AMOUNT: return volumeText(row.bidAmount);
        default: return QVariant();
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < RC_COUNT)
            return headers_[section];
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    const QString headers_[RC_COUNT];
    std::vector<CReportTable::SRow> rows_;
};

} // namespace

CReportTable::CReportTable(const QString& nameHeader, QWidget* parent) : QTableView(parent)
{
    setModel(new CReportRowsModel(nameHeader, this));   // owned by Qt parent
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    verticalHeader()->setVisible(false);
    // Each column as wide as its texts; the two numbers share any room left over.
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { fitNumberColumns(false); });
    fitNameColumn(QString());
    fitNumberColumns(true);
}

void CReportTable::setRows(std::vector<SRow> rows)
{
    QString widest;
    int widestColumns = 0;
    for (const SRow& row : rows) {
        const int columns = displayWidth(row.name);
        if (columns > widestColumns) {
            widest = row.name;
            widestColumns = columns;
        }
    }
    static_cast<CReportRowsModel*>(model())->setRows(std::move(rows));
    fitNameColumn(widest);
    fitNumberColumns(true);
}

void CReportTable::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    fitNumberColumns(false);   // a taller view shows more rows
    layOutColumns();
}

void CReportTable::layOutColumns()
{
    const int spare = qMax(0, viewport()->width() - fitted_[RC_NAME] - fitted_[RC_PRICE] - fitted_[RC_BID_AMOUNT]);
    QHeaderView* header = horizontalHeader();
    header->resizeSection(RC_NAME, fitted_[RC_NAME]);
    header->resizeSection(RC_PRICE, fitted_[RC_PRICE] + spare / 2);
    header->resizeSection(RC_BID_AMOUNT, fitted_[RC_BID_AMOUNT] + spare - spare / 2);
}

int CReportTable::textPadding() const
{
    return 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
}

void CReportTable::fitNumberColumns(bool fresh)
{
    const QAbstractItemModel* rows = model();
    const int count = rows->rowCount();
    const int first = count == 0 ? 0 : qMax(rowAt(0), 0);
    const int below = rowAt(viewport()->height() - 1);
    const int end = below >= 0 ? below + 1 : qMin(count, first + kRowsMeasuredUnlaid);
    const QFontMetrics rowMetrics = fontMetrics();
    const QFontMetrics titleMetrics = horizontalHeader()->fontMetrics();
    bool changed = false;
    for (const int column : {RC_PRICE, RC_BID_AMOUNT}) {
        int width = fresh ? 0 : fitted_[column];
        for (const QString& line : rows->headerData(column, Qt::Horizontal).toString().split(QLatin1Char('\n')))
            width = qMax(width, titleMetrics.horizontalAdvance(line) + textPadding());
        for (int row = first; row < end; ++row)
            width = qMax(width, rowMetrics.horizontalAdvance(rows->index(row, column).data().toString()) + textPadding());
        changed = changed || width != fitted_[column];
        fitted_[column] = width;
    }
    if (changed)
        layOutColumns();
}

int CReportTable::usefulWidth() const
{
    return fitted_[RC_NAME] + fitted_[RC_PRICE] + fitted_[RC_BID_AMOUNT] + 2 * frameWidth()
        + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

int CReportTable::rowCount() const
{
    return model()->rowCount();
}

void CReportTable::fitNameColumn(const QString& widestName)
{
    QHeaderView* header = horizontalHeader();
    const int padding = textPadding();
    const int nameWidth = fontMetrics().horizontalAdvance(widestName) + padding;
    const int headerWidth = header->fontMetrics().horizontalAdvance(model()->headerData(RC_NAME, Qt::Horizontal).toString())
        + padding;
    fitted_[RC_NAME] = qMax(headerWidth, nameWidth);
    layOutColumns();
}

CExecutionReportView::CExecutionReportView(QWidget* parent) : QWidget(parent)
{
    caption_ = new QLabel(tr("执行回报"), this);
    underwriters_ = new CReportTable(tr("承销商"), this);
    products_ = new CReportTable(tr("产品"), this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(caption_);
    layout->addWidget(underwriters_, 2);
    layout->addWidget(products_, 3);
}

int CExecutionReportView::usefulWidth() const
{
    const QMargins margins = layout()->contentsMargins();
    return qMax(underwriters_->usefulWidth(), products_->usefulWidth()) + margins.left() + margins.right();
}

void CExecutionReportView::showBond(const ttservice::CHostStore& store, const std::string& bondCode)
{
    using namespace ttservice;
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuAtStart = CDeskTimings::threadCpuNanoseconds();
    bondCode_ = bondCode;
    caption_->setText(tr("执行回报: %1").arg(QString::fromStdString(bondCode)));

    std::vector<CReportTable::SRow> rows;
    const auto external = store.typedRecords<CIBondTenderExecExternalReportInfo>(bondCode, RT_EXEC_EXTERNAL_REPORT);
    rows.reserve(external.size());
    for (const auto& report : external)
        if (report)
            rows.push_back({QString::fromStdString(report->underWriterName), report->tenderPrice, QString(), report->bidAmount});
    underwriters_->setRows(std::move(rows));

    rows.clear();
    const auto internal = store.typedRecords<CIBondTenderExecInternalReportInfo>(bondCode, RT_EXEC_INTERNAL_REPORT);
    for (const auto& report : internal) {
        if (!report)
            continue;
        const QString name = productName(store, report->productId);
        for (const auto& bid : report->bidDetails) {
            if (bid.second == kInvalidDouble)
                continue;
            bool isNumber = false;
            const double price = KZ::parseDouble(bid.first, &isNumber);
            rows.push_back({name, price, isNumber ? QString() : QString::fromStdString(bid.first), bid.second});
        }
    }
    products_->setRows(std::move(rows));
    lastShowNanoseconds_ = clock.nsecsElapsed();
    lastShowCpuNanoseconds_ = CDeskTimings::threadCpuNanoseconds() - cpuAtStart;
}

} // namespace desk
