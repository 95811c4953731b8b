// The .ods writer: the same package way as the .xlsx one (PackageWriter, savePackage), with the parts of
// an OpenDocument spreadsheet (OdsParts).
#include "office/spreadsheet/WorkbookExport.h"

#include "office/spreadsheet/CellText.h"
#include "office/spreadsheet/OdsParts.h"
#include "office/spreadsheet/PackageWriter.h"

#include <algorithm>
#include <ctime>
#include <set>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

void writeOds(const Workbook& workbook, const SaveOptions& options, PackageWriter& package,
              std::vector<ExpectedPart>& expected) {
    const int count = workbook.sheetCount();
    const int active = std::clamp(workbook.activeIndex(), 0, count - 1);
    // The column widths of every sheet first: their styles come before the tables.
    std::vector<std::vector<int>> widths;
    std::set<int> used;
    std::uint64_t bound = 1 << 16;
    for (int i = 0; i < count; ++i) {
        stopIfAsked(options);
        widths.push_back(columnWidths(workbook.sheet(i), options.stop));
        used.insert(widths.back().begin(), widths.back().end());
        bound += ods::tableBound(workbook.sheet(i));
    }

    // The mimetype first and stored, so that the file tells what it is from its first bytes.
    package.storedPart(std::string(ods::MimeTypeName), ods::MimeType);
    expected.push_back({std::string(ods::MimeTypeName), -1, QString::fromUtf8(ods::MimeTypeName), PartContent::Bytes,
                        std::string(ods::MimeType)});
    const auto fixed = [&](std::string_view name, std::string text) {
        stopIfAsked(options);
        package.part(std::string(name), false, [&](const PackageWriter::Push& push) { push(std::move(text)); });
        expected.push_back({std::string(name), -1, QString::fromUtf8(name.data(), std::ssize(name))});
    };
    fixed(ods::ManifestName, ods::manifestPart());
    fixed(ods::StylesName, ods::stylesPart());
    fixed(ods::MetaName, ods::metaPart(std::time(nullptr)));
    fixed(ods::SettingsName, ods::settingsPart(workbook.sheet(active).name().toStdString()));

    std::int64_t rows = 0;
    const PackageWriter::Make make = [&](const PackageWriter::Push& push) {
        rows = 0;
        std::string piece = ods::contentHead(used);
        for (int i = 0; i < count; ++i) {
            stopIfAsked(options);
            const Worksheet& sheet = workbook.sheet(i);
            rows += ods::appendTable(piece, sheet, sheet.name().toStdString(), widths[static_cast<std::size_t>(i)],
                                     PackagePieceSize, push, options.stop);
        }
        piece += ods::contentTail();
        push(std::move(piece));
    };
    stopIfAsked(options);
    package.part(std::string(ods::ContentName), PackageWriter::needsZip64(bound, make), make);
    expected.push_back({std::string(ods::ContentName), rows, QString::fromUtf8(ods::ContentName), PartContent::Tables});
}

} // namespace

void saveWorkbookOds(const Workbook& workbook, const QString& path, const SaveOptions& options) {
    savePackage(workbook, path, options, [&](PackageWriter& package, std::vector<ExpectedPart>& expected) {
        writeOds(workbook, options, package, expected);
    });
}

} // namespace quorvane::office
