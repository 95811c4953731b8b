#include "office/spreadsheet/DelimitedText.h"

#include "office/AutomationError.h"
#include "office/Utf8.h"

#include <QFile>

#include <array>
#include <cstring>
#include <limits>

using namespace Qt::StringLiterals;

namespace quorvane::office {

bool isPlainNumber(std::string_view text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        i = 1;
    const auto isDigit = [](char ch) { return ch >= '0' && ch <= '9'; };
    const std::size_t integerStart = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    const std::size_t integerDigits = i - integerStart;
    if (integerDigits == 0 || (integerDigits > 1 && text[integerStart] == '0'))
        return false;
    std::size_t fractionStart = i, fractionDigits = 0;
    if (i < text.size() && text[i] == '.') {
        fractionStart = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        fractionDigits = i - fractionStart;
        if (fractionDigits == 0 || text[i - 1] == '0')
            return false;
    }
    if (i != text.size())
        return false;
    const bool integerIsZero = integerDigits == 1 && text[integerStart] == '0';
    if (integerIsZero && fractionDigits == 0)
        return !negative; // "-0" comes back as "0"
    // Significant digits: from the first non-zero digit to the last digit written.
    std::size_t significant = integerIsZero ? 0 : integerDigits;
    if (integerIsZero) {
        std::size_t k = fractionStart;
        while (text[k] == '0')
            ++k;
        significant = fractionStart + fractionDigits - k;
    } else {
        significant += fractionDigits;
    }
    return significant <= 15;
}

namespace {

QString grouped(std::int64_t n) {
    return groupedNumber(n);
}

// Builds a block while scanning; the scanner reports cell and row ends.
class BlockBuilder {
public:
    explicit BlockBuilder(QString name) : m_block(std::make_shared<CellBlock>(QByteArray())), m_name(std::move(name)) {}

    void endCell(std::size_t start, std::size_t end, std::int64_t units, const char* data) {
        if (m_column >= MaxColumns)
            throw AutomationError(u"%1: line %2 has more than %3 columns; a worksheet holds at most %3 columns."_s.arg(
                m_name, grouped(m_rows + 1), grouped(MaxColumns)));
        if (units > MaxCellUnits)
            throw AutomationError(
                u"%1: the text of line %2, column %3 (cell %4) has %5 characters; a cell holds at most %6."_s.arg(
                    m_name, grouped(m_rows + 1), grouped(m_column + 1), cellName(m_rows, m_column), grouped(units),
                    grouped(MaxCellUnits)));
        const std::string_view text(data + start, end - start);
        const bool number =
            !text.empty() && (text[0] == '-' || (text[0] >= '0' && text[0] <= '9')) && isPlainNumber(text);
        m_block->addCell(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end - start), number);
        ++m_column;
    }
    void endRow() {
        if (m_rows >= MaxRows)
            throw AutomationError(u"%1: line %2 does not fit; a worksheet holds at most %3 rows."_s.arg(
                m_name, grouped(m_rows + 1), grouped(MaxRows)));
        m_block->endRow();
        ++m_rows;
        m_column = 0;
    }
    std::int64_t rows() const { return m_rows; }
    std::shared_ptr<CellBlock> finish(QByteArray text) {
        m_block->finish(std::move(text));
        return std::move(m_block);
    }

private:
    std::shared_ptr<CellBlock> m_block;
    QString m_name;
    std::int64_t m_rows = 0;
    std::int64_t m_column = 0;
};

} // namespace

namespace {

// One scan of a delimited text: cells and rows go to the builder as their ends are found. A column
// mark kept as text (when splitting at ColumnMark) is turned back into the mark, which rewrites the
// text in place behind the scan from the first one on.
class DelimitedScan {
public:
    DelimitedScan(QByteArray& text, char32_t delimiter, const QString& name)
        : m_text(text), m_data(text.constData()), m_size(static_cast<std::size_t>(text.size())), m_delimiter(delimiter),
          m_marksAsText(delimiter == ColumnMark), m_name(name), m_builder(name) {
        // The bytes the scan stops at: line ends, an ASCII delimiter, and every byte of a character
        // past ASCII (which is checked, and may be the delimiter or the mark kept as text). Runs of
        // the other bytes are text, passed over at once.
        for (unsigned byte = 0x80; byte < 0x100; ++byte)
            m_stops[byte] = true;
        m_stops['\r'] = m_stops['\n'] = true;
        if (delimiter < 0x80)
            m_stops[delimiter] = true;
    }

    // Scans the whole text; returns the length the text keeps.
    std::size_t run() {
        if (m_size >= 3 && std::memcmp(m_data, "\xEF\xBB\xBF", 3) == 0)
            m_pos = m_write = m_cellStart = 3;
        while (m_pos < m_size) {
            std::size_t next = m_pos;
            while (next < m_size && !m_stops[static_cast<unsigned char>(m_data[next])])
                ++next;
            keepBytes(next - m_pos);
            if (m_pos == m_size)
                break;
            const auto byte = static_cast<unsigned char>(m_data[m_pos]);
            if (byte == '\r' || byte == '\n') {
                const std::size_t end = (byte == '\r' && m_pos + 1 < m_size && m_data[m_pos + 1] == '\n') ? 2 : 1;
                endCell(end, false);
                m_builder.endRow();
                continue;
            }
            char32_t codePoint = byte;
            const int length = byte < 0x80 ? 1 : utf8Sequence({m_data + m_pos, m_size - m_pos}, codePoint);
            if (length == 0)
                throw invalid();
            if (codePoint == m_delimiter)
                endCell(static_cast<std::size_t>(length), true);
            else if (m_marksAsText && codePoint == ColumnMarkAsText)
                keepMark();
            else
                keepBytes(static_cast<std::size_t>(length));
        }
        // The last line needs no line end; a line end after it adds no empty row.
        if (m_cellStart < m_write || m_rowHasCells) {
            endCell(0, false);
            m_builder.endRow();
        }
        return m_write;
    }

    std::shared_ptr<CellBlock> finish(QByteArray text) { return m_builder.finish(std::move(text)); }

private:
    // Ends the current cell at a delimiter or line end of length bytes and steps past it.
    void endCell(std::size_t length, bool atDelimiter) {
        m_builder.endCell(m_cellStart, m_write, units(), m_data);
        m_pos += length;
        m_write += length;
        m_cellStart = m_write;
        m_rowHasCells = atDelimiter;
    }

    // The UTF-16 units of the current cell. A cell holds no more units than bytes, so only one with
    // more bytes than a cell's units is counted.
    std::int64_t units() const {
        const std::size_t bytes = m_write - m_cellStart;
        if (bytes <= static_cast<std::size_t>(MaxCellUnits))
            return static_cast<std::int64_t>(bytes);
        std::int64_t count = 0;
        for (std::size_t i = m_cellStart; i < m_write; ++i) {
            const auto byte = static_cast<unsigned char>(m_data[i]);
            // Every character's first byte counts one; one past U+FFFF, a surrogate pair, two.
            count += ((byte & 0xC0) != 0x80) + (byte >= 0xF0);
        }
        return count;
    }

    // Keeps the next length bytes of the current cell.
    void keepBytes(std::size_t length) {
        if (m_write != m_pos)
            std::memmove(m_text.data() + m_write, m_data + m_pos, length);
        m_pos += length;
        m_write += length;
    }

    // Keeps the column mark kept as text (three bytes) as the column mark (two).
    void keepMark() {
        if (m_write == m_pos) {
            // The first one: from here on the text moves. Writing needs the text to itself.
            m_data = m_text.data();
        }
        char* out = m_text.data();
        out[m_write] = '\xC2';
        out[m_write + 1] = '\xB8';
        m_write += 2;
        m_pos += 3;
    }

    AutomationError invalid() const {
        return AutomationError(u"%1: the file is not UTF-8 text (invalid byte sequence at byte %2, line %3)."_s.arg(
            m_name, grouped(static_cast<std::int64_t>(m_pos)), grouped(m_builder.rows() + 1)));
    }

    QByteArray& m_text;
    const char* m_data;
    std::size_t m_size;
    char32_t m_delimiter;
    bool m_marksAsText;
    const QString& m_name;
    BlockBuilder m_builder;
    std::array<bool, 256> m_stops{};
    std::size_t m_pos = 0;
    std::size_t m_write = 0; // where the byte at m_pos goes: behind it once a mark was rewritten
    std::size_t m_cellStart = 0;
    bool m_rowHasCells = false; // a delimiter was seen in the current line
};

} // namespace

std::shared_ptr<const CellBlock> parseDelimitedText(QByteArray text, char32_t delimiter, const QString& name) {
    if (static_cast<std::uint64_t>(text.size()) > std::numeric_limits<std::uint32_t>::max() / 2)
        throw AutomationError(u"%1: the file is larger than 2 GiB; it cannot be opened as one worksheet."_s.arg(name));
    DelimitedScan scan(text, delimiter, name);
    const std::size_t kept = scan.run();
    if (kept < static_cast<std::size_t>(text.size()))
        text.truncate(static_cast<qsizetype>(kept));
    return scan.finish(std::move(text));
}

std::shared_ptr<const CellBlock> readDelimitedText(const QString& path, char32_t delimiter) {
    const QString& name = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AutomationError(u"%1: the file cannot be opened: %2"_s.arg(name, file.errorString()));
    if (file.size() > static_cast<qint64>(std::numeric_limits<std::uint32_t>::max() / 2))
        throw AutomationError(u"%1: the file is larger than 2 GiB; it cannot be opened as one worksheet."_s.arg(name));
    QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw AutomationError(u"%1: the file cannot be read: %2"_s.arg(name, file.errorString()));
    return parseDelimitedText(std::move(text), delimiter, name);
}

} // namespace quorvane::office
