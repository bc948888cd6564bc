#include "CAllocationMixedModel.h"

#include "CPanelBondTenderAllocationHelper.h"
#include "KZ/UiResource.h"
#include "services/HostServices.h"

namespace TC {

namespace {

constexpr int kColumnCount = 10;

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
    : KZ::IBaseHpfTableModel(true)
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

QString CAllocationMixedModel::getStatDispalyQString(int column) const
{
    const int flag = TC::getUserConfig()->getSegmentedFormatFlag();
    if (column == 5)
        return CPanelBondTenderAllocationHelper::format4(totalBidAmount, flag);
    if (column == 7)
        return CPanelBondTenderAllocationHelper::format4(totalWinAmount, flag);
    return QString();
}

bool CAllocationMixedModel::columnFlashChange(int) const
{
    return false;
}

QColor CAllocationMixedModel::getBackgroundColor(int row) const
{
    return KZ::CUiResource::getColor(row % 2 != 0 ? QStringLiteral("clr_table_background2")
                                                  : QStringLiteral("clr_table_background"));
}

int CAllocationMixedModel::columnFlag(int) const
{
    return utils::FNF_NONE;
}

void CAllocationMixedModel::setTotalData(double bidTotal, double winTotal)
{
    totalBidAmount = bidTotal;
    totalWinAmount = winTotal;
}

} // namespace TC
