#pragma once

#include "office/spreadsheet/Workbook.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace quorvane::app {

// A cell of a workbook: the sheet's index and the cell's row and column, all from 0.
struct CellPlace {
    int sheet = 0;
    std::int64_t row = 0, column = 0;
    bool operator==(const CellPlace&) const = default;
};

// The first cell after from (forward) or before it (backward) whose text contains text, in reading
// order: row by row and, within a row, column by column, through the sheet of from, then the sheets
// after it (before it), round through the first (last) sheet and back to from, which is looked at
// last. Nothing when no cell holds it, or text is empty. Reads the cells through the Worksheet API.
std::optional<CellPlace> findInWorkbook(const office::Workbook& workbook, const CellPlace& from, const QString& text,
                                        bool forward, Qt::CaseSensitivity sensitivity);

} // namespace quorvane::app
