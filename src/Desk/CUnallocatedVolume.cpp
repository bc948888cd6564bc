#include "CUnallocatedVolume.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QLineEdit>
#include <QTableView>

#include "CPanelBondTenderAllocationHelper.h"
#include "KZ/Format.h"
#include "KZ/StandardHpfTable.h"
#include "services/HostServices.h"

namespace desk {

namespace {

using Helper = TC::CPanelBondTenderAllocationHelper;
using ETable = CPanelTableDriver::ETable;

const ETable kTables[] = {CPanelTableDriver::T_ONE, CPanelTableDriver::T_TWO, CPanelTableDriver::T_THREE};

// A volume as the panel shows one: 4 decimals in the user's number format.
QString volumeText(double value)
{
    return Helper::format4(value, TC::getUserConfig()->getSegmentedFormatFlag());
}

// A number the tables show or the user types: group separators dropped, anything else
// that is not a number counts as 0, as the panel counts it.
double numberOf(const QString& text)
{
    QString plain = text;
    plain.remove(QLatin1Char(',')).remove(QLatin1Char(' '));
    bool ok = false;
    const double value = KZ::parseDouble(KZ::qsToS(plain), &ok);
    return ok ? value : 0.0;
}

QString tableName(int table)
{
    static const char* const names[] = {"表一", "表二", "表三"};
    return QString::fromUtf8(names[table]);
}

} // namespace

bool SUnallocatedFigure::isAlert() const
{
    return shown && hasReference && !Helper::isZero(remaining);
}

QString SUnallocatedFigure::railText() const
{
    if (!shown)
        return QString();
    if (!hasReference)
        return QObject::tr("中标合计\n%1 亿").arg(volumeText(total));
    if (Helper::isZero(remaining))
        return Helper::isZero(total) ? QObject::tr("无待分配") : QObject::tr("已分配完");
    return (remaining > 0 ? QObject::tr("未分配\n%1 亿") : QObject::tr("多分配\n%1 亿")).arg(volumeText(qAbs(remaining)));
}

QString SUnallocatedFigure::sentence(int table) const
{
    if (!shown)
        return QString();
    if (!hasReference)
        return QObject::tr("%1中标合计 %2 亿（招标没有另给中标总量）").arg(tableName(table), volumeText(total));
    const QString above = tableName(table - 1);
    if (Helper::isZero(remaining))
        return Helper::isZero(total) ? QObject::tr("%1与%2的中标合计都为 0，没有待分配的量").arg(tableName(table), above)
                                     : QObject::tr("%1中标合计与%2一致，已分配完").arg(tableName(table), above);
    return (remaining > 0 ? QObject::tr("%1比%2少分配 %3 亿") : QObject::tr("%1比%2多分配 %3 亿"))
        .arg(tableName(table), above, volumeText(qAbs(remaining)));
}

CUnallocatedVolume::CUnallocatedVolume(QWidget* panel, QObject* parent) : QObject(parent), tables_(panel)
{
    for (const ETable table : kTables)
        watch(table);
    recomputeNow();
}

void CUnallocatedVolume::watch(ETable table)
{
    wonColumn_[table] = bidColumn_[table] = -1;
    KZ::CStandardHpfTable* shown = tables_.table(table);
    if (shown == nullptr)
        return;
    wonColumn_[table] = tables_.column(table, QStringLiteral("中标量(亿)"));
    bidColumn_[table] = tables_.column(table, QStringLiteral("投标量(亿)"));
    for (const QAbstractItemModel* model : {shown->qtModel(), shown->statView()->model()}) {
        connect(model, &QAbstractItemModel::dataChanged, this, &CUnallocatedVolume::scheduleRecompute);
        connect(model, &QAbstractItemModel::rowsInserted, this, &CUnallocatedVolume::scheduleRecompute);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &CUnallocatedVolume::scheduleRecompute);
        connect(model, &QAbstractItemModel::modelReset, this, &CUnallocatedVolume::scheduleRecompute);
    }
    // A cell's editor is a child of the view's viewport; it is polished when it opens.
    shown->view()->viewport()->installEventFilter(this);
}

bool CUnallocatedVolume::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide && watched == live_.editor.data())
        scheduleRecompute();   // closed (committed or not): the table's own totals again
    if (event->type() == QEvent::ChildPolished) {
        auto* editor = qobject_cast<QLineEdit*>(static_cast<QChildEvent*>(event)->child());
        for (const ETable table : kTables) {
            const KZ::CStandardHpfTable* shown = tables_.table(table);
            if (editor != nullptr && shown != nullptr && watched == shown->view()->viewport())
                followEditor(table, editor);
        }
    }
    return QObject::eventFilter(watched, event);
}

void CUnallocatedVolume::followEditor(ETable table, QLineEdit* editor)
{
    if (live_.editor.data() == editor)
        return;
    live_.editor = editor;
    live_.table = table;
    connect(editor, &QLineEdit::textEdited, this, &CUnallocatedVolume::scheduleRecompute);
    editor->installEventFilter(this);
}

void CUnallocatedVolume::scheduleRecompute()
{
    if (pending_)
        return;
    pending_ = true;
    QMetaObject::invokeMethod(this, &CUnallocatedVolume::recomputeNow, Qt::QueuedConnection);
}

double CUnallocatedVolume::wonTotal(ETable table) const
{
    const KZ::CStandardHpfTable* shown = tables_.table(table);
    if (shown == nullptr || wonColumn_[table] < 0)
        return 0.0;
    const QAbstractItemModel* stat = shown->statView()->model();
    return numberOf(stat->index(0, wonColumn_[table]).data(Qt::DisplayRole).toString());
}

double CUnallocatedVolume::liveChange(ETable table) const
{
    const auto* editor = qobject_cast<const QLineEdit*>(live_.editor.data());
    if (editor == nullptr || live_.table != table || !editor->isVisible() || !editor->isModified())
        return 0.0;
    const QTableView* view = tables_.table(table)->view();
    const QModelIndex cell = view->indexAt(editor->geometry().center());
    if (!cell.isValid() || cell.column() != wonColumn_[table] || view->indexWidget(cell) != editor)
        return 0.0;
    // What the panel will make of the text: whole basic tender units, at most the row's bid.
    double typed = Helper::cutToWholeUnits(KZ::qsToS(QString(editor->text()).remove(QLatin1Char(','))), basicTenderUnit_);
    if (bidColumn_[table] >= 0)
        typed = qMin(typed, numberOf(cell.sibling(cell.row(), bidColumn_[table]).data(Qt::DisplayRole).toString()));
    return typed - numberOf(cell.data(Qt::DisplayRole).toString());
}

void CUnallocatedVolume::recomputeNow()
{
    pending_ = false;
    for (const ETable table : kTables) {
        SUnallocatedFigure& figure = figures_[table];
        const KZ::CStandardHpfTable* shown = tables_.table(table);
        figure.shown = shown != nullptr && shown->qtModel()->rowCount() > 0;
        figure.total = figure.shown ? wonTotal(table) + liveChange(table) : 0.0;
        figure.hasReference = table != CPanelTableDriver::T_ONE;
        figure.remaining = figure.hasReference ? figures_[table - 1].total - figure.total : 0.0;
    }
    emit changed();
}

} // namespace desk
