#include "CAllocationCsv.h"

#include <QTextCodec>
#include <limits>

#include "KZ/Format.h"

namespace desk {

namespace {

const double kNoPosition = std::numeric_limits<double>::max();
const char kBom[] = "\xEF\xBB\xBF";

struct SField {
    QString text;
    int line = 0;
    int column = 0;   // the field's number in its record, from 1
};
using Record = std::vector<SField>;

QString place(int line, int column)
{
    return QStringLiteral("%1:%2: ").arg(line).arg(column);
}

QString quoted(const QString& field)
{
    const bool needsQuotes = field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"'))
        || field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r'))
        || (!field.isEmpty() && (field.front().isSpace() || field.back().isSpace()));
    if (!needsQuotes)
        return field;
    QString out = field;
    out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

// The first line whose bytes are not UTF-8, or 0 when all are.
int firstLineNotUtf8(const QByteArray& bytes)
{
    QTextCodec* utf8 = QTextCodec::codecForName("UTF-8");
    int line = 1;
    for (const QByteArray& text : bytes.split('\n')) {
        QTextCodec::ConverterState state;
        utf8->toUnicode(text.constData(), text.size(), &state);
        if (state.invalidChars > 0 || state.remainingChars > 0)
            return line;
        ++line;
    }
    return 0;
}

// Splits the text into records of fields. Quoted fields may hold commas, doubled quotes
// and line breaks; lines end with CRLF, LF or CR; blank lines are no records.
class CCsvTokenizer {
public:
    explicit CCsvTokenizer(const QString& text) : text_(text) {}

    bool run(std::vector<Record>* records, QString* error)
    {
        Record record;
        while (pos_ < text_.size() || !record.empty()) {
            SField field;
            field.line = line_;
            field.column = static_cast<int>(record.size()) + 1;
            if (!readField(&field, error))
                return false;
            record.push_back(field);
            if (pos_ < text_.size() && text_[pos_] == QLatin1Char(',')) {
                ++pos_;
                continue;
            }
            endLine();
            if (record.size() > 1 || !record.front().text.trimmed().isEmpty())
                records->push_back(std::move(record));
            record.clear();
        }
        return true;
    }

private:
    bool readField(SField* field, QString* error)
    {
        if (pos_ < text_.size() && text_[pos_] == QLatin1Char('"'))
            return readQuoted(field, error);
        const int start = pos_;
        while (pos_ < text_.size() && !isFieldEnd(text_[pos_]))
            ++pos_;
        field->text = text_.mid(start, pos_ - start);
        return true;
    }

    bool readQuoted(SField* field, QString* error)
    {
        ++pos_;
        while (pos_ < text_.size()) {
            const QChar c = text_[pos_++];
            if (c == QLatin1Char('"')) {
                if (pos_ < text_.size() && text_[pos_] == QLatin1Char('"')) {
                    field->text += c;
                    ++pos_;
                    continue;
                }
                if (pos_ < text_.size() && !isFieldEnd(text_[pos_])) {
                    *error = place(line_, field->column) + QStringLiteral("引号后应为逗号或行尾");
                    return false;
                }
                return true;
            }
            if (c == QLatin1Char('\n') || (c == QLatin1Char('\r') && !nextIs(QLatin1Char('\n'))))
                ++line_;
            field->text += c;
        }
        *error = place(field->line, field->column) + QStringLiteral("引号没有闭合");
        return false;
    }

    void endLine()
    {
        if (pos_ < text_.size() && text_[pos_] == QLatin1Char('\r'))
            ++pos_;
        if (pos_ < text_.size() && text_[pos_] == QLatin1Char('\n'))
            ++pos_;
        ++line_;
    }

    bool nextIs(QChar c) const { return pos_ < text_.size() && text_[pos_] == c; }
    static bool isFieldEnd(QChar c) { return c == QLatin1Char(',') || c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

    const QString& text_;
    int pos_ = 0;
    int line_ = 1;
};

// Where each of the file's columns is, by title; -1 for one the header lacks.
struct SColumnPlaces {
    int index[CAllocationCsv::C_COUNT];
};

bool isRequired(int column)
{
    return column != CAllocationCsv::C_BID && column != CAllocationCsv::C_WIN_PRICE;
}

bool placeColumns(const Record& header, SColumnPlaces* places, QString* error)
{
    const QStringList& titles = CAllocationCsv::columnTitles();
    for (int c = 0; c < CAllocationCsv::C_COUNT; ++c) {
        places->index[c] = -1;
        for (size_t i = 0; i < header.size() && places->index[c] < 0; ++i)
            if (header[i].text.trimmed() == titles[c])
                places->index[c] = static_cast<int>(i);
        if (places->index[c] < 0 && isRequired(c)) {
            *error = place(header.front().line, static_cast<int>(header.size()) + 1)
                + QStringLiteral("表头缺少列“%1”").arg(titles[c]);
            return false;
        }
    }
    return true;
}

class CRowReader {
public:
    CRowReader(const Record& record, const SColumnPlaces& places) : record_(record), places_(places) {}

    bool text(int column, QString* out, QString* error) const
    {
        const SField* field = fieldOf(column, error);
        if (!field)
            return false;
        *out = field->text.trimmed();
        return true;
    }

    bool number(int column, double* out, QString* error) const
    {
        const SField* field = fieldOf(column, error);
        if (!field)
            return false;
        const QString text = field->text.trimmed();
        if (column == CAllocationCsv::C_PRICE && (text.isEmpty() || text == QLatin1String("-"))) {
            *out = kNoPosition;
            return true;
        }
        bool ok = false;
        *out = KZ::parseDouble(text.toStdString(), &ok);
        if (!ok) {
            *error = here(*field, column) + QStringLiteral("“%1”不是数字").arg(text);
            return false;
        }
        if (column == CAllocationCsv::C_WIN && *out < 0.0) {
            *error = here(*field, column) + QStringLiteral("不能为负数");
            return false;
        }
        return true;
    }

    // A column the panel derives: read when it is there and a number, else 0.
    double optionalNumber(int column) const
    {
        const int index = places_.index[column];
        if (index < 0 || index >= static_cast<int>(record_.size()))
            return 0.0;
        const QString text = record_[static_cast<size_t>(index)].text.trimmed();
        if (text == QLatin1String("-"))
            return kNoPosition;
        bool ok = false;
        const double value = KZ::parseDouble(text.toStdString(), &ok);
        return ok ? value : 0.0;
    }

private:
    const SField* fieldOf(int column, QString* error) const
    {
        const int index = places_.index[column];
        if (index >= static_cast<int>(record_.size())) {
            *error = place(record_.back().line, index + 1)
                + QStringLiteral("缺少“%1”的值").arg(CAllocationCsv::columnTitles()[column]);
            return nullptr;
        }
        return &record_[static_cast<size_t>(index)];
    }

    static QString here(const SField& field, int column)
    {
        return place(field.line, field.column) + CAllocationCsv::columnTitles()[column] + QStringLiteral("：");
    }

    const Record& record_;
    const SColumnPlaces& places_;
};

bool readRow(const Record& record, const SColumnPlaces& places, SAllocationCsvRow* row, QString* error)
{
    const CRowReader reader(record, places);
    row->line = record.front().line;
    row->bidAmount = reader.optionalNumber(CAllocationCsv::C_BID);
    row->winBidPrice = reader.optionalNumber(CAllocationCsv::C_WIN_PRICE);
    return reader.text(CAllocationCsv::C_PRODUCT, &row->product, error)
        && reader.text(CAllocationCsv::C_MARKET, &row->market, error)
        && reader.text(CAllocationCsv::C_PURCHASE, &row->purchaseType, error)
        && reader.text(CAllocationCsv::C_UNDERWRITER, &row->underwriter, error)
        && reader.number(CAllocationCsv::C_PRICE, &row->bidPrice, error)
        && reader.number(CAllocationCsv::C_WIN, &row->winBidAmount, error)
        && reader.text(CAllocationCsv::C_ACCOUNT, &row->account, error);
}

} // namespace

const QStringList& CAllocationCsv::columnTitles()
{
    static const QStringList titles = {
        QStringLiteral("产品"),       QStringLiteral("投标市场"),   QStringLiteral("申购方式"),
        QStringLiteral("承销商"),     QStringLiteral("标位"),       QStringLiteral("投标量(亿)"),
        QStringLiteral("中标标位"),   QStringLiteral("中标量(亿)"), QStringLiteral("账号分配"),
    };
    return titles;
}

QString CAllocationCsv::numberText(double value)
{
    if (value == kNoPosition)
        return QStringLiteral("-");
    return KZ::formatDoubleNumber(value, 4, 0, false, QStringLiteral("非法值"));
}

QByteArray CAllocationCsv::write(const std::vector<SAllocationCsvRow>& rows)
{
    QStringList lines;
    lines << columnTitles().join(QLatin1Char(','));
    for (const SAllocationCsvRow& row : rows) {
        const QStringList fields = {
            quoted(row.product),        quoted(row.market),           quoted(row.purchaseType),
            quoted(row.underwriter),    numberText(row.bidPrice),     numberText(row.bidAmount),
            numberText(row.winBidPrice), numberText(row.winBidAmount), quoted(row.account),
        };
        lines << fields.join(QLatin1Char(','));
    }
    return QByteArray(kBom) + (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

bool CAllocationCsv::read(const QByteArray& bytes, std::vector<SAllocationCsvRow>* rows, QString* error)
{
    const QByteArray body = bytes.startsWith(kBom) ? bytes.mid(3) : bytes;
    if (const int line = firstLineNotUtf8(body)) {
        *error = place(line, 1) + QStringLiteral("不是 UTF-8 文本");
        return false;
    }
    const QString text = QString::fromUtf8(body);
    std::vector<Record> records;
    if (!CCsvTokenizer(text).run(&records, error))
        return false;
    if (records.empty()) {
        *error = place(1, 1) + QStringLiteral("文件是空的，缺少表头");
        return false;
    }
    SColumnPlaces places;
    if (!placeColumns(records.front(), &places, error))
        return false;
    rows->clear();
    for (size_t i = 1; i < records.size(); ++i) {
        SAllocationCsvRow row;
        if (!readRow(records[i], places, &row, error))
            return false;
        rows->push_back(row);
    }
    return true;
}

} // namespace desk
