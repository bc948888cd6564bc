#pragma once
// Read-only view of one bond's tender execution reports: bids per underwriter and
// tender position, and bids per product and tender position.

#include <QString>
#include <QWidget>
#include <string>

class QLabel;
class QTableWidget;

namespace ttservice {
class CHostStore;
}

namespace desk {

class CExecutionReportView : public QWidget {
    Q_OBJECT
public:
    explicit CExecutionReportView(QWidget* parent = nullptr);

    // Shows the reports the store holds for the bond.
    void showBond(const ttservice::CHostStore& store, const std::string& bondCode);
    const std::string& bondCode() const { return bondCode_; }
    QTableWidget* underwriterTable() const { return underwriters_; }
    QTableWidget* productTable() const { return products_; }

private:
    static QTableWidget* makeTable(const QStringList& headers, QWidget* parent);

    std::string bondCode_;
    QLabel* caption_;            // owned by Qt parent
    QTableWidget* underwriters_; // owned by Qt parent
    QTableWidget* products_;     // owned by Qt parent
};

} // namespace desk
