#pragma once
// Table three's split between the panel and a CSV file. The export writes the rows as
// the panel shows them. The import makes the panel's tables say what the file says, the
// way a user would: table three gets one row per file row (a product's rows at one
// position beyond the first as added rows), tables two and one the file's sums per
// product and position and per underwriter and position; then "保存" is pressed, and the
// panel's own checks decide.

#include <QString>
#include <vector>

#include "CAllocationCsv.h"

class QWidget;

namespace desk {

class CPanelTableDriver;

class CAllocationTransfer {
public:
    enum EOutcome {
        O_SAVED,        // the panel said "保存成功!"
        O_REFUSED,      // a check of the panel refused; message = its text; nothing written
        O_UNMATCHED,    // a file row names a product and position table three lacks; message = "LINE:COLUMN: ..."
        O_FAILED,       // the panel could not be driven or the save was not stored
    };

    // Table three's rows in the order shown; false when the panel has no table three.
    static bool exportRows(QWidget* panel, std::vector<SAllocationCsvRow>* rows);

    // panel: loaded with the bond. Any message box the panel raises is taken as its answer;
    // a box handler installed before is replaced while the import runs and none is left after it.
    static EOutcome importRows(QWidget* panel, const std::vector<SAllocationCsvRow>& rows, QString* message);
};

} // namespace desk
