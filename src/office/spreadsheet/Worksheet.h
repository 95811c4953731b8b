#pragma once

#include "office/CellNames.h"
#include "office/SpreadsheetServer.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace quorvane::office {

// One cell as stored: its text (UTF-8) and whether the text is read as a number. An empty text is
// an empty cell.
struct CellView {
    std::string_view text;
    bool number = false;
};

// A rectangle of cells, 0-based; empty when rows or columns is 0.
struct CellRect {
    std::int64_t row = 0, column = 0, rows = 0, columns = 0;
    bool empty() const { return rows <= 0 || columns <= 0; }
    std::int64_t bottom() const { return row + rows; }      // one past the last row
    std::int64_t right() const { return column + columns; } // one past the last column
    bool contains(std::int64_t r, std::int64_t c) const {
        return r >= row && r < bottom() && c >= column && c < right();
    }
    // The smallest rectangle holding both (an empty one adds nothing).
    CellRect united(const CellRect& other) const;
    CellRect intersected(const CellRect& other) const;
    bool operator==(const CellRect&) const = default;
};

// An immutable grid of cells read at once (from a text file): one UTF-8 text arena and small cell
// records pointing into it. Blocks are shared between the sheet that read them, the clipboard and
// every sheet they are pasted into, so a copy costs nothing.
class CellBlock {
public:
    // The builder interface used by the readers: the arena first, then cells row by row.
    explicit CellBlock(QByteArray text);
    // Adds a cell spanning bytes [offset, offset + length) of the arena to the current row.
    void addCell(std::uint32_t offset, std::uint32_t length, bool number);
    // Ends the current row.
    void endRow();
    // Called once after the last row; computes the bounds of the non-empty cells.
    void finish();
    // The same for a reader that rewrites the arena while it reads: text takes the arena's place.
    void finish(QByteArray text);

    std::int64_t rowCount() const { return static_cast<std::int64_t>(m_rowStarts.size()) - 1; }
    // The cell at (row, column); an empty view outside the block.
    CellView cell(std::int64_t row, std::int64_t column) const;
    // The cells of one row in column order (without the empty ones after its last cell).
    std::int64_t cellsInRow(std::int64_t row) const;
    // The smallest rectangle holding every non-empty cell.
    const CellRect& bounds() const { return m_bounds; }
    // The bytes of text and the cells stored, empty ones included.
    std::size_t textBytes() const { return static_cast<std::size_t>(m_text.size()); }
    std::size_t cellCount() const { return m_cells.size(); }
    // The same within window (scans the window unless it holds all of bounds()).
    CellRect boundsWithin(const CellRect& window) const;

private:
    struct Record {
        std::uint32_t offset;
        std::uint32_t info; // low 31 bits: length in bytes; top bit: a number
    };
    static constexpr std::uint32_t NumberBit = 0x8000'0000u;
    CellRect scan(const CellRect& window) const;

    QByteArray m_text;
    std::vector<Record> m_cells;
    std::vector<std::size_t> m_rowStarts{0};
    CellRect m_bounds;
};

// A block (or, with a null block, a blank) placed on a sheet: the source window of the block lands
// at target.row / target.column. Later placements cover earlier ones.
struct Placement {
    std::shared_ptr<const CellBlock> block; // null: blank cells
    std::int64_t sourceRow = 0, sourceColumn = 0;
    CellRect target;
};

// A rectangle of cells lifted from a sheet, as the clipboard holds it: placements relative to its
// top-left corner, sharing the sheet's blocks.
struct CellRegion {
    std::int64_t rows = 0, columns = 0;
    std::vector<Placement> placements;
};

// One worksheet: its name, its cells and its active cell.
class Worksheet {
public:
    explicit Worksheet(QString name) : m_name(std::move(name)) {}

    const QString& name() const { return m_name; }
    // Renames without checks; the workbook checks names (Workbook::renameSheet).
    void setName(const QString& name) { m_name = name; }

    // The cell at (row, column), 0-based.
    CellView cell(std::int64_t row, std::int64_t column) const;
    // The used range: the smallest rectangle holding every non-empty cell; A1 alone when the sheet
    // is empty (as the spreadsheet answers for an empty sheet).
    CellRect usedRange() const;
    // True when no cell holds anything.
    bool isEmpty() const;
    // One past the last column of row that may hold a cell (0 when none can), so that a row is walked
    // without looking at the columns after its last cell.
    std::int64_t rowExtent(std::int64_t row) const;
    // Upper bounds of the bytes of text and of the cells the sheet shows.
    std::uint64_t textBytesBound() const;
    std::uint64_t cellCountBound() const;

    // The cells of rect, shared, for the clipboard.
    CellRegion copy(const CellRect& rect) const;
    // Puts region with its top-left corner at (row, column), replacing what was there (blanks too).
    // Throws AutomationError, changing nothing, when the region would go past the sheet's limits.
    void paste(const CellRegion& region, std::int64_t row, std::int64_t column);
    // Places a whole block at A1 (a sheet read from a file).
    void placeBlock(std::shared_ptr<const CellBlock> block);

    std::int64_t activeRow() const { return m_activeRow; }
    std::int64_t activeColumn() const { return m_activeColumn; }
    void setActiveCell(std::int64_t row, std::int64_t column) {
        m_activeRow = row;
        m_activeColumn = column;
    }

private:
    QString m_name;
    std::vector<Placement> m_placements;
    std::int64_t m_activeRow = 0, m_activeColumn = 0;
};

// "A1" for 0-based (row, column).
QString cellName(std::int64_t row, std::int64_t column);
// The rectangle named by a reference such as "A1", "b2" or "A1:C3"; nullopt when it names none
// within the sheet's limits.
std::optional<CellRect> parseReference(const QString& reference);

} // namespace quorvane::office
