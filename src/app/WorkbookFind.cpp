#include "app/WorkbookFind.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace quorvane::app {

namespace {

constexpr std::int64_t End = std::numeric_limits<std::int64_t>::max();

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether a cell's text (UTF-8) contains the text looked for.
class Matcher {
public:
    Matcher(const QString& text, Qt::CaseSensitivity sensitivity)
        : m_text(text), m_utf8(text.toUtf8()), m_sensitivity(sensitivity),
          m_ascii(isAscii(std::string_view(m_utf8.constData(), static_cast<std::size_t>(m_utf8.size())))) {}

    bool operator()(std::string_view cell) const {
        const std::string_view wanted(m_utf8.constData(), static_cast<std::size_t>(m_utf8.size()));
        if (cell.size() < wanted.size() && (m_sensitivity == Qt::CaseSensitive || isAscii(cell)))
            return false;
        if (m_sensitivity == Qt::CaseSensitive)
            return cell.find(wanted) != std::string_view::npos;
        // Both in ASCII: compared byte by byte, without making a QString of every cell.
        if (m_ascii && isAscii(cell))
            return std::search(cell.begin(), cell.end(), wanted.begin(), wanted.end(),
                               [](char a, char b) { return asciiLower(a) == asciiLower(b); }) != cell.end();
        return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size())).contains(m_text, m_sensitivity);
    }

private:
    QString m_text;
    QByteArray m_utf8;
    Qt::CaseSensitivity m_sensitivity;
    bool m_ascii;
};

// The first (forward) or last cell of sheet that matches, between (firstRow, firstColumn) and
// (lastRow, lastColumn) in reading order, both included.
std::optional<std::pair<std::int64_t, std::int64_t>> searchSheet(const office::Worksheet& sheet, const Matcher& matches,
                                                                 bool forward, std::int64_t firstRow,
                                                                 std::int64_t firstColumn, std::int64_t lastRow,
                                                                 std::int64_t lastColumn) {
    if (sheet.isEmpty())
        return std::nullopt;
    lastRow = std::min(lastRow, sheet.usedRange().bottom() - 1);
    for (std::int64_t step = 0; step <= lastRow - firstRow; ++step) {
        const std::int64_t row = forward ? firstRow + step : lastRow - step;
        const std::int64_t left = row == firstRow ? firstColumn : 0;
        const std::int64_t right = std::min(row == lastRow ? lastColumn : End, sheet.rowExtent(row) - 1);
        for (std::int64_t at = 0; at <= right - left; ++at) {
            const std::int64_t column = forward ? left + at : right - at;
            const office::CellView cell = sheet.cell(row, column);
            if (!cell.text.empty() && matches(cell.text))
                return std::pair(row, column);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<CellPlace> findInWorkbook(const office::Workbook& workbook, const CellPlace& from, const QString& text,
                                        bool forward, Qt::CaseSensitivity sensitivity) {
    const int sheets = workbook.sheetCount();
    if (text.isEmpty() || sheets == 0)
        return std::nullopt;
    const Matcher matches(text, sensitivity);
    const int start = std::clamp(from.sheet, 0, sheets - 1);
    const auto found = [](int sheet, const std::optional<std::pair<std::int64_t, std::int64_t>>& cell) {
        return cell ? std::optional(CellPlace{sheet, cell->first, cell->second}) : std::nullopt;
    };
    // The rest of the sheet of from, in the direction of the search.
    const office::Worksheet& first = workbook.sheet(start);
    if (auto cell = forward ? searchSheet(first, matches, true, from.row, from.column + 1, End, End)
                            : searchSheet(first, matches, false, 0, 0, from.row, from.column - 1))
        return found(start, cell);
    // The other sheets, whole.
    for (int step = 1; step < sheets; ++step) {
        const int index = forward ? (start + step) % sheets : (start - step + sheets) % sheets;
        if (auto cell = searchSheet(workbook.sheet(index), matches, forward, 0, 0, End, End))
            return found(index, cell);
    }
    // Back at the sheet of from: the part before it (after it), from itself last.
    return found(start, forward ? searchSheet(first, matches, true, 0, 0, from.row, from.column)
                                : searchSheet(first, matches, false, from.row, from.column, End, End));
}

} // namespace quorvane::app
