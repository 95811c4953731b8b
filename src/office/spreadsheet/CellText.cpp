#include "office/spreadsheet/CellText.h"

#include "office/Utf8.h"
#include "office/spreadsheet/SaveError.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

// Whether the character takes two columns of a terminal or a spreadsheet cell: the wide and
// full-width blocks of East Asian writing (Hangul, CJK, kana, full-width forms, the supplementary
// ideographs), and the pictographs.
bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) ||
           (c >= 0x20000 && c <= 0x3FFFD);
}

// The width of the longest line of text, counting no further than MaxColumnWidth.
int longestLine(std::string_view text) {
    int longest = 0, line = 0;
    std::size_t i = 0;
    while (i < text.size() && longest < MaxColumnWidth) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n' || byte == static_cast<unsigned char>(SlideLineBreak)) {
            line = 0;
            ++i;
            continue;
        }
        if (byte < 0x80) {
            ++i;
            longest = std::max(longest, ++line);
            continue;
        }
        char32_t code = 0;
        const int length = utf8Sequence(text.substr(i), code);
        i += static_cast<std::size_t>(std::max(length, 1));
        line += length > 0 && isWide(code) ? 2 : 1;
        longest = std::max(longest, line);
    }
    return std::min(longest, MaxColumnWidth);
}

} // namespace

bool holdsLineBreak(std::string_view text) {
    return text.find_first_of("\n\v") != std::string_view::npos;
}

std::string withLineFeeds(std::string_view text) {
    std::string lines(text);
    std::replace(lines.begin(), lines.end(), SlideLineBreak, '\n');
    return lines;
}

std::vector<int> columnWidths(const Worksheet& sheet, const std::atomic<bool>* stop) {
    if (sheet.isEmpty())
        return {};
    const CellRect used = sheet.usedRange();
    std::vector<int> widths(static_cast<std::size_t>(used.right()), 0);
    for (std::int64_t r = used.row; r < used.bottom(); ++r) {
        if ((r & 1023) == 0 && stop && stop->load(std::memory_order_relaxed))
            throw SaveStopped(u"the save was stopped"_s);
        const std::int64_t last = std::min(used.right(), sheet.rowExtent(r));
        for (std::int64_t c = used.column; c < last; ++c) {
            int& width = widths[static_cast<std::size_t>(c)];
            if (width == MaxColumnWidth)
                continue;
            const std::string_view text = sheet.cell(r, c).text;
            // A text of no more bytes than the width cannot be wider.
            if (text.size() > static_cast<std::size_t>(std::max(width, DefaultColumnWidth)))
                width = std::max(width, longestLine(text));
        }
    }
    for (int& width : widths)
        if (width <= DefaultColumnWidth)
            width = 0;
    return widths;
}

} // namespace quorvane::office
