#include "CAllocationProductModel.h"


#include "CAllocationProductData.h"

namespace TC {

CAllocationProductModel::CAllocationProductModel()
    : CAllocationTotalsModel(CAllocationProductData::COL_BID_AMOUNT, CAllocationProductData::COL_WIN_AMOUNT)
{
}

CAllocationProductModel::~CAllocationProductModel() = default;

int CAllocationProductModel::columnCount() const
{
    return CAllocationProductData::COLUMN_COUNT;
}

QString CAllocationProductModel::columnHeader(int column) const
{
    switch (column) {
    case CAllocationProductData::COL_BOND_CODE: return QStringLiteral("债券代码");
    case CAllocationProductData::COL_BOND_NAME: return QStringLiteral("债券名称");
    case CAllocationProductData::COL_PRODUCT: return QStringLiteral("产品");
    case CAllocationProductData::COL_TENDER_PRICE: return QStringLiteral("标位");
    case CAllocationProductData::COL_PURCHASE_TYPE: return QStringLiteral("申购方式");
    case CAllocationProductData::COL_BID_AMOUNT: return QStringLiteral("投标量(亿)");
    case CAllocationProductData::COL_WIN_AMOUNT: return QStringLiteral("中标量(亿)");
    default: return QString();
    }
}

QVariant::Type CAllocationProductModel::columnType(int column) const
{
    switch (column) {
    case CAllocationProductData::COL_BOND_CODE:
    case CAllocationProductData::COL_BOND_NAME:
    case CAllocationProductData::COL_PRODUCT:
    case CAllocationProductData::COL_PURCHASE_TYPE:
        return QVariant::String;
    case CAllocationProductData::COL_TENDER_PRICE:
    case CAllocationProductData::COL_BID_AMOUNT:
    case CAllocationProductData::COL_WIN_AMOUNT:
        return QVariant::Double;
    default:
        return QVariant::Invalid;
    }
}






} // namespace TC
