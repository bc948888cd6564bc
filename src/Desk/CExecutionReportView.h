#pragma once
// Read-only view of one bond's tender execution reports: bids per underwriter and
// tender position, and bids per product and tender position.

#include <QString>
#include <QTableView>
#include <QWidget>
#include <string>
#include <vector>

class QLabel;

namespace ttservice {
class CHostStore;
}

namespace desk {

// One report table: a name, a tender position and a bid volume per row. The rows keep
// their numbers; texts are made only for the rows the view shows, and the two number
// columns are as wide as the numbers in sight need, so none is cut short.
class CReportTable : public QTableView {
public:
    struct SRow {
        QString name;
        double price = 0.0;
        QString priceText;   // the position as the report wrote it, when it is not a number
        double bidAmount = 0.0;
    };

    CReportTable(const QString& nameHeader, QWidget* parent);
    void setRows(std::vector<SRow> rows);
    int rowCount() const;
    // The width that shows the three columns whole, with a vertical scroll bar.
    int usefulWidth() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int textPadding() const;
    // Widens the number columns to the texts of the rows in sight (a fresh load starts
    // from the titles): at most a screenful is measured, whatever the count of rows.
    void fitNumberColumns(bool fresh);
    // The fitted widths, and any room left over shared by the two numbers.
    void layOutColumns();
    // The name column fits the name widest by its count of characters (a Chinese one
    // counted twice), measured once per load: sizing it to its contents would measure up
    // to a thousand rows on every layout.
    void fitNameColumn(const QString& widestName);

    int fitted_[3] = {};   // the widths the columns were given, before any stretch
};

class CExecutionReportView : public QWidget {
    Q_OBJECT
public:
    explicit CExecutionReportView(QWidget* parent = nullptr);
    // The width that shows both report tables' columns whole.
    int usefulWidth() const;

    // Shows the reports the store holds for the bond.
    void showBond(const ttservice::CHostStore& store, const std::string& bondCode);
    const std::string& bondCode() const { return bondCode_; }
    // How long the last showBond took, wall and UI-thread CPU time (the desk's --timings).
    qint64 lastShowNanoseconds() const { return lastShowNanoseconds_; }
    qint64 lastShowCpuNanoseconds() const { return lastShowCpuNanoseconds_; }
    CReportTable* underwriterTable() const { return underwriters_; }
    CReportTable* productTable() const { return products_; }

private:
    std::string bondCode_;
    qint64 lastShowNanoseconds_ = 0;
    qint64 lastShowCpuNanoseconds_ = 0;
    QLabel* caption_;             // owned by Qt parent
    CReportTable* underwriters_;  // owned by Qt parent
    CReportTable* products_;      // owned by Qt parent
};

} // namespace desk
