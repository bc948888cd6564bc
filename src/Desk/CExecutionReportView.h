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
    // How long the last showBond took, wall and UI-thread CPU time (the desk's --timings).
    qint64 lastShowNanoseconds() const { return lastShowNanoseconds_; }
    qint64 lastShowCpuNanoseconds() const { return lastShowCpuNanoseconds_; }
    QTableWidget* underwriterTable() const { return underwriters_; }
    QTableWidget* productTable() const { return products_; }

private:
    // The text of the most display columns offered so far.
    struct SWidest {
        QString text;
        int columns = 0;
        void offer(const QString& candidate)
        {
            const int candidateColumns = displayWidth(candidate);
            if (candidateColumns > columns) {
                text = candidate;
                columns = candidateColumns;
            }
        }
    };
    static QTableWidget* makeTable(const QStringList& headers, QWidget* parent);
    static void fitNameColumn(QTableWidget* table, const QString& widestName);
    static int displayWidth(const QString& text);

    std::string bondCode_;
    qint64 lastShowNanoseconds_ = 0;
    qint64 lastShowCpuNanoseconds_ = 0;
    QLabel* caption_;            // owned by Qt parent
    QTableWidget* underwriters_; // owned by Qt parent
    QTableWidget* products_;     // owned by Qt parent
};

} // namespace desk
