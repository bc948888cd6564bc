// Table three's CSV file: what spreadsheets need to open it as is (BOM, CRLF, the titles,
// 4 decimals with '.' under any locale, quoting), what they write back (columns in any
// order, BOM or not, LF or CRLF, quoted fields), and the line and column of a file that
// cannot be read.

#include <gtest/gtest.h>

#include <clocale>
#include <limits>

#include "CAllocationCsv.h"

using desk::CAllocationCsv;
using desk::SAllocationCsvRow;

namespace {

const double kNoPosition = std::numeric_limits<double>::max();
const QByteArray kBom("\xEF\xBB\xBF");

SAllocationCsvRow row(const char* product, double price, double won, const char* account)
{
    SAllocationCsvRow r;
    r.product = QString::fromUtf8(product);
    r.market = QStringLiteral("银行间");
    r.purchaseType = QStringLiteral("一级分销");
    r.underwriter = QStringLiteral("恒远证券");
    r.bidPrice = price;
    r.bidAmount = 1234.5;
    r.winBidPrice = 99.92;
    r.winBidAmount = won;
    r.account = QString::fromUtf8(account);
    return r;
}

std::vector<SAllocationCsvRow> read(const QByteArray& bytes, QString* error = nullptr)
{
    std::vector<SAllocationCsvRow> rows;
    QString message;
    const bool ok = CAllocationCsv::read(bytes, &rows, &message);
    if (error)
        *error = message;
    else
        EXPECT_TRUE(ok) << message.toStdString();
    return rows;
}

} // namespace

TEST(AllocationCsv, shouldWriteWhatSpreadsheetsOpenAsIsWhateverTheLocale)
{
    const std::vector<SAllocationCsvRow> rows = {row("稳健增利1号", 100.05, 1.5, "IB0010001"),
                                                 row("鑫享, \"纯债\"", kNoPosition, 0.0, "")};
    const QByteArray expected = kBom
        + QByteArray("产品,投标市场,申购方式,承销商,标位,投标量(亿),中标标位,中标量(亿),账号分配\r\n"
                     "稳健增利1号,银行间,一级分销,恒远证券,100.0500,1234.5000,99.9200,1.5000,IB0010001\r\n"
                     "\"鑫享, \"\"纯债\"\"\",银行间,一级分销,恒远证券,-,1234.5000,99.9200,0.0000,\r\n");
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        if (std::setlocale(LC_ALL, locale) == nullptr)
            continue;
        EXPECT_EQ(CAllocationCsv::write(rows), expected) << locale;
    }
    std::setlocale(LC_ALL, "C");
}

TEST(AllocationCsv, shouldReadBackWhatItWroteAndWhatSpreadsheetsWrite)
{
    const QByteArray header = "账号分配,产品,备注,中标量(亿),投标市场,申购方式,承销商,标位\n";
    const struct { const char* what; QByteArray bytes; } files[] = {
        {"its own export", CAllocationCsv::write({row("稳健增利1号", 100.05, 1.5, "IB0010001"),
                                                  row("鑫享, \"纯债\"", kNoPosition, 0.25, "B88\r\n01")})},
        {"other column order, no BOM, LF, quoted fields with a comma, quotes and a line break",
         header + "IB0010001,稳健增利1号,x,1.5,银行间,一级分销,恒远证券,100.05\n"
                  "\"B88\r\n01\",\"鑫享, \"\"纯债\"\"\",,\"0.25\",银行间,一级分销,恒远证券,-\n"},
        {"BOM and CRLF, blank lines and spaces around numbers",
         kBom + QByteArray(header).replace("\n", "\r\n")
             + "IB0010001,稳健增利1号,x, 1.5 ,银行间,一级分销,恒远证券,100.05\r\n\r\n"
               "\"B88\r\n01\",\"鑫享, \"\"纯债\"\"\",,0.2500,银行间,一级分销,恒远证券,\r\n"},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.what);
        const auto rows = read(f.bytes);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].product, QStringLiteral("稳健增利1号"));
        EXPECT_EQ(rows[0].market, QStringLiteral("银行间"));
        EXPECT_EQ(rows[0].purchaseType, QStringLiteral("一级分销"));
        EXPECT_EQ(rows[0].underwriter, QStringLiteral("恒远证券"));
        EXPECT_DOUBLE_EQ(rows[0].bidPrice, 100.05);
        EXPECT_DOUBLE_EQ(rows[0].winBidAmount, 1.5);
        EXPECT_EQ(rows[0].account, QStringLiteral("IB0010001"));
        EXPECT_EQ(rows[0].line, 2);
        EXPECT_EQ(rows[1].product, QStringLiteral("鑫享, \"纯债\""));
        EXPECT_EQ(rows[1].bidPrice, kNoPosition);
        EXPECT_DOUBLE_EQ(rows[1].winBidAmount, 0.25);
        EXPECT_EQ(rows[1].account, QStringLiteral("B88\r\n01"));
        EXPECT_GE(rows[1].line, 3);
    }
}

TEST(AllocationCsv, shouldNameTheLineAndColumnOfWhatCannotBeRead)
{
    const QByteArray header = "产品,投标市场,申购方式,承销商,标位,中标量(亿),账号分配\r\n";
    const struct { const char* what; QByteArray bytes; const char* error; } cases[] = {
        {"empty file", "", "1:1: 文件是空的，缺少表头"},
        {"a required column missing", "产品,投标市场,申购方式,承销商,标位,中标量(亿)\r\n", "1:7: 表头缺少列“账号分配”"},
        {"not a number", header + "A,银行间,一级分销,甲,100,1,IB1\r\nA,银行间,一级分销,甲,100,1.5亿,IB1\r\n",
         "3:6: 中标量(亿)：“1.5亿”不是数字"},
        {"a position that is not a number", header + "A,银行间,一级分销,甲,1OO,1,IB1\r\n", "2:5: 标位：“1OO”不是数字"},
        {"a negative volume", header + "A,银行间,一级分销,甲,100,-1,IB1\r\n", "2:6: 中标量(亿)：不能为负数"},
        {"a decimal comma", header + "A,银行间,一级分销,甲,100,\"1,5\",IB1\r\n", "2:6: 中标量(亿)：“1,5”不是数字"},
        {"a short row", header + "A,银行间,一级分销,甲,100,1\r\n", "2:7: 缺少“账号分配”的值"},
        {"a quote left open", header + "A,银行间,一级分销,甲,100,1,\"IB1\r\nB,\r\n", "2:7: 引号没有闭合"},
        {"text after a closing quote", header + "\"A\"x,银行间,一级分销,甲,100,1,IB1\r\n", "2:1: 引号后应为逗号或行尾"},
        {"not UTF-8", header + "A,\xD2\xF8\xD0\xD0\xBC\xE4,一级分销,甲,100,1,IB1\r\n", "2:1: 不是 UTF-8 文本"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        read(c.bytes, &error);
        EXPECT_EQ(error, QString::fromUtf8(c.error));
    }
}
