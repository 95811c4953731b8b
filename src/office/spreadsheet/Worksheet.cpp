#include "office/spreadsheet/Worksheet.h"

#include "office/AutomationError.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quorvane::office {

CellRect CellRect::united(const CellRect& other) const {
    if (other.empty())
        return *this;
    if (empty())
        return other;
    const std::int64_t top = std::min(row, other.row), left = std::min(column, other.column);
    return {top, left, std::max(bottom(), other.bottom()) - top, std::max(right(), other.right()) - left};
}

CellRect CellRect::intersected(const CellRect& other) const {
    const std::int64_t top = std::max(row, other.row), left = std::max(column, other.column);
    const std::int64_t rowsLeft = std::min(bottom(), other.bottom()) - top;
    const std::int64_t columnsLeft = std::min(right(), other.right()) - left;
    if (rowsLeft <= 0 || columnsLeft <= 0)
        return {};
    return {top, left, rowsLeft, columnsLeft};
}

// ---- CellBlock

CellBlock::CellBlock(QByteArray text) : m_text(std::move(text)) {}

void CellBlock::addCell(std::uint32_t offset, std::uint32_t length, bool number) {
    m_cells.push_back({offset, length | (number ? NumberBit : 0u)});
}

void CellBlock::endRow() {
    m_rowStarts.push_back(m_cells.size());
}

void CellBlock::finish(QByteArray text) {
    m_text = std::move(text);
    finish();
}

void CellBlock::finish() {
    m_cells.shrink_to_fit();
    m_rowStarts.shrink_to_fit();
    m_bounds = scan({0, 0, rowCount(), MaxColumns});
}

CellView CellBlock::cell(std::int64_t row, std::int64_t column) const {
    if (row < 0 || row >= rowCount() || column < 0)
        return {};
    const std::size_t first = m_rowStarts[static_cast<std::size_t>(row)];
    const std::size_t index = first + static_cast<std::size_t>(column);
    if (index >= m_rowStarts[static_cast<std::size_t>(row) + 1])
        return {};
    const Record& record = m_cells[index];
    return {std::string_view(m_text.constData() + record.offset, record.info & ~NumberBit),
            (record.info & NumberBit) != 0};
}

std::int64_t CellBlock::cellsInRow(std::int64_t row) const {
    if (row < 0 || row >= rowCount())
        return 0;
    const auto r = static_cast<std::size_t>(row);
    return static_cast<std::int64_t>(m_rowStarts[r + 1] - m_rowStarts[r]);
}

CellRect CellBlock::boundsWithin(const CellRect& window) const {
    if (m_bounds.empty() || window.intersected(m_bounds).empty())
        return {};
    if (window.intersected(m_bounds) == m_bounds)
        return m_bounds; // the window holds all of the block's cells
    return scan(window);
}

CellRect CellBlock::scan(const CellRect& window) const {
    CellRect result;
    const std::int64_t lastRow = std::min(window.bottom(), rowCount());
    for (std::int64_t r = std::max<std::int64_t>(window.row, 0); r < lastRow; ++r) {
        const std::int64_t lastColumn = std::min(window.right(), cellsInRow(r));
        std::int64_t left = -1, right = -1;
        for (std::int64_t c = std::max<std::int64_t>(window.column, 0); c < lastColumn; ++c) {
            if (!cell(r, c).text.empty()) {
                if (left < 0)
                    left = c;
                right = c;
            }
        }
        if (left >= 0)
            result = result.united({r, left, 1, right - left + 1});
    }
    return result;
}

// ---- Worksheet

CellView Worksheet::cell(std::int64_t row, std::int64_t column) const {
    // The topmost placement that covers the cell decides it, blanks included.
    for (auto it = m_placements.rbegin(); it != m_placements.rend(); ++it) {
        if (!it->target.contains(row, column))
            continue;
        if (!it->block)
            return {};
        return it->block->cell(it->sourceRow + row - it->target.row, it->sourceColumn + column - it->target.column);
    }
    return {};
}

static CellRect contentOf(const Placement& placement) {
    if (!placement.block)
        return {};
    const CellRect window{placement.sourceRow, placement.sourceColumn, placement.target.rows, placement.target.columns};
    const CellRect inside = placement.block->boundsWithin(window);
    if (inside.empty())
        return {};
    return {inside.row - placement.sourceRow + placement.target.row,
            inside.column - placement.sourceColumn + placement.target.column, inside.rows, inside.columns};
}

CellRect Worksheet::usedRange() const {
    CellRect used;
    for (const Placement& placement : m_placements)
        used = used.united(contentOf(placement));
    if (used.empty())
        return {0, 0, 1, 1};
    return used;
}

bool Worksheet::isEmpty() const {
    for (const Placement& placement : m_placements)
        if (!contentOf(placement).empty())
            return false;
    return true;
}

std::int64_t Worksheet::rowExtent(std::int64_t row) const {
    std::int64_t extent = 0;
    for (const Placement& placement : m_placements) {
        if (!placement.block || row < placement.target.row || row >= placement.target.bottom())
            continue;
        const std::int64_t inBlock =
            placement.block->cellsInRow(placement.sourceRow + row - placement.target.row) - placement.sourceColumn;
        if (inBlock > 0)
            extent = std::max(extent, placement.target.column + std::min(inBlock, placement.target.columns));
    }
    return extent;
}

std::uint64_t Worksheet::textBytesBound() const {
    std::uint64_t bytes = 0;
    for (const Placement& placement : m_placements)
        if (placement.block)
            bytes += placement.block->textBytes();
    return bytes;
}

std::uint64_t Worksheet::cellCountBound() const {
    std::uint64_t cells = 0;
    for (const Placement& placement : m_placements)
        if (placement.block)
            cells += placement.block->cellCount();
    return cells;
}

CellRegion Worksheet::copy(const CellRect& rect) const {
    CellRegion region;
    region.rows = rect.rows;
    region.columns = rect.columns;
    for (const Placement& placement : m_placements) {
        const CellRect overlap = placement.target.intersected(rect);
        if (overlap.empty())
            continue;
        Placement lifted;
        lifted.block = placement.block;
        lifted.sourceRow = placement.sourceRow + overlap.row - placement.target.row;
        lifted.sourceColumn = placement.sourceColumn + overlap.column - placement.target.column;
        lifted.target = {overlap.row - rect.row, overlap.column - rect.column, overlap.rows, overlap.columns};
        region.placements.push_back(std::move(lifted));
    }
    return region;
}

void Worksheet::paste(const CellRegion& region, std::int64_t row, std::int64_t column) {
    if (row + region.rows > MaxRows || column + region.columns > MaxColumns) {
        throw AutomationError(u"The copied range of %1 rows and %2 columns does not fit at cell %3 of sheet \"%4\": "
                              u"a sheet ends at row 1,048,576 and column XFD."_s.arg(groupedNumber(region.rows),
                                                                                     groupedNumber(region.columns),
                                                                                     cellName(row, column), m_name));
    }
    const CellRect area{row, column, region.rows, region.columns};
    // Placements the new range hides completely are dropped, so repeated pastes do not pile up.
    std::erase_if(m_placements, [&](const Placement& p) { return area.intersected(p.target) == p.target; });
    // A paste replaces the whole rectangle, blanks included: a blank first, the copied cells on top.
    m_placements.push_back({nullptr, 0, 0, area});
    for (const Placement& placement : region.placements) {
        Placement moved = placement;
        moved.target.row += row;
        moved.target.column += column;
        m_placements.push_back(std::move(moved));
    }
}

void Worksheet::placeBlock(std::shared_ptr<const CellBlock> block) {
    const std::int64_t rows = block->rowCount();
    if (rows == 0)
        return;
    m_placements.push_back({std::move(block), 0, 0, {0, 0, rows, MaxColumns}});
}

// ---- references

QString cellName(std::int64_t row, std::int64_t column) {
    return columnLetters(column) + QString::number(row + 1);
}

static std::optional<std::pair<std::int64_t, std::int64_t>> parseCell(QStringView text) {
    qsizetype i = 0;
    std::int64_t column = 0;
    while (i < text.size() && text[i].isLetter() && text[i].unicode() < 128) {
        column = column * 26 + (text[i].toUpper().unicode() - u'A' + 1);
        if (column > MaxColumns)
            return std::nullopt;
        ++i;
    }
    if (i == 0 || i == text.size() || text[i] == u'0')
        return std::nullopt;
    std::int64_t row = 0;
    for (; i < text.size(); ++i) {
        if (!text[i].isDigit() || text[i].unicode() >= 128)
            return std::nullopt;
        row = row * 10 + (text[i].unicode() - u'0');
        if (row > MaxRows)
            return std::nullopt;
    }
    return std::pair{row - 1, column - 1};
}

std::optional<CellRect> parseReference(const QString& reference) {
    const qsizetype colon = reference.indexOf(u':');
    const QStringView whole(reference);
    const auto first = parseCell(colon < 0 ? whole : whole.left(colon));
    if (!first)
        return std::nullopt;
    auto last = first;
    if (colon >= 0)
        last = parseCell(whole.mid(colon + 1));
    if (!last)
        return std::nullopt;
    const std::int64_t top = std::min(first->first, last->first), left = std::min(first->second, last->second);
    return CellRect{top, left, std::max(first->first, last->first) - top + 1,
                    std::max(first->second, last->second) - left + 1};
}

} // namespace quorvane::office
