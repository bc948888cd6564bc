// The stock-Qt program the whole desk is measured against: a QStandardItemModel of ROWS x 10
// texts like table three's in a QTableView the size of the desk's window, shown, painted
// and grabbed into a PNG once, then the process ends.
//   bench_stock_table ROWS FILE.png
#include <QApplication>
#include <QLocale>
#include <QPixmap>
#include <QStandardItemModel>
#include <QTableView>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int kColumns = 10;

QString numbered(const QString& prefix, int number, int width)
{
    return prefix + QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

// Row r of a tender of rows / 2.5 groups, each split over up to four accounts.
void fillRow(QStandardItemModel& model, int r, const QLocale& c)
{
    const int group = r * 2 / 5;
    const int product = group / 5 + 1;
    const bool fixedRow = r * 2 % 5 < 2;
    const bool interbank = r % 2 == 1;
    const QString texts[kColumns] = {
        numbered(QStringLiteral("产品"), product, 5),
        interbank ? QStringLiteral("银行间") : QStringLiteral("上交所"),
        QStringLiteral("一级分销"),
        numbered(QStringLiteral("承销商"), r % 50 + 1, 3),
        c.toString(99.5 + 0.05 * (group % 5), 'f', 4),
        c.toString(1.0 + r % 40 / 10.0, 'f', 4),
        c.toString(99.5 + 0.05 * (group % 5), 'f', 4),
        c.toString(0.1 + r % 20 / 10.0, 'f', 4),
        numbered(interbank ? QStringLiteral("IB") : QStringLiteral("SH"), product * 2 + r % 2, 8),
        fixedRow ? QStringLiteral("+添加") : QStringLiteral("删除"),
    };
    for (int column = 0; column < kColumns; ++column)
        model.setItem(r, column, new QStandardItem(texts[column]));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::puts("usage: bench_stock_table ROWS FILE.png\n"
                  "  Fills ROWS x 10 texts into a QStandardItemModel, shows it in a QTableView,\n"
                  "  paints and grabs it into FILE.png once (offscreen unless QT_QPA_PLATFORM is set).");
        return 0;
    }
    if (argc != 3) {
        std::fputs("usage: bench_stock_table ROWS FILE.png\n", stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = std::atoi(argv[1]);
    QStandardItemModel model(rows, kColumns);
    const QLocale c = QLocale::c();
    for (int r = 0; r < rows; ++r)
        fillRow(model, r, c);
    QTableView view;
    view.setModel(&model);
    view.resize(1800, 940);   // the desk's window
    view.show();
    QApplication::processEvents();
    return view.grab().save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
