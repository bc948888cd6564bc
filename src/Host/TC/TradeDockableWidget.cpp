#include "TC/TradeDockableWidget.h"

#include <QVector>
#include <unordered_map>

#include "KZ/Format.h"
#include "KZ/HpfTableModel.h"
#include "KZ/UiResource.h"
#include "ttservice/IData.h"

namespace TC {

ITradeDockableWidget::ITradeDockableWidget(const QString& name, int panelType, const CDockWidgetInfo& info,
                                           QWidget* parent)
    : KZ::IDockableWidget(name, false, parent), name_(name), panelType_(panelType), info_(info)
{
}

ITradeDockableWidget::~ITradeDockableWidget() = default;

CDockWidgetInfo ITradeDockableWidget::getDockWidgetInfo(const QString& name)
{
    CDockWidgetInfo info;
    info.name = name;
    info.title = name == QLatin1String("btdallo") ? QStringLiteral("中标分配") : name;
    return info;
}

void ITradeDockableWidget::release()
{
    subscriptions_.clear();
}

void ITradeDockableWidget::clear()
{
    subscriptions_.clear();
}

void ITradeDockableWidget::setTradeType(ttservice::EVnTraderType type)
{
    tradeType_ = type;
}

void ITradeDockableWidget::registerSubscription(const ttservice::CSubscriptionPtr& handle)
{
    if (handle)
        subscriptions_.push_back(handle);
}

// ---------------------------------------------------------------------------

namespace {

QString elementText(const ttservice::BSONElement& element)
{
    switch (element.type()) {
    case ttservice::BSON_DOUBLE:
        return KZ::formatDoubleNumber(element.numberDouble(), 4, utils::FNF_NONE, false, QStringLiteral("-"));
    case ttservice::BSON_INT32:
    case ttservice::BSON_INT64:
    case ttservice::BSON_DATE:
        return QString::number(element.numberLong());
    case ttservice::BSON_STRING:
        return KZ::sToQs(element.str());
    case ttservice::BSON_BOOL:
        return element.boolean() ? QStringLiteral("true") : QStringLiteral("false");
    case ttservice::BSON_OBJECT:
    case ttservice::BSON_ARRAY:
        return KZ::sToQs(element.embeddedObject().jsonString());
    default:
        return QString();
    }
}

// One account-data record as a row: its fields' texts by column.
class CRecordRow : public KZ::IBaseHpfTableData {
public:
    CRecordRow(std::string key, QVector<QString> texts, QColor color)
        : key_(std::move(key)), texts_(std::move(texts)), color_(color) {}
    QString getDisplayQString(int column) const override { return texts_.value(column); }
    QString getQString(int column) const override { return texts_.value(column); }
    QColor getColor(int) const override { return color_; }
    std::string key() const override { return key_; }

private:
    std::string key_;
    QVector<QString> texts_;
    QColor color_;
};

// Columns are the field names of the records seen so far, in order of first appearance.
class CRecordModel : public KZ::IBaseHpfTableModel {
public:
    CRecordModel() : KZ::IBaseHpfTableModel(true) {}
    int columnCount() const override { return static_cast<int>(fieldNames_.size()); }
    QString columnHeader(int column) const override
    {
        return column >= 0 && column < columnCount() ? KZ::sToQs(fieldNames_[static_cast<size_t>(column)]) : QString();
    }
    QVariant::Type columnType(int) const override { return QVariant::String; }
    QColor getBackgroundColor(int row) const override
    {
        return KZ::CUiResource::getColor(row % 2 == 0 ? QStringLiteral("clr_table_background")
                                                      : QStringLiteral("clr_table_background2"));
    }

    void putRecord(const ttservice::IData& record, const QColor& color)
    {
        QVector<QString> texts(columnCount());
        for (const ttservice::BSONElement& element : record.bsonValueToObj().elements()) {
            const int column = columnOf(element.fieldName());
            if (column >= texts.size())
                texts.resize(column + 1);
            texts[column] = elementText(element);
        }
        addData(KZ::IBaseHpfTableDataPtr(new CRecordRow(record.getKey(), std::move(texts), color)));
    }

private:
    int columnOf(const std::string& fieldName)
    {
        const auto found = columnOfField_.find(fieldName);
        if (found != columnOfField_.end())
            return found->second;
        const int column = columnCount();
        fieldNames_.push_back(fieldName);
        columnOfField_.emplace(fieldName, column);
        return column;
    }

    std::vector<std::string> fieldNames_;
    std::unordered_map<std::string, int> columnOfField_;
};

} // namespace

CHpfDataTable::CHpfDataTable(int tableId, int dataType, QWidget* parent)
    : KZ::CStandardHpfTable(tableId, parent, 0), dataType_(dataType)
{
    setDataModel(new CRecordModel);
}

void CHpfDataTable::setTradeType(ttservice::EVnTraderType type)
{
    tradeType_ = type;
}

void CHpfDataTable::updateDataFixColor(const boost::shared_ptr<ttservice::IData>& record, const QString& colorKey,
                                       bool /*flash*/)
{
    auto* model = dynamic_cast<CRecordModel*>(dataModel());
    if (!record || model == nullptr)
        return;
    model->putRecord(*record, KZ::CUiResource::getColor(colorKey));
    ++updateCount_;
    updateTable();
}

void CHpfDataTable::clear()
{
    if (dataModel() != nullptr)
        dataModel()->clear();
    KZ::CStandardHpfTable::clear();
}

} // namespace TC
