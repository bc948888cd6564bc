#pragma once
// A bond's allocation history in the desk: the entries (time, user, action), and for the
// chosen one the rows it changed, old -> new in 亿.

#include <QDialog>
#include <vector>

#include "CAllocationHistory.h"

class QTableWidget;

namespace desk {

class CHistoryDialog : public QDialog {
    Q_OBJECT
public:
    CHistoryDialog(const QString& bondCode, std::vector<SHistoryEntry> entries, QWidget* parent = nullptr);

    QTableWidget* entryList() const { return entryList_; }
    QTableWidget* changeList() const { return changeList_; }

private:
    void showChangesOf(int row);

    std::vector<SHistoryEntry> entries_;
    QTableWidget* entryList_ = nullptr;    // owned by Qt parent
    QTableWidget* changeList_ = nullptr;   // owned by Qt parent
};

} // namespace desk
