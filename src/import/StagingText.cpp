#include "import/StagingText.h"

#include "import/ColumnSeparation.h"

#include "office/SpreadsheetServer.h"
#include "office/Utf8.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace quorvane::import {

namespace {

bool isLineEnd(char ch) {
    return ch == '\r' || ch == '\n';
}

// The bytes after the line end at data[pos] (CR LF counts as one line end).
qsizetype afterLineEnd(const char* data, qsizetype size, qsizetype pos) {
    return (data[pos] == '\r' && pos + 1 < size && data[pos + 1] == '\n') ? pos + 2 : pos + 1;
}

// Cuts the byte ranges [from, to), in order and apart, out of text in place.
void removeRanges(QByteArray& text, const std::vector<std::pair<qsizetype, qsizetype>>& removals) {
    const qsizetype size = text.size();
    char* data = text.data();
    qsizetype write = 0, read = 0;
    for (const auto& [from, to] : removals) {
        std::memmove(data + write, data + read, static_cast<std::size_t>(from - read));
        write += from - read;
        read = to;
    }
    std::memmove(data + write, data + read, static_cast<std::size_t>(size - read));
    text.truncate(write + size - read);
    text.squeeze();
}

} // namespace

void StagingText::append(const QString& path, const QString& text) {
    // The conversion leaves room for three bytes a character; the piece keeps only what it holds, so
    // that a run's text takes what its UTF-8 takes.
    QByteArray utf8 = office::toUtf8(text);
    utf8.squeeze();
    m_pieces.push_back({path, std::move(utf8), 0});
    m_passEnds.clear();
}

void StagingText::separateColumns(const QString& separator) {
    if (separator.isEmpty())
        return;
    // A UTF-8 sequence can only match at the start of a character, so replacing bytes replaces
    // characters.
    // The separator is matched as it stands in the staged text: a column mark in it as text.
    const QByteArray from = office::toUtf8(protectSplitMarks(separator));
    const QByteArray to = QString(SplitMark).toUtf8();
    qsizetype carried = 0; // bytes of the pieces ahead that an occurrence begun in an earlier piece takes
    for (std::size_t p = 0; p < m_pieces.size(); ++p) {
        QByteArray& text = m_pieces[p].text;
        if (carried > 0) {
            const qsizetype taken = std::min(carried, text.size());
            text.remove(0, taken);
            carried -= taken;
            if (carried > 0)
                continue;
        }
        // Left to right: the occurrences inside this piece, then one that begins in its last bytes and
        // runs on into the pieces after it.
        QByteArray separated;
        bool replaced = false;
        qsizetype pos = 0;
        const qsizetype size = text.size();
        while (pos < size) {
            const qsizetype found = text.indexOf(from, pos);
            if (found >= 0) {
                separated.append(QByteArrayView(text).sliced(pos, found - pos)).append(to);
                pos = found + from.size();
                replaced = true;
                continue;
            }
            for (qsizetype at = std::max(pos, size - from.size() + 1); at < size; ++at) {
                if (occursFrom(p, at, from)) {
                    separated.append(QByteArrayView(text).sliced(pos, at - pos)).append(to);
                    carried = from.size() - (size - at);
                    pos = size;
                    replaced = true;
                    break;
                }
            }
            break;
        }
        if (!replaced)
            continue;
        if (pos < size)
            separated.append(QByteArrayView(text).sliced(pos));
        text = std::move(separated);
    }
}

// Whether bytes stand in the text from offset of piece on, running on into the pieces after it.
bool StagingText::occursFrom(std::size_t piece, qsizetype offset, QByteArrayView bytes) const {
    qsizetype matched = 0;
    for (std::size_t p = piece; p < m_pieces.size() && matched < bytes.size(); ++p, offset = 0) {
        const QByteArrayView text(m_pieces[p].text);
        const qsizetype length = std::min(text.size() - offset, bytes.size() - matched);
        if (text.sliced(offset, length) != bytes.sliced(matched, length))
            return false;
        matched += length;
    }
    return matched == bytes.size();
}

void StagingText::fit(std::int64_t headerRows) {
    joinBrokenLines();
    m_cuts.clear();
    m_cutRows.clear();
    m_rows = 0;
    m_widest = 0;
    for (Piece& piece : m_pieces) {
        cutCells(piece, m_rows);
        m_rows += piece.rows;
    }
    m_rowsPerPass = std::max<std::int64_t>(office::MaxRows - headerRows, 1);
    m_passEnds.clear();
    for (std::int64_t row = m_rowsPerPass; row < m_rows; row += m_rowsPerPass)
        m_passEnds.push_back(afterRow(row));
    m_passEnds.push_back(end());
}

// Each piece is made to hold whole lines, so that it can be counted and cut on its own: a piece that
// does not end with a line end (only when the separation took one) takes in the piece after it, and so
// does one that ends with the CR of a CR LF whose LF begins the next. Empty pieces hold no row.
void StagingText::joinBrokenLines() {
    std::vector<Piece> joined;
    joined.reserve(m_pieces.size());
    for (Piece& piece : m_pieces) {
        if (piece.text.isEmpty())
            continue;
        if (!joined.empty()) {
            const char tail = joined.back().text.back();
            if (!isLineEnd(tail) || (tail == '\r' && piece.text.front() == '\n')) {
                joined.back().text += piece.text;
                continue;
            }
        }
        joined.push_back(std::move(piece));
    }
    m_pieces = std::move(joined);
}

void StagingText::cutCells(Piece& piece, std::int64_t firstRow) {
    const char* data = piece.text.constData();
    const qsizetype size = piece.text.size();
    std::vector<std::pair<qsizetype, qsizetype>> removals; // byte ranges [from, to) to cut out
    std::int64_t row = 0, column = 0;
    qsizetype cellStart = 0;
    qsizetype rowCutAt = -1; // where the current line's cells stop fitting: the mark before the first too many
    // A cell holds no more UTF-16 units than bytes, so only a cell with more bytes than a cell's units
    // is walked character by character, to find where it stops fitting. The cells past the last column
    // go whole: theirs is no cut of their own.
    auto endCell = [&](qsizetype end) {
        if (rowCutAt >= 0 || end - cellStart <= office::MaxCellUnits)
            return;
        std::int64_t units = 0, characters = 0, kept = 0;
        qsizetype cutAt = -1;
        for (qsizetype pos = cellStart; pos < end;) {
            const auto byte = static_cast<unsigned char>(data[pos]);
            const qsizetype length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
            const int width = length == 4 ? 2 : 1; // a character past U+FFFF is a surrogate pair
            if (cutAt < 0 && units + width > office::MaxCellUnits) {
                cutAt = pos;
                kept = characters;
            }
            units += width;
            ++characters;
            pos = std::min(pos + length, end);
        }
        if (cutAt >= 0) {
            removals.emplace_back(cutAt, end);
            m_cuts.push_back({piece.path, firstRow + row + 1, column + 1, units, characters, kept});
        }
    };
    auto endRow = [&](qsizetype end) {
        endCell(end);
        m_widest = std::max(m_widest, std::min(column + 1, office::MaxColumns));
        if (rowCutAt >= 0) {
            removals.emplace_back(rowCutAt, end);
            m_cutRows.push_back({piece.path, firstRow + row + 1, column + 1});
        }
        rowCutAt = -1;
        ++row;
        column = 0;
    };
    // The text is UTF-8, where no byte of a character past ASCII is a line end or the SplitMark's
    // first byte (0xC2) but a character's first: the scan only stops at those.
    static constexpr std::array<bool, 256> Stops = [] {
        std::array<bool, 256> stops{};
        stops['\r'] = stops['\n'] = stops[0xC2] = true;
        return stops;
    }();
    qsizetype pos = 0;
    while (pos < size) {
        while (pos < size && !Stops[static_cast<unsigned char>(data[pos])])
            ++pos;
        if (pos == size)
            break;
        if (static_cast<unsigned char>(data[pos]) != 0xC2) {
            endRow(pos);
            pos = afterLineEnd(data, size, pos);
            cellStart = pos;
            continue;
        }
        if (pos + 1 < size && static_cast<unsigned char>(data[pos + 1]) == 0xB8) {
            endCell(pos); // the SplitMark
            if (++column == office::MaxColumns)
                rowCutAt = pos;
            pos += 2;
            cellStart = pos;
            continue;
        }
        ++pos;
    }
    if (size > 0 && !isLineEnd(data[size - 1]))
        endRow(size);
    piece.rows = row;
    if (removals.empty())
        return;
    removeRanges(piece.text, removals);
}

// The place right after the line end of row (from 1), which must not be the text's last row.
StagingText::Position StagingText::afterRow(std::int64_t row) const {
    std::int64_t before = 0; // rows of the pieces before
    for (std::size_t p = 0; p < m_pieces.size(); ++p) {
        const Piece& piece = m_pieces[p];
        if (before + piece.rows < row) {
            before += piece.rows;
            continue;
        }
        if (before + piece.rows == row)
            return {p + 1, 0}; // every piece but the last ends with a line end
        const char* data = piece.text.constData();
        const qsizetype size = piece.text.size();
        std::int64_t counted = before;
        for (qsizetype pos = 0; pos < size;) {
            if (!isLineEnd(data[pos])) {
                ++pos;
                continue;
            }
            pos = afterLineEnd(data, size, pos);
            if (++counted == row)
                return {p, pos};
        }
    }
    return end();
}

std::vector<QByteArrayView> StagingText::pass(int index) const {
    const Position from = index > 0 && index <= static_cast<int>(m_passEnds.size())
                              ? m_passEnds[static_cast<std::size_t>(index - 1)]
                              : Position{};
    const Position to = m_passEnds.empty() ? end() : m_passEnds.at(static_cast<std::size_t>(index));
    std::vector<QByteArrayView> views;
    for (std::size_t p = from.piece; p < m_pieces.size() && (p < to.piece || (p == to.piece && to.offset > 0)); ++p) {
        const QByteArray& text = m_pieces[p].text;
        const qsizetype begin = p == from.piece ? from.offset : 0;
        const qsizetype stop = p == to.piece ? to.offset : text.size();
        if (stop > begin)
            views.emplace_back(text.constData() + begin, stop - begin);
    }
    return views;
}

void StagingText::release(int index) {
    const Position to = m_passEnds.empty() ? end() : m_passEnds.at(static_cast<std::size_t>(index));
    qsizetype freed = 0;
    for (std::size_t p = 0; p < to.piece && p < m_pieces.size(); ++p) {
        freed += m_pieces[p].text.size();
        QByteArray().swap(m_pieces[p].text);
    }
#ifdef __GLIBC__
    // The pieces are small blocks among others on the heap, and the C library keeps what they held
    // for reuse. Nothing reuses it: the spreadsheet reads the pass back into one block of its own.
    // So a pass's worth of text is handed back to the system now, or the run would hold its text
    // twice by its last pass.
    if (freed >= ReleaseToSystem)
        malloc_trim(0);
#endif
}

} // namespace quorvane::import
