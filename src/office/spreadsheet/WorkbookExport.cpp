#include "office/spreadsheet/WorkbookExport.h"

#include "office/LocalNames.h"
#include "office/spreadsheet/BlockDeflate.h"
#include "office/spreadsheet/CellText.h"
#include "office/spreadsheet/PackageCheck.h"
#include "office/spreadsheet/SaveTarget.h"
#include "office/spreadsheet/SheetPart.h"
#include "office/spreadsheet/XlsxParts.h"
#include "office/spreadsheet/ZipWriter.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <string>
#include <thread>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

// Level 5 deflates the sheets of slide text in well under half the time of level 6 (zlib's default),
// to a package about 9 % larger (bench/cores-bench.sh). Blocks of 256 KiB cost the package under 0.1 %
// against one stream and leave enough blocks to keep every core busy.
constexpr int Level = 5;
constexpr std::size_t BlockSize = std::size_t{1} << 18;
constexpr std::uint64_t Zip64Threshold = 0xFFFF'FFFFull;

void stopIfAsked(const SaveOptions& options) {
    if (options.stop && options.stop->load(std::memory_order_relaxed))
        throw SaveStopped(u"the save was stopped"_s);
}

int jobsOf(const SaveOptions& options) {
    if (options.jobs > 0)
        return options.jobs;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Whether the sheet's part passes 4 GiB and so needs the Zip64 records. They must be given exactly
// then: a part that has them without needing them reads as inconsistent. Only a sheet whose part may
// pass 4 GiB is measured, by making its part once without keeping it.
bool needsZip64(const Worksheet& sheet, bool selected, const SaveOptions& options) {
    if (xlsx::sheetPartBound(sheet) < Zip64Threshold)
        return false;
    std::uint64_t size = 0;
    xlsx::writeSheetPart(
        sheet, selected, BlockSize, [&size](std::string&& piece) { size += piece.size(); }, options.stop);
    return size >= Zip64Threshold;
}

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

// Puts each part of the package into the zip as it is made, deflated in blocks.
class PackageWriter {
public:
    PackageWriter(int fd, int jobs) : m_deflate(Level, jobs), m_zip(fd, std::time(nullptr)) {}

    using Push = std::function<void(std::string&&)>;
    // Writes the part name, whose pieces make gives to the Push it is handed.
    template <typename Make> void part(const std::string& name, bool zip64, Make&& make) {
        m_zip.beginEntry(name, zip64, Level);
        m_deflate.begin([this](std::string_view deflated) { m_zip.write(deflated); });
        make(Push([this](std::string&& piece) { m_deflate.push(std::move(piece)); }));
        const BlockDeflate::Summary summary = m_deflate.finish();
        m_zip.endEntry(summary.size, summary.crc);
    }
    void close() { m_zip.close(); }

private:
    BlockDeflate m_deflate;
    ZipWriter m_zip;
};

void writeXlsx(const Workbook& workbook, const QString& path, const SaveOptions& options) {
    SaveTarget target(path);
    const int fd = target.create();
    const int jobs = jobsOf(options);
    const auto sheetCount = static_cast<std::size_t>(workbook.sheetCount());
    std::vector<std::string> names;
    for (std::size_t i = 0; i < sheetCount; ++i)
        names.push_back(workbook.sheet(static_cast<int>(i)).name().toStdString());
    const auto active = static_cast<std::size_t>(std::clamp(workbook.activeIndex(), 0, workbook.sheetCount() - 1));

    std::vector<ExpectedPart> expected;
    {
        PackageWriter package(fd, jobs);
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
            package.part(name, needsZip64(sheet, i == active, options), [&](const PackageWriter::Push& push) {
                rows = xlsx::writeSheetPart(sheet, i == active, BlockSize, push, options.stop);
            });
            expected.push_back(
                {name, rows, u"%1 (the sheet \"%2\")"_s.arg(QString::fromStdString(name), sheet.name())});
        }
        stopIfAsked(options);
        package.close();
    }
    stopIfAsked(options);
    checkPackage(target.partial(), expected, jobs, options.stop);
    stopIfAsked(options);
    target.commit();
}

} // namespace

void saveWorkbookXlsx(const Workbook& workbook, const QString& path, const SaveOptions& options) {
    try {
        // Names are checked here as the spreadsheet checks them, before anything is written.
        std::vector<QString> names;
        for (int i = 0; i < workbook.sheetCount(); ++i) {
            const QString problem = sheetNameProblem(workbook.sheet(i).name(), names);
            if (!problem.isEmpty())
                throw SaveError(problem);
            names.push_back(workbook.sheet(i).name());
        }
        writeXlsx(workbook, path, options);
    } catch (const SaveStopped&) {
        throw SaveStopped(u"%1: the workbook was not saved: the save was stopped"_s.arg(shownName(path)));
    } catch (const SaveError& error) {
        throw SaveError(u"%1: the workbook could not be saved: %2"_s.arg(shownName(path), error.description()));
    } catch (const std::bad_alloc&) {
        throw SaveError(u"%1: the workbook could not be saved: there is not enough memory"_s.arg(shownName(path)));
    }
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
            for (std::int64_t r = 0; r < rows; ++r) {
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
