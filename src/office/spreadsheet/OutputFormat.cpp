#include "office/spreadsheet/OutputFormat.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

constexpr std::array Formats{
    OutputFormatInfo{OutputFormat::Xlsx, u"xlsx", u"Workbook (*.xlsx)", false},
    OutputFormatInfo{OutputFormat::Ods, u"ods", u"OpenDocument spreadsheet (*.ods)", false},
    OutputFormatInfo{OutputFormat::CsvForSpreadsheets, u"csv",
                     u"Comma-separated values for spreadsheet programs (*.csv)", true},
    OutputFormatInfo{OutputFormat::CsvExact, u"csv", u"Comma-separated values, the text exactly (*.csv)", true},
};

} // namespace

std::span<const OutputFormatInfo> outputFormats() {
    return Formats;
}

const OutputFormatInfo& infoOf(OutputFormat format) {
    return *std::find_if(Formats.begin(), Formats.end(),
                         [format](const OutputFormatInfo& info) { return info.format == format; });
}

CsvStyle csvStyleOf(OutputFormat format) {
    return format == OutputFormat::CsvExact ? CsvStyle::Exact : CsvStyle::ForSpreadsheets;
}

std::optional<OutputFormat> formatOfName(const QString& fileName, CsvStyle csvStyle) {
    const QString suffix = QFileInfo(fileName).suffix();
    const OutputFormat csv = csvStyle == CsvStyle::Exact ? OutputFormat::CsvExact : OutputFormat::CsvForSpreadsheets;
    for (const OutputFormatInfo& info : Formats)
        if (suffix.compare(info.suffix, Qt::CaseInsensitive) == 0)
            return info.oneSheet ? csv : info.format;
    return std::nullopt;
}

OutputFormat formatOfFilter(QStringView filter) {
    const auto found = std::find_if(Formats.begin(), Formats.end(),
                                    [filter](const OutputFormatInfo& info) { return info.filter == filter; });
    return found == Formats.end() ? Formats.front().format : found->format;
}

std::pair<QString, OutputFormat> saveNameFor(const QString& fileName, OutputFormat filter) {
    if (const std::optional<OutputFormat> named = formatOfName(fileName, csvStyleOf(filter)))
        return {fileName, *named};
    return {fileName + u'.' + infoOf(filter).suffix.toString(), filter};
}

void saveWorkbookAs(const Workbook& workbook, const QString& path, OutputFormat format, const SaveOptions& options) {
    if (format == OutputFormat::Xlsx) {
        saveWorkbookXlsx(workbook, path, options);
        return;
    }
    if (format == OutputFormat::Ods) {
        saveWorkbookOds(workbook, path, options);
        return;
    }
    std::vector<const Worksheet*> sheets;
    for (int i = 0; i < workbook.sheetCount(); ++i)
        sheets.push_back(&workbook.sheet(i));
    saveSheetsCsv(sheets, path, csvStyleOf(format), options);
}

} // namespace quorvane::office
