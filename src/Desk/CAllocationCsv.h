#pragma once
// Table three's split as a CSV file for spreadsheets: one header row of the table's
// column titles, UTF-8 with a BOM, CRLF, volumes and positions with 4 decimals and a '.'
// whatever the locale, "-" for a row without a position of its own (a Dutch tender).
// Reading takes what spreadsheets write back: the columns in any order (found by their
// titles, extra ones ignored), with or without the BOM, CRLF or LF, quoted fields.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace desk {

struct SAllocationCsvRow {
    QString product;
    QString market;
    QString purchaseType;
    QString underwriter;
    double bidPrice = 0.0;      // the largest double: no position of its own ("-")
    double bidAmount = 0.0;
    double winBidPrice = 0.0;
    double winBidAmount = 0.0;
    QString account;
    int line = 0;               // where the row starts in the file read (1 = the header)
};

class CAllocationCsv {
public:
    enum EColumn { C_PRODUCT, C_MARKET, C_PURCHASE, C_UNDERWRITER, C_PRICE, C_BID, C_WIN_PRICE, C_WIN, C_ACCOUNT,
                   C_COUNT };
    // "产品", "投标市场", ... "账号分配": table three's titles, in the file's order.
    static const QStringList& columnTitles();

    static QByteArray write(const std::vector<SAllocationCsvRow>& rows);
    // A number as the file writes it: 4 decimals, '.', "-" for no position.
    static QString numberText(double value);

    // Reads a whole file. The columns the bid and winning positions of a row follow from
    // are optional (the panel derives them); the others must be there. False with
    // "LINE:COLUMN: reason" (both from 1) for the first thing that cannot be read.
    static bool read(const QByteArray& bytes, std::vector<SAllocationCsvRow>* rows, QString* error);
};

} // namespace desk
