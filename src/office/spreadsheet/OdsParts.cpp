#include "office/spreadsheet/OdsParts.h"

#include "office/Utf8.h"
#include "office/spreadsheet/CellText.h"
#include "office/spreadsheet/SaveError.h"

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace quorvane::office::ods {

namespace {

constexpr std::string_view Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr std::string_view Replacement = "\xEF\xBF\xBD"; // U+FFFD
constexpr std::string_view OfficeNamespace = "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\"";
constexpr std::string_view StyleNamespaces = "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
                                             "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\"";
constexpr std::string_view EmptyRow = "<table:table-row><table:table-cell/></table:table-row>";

// Names (of sheets) as attribute values and character data; the workbook has checked that they hold
// no control character.
void appendEscaped(std::string& out, std::string_view text) {
    for (const char ch : text) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += ch;
        }
    }
}

void appendRepeat(std::string& out, const char* attribute, std::int64_t count) {
    if (count <= 1)
        return;
    out += ' ';
    out += attribute;
    out += "=\"";
    out += std::to_string(count);
    out += '"';
}

// Spaces that XML readers of a paragraph would fold or drop: a space stays one only between two
// characters, the others are <text:s>.
void appendSpaces(std::string& out, std::size_t spaces, bool betweenCharacters) {
    if (spaces == 0)
        return;
    if (betweenCharacters) {
        out += ' ';
        --spaces;
    }
    if (spaces == 1) {
        out += "<text:s/>";
    } else if (spaces > 1) {
        out += "<text:s text:c=\"";
        out += std::to_string(spaces);
        out += "\"/>";
    }
}

// Whether the byte is copied as it is: printable ASCII but the space and the three XML escapes.
bool isPlain(unsigned char byte) {
    return byte > 0x20 && byte < 0x7F && byte != '&' && byte != '<' && byte != '>';
}

// The style of a column as wide as width characters; "" for the default width.
std::string columnStyle(int width) {
    return width > 0 ? "co" + std::to_string(width) : std::string();
}

void appendColumns(std::string& out, const std::vector<int>& widths) {
    if (widths.empty()) {
        out += "<table:table-column/>";
        return;
    }
    for (std::size_t first = 0; first < widths.size();) {
        std::size_t last = first;
        while (last + 1 < widths.size() && widths[last + 1] == widths[first])
            ++last;
        out += "<table:table-column";
        if (widths[first] > 0) {
            out += " table:style-name=\"";
            out += columnStyle(widths[first]);
            out += '"';
        }
        appendRepeat(out, "table:number-columns-repeated", static_cast<std::int64_t>(last - first + 1));
        out += "/>";
        first = last + 1;
    }
}

void appendCell(std::string& out, const CellView& cell) {
    if (cell.number) {
        // The engine marks as numbers only plain decimals of at most 15 digits: the text is the value.
        out += "<table:table-cell office:value-type=\"float\" office:value=\"";
        out += cell.text;
        out += "\"><text:p>";
        out += cell.text;
        out += "</text:p></table:table-cell>";
        return;
    }
    out += holdsLineBreak(cell.text) ? "<table:table-cell office:value-type=\"string\" table:style-name=\"ce1\">"
                                     : "<table:table-cell office:value-type=\"string\">";
    appendParagraphs(out, cell.text);
    out += "</table:table-cell>";
}

void appendEmptyCells(std::string& out, std::int64_t count) {
    if (count <= 0)
        return;
    out += "<table:table-cell";
    appendRepeat(out, "table:number-columns-repeated", count);
    out += "/>";
}

void appendEmptyRows(std::string& out, std::int64_t count) {
    out += "<table:table-row";
    appendRepeat(out, "table:number-rows-repeated", count);
    out += "><table:table-cell/></table:table-row>";
}

} // namespace

void appendParagraphs(std::string& out, std::string_view text) {
    out += "<text:p>";
    std::size_t spaces = 0;      // spaces not yet written
    bool afterCharacter = false; // the last thing written in the paragraph is a character
    std::size_t i = 0;
    const std::size_t size = text.size();
    while (i < size) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == ' ') {
            ++spaces;
            ++i;
            continue;
        }
        if (byte == '\n' || byte == '\r' || byte == static_cast<unsigned char>(SlideLineBreak)) {
            appendSpaces(out, spaces, false);
            spaces = 0;
            out += "</text:p><text:p>";
            afterCharacter = false;
            ++i;
            continue;
        }
        if (byte == '\t') {
            // As it is: Calc takes a tab in a cell's paragraph for a tab, and drops a <text:tab/>.
            appendSpaces(out, spaces, false);
            spaces = 0;
            out += '\t';
            afterCharacter = false;
            ++i;
            continue;
        }
        appendSpaces(out, spaces, afterCharacter);
        spaces = 0;
        afterCharacter = true;
        if (isPlain(byte)) {
            const std::size_t start = i;
            while (i < size && isPlain(static_cast<unsigned char>(text[i])))
                ++i;
            out.append(text.data() + start, i - start);
            continue;
        }
        if (byte == '&') {
            out += "&amp;";
        } else if (byte == '<') {
            out += "&lt;";
        } else if (byte == '>') {
            out += "&gt;";
        } else if (byte < 0x80) {
            out += Replacement; // a control character
        } else {
            char32_t code = 0;
            const int length = utf8Sequence(text.substr(i), code);
            if (length > 0 && code != 0xFFFE && code != 0xFFFF)
                out.append(text.data() + i, static_cast<std::size_t>(length));
            else
                out += Replacement;
            i += static_cast<std::size_t>(std::max(length, 1));
            continue;
        }
        ++i;
    }
    appendSpaces(out, spaces, false);
    out += "</text:p>";
}

std::string manifestPart() {
    std::string part(Declaration);
    part += "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
            "manifest:version=\"1.3\">"
            "<manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.3\" "
            "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>";
    for (const std::string_view name : {ContentName, StylesName, MetaName, SettingsName}) {
        part += "<manifest:file-entry manifest:full-path=\"";
        part += name;
        part += "\" manifest:media-type=\"text/xml\"/>";
    }
    part += "</manifest:manifest>";
    return part;
}

std::string stylesPart() {
    std::string part(Declaration);
    part += "<office:document-styles ";
    part += OfficeNamespace;
    part += ' ';
    part += StyleNamespaces;
    part += " office:version=\"1.3\"><office:styles>"
            "<style:style style:name=\"Default\" style:family=\"table-cell\"/>"
            "</office:styles></office:document-styles>";
    return part;
}

std::string metaPart(std::time_t created) {
    std::tm utc{};
    ::gmtime_r(&created, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string part(Declaration);
    part += "<office:document-meta ";
    part += OfficeNamespace;
    part += " xmlns:meta=\"urn:oasis:names:tc:opendocument:xmlns:meta:1.0\" "
            "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" office:version=\"1.3\"><office:meta>"
            "<meta:generator>Quorvane</meta:generator><meta:creation-date>";
    part += stamp;
    part += "</meta:creation-date><dc:date>";
    part += stamp;
    part += "</dc:date></office:meta></office:document-meta>";
    return part;
}

std::string settingsPart(std::string_view activeSheet) {
    std::string part(Declaration);
    part += "<office:document-settings ";
    part += OfficeNamespace;
    part += " xmlns:config=\"urn:oasis:names:tc:opendocument:xmlns:config:1.0\" office:version=\"1.3\">"
            "<office:settings><config:config-item-set config:name=\"ooo:view-settings\">"
            "<config:config-item-map-indexed config:name=\"Views\"><config:config-item-map-entry>"
            "<config:config-item config:name=\"ViewId\" config:type=\"string\">view1</config:config-item>"
            "<config:config-item config:name=\"ActiveTable\" config:type=\"string\">";
    appendEscaped(part, activeSheet);
    part += "</config:config-item></config:config-item-map-entry></config:config-item-map-indexed>"
            "</config:config-item-set></office:settings></office:document-settings>";
    return part;
}

std::string contentHead(const std::set<int>& widths) {
    std::string part(Declaration);
    part += "<office:document-content ";
    part += OfficeNamespace;
    part += ' ';
    part += StyleNamespaces;
    part += " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
            "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" office:version=\"1.3\">"
            "<office:automatic-styles>";
    for (const int width : widths) {
        if (width <= 0)
            continue;
        // The default font's characters are about 0.2 cm wide; a column is never narrower than the
        // default, 2.258 cm.
        char length[32];
        std::snprintf(length, sizeof length, "%.3fcm", std::max(2.258, 0.2 * width + 0.2));
        part += "<style:style style:name=\"";
        part += columnStyle(width);
        part += "\" style:family=\"table-column\"><style:table-column-properties style:column-width=\"";
        part += length;
        part += "\"/></style:style>";
    }
    part += "<style:style style:name=\"ce1\" style:family=\"table-cell\" style:parent-style-name=\"Default\">"
            "<style:table-cell-properties fo:wrap-option=\"wrap\"/></style:style>"
            "</office:automatic-styles><office:body><office:spreadsheet>";
    return part;
}

std::string contentTail() {
    return "</office:spreadsheet></office:body></office:document-content>";
}

std::int64_t appendTable(std::string& piece, const Worksheet& sheet, std::string_view name,
                         const std::vector<int>& widths, std::size_t pieceSize,
                         const std::function<void(std::string&&)>& out, const std::atomic<bool>* stop) {
    piece += "<table:table table:name=\"";
    appendEscaped(piece, name);
    piece += "\">";
    appendColumns(piece, widths);
    if (sheet.isEmpty()) {
        // A table holds at least one row.
        piece += EmptyRow;
        piece += "</table:table>";
        return 1;
    }
    const CellRect used = sheet.usedRange();
    std::int64_t rows = 0;
    std::int64_t emptyRows = used.row; // empty rows not yet written, the ones above the used range first
    for (std::int64_t r = used.row; r < used.bottom(); ++r) {
        if ((r & 1023) == 0 && stop && stop->load(std::memory_order_relaxed))
            throw SaveStopped(u"the save was stopped"_s);
        const std::int64_t last = std::min(used.right(), sheet.rowExtent(r));
        const std::size_t rowStart = piece.size();
        bool any = false;
        std::int64_t emptyCells = used.column; // the empty cells before the next filled one
        for (std::int64_t c = used.column; c < last; ++c) {
            const CellView cell = sheet.cell(r, c);
            if (cell.text.empty()) {
                ++emptyCells;
                continue;
            }
            if (!any) {
                if (emptyRows > 0) {
                    appendEmptyRows(piece, emptyRows);
                    ++rows;
                    emptyRows = 0;
                }
                piece += "<table:table-row>";
                any = true;
            }
            appendEmptyCells(piece, emptyCells);
            emptyCells = 0;
            appendCell(piece, cell);
        }
        if (!any) {
            piece.resize(rowStart);
            ++emptyRows;
            continue;
        }
        piece += "</table:table-row>";
        ++rows;
        if (piece.size() >= pieceSize) {
            out(std::move(piece));
            piece = std::string();
            piece.reserve(pieceSize + (std::size_t{1} << 16));
        }
    }
    piece += "</table:table>";
    return rows;
}

std::uint64_t tableBound(const Worksheet& sheet) {
    // A byte of text makes at most 17 ("</text:p><text:p>" of a line break); a cell's markup, with the
    // empty cells before it, takes under 192 bytes, a row's under 128, a column's under 96.
    const CellRect used = sheet.usedRange();
    return 17 * sheet.textBytesBound() + 192 * sheet.cellCountBound() +
           128 * static_cast<std::uint64_t>(used.bottom()) + 96 * static_cast<std::uint64_t>(used.right()) +
           6 * static_cast<std::uint64_t>(sheet.name().size()) * 3 + 4096;
}

} // namespace quorvane::office::ods
