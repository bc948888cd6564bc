#pragma once

#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <vector>

#include "CPanelBondTenderAllocationHelper.h"

namespace TC {

// Rows of a table's last fill that nothing else holds any more, handed out blank to the
// next fill. A reload of a large tender then writes into the rows and text buffers it has
// just let go of, instead of freeing ten thousand of each and taking them back one by one
// from the allocator's lists of freed blocks, a walk through memory that has gone cold.
// Row is a table row with a shared `info` and a `rowNumber`.
template <class Row>
class CSpareRows {
public:
    using RowPtr = boost::shared_ptr<Row>;

    // Keeps row, leaving it empty, when it is the row's only holder (of its info too);
    // a row that anyone else still holds is left alone.
    void keepIfUnshared(RowPtr& row)
    {
        if (taken_ > 0) {
            rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(taken_));
            taken_ = 0;
        }
        if (row && row.use_count() == 1 && row->info && row->info.use_count() == 1)
            rows_.push_back(std::move(row));
    }

    // A row numbered rowNumber whose info is as newly made: a kept one, or a new one.
    RowPtr take(int rowNumber)
    {
        RowPtr row;
        if (taken_ < rows_.size()) {
            static const Info blank;
            row = std::move(rows_[taken_++]);
            *row->info = blank;   // a text assigned from an empty one keeps its buffer
        } else {
            row = Helper::makePooled<Row>();
            row->info = Helper::makePooled<Info>();
        }
        row->rowNumber = rowNumber;
        return row;
    }

    // At the end of a fill: a smaller tender keeps no more rows than it used.
    void dropUntaken()
    {
        rows_.clear();
        taken_ = 0;
    }

private:
    using Info = typename decltype(Row::info)::element_type;
    using Helper = CPanelBondTenderAllocationHelper;

    std::vector<RowPtr> rows_;
    std::size_t taken_ = 0;
};

} // namespace TC
