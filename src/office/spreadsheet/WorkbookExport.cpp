#include "office/spreadsheet/WorkbookExport.h"

#include "office/LocalNames.h"
#include "office/spreadsheet/CellText.h"
#include "office/spreadsheet/PackageWriter.h"
#include "office/spreadsheet/SaveTarget.h"
#include "office/spreadsheet/SheetPart.h"
#include "office/spreadsheet/XlsxParts.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <string>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

// What a .csv field's text asks for: quotes around it (a comma, a quote, CR or LF in it), and a byte
// by byte copy (a quote doubled, NUL written as U+FFFD). One pass over the text, with a table:
// find_first_of would look up its set for every byte.
struct CsvBytes {
    bool quoted = false;
    bool rewritten = false;
};
CsvBytes csvBytesOf(std::string_view value) {
    static constexpr std::array<std::uint8_t, 256> Kinds = [] {
        std::array<std::uint8_t, 256> kinds{};
        kinds[','] = kinds['\r'] = kinds['\n'] = 1; // quoted
        kinds['"'] = 3;                             // quoted and doubled
        kinds[0] = 2;                               // rewritten
        return kinds;
    }();
    std::uint8_t found = 0;
    for (const char ch : value)
        found |= Kinds[static_cast<unsigned char>(ch)];
    return {(found & 1) != 0, (found & 2) != 0};
}

void writeXlsx(const Workbook& workbook, const SaveOptions& options, PackageWriter& package,
               std::vector<ExpectedPart>& expected) {
    const auto sheetCount = static_cast<std::size_t>(workbook.sheetCount());
    std::vector<std::string> names;
    for (std::size_t i = 0; i < sheetCount; ++i)
        names.push_back(workbook.sheet(static_cast<int>(i)).name().toStdString());
    const auto active = static_cast<std::size_t>(std::clamp(workbook.activeIndex(), 0, workbook.sheetCount() - 1));

    const auto fixed = [&](std::string_view name, std::string text) {
        stopIfAsked(options);
        package.part(std::string(name), false, [&](const PackageWriter::Push& push) { push(std::move(text)); });
        expected.push_back({std::string(name), -1, QString::fromUtf8(name.data(), std::ssize(name))});
    };
    fixed(xlsx::ContentTypesName, xlsx::contentTypesPart(sheetCount));
    fixed(xlsx::RootRelationshipsName, xlsx::rootRelationshipsPart());
    fixed(xlsx::CorePropertiesName, xlsx::corePropertiesPart(std::time(nullptr)));
    fixed(xlsx::AppPropertiesName, xlsx::appPropertiesPart(names));
    fixed(xlsx::WorkbookName, xlsx::workbookPart(names, active));
    fixed(xlsx::WorkbookRelationshipsName, xlsx::workbookRelationshipsPart(sheetCount));
    fixed(xlsx::StylesName, xlsx::stylesPart());
    for (std::size_t i = 0; i < sheetCount; ++i) {
        stopIfAsked(options);
        const Worksheet& sheet = workbook.sheet(static_cast<int>(i));
        const std::string name = xlsx::sheetPartName(i);
        std::int64_t rows = 0;
        const PackageWriter::Make make = [&](const PackageWriter::Push& push) {
            rows = xlsx::writeSheetPart(sheet, i == active, PackagePieceSize, push, options.stop);
        };
        package.part(name, PackageWriter::needsZip64(xlsx::sheetPartBound(sheet), make), make);
        expected.push_back({name, rows, u"%1 (the sheet \"%2\")"_s.arg(QString::fromStdString(name), sheet.name())});
    }
}

} // namespace

void saveWorkbookXlsx(const Workbook& workbook, const QString& path, const SaveOptions& options) {
    savePackage(workbook, path, options, [&](PackageWriter& package, std::vector<ExpectedPart>& expected) {
        writeXlsx(workbook, options, package, expected);
    });
}

void saveSheetsCsv(const std::vector<const Worksheet*>& sheets, const QString& path, CsvStyle style,
                   const SaveOptions& options) {
    try {
        SaveTarget target(path);
        const int fd = target.create();
        // An empty sheet adds no row, not one empty line.
        std::int64_t columns = 0;
        for (const Worksheet* sheet : sheets)
            if (!sheet->isEmpty())
                columns = std::max(columns, sheet->usedRange().right());
        std::string text;
        if (style == CsvStyle::ForSpreadsheets)
            text = "\xEF\xBB\xBF";
        for (const Worksheet* sheet : sheets) {
            const std::int64_t rows = sheet->isEmpty() ? 0 : sheet->usedRange().bottom();
            // The rows of one text go on from sheet to sheet under the first one's header.
            const std::int64_t first = options.headerRows && sheet != sheets.front() ? 1 : 0;
            for (std::int64_t r = first; r < rows; ++r) {
                if ((r & 4095) == 0)
                    stopIfAsked(options);
                const std::int64_t filled = std::min(columns, sheet->rowExtent(r));
                for (std::int64_t c = 0; c < columns; ++c) {
                    if (c > 0)
                        text += ',';
                    if (c >= filled)
                        continue;
                    const CellView cell = sheet->cell(r, c);
                    // Spreadsheet programs break a cell's line at LF, not at the slide's VT.
                    std::string lines;
                    if (style == CsvStyle::ForSpreadsheets && !cell.number && holdsLineBreak(cell.text))
                        lines = withLineFeeds(cell.text);
                    const std::string_view value = lines.empty() ? cell.text : std::string_view(lines);
                    // What a spreadsheet program would take for a formula keeps its text behind an apostrophe.
                    const bool guard = style == CsvStyle::ForSpreadsheets && !cell.number && !value.empty() &&
                                       std::string_view("=+-@\t\r").find(value.front()) != std::string_view::npos;
                    const CsvBytes bytes = csvBytesOf(value);
                    const bool quote = bytes.quoted;
                    if (quote)
                        text += '"';
                    if (guard)
                        text += '\'';
                    if (!bytes.rewritten) {
                        text += value;
                    } else {
                        for (const char ch : value) {
                            if (ch == '"')
                                text += '"';
                            if (ch == '\0')
                                text += "\xEF\xBF\xBD"; // U+FFFD, as the .xlsx package has it
                            else
                                text += ch;
                        }
                    }
                    if (quote)
                        text += '"';
                }
                text += "\r\n";
                if (text.size() >= (std::size_t{1} << 20)) {
                    writeAll(fd, text);
                    text.clear();
                }
            }
        }
        writeAll(fd, text);
        stopIfAsked(options);
        target.commit();
    } catch (const SaveStopped&) {
        throw SaveStopped(u"%1: the sheet was not saved: the save was stopped"_s.arg(shownName(path)));
    } catch (const SaveError& error) {
        throw SaveError(u"%1: the sheet could not be saved: %2"_s.arg(shownName(path), error.description()));
    }
}

std::pair<int, int> continuedSheets(const Workbook& workbook, int index) {
    const auto full = [&workbook](int i) {
        const Worksheet& sheet = workbook.sheet(i);
        return !sheet.isEmpty() && sheet.usedRange().bottom() == MaxRows;
    };
    int first = index, last = index;
    while (first > 0 && full(first - 1))
        --first;
    while (last + 1 < workbook.sheetCount() && full(last))
        ++last;
    return {first, last};
}

void saveSheetCsv(const Worksheet& sheet, const QString& path, CsvStyle style, const SaveOptions& options) {
    saveSheetsCsv({&sheet}, path, style, options);
}

} // namespace quorvane::office
