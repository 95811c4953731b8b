#include "office/spreadsheet/XlsxParts.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace quorvane::office::xlsx {

namespace {

constexpr std::string_view Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view Replacement = "\xEF\xBF\xBD"; // U+FFFD

// What a byte asks for: copied as it is, or looked at.
enum ByteKind : std::uint8_t { Plain, Special, Lead };

constexpr std::array<ByteKind, 256> byteKinds() {
    std::array<ByteKind, 256> kinds{};
    for (int b = 0; b < 256; ++b)
        kinds[static_cast<std::size_t>(b)] = b < 0x20 ? Special : b < 0x80 ? Plain : Lead;
    for (const char ch : {'&', '<', '>', '"', '_'})
        kinds[static_cast<unsigned char>(ch)] = Special;
    kinds['\t'] = Plain;
    kinds['\n'] = Plain;
    return kinds;
}
constexpr std::array<ByteKind, 256> Kinds = byteKinds();

bool isHexDigit(char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

// Whether text[at] ('_') begins "_x", one to four hex digits and "_", which a reader would decode.
bool looksLikeEscape(std::string_view text, std::size_t at) {
    if (at + 1 >= text.size() || text[at + 1] != 'x')
        return false;
    std::size_t digits = 0;
    while (digits < 4 && at + 2 + digits < text.size() && isHexDigit(text[at + 2 + digits]))
        ++digits;
    return digits > 0 && at + 2 + digits < text.size() && text[at + 2 + digits] == '_';
}

void appendEscape(std::string& out, unsigned value) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    out += "_x";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += Hex[(value >> shift) & 0xF];
    out += '_';
}

// The UTF-8 sequence at text[at]: its length (0 when text[at] begins none: a stray byte, a sequence cut
// short) and whether it is a character XML can carry (not a surrogate, an overlong form, beyond
// U+10FFFF, U+FFFE or U+FFFF).
struct Sequence {
    std::size_t length = 0;
    bool valid = false;
};
Sequence sequenceAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC0 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF7) {
        length = 4;
        code = lead & 0x07;
    } else {
        return {};
    }
    if (at + length > text.size())
        return {};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return {};
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    const bool overlong =
        (length == 2 && code < 0x80) || (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return {length, !overlong && !surrogate && code <= 0x10FFFF && code != 0xFFFE && code != 0xFFFF};
}

template <bool Attribute> void appendEscaped(std::string& out, std::string_view text) {
    std::size_t i = 0;
    const std::size_t size = text.size();
    while (i < size) {
        const std::size_t runStart = i;
        while (i < size && Kinds[static_cast<unsigned char>(text[i])] == Plain)
            ++i;
        out.append(text.data() + runStart, i - runStart);
        if (i == size)
            break;
        const char ch = text[i];
        if (Kinds[static_cast<unsigned char>(ch)] == Lead) {
            // A whole sequence that is no character becomes one U+FFFD, a stray byte one each.
            const Sequence sequence = sequenceAt(text, i);
            if (sequence.valid)
                out.append(text.data() + i, sequence.length);
            else
                out += Replacement;
            i += std::max<std::size_t>(sequence.length, 1);
            continue;
        }
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
            out += Attribute ? "&quot;" : "\"";
            break;
        case '_':
            // Readers decode "_xHHHH_" as one character, and some also a shorter "_xH_" to "_xHHH_"; the
            // underscore of any of them, escaped, keeps the text as written.
            if (looksLikeEscape(text, i))
                appendEscape(out, '_');
            else
                out += '_';
            break;
        case '\0':
            out += Replacement;
            break;
        default:
            appendEscape(out, static_cast<unsigned char>(ch)); // a control character
        }
        ++i;
    }
}

void appendNumber(std::string& out, std::uint64_t n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(digits, end);
}

std::string quoted(std::string_view text) {
    std::string out;
    appendEscaped<true>(out, text);
    return out;
}

} // namespace

void appendText(std::string& out, std::string_view text) {
    appendEscaped<false>(out, text);
}

bool needsPreserve(std::string_view text) {
    if (text.empty())
        return false;
    const auto space = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; };
    // Two searches for one character each: find_first_of would look up the set for every byte.
    return space(text.front()) || space(text.back()) || text.find('\n') != std::string_view::npos ||
           text.find('\r') != std::string_view::npos;
}

void appendCellReference(std::string& out, std::int64_t row, std::int64_t column) {
    char letters[4];
    std::size_t count = 0;
    for (std::int64_t n = column + 1; n > 0 && count < sizeof letters; n = (n - 1) / 26)
        letters[count++] = static_cast<char>('A' + (n - 1) % 26);
    while (count > 0)
        out += letters[--count];
    appendNumber(out, static_cast<std::uint64_t>(row + 1));
}

std::string sheetPartName(std::size_t index) {
    std::string name = "xl/worksheets/sheet";
    appendNumber(name, index + 1);
    name += ".xml";
    return name;
}

std::string contentTypesPart(std::size_t sheets) {
    std::string part(Declaration);
    part += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
            "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
            "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
            "<Override PartName=\"/docProps/app.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
            "<Override PartName=\"/docProps/core.xml\" "
            "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
            "<Override PartName=\"/xl/styles.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
            "<Override PartName=\"/xl/workbook.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
    for (std::size_t i = 0; i < sheets; ++i) {
        part += "<Override PartName=\"/";
        part += sheetPartName(i);
        part += "\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    }
    part += "</Types>";
    return part;
}

std::string rootRelationshipsPart() {
    std::string part(Declaration);
    part += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
            "Target=\"xl/workbook.xml\"/>"
            "<Relationship Id=\"rId2\" "
            "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" "
            "Target=\"docProps/core.xml\"/>"
            "<Relationship Id=\"rId3\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties\" "
            "Target=\"docProps/app.xml\"/>"
            "</Relationships>";
    return part;
}

std::string corePropertiesPart(std::time_t created) {
    std::tm utc{};
    ::gmtime_r(&created, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string part(Declaration);
    part += "<cp:coreProperties "
            "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
            "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
            "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
    for (const char* element : {"dcterms:created", "dcterms:modified"}) {
        part += '<';
        part += element;
        part += " xsi:type=\"dcterms:W3CDTF\">";
        part += stamp;
        part += "</";
        part += element;
        part += '>';
    }
    part += "</cp:coreProperties>";
    return part;
}

std::string appPropertiesPart(const std::vector<std::string>& sheetNames) {
    std::string part(Declaration);
    part += "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
            "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
            "<Application>Quorvane</Application><DocSecurity>0</DocSecurity><ScaleCrop>false</ScaleCrop>"
            "<HeadingPairs><vt:vector size=\"2\" baseType=\"variant\"><vt:variant><vt:lpstr>Worksheets</vt:lpstr>"
            "</vt:variant><vt:variant><vt:i4>";
    appendNumber(part, sheetNames.size());
    part += "</vt:i4></vt:variant></vt:vector></HeadingPairs><TitlesOfParts><vt:vector size=\"";
    appendNumber(part, sheetNames.size());
    part += "\" baseType=\"lpstr\">";
    for (const std::string& name : sheetNames) {
        part += "<vt:lpstr>";
        appendText(part, name);
        part += "</vt:lpstr>";
    }
    part += "</vt:vector></TitlesOfParts><LinksUpToDate>false</LinksUpToDate><SharedDoc>false</SharedDoc>"
            "<HyperlinksChanged>false</HyperlinksChanged></Properties>";
    return part;
}

std::string workbookPart(const std::vector<std::string>& sheetNames, std::size_t active) {
    std::string part(Declaration);
    part += "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
            "<bookViews><workbookView";
    if (active > 0) {
        part += " activeTab=\"";
        appendNumber(part, active);
        part += '"';
    }
    part += "/></bookViews><sheets>";
    for (std::size_t i = 0; i < sheetNames.size(); ++i) {
        part += "<sheet name=\"";
        part += quoted(sheetNames[i]);
        part += "\" sheetId=\"";
        appendNumber(part, i + 1);
        part += "\" r:id=\"rId";
        appendNumber(part, i + 1);
        part += "\"/>";
    }
    part += "</sheets></workbook>";
    return part;
}

std::string workbookRelationshipsPart(std::size_t sheets) {
    std::string part(Declaration);
    part += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (std::size_t i = 0; i < sheets; ++i) {
        part += "<Relationship Id=\"rId";
        appendNumber(part, i + 1);
        part += "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                "Target=\"worksheets/sheet";
        appendNumber(part, i + 1);
        part += ".xml\"/>";
    }
    part += "<Relationship Id=\"rId";
    appendNumber(part, sheets + 1);
    part += "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
            "Target=\"styles.xml\"/></Relationships>";
    return part;
}

std::string stylesPart() {
    std::string part(Declaration);
    part += "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
            "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
            "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
            "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
            "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
            "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
            "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
            "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyAlignment=\"1\">"
            "<alignment wrapText=\"1\"/></xf></cellXfs>"
            "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
            "</styleSheet>";
    return part;
}

} // namespace quorvane::office::xlsx
