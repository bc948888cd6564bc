#pragma once
// The sample's won mixed tender split as a user prepares it for import.

#include <QByteArray>
#include <QStringList>
#include <string>
#include <vector>

#include "CAllocationCsv.h"

namespace desktest {

inline const std::string kBond = "260205.IB";
using Fields = QStringList;

// The split as a user prepares it: every product at every won position through the
// position's underwriter on its interbank account, 稳健增利1号's 1.5 at 100.05 split in two.
inline const std::vector<Fields> kSplit = {
    {"稳健增利1号", "银行间", "一级分销", "恒远证券", "100.0500", "1.5000", "99.9200", "1.0000", "IB0010001"},
    {"稳健增利1号", "上交所", "二级上市", "恒远证券", "100.0500", "1.5000", "99.9200", "0.5000", "B880012301"},
    {"稳健增利1号", "银行间", "一级分销", "广泰银行", "99.8500", "1.0000", "99.8500", "1.0000", "IB0010001"},
    {"稳健增利1号", "银行间", "一级分销", "瑞丰银行", "99.9800", "0.5000", "99.9200", "0.5000", "IB0010001"},
    {"恒信利率债", "银行间", "一级分销", "广泰银行", "99.8500", "2.0000", "99.8500", "1.0000", "IB0010004"},
    {"恒信利率债", "银行间", "一级分销", "金桥证券", "99.9200", "1.2000", "99.9200", "1.2000", "IB0010004"},
    {"恒信利率债", "银行间", "一级分销", "瑞丰银行", "99.9800", "0.8000", "99.9200", "0.8000", "IB0010004"},
    {"长盈中短债", "银行间", "一级分销", "金桥证券", "99.9200", "3.0000", "99.9200", "3.0000", "IB0010006"},
    {"长盈中短债", "银行间", "一级分销", "瑞丰银行", "99.9800", "2.5000", "99.9200", "2.5000", "IB0010006"},
    {"泰和现金管理", "银行间", "一级分销", "恒远证券", "100.0500", "1.0000", "99.9200", "1.0000", "IB0010009"},
    {"泰和现金管理", "银行间", "一级分销", "瑞丰银行", "99.9800", "0.8000", "99.9200", "0.8000", "IB0010009"},
    {"嘉和稳健(专户)", "银行间", "一级分销", "金桥证券", "99.9200", "1.5000", "99.9200", "1.5000", "IB0010010"},
    {"嘉和稳健(专户)", "银行间", "一级分销", "瑞丰银行", "99.9800", "2.5000", "99.9200", "2.5000", "IB0010010"},
};

inline QByteArray csvOf(const std::vector<Fields>& rows)
{
    QByteArray out = "\xEF\xBB\xBF" + desk::CAllocationCsv::columnTitles().join(QLatin1Char(',')).toUtf8() + "\r\n";
    for (const Fields& row : rows)
        out += row.join(QLatin1Char(',')).toUtf8() + "\r\n";
    return out;
}

} // namespace desktest
