#pragma once

#include "office/SpreadsheetServer.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <vector>

namespace quorvane::import {

// A cell text that was longer than a cell holds and lost its end.
struct CutCell {
    QString path;                // the presentation the text came from
    std::int64_t row = 0;        // its row in the whole text, from 1
    std::int64_t column = 0;     // its column, from 1
    std::int64_t units = 0;      // its length in UTF-16 units before the cut
    std::int64_t characters = 0; // its length in characters (code points) before the cut
    std::int64_t kept = 0;       // the characters it keeps
};

// A line that split into more cells than a row holds and lost the cells after the last column.
struct CutRow {
    QString path;           // the presentation the line came from
    std::int64_t row = 0;   // its row in the whole text, from 1
    std::int64_t cells = 0; // the cells it split into
};

// The text of a run on its way to the staging file: UTF-8, one piece per presentation with the path
// it came from. Rows and cells are counted as the spreadsheet reads the staging file: a row ends at
// each CR LF, LF or lone CR (a last line without a line end is a row too), a cell at each SplitMark.
//
// A sheet holds only MaxRows rows, a row MaxColumns cells and a cell MaxCellUnits UTF-16 units, so
// fit() cuts the over-long cells and rows and splits the text into passes of at most MaxRows rows,
// each a sheet's worth for one trip through the spreadsheet. The text is held once; release() frees
// what a pass has used.
class StagingText {
public:
    // Appends the text of the presentation at path (converted to UTF-8).
    void append(const QString& path, const QString& text);
    // Replaces every occurrence of separator by one SplitMark, scanning the text of all presentations
    // joined from its start, case-sensitively, occurrences never overlapping: an occurrence may begin
    // in one presentation's text and end in a later one's (its SplitMark stays with the first). An
    // empty separator changes nothing.
    void separateColumns(const QString& separator);

    // Cuts every cell text longer than MaxCellUnits to its first MaxCellUnits units (one fewer when
    // the cut would fall between the halves of a surrogate pair), every line that splits into more
    // than MaxColumns cells to its first MaxColumns, and finds where each pass ends, each leaving
    // room for headerRows rows that go before it on its sheet. Call once, after the separation.
    void fit(std::int64_t headerRows = 0);
    // What fit() cut, in row order.
    const std::vector<CutCell>& cuts() const { return m_cuts; }
    const std::vector<CutRow>& cutRows() const { return m_cutRows; }
    // The rows of the whole text; 0 for an empty text.
    std::int64_t rows() const { return m_rows; }
    // The cells of its widest row (as fit() left it); 0 for an empty text.
    std::int64_t widestRow() const { return m_widest; }
    // The rows of the text a pass holds but the last: a sheet's, less the header rows.
    std::int64_t rowsPerPass() const { return m_rowsPerPass; }
    // The number of passes: at least 1 (an empty text makes one empty pass).
    int passCount() const { return m_passEnds.empty() ? 1 : static_cast<int>(m_passEnds.size()); }
    // The bytes of pass index (from 0), in order, as views into the text: valid until release(index).
    // Every pass but the last ends with a line end. Before fit() the one pass is the whole text.
    std::vector<QByteArrayView> pass(int index) const;
    // Frees the text of the passes up to index (the staging file holds it now).
    void release(int index);

private:
    struct Piece {
        QString path;
        QByteArray text;
        std::int64_t rows = 0;
    };
    // A place in the text: the piece and the byte in it.
    struct Position {
        std::size_t piece = 0;
        qsizetype offset = 0;
        bool operator==(const Position&) const = default;
    };
    bool occursFrom(std::size_t piece, qsizetype offset, QByteArrayView bytes) const;
    void joinBrokenLines();
    void cutCells(Piece& piece, std::int64_t firstRow);
    Position afterRow(std::int64_t row) const;
    Position end() const { return {m_pieces.size(), 0}; }
    // The text freed at once from which on release() hands the memory back to the system.
    static constexpr qsizetype ReleaseToSystem = 16 << 20;

    std::vector<Piece> m_pieces;
    std::vector<CutCell> m_cuts;
    std::vector<CutRow> m_cutRows;
    std::vector<Position> m_passEnds; // where each pass ends; empty before fit()
    std::int64_t m_rows = 0;
    std::int64_t m_widest = 0;
    std::int64_t m_rowsPerPass = office::MaxRows;
};

} // namespace quorvane::import
