#pragma once
// What the people around an allocation do with it outside the panel: export table
// three's split to a CSV file, import a prepared split and save it through the panel,
// and show the history of its saves, from the command line and from the window's "分配" menu.

#include <QString>
#include <vector>

#include "CAllocationCsv.h"

namespace desk {

class IAllocationHistoryReader;
class CDeskWindow;

class CBackOffice {
public:
    // Exit statuses of the commands (0 and 2 as the desk's own, 3: the panel refused the save).
    enum EStatus { S_OK = 0, S_FAILED = 1, S_BAD_INPUT = 2, S_REFUSED = 3 };

    // Reads the file to import before anything else is touched; S_BAD_INPUT with
    // "FILE:LINE:COLUMN: reason" for one that cannot be read.
    static int readImportFile(const QString& path, std::vector<SAllocationCsvRow>* rows, QString* message);

    // The bond the window shows: its table three to the file.
    static int exportAllocation(CDeskWindow& window, const QString& path, QString* message);
    // The rows into the bond the window shows, then "保存"; the panel's verdict in message.
    static int importAllocation(CDeskWindow& window, const QString& path, const std::vector<SAllocationCsvRow>& rows,
                                QString* message);

    // A bond's history as JSON on stdout.
    static int printHistory(const IAllocationHistoryReader& history, const QString& bondCode, QString* message);

    // The window's "分配" menu: export and history of the shown bond.
    // history: where the history is read (not owned; must outlive the window).
    static void addMenu(CDeskWindow& window, const IAllocationHistoryReader* history);
};

} // namespace desk
