#include "office/spreadsheet/SheetPart.h"

#include "office/spreadsheet/CellText.h"
#include "office/spreadsheet/SaveError.h"
#include "office/spreadsheet/XlsxParts.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvane::office::xlsx {

namespace {

constexpr std::string_view Head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                                  "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                                  "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                                  "<dimension ref=\"";
constexpr std::string_view Tail = "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
                                  "header=\"0.3\" footer=\"0.3\"/></worksheet>";

void appendCell(std::string& out, std::int64_t row, std::int64_t column, const CellView& cell) {
    out += "<c r=\"";
    appendCellReference(out, row, column);
    if (!cell.number && holdsLineBreak(cell.text)) {
        // A line break is LF in a spreadsheet cell, shown in one that wraps: the second cell format.
        const std::string lines = withLineFeeds(cell.text);
        out += "\" s=\"1\" t=\"inlineStr\"><is><t xml:space=\"preserve\">";
        appendText(out, lines);
        out += "</t></is></c>";
        return;
    }
    if (cell.number) {
        // The engine marks as numbers only plain decimals of at most 15 digits, written as a
        // spreadsheet writes them back, so the text is the value.
        out += "\"><v>";
        out += cell.text;
        out += "</v></c>";
        return;
    }
    out +=
        needsPreserve(cell.text) ? "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" : "\" t=\"inlineStr\"><is><t>";
    appendText(out, cell.text);
    out += "</t></is></c>";
}

// The <cols> of the columns wider than the default, a run of equal widths in one <col>.
void appendColumns(std::string& out, const std::vector<int>& widths) {
    bool any = false;
    for (std::size_t first = 0; first < widths.size();) {
        std::size_t last = first;
        while (last + 1 < widths.size() && widths[last + 1] == widths[first])
            ++last;
        if (widths[first] > 0) {
            out += any ? "<col min=\"" : "<cols><col min=\"";
            any = true;
            out += std::to_string(first + 1);
            out += "\" max=\"";
            out += std::to_string(last + 1);
            // A width counts characters of the widest digit plus 5 pixels of margin, in 1/256 steps; the
            // default font's digit is 7 pixels wide.
            const int steps = (widths[first] * 7 + 5) * 256 / 7;
            char width[32];
            out += "\" width=\"";
            out.append(width, std::to_chars(width, width + sizeof width, steps / 256.0).ptr);
            out += "\" customWidth=\"1\"/>";
        }
        first = last + 1;
    }
    if (any)
        out += "</cols>";
}

} // namespace

std::int64_t writeSheetPart(const Worksheet& sheet, bool selected, std::size_t pieceSize,
                            const std::function<void(std::string&&)>& out, const std::atomic<bool>* stop) {
    // Most sheets make one small piece; only one that fills a piece gets room for the next ahead.
    std::string piece(Head);
    const bool empty = sheet.isEmpty();
    const CellRect used = sheet.usedRange();
    appendCellReference(piece, used.row, used.column);
    if (used.rows > 1 || used.columns > 1) {
        piece += ':';
        appendCellReference(piece, used.bottom() - 1, used.right() - 1);
    }
    piece += selected ? "\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews>"
                      : "\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>";
    piece += "<sheetFormatPr defaultRowHeight=\"15\"/>";
    appendColumns(piece, columnWidths(sheet, stop));
    std::int64_t rows = 0;
    if (empty) {
        piece += "<sheetData/>";
    } else {
        piece += "<sheetData>";
        for (std::int64_t r = used.row; r < used.bottom(); ++r) {
            if ((r & 1023) == 0 && stop && stop->load(std::memory_order_relaxed))
                throw SaveStopped(u"the save was stopped"_s);
            const std::int64_t last = std::min(used.right(), sheet.rowExtent(r));
            const std::size_t rowStart = piece.size();
            bool any = false;
            for (std::int64_t c = used.column; c < last; ++c) {
                const CellView cell = sheet.cell(r, c);
                if (cell.text.empty())
                    continue;
                if (!any) {
                    piece += "<row r=\"";
                    appendCellReference(piece, r, -1); // the row number alone
                    piece += "\">";
                    any = true;
                }
                appendCell(piece, r, c, cell);
            }
            if (!any) {
                piece.resize(rowStart);
                continue;
            }
            piece += "</row>";
            ++rows;
            if (piece.size() >= pieceSize) {
                out(std::move(piece));
                piece = std::string();
                piece.reserve(pieceSize + (std::size_t{1} << 16));
            }
        }
        piece += "</sheetData>";
    }
    piece += Tail;
    out(std::move(piece));
    return rows;
}

std::uint64_t sheetPartBound(const Worksheet& sheet) {
    // Escaping makes at most 7 bytes of one ("_x000B_"); a cell's markup with its reference and its
    // format takes under 88 bytes, a row's under 32, a column's width under 64.
    const CellRect used = sheet.usedRange();
    return 7 * sheet.textBytesBound() + 88 * sheet.cellCountBound() + 32 * static_cast<std::uint64_t>(used.rows) +
           64 * static_cast<std::uint64_t>(used.right()) + 4096;
}

} // namespace quorvane::office::xlsx
