#include "CAllocationMixedModel.h"

#include "CAllocationMixedData.h"

namespace TC {

namespace {

using Column = CAllocationMixedData::EColumn;
constexpr int kColumnCount = Column::COLUMN_COUNT;

struct SColumn {
    const char* header;
    QVariant::Type type;
};

const SColumn kColumns[kColumnCount] = {
    {"产品", QVariant::String},    {"投标市场", QVariant::String}, {"申购方式", QVariant::String},
    {"承销商", QVariant::String},  {"标位", QVariant::Double},     {"投标量(亿)", QVariant::Double},
    {"中标标位", QVariant::Double}, {"中标量(亿)", QVariant::Double}, {"账号分配", QVariant::String},
    {"操作", QVariant::Invalid},
};

bool isColumn(int column)
{
    return column >= 0 && column < kColumnCount;
}

} // namespace

CAllocationMixedModel::CAllocationMixedModel()
    : CAllocationTotalsModel(Column::COL_BID_AMOUNT, Column::COL_WIN_AMOUNT)
{
}

CAllocationMixedModel::~CAllocationMixedModel() = default;

int CAllocationMixedModel::columnCount() const
{
    return kColumnCount;
}

QString CAllocationMixedModel::columnHeader(int column) const
{
    return isColumn(column) ? QString::fromUtf8(kColumns[column].header) : QString();
}

QVariant::Type CAllocationMixedModel::columnType(int column) const
{
    return isColumn(column) ? kColumns[column].type : QVariant::Invalid;
}

} // namespace TC
