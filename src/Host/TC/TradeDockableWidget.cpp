#include "TC/TradeDockableWidget.h"

#include <QVector>
#include <memory>
#include <unordered_map>
#include <unordered_set>

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

// Columns of a data table: the field names of the records seen so far, in order of first
// appearance. Shared by the model and its rows, so a row can be shown after the model is gone.
class CRecordColumns {
public:
    int count() const { return static_cast<int>(fieldNames_.size()); }
    QString name(int column) const
    {
        return column >= 0 && column < count() ? KZ::sToQs(fieldNames_[static_cast<size_t>(column)]) : QString();
    }

    // Learns the fields of a record type from its first record: a type always writes the
    // same fields, so the other records of the type need not be looked at here.
    void learn(const ttservice::IData& record)
    {
        if (!typesSeen_.insert(record.dataType()).second)
            return;
        for (const ttservice::BSONElement& element : record.bsonValueToObj().elements())
            columnOf(element.fieldName());
    }

    QVector<QString> textsOf(const ttservice::IData& record)
    {
        QVector<QString> texts(count());
        for (const ttservice::BSONElement& element : record.bsonValueToObj().elements()) {
            const int column = columnOf(element.fieldName());
            if (column >= texts.size())
                texts.resize(column + 1);
            texts[column] = elementText(element);
        }
        return texts;
    }

private:
    int columnOf(const std::string& fieldName)
    {
        const auto found = columnOfField_.find(fieldName);
        if (found != columnOfField_.end())
            return found->second;
        const int column = count();
        fieldNames_.push_back(fieldName);
        columnOfField_.emplace(fieldName, column);
        return column;
    }

    std::vector<std::string> fieldNames_;
    std::unordered_map<std::string, int> columnOfField_;
    std::unordered_set<int> typesSeen_;
};

// One account-data record as a row. Its texts are made when the row is first shown or
// sorted: the table takes every changed record on each timer tick, and formatting all
// fields of rows nobody looks at would dominate the tick. A record delivered by the host
// does not change afterwards; a changed record arrives as a new put.
class CRecordRow : public KZ::IBaseHpfTableData {
public:
    CRecordRow(std::string key, boost::shared_ptr<const ttservice::IData> record,
               std::shared_ptr<CRecordColumns> columns, QColor color)
        : key_(std::move(key)), record_(std::move(record)), columns_(std::move(columns)), color_(color) {}
    QString getDisplayQString(int column) const override { return texts().value(column); }
    QString getQString(int column) const override { return texts().value(column); }
    QColor getColor(int) const override { return color_; }
    std::string key() const override { return key_; }

private:
    const QVector<QString>& texts() const
    {
        if (record_) {
            texts_ = columns_->textsOf(*record_);
            record_.reset();
        }
        return texts_;
    }

    std::string key_;
    mutable boost::shared_ptr<const ttservice::IData> record_;   // until the texts are made
    std::shared_ptr<CRecordColumns> columns_;
    mutable QVector<QString> texts_;
    QColor color_;
};

class CRecordModel : public KZ::IBaseHpfTableModel {
public:
    CRecordModel() : KZ::IBaseHpfTableModel(true) {}
    int columnCount() const override { return columns_->count(); }
    QString columnHeader(int column) const override { return columns_->name(column); }
    QVariant::Type columnType(int) const override { return QVariant::String; }
    QColor getBackgroundColor(int row) const override
    {
        return KZ::CUiResource::getColor(row % 2 == 0 ? QStringLiteral("clr_table_background")
                                                      : QStringLiteral("clr_table_background2"));
    }

    void putRecord(const boost::shared_ptr<ttservice::IData>& record, const QColor& color)
    {
        columns_->learn(*record);
        addData(KZ::IBaseHpfTableDataPtr(new CRecordRow(record->getKey(), record, columns_, color)));
    }

private:
    std::shared_ptr<CRecordColumns> columns_ = std::make_shared<CRecordColumns>();
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
    model->putRecord(record, KZ::CUiResource::getColor(colorKey));
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
