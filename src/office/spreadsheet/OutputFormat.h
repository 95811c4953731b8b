#pragma once

#include "office/spreadsheet/WorkbookExport.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <span>
#include <utility>

namespace quorvane::office {

// A kind of file the program saves a workbook as: the one list that the command line's -o, the
// result window's Save As and every save go by.
enum class OutputFormat {
    Xlsx,               // the workbook as an .xlsx package, every sheet with its name
    Ods,                // the workbook as an OpenDocument spreadsheet, every sheet with its name
    CsvForSpreadsheets, // comma-separated values for spreadsheet programs (CsvStyle::ForSpreadsheets)
    CsvExact,           // comma-separated values, the text exactly (CsvStyle::Exact)
};

struct OutputFormatInfo {
    OutputFormat format;
    QStringView suffix; // the file name's suffix, lower case, without the dot
    QStringView filter; // its entry in Save As
    // A file holds the rows of one sheet only (with the sheets that continue it), not a workbook.
    bool oneSheet;
};

// Every format, in the order Save As offers them; the first is the default.
std::span<const OutputFormatInfo> outputFormats();
const OutputFormatInfo& infoOf(OutputFormat format);

// The .csv style of a format (ForSpreadsheets for one that is no .csv).
CsvStyle csvStyleOf(OutputFormat format);

// The format that the suffix of fileName names, letters in any case; a .csv is written in csvStyle.
// Nothing when the suffix names no format the program writes ("notes.txt", "notes").
std::optional<OutputFormat> formatOfName(const QString& fileName, CsvStyle csvStyle = CsvStyle::ForSpreadsheets);
// The format of a Save As filter as outputFormats() gives it; the first format for any other text.
OutputFormat formatOfFilter(QStringView filter);

// Where Save As writes, and as what, for the name the user gave with the filter chosen. A name whose
// suffix names a format the program writes is saved as that (a .csv in the style of a .csv filter, and
// for spreadsheets otherwise); any other name gets the filter's suffix added ("notes.txt" with the
// workbook filter is saved as "notes.txt.xlsx"), so no file is written under a name that says another
// format.
std::pair<QString, OutputFormat> saveNameFor(const QString& fileName, OutputFormat filter);

// Saves every sheet of the workbook to path in format: an .xlsx package of the workbook
// (saveWorkbookXlsx), an .ods one (saveWorkbookOds), or the sheets one after the other as one .csv
// (saveSheetsCsv). Throws SaveError as they do.
void saveWorkbookAs(const Workbook& workbook, const QString& path, OutputFormat format,
                    const SaveOptions& options = {});

} // namespace quorvane::office
