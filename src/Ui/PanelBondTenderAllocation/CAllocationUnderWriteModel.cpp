#include "CAllocationUnderWriteModel.h"


#include "CAllocationUnderWriteData.h"

namespace TC {

using Column = CAllocationUnderWriteData::EColumn;

CAllocationUnderWriteModel::CAllocationUnderWriteModel()
    : CAllocationTotalsModel(Column::COL_BID_AMOUNT, Column::COL_WIN_BID_AMOUNT)
{
}

CAllocationUnderWriteModel::~CAllocationUnderWriteModel() = default;

int CAllocationUnderWriteModel::columnCount() const
{
    return CAllocationUnderWriteData::COLUMN_COUNT;
}

QString CAllocationUnderWriteModel::columnHeader(int column) const
{
    switch (column) {
    case Column::COL_BOND_CODE: return QStringLiteral("债券代码");
    case Column::COL_BOND_NAME: return QStringLiteral("债券名称");
    case Column::COL_TENDERING_TYPE: return QStringLiteral("招标方式");
    case Column::COL_UNDERWRITER: return QStringLiteral("承销商");
    case Column::COL_BID_PRICE: return QStringLiteral("标位");
    case Column::COL_BID_AMOUNT: return QStringLiteral("投标量(亿)");
    case Column::COL_WIN_BID_PRICE: return QStringLiteral("中标标位");
    case Column::COL_WIN_BID_AMOUNT: return QStringLiteral("中标量(亿)");
    default: return QString();
    }
}

QVariant::Type CAllocationUnderWriteModel::columnType(int column) const
{
    if (column >= Column::COL_BOND_CODE && column <= Column::COL_UNDERWRITER) return QVariant::String;
    if (column >= Column::COL_BID_PRICE && column <= Column::COL_WIN_BID_AMOUNT) return QVariant::Double;
    return QVariant::Invalid;
}






} // namespace TC
