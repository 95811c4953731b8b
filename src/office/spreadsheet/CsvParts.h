#pragma once

#include "office/spreadsheet/Workbook.h"

#include <QString>

#include <utility>
#include <vector>

namespace quorvane::office {

// What one .csv file holds of a workbook: one sheet with something in it, with the sheets that
// continue it (the rows of one text that did not fit one sheet), as the first and the last index.
using CsvPart = std::pair<int, int>;

// Every part of the workbook in workbook order; the sheets with nothing in them are left out.
std::vector<CsvPart> csvParts(const Workbook& workbook);

// Where one part goes when each part is saved as a .csv of its own beside path: path's folder, its
// name without the .csv ending, "-", the name of the part's first sheet (with any "/" made "_"),
// ".csv". "/data/talks.csv" and "Q3 Reviewpptx" give "/data/talks-Q3 Reviewpptx.csv".
QString csvPartPath(const QString& path, const QString& sheetName);

} // namespace quorvane::office
