#include "office/spreadsheet/DelimitedText.h"

#include "office/AutomationError.h"

#include <QFile>

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

std::shared_ptr<const CellBlock> parseDelimitedText(QByteArray text, char32_t delimiter, const QString& name) {
    if (static_cast<std::uint64_t>(text.size()) > std::numeric_limits<std::uint32_t>::max() / 2)
        throw AutomationError(u"%1: the file is larger than 2 GiB; it cannot be opened as one worksheet."_s.arg(name));
    // A column mark kept as text turns back into the column mark (two bytes for three), so the text is
    // rewritten in place behind the scan; without one nothing moves.
    const bool marksAsText = delimiter == ColumnMark && text.contains("\xEF\xB7\x90");
    char* out = marksAsText ? text.data() : nullptr;
    const char* data = text.constData();
    const auto size = static_cast<std::size_t>(text.size());
    BlockBuilder builder(name);

    std::size_t pos = 0;
    if (size >= 3 && static_cast<unsigned char>(data[0]) == 0xEF && static_cast<unsigned char>(data[1]) == 0xBB &&
        static_cast<unsigned char>(data[2]) == 0xBF)
        pos = 3;
    std::size_t write = pos; // where the byte at pos goes: behind it once a mark was rewritten
    std::size_t cellStart = write;
    std::int64_t units = 0;   // UTF-16 units of the current cell
    bool rowHasCells = false; // a delimiter was seen in the current line
    const auto invalid = [&](std::size_t at) {
        return AutomationError(u"%1: the file is not UTF-8 text (invalid byte sequence at byte %2, line %3)."_s.arg(
            name, grouped(static_cast<std::int64_t>(at)), grouped(builder.rows() + 1)));
    };

    while (pos < size) {
        const auto byte = static_cast<unsigned char>(data[pos]);
        char32_t codePoint;
        std::size_t length;
        if (byte < 0x80) {
            if (byte == '\r' || byte == '\n') {
                builder.endCell(cellStart, write, units, data);
                builder.endRow();
                const std::size_t end = (byte == '\r' && pos + 1 < size && data[pos + 1] == '\n') ? 2 : 1;
                pos += end;
                write += end;
                cellStart = write;
                units = 0;
                rowHasCells = false;
                continue;
            }
            codePoint = byte;
            length = 1;
        } else {
            // Multi-byte sequence: validated strictly (no overlong forms, surrogates or values past U+10FFFF).
            std::uint32_t minimum;
            if ((byte & 0xE0) == 0xC0) {
                length = 2, codePoint = byte & 0x1F, minimum = 0x80;
            } else if ((byte & 0xF0) == 0xE0) {
                length = 3, codePoint = byte & 0x0F, minimum = 0x800;
            } else if ((byte & 0xF8) == 0xF0) {
                length = 4, codePoint = byte & 0x07, minimum = 0x10000;
            } else {
                throw invalid(pos);
            }
            if (pos + length > size)
                throw invalid(pos);
            for (std::size_t k = 1; k < length; ++k) {
                const auto next = static_cast<unsigned char>(data[pos + k]);
                if ((next & 0xC0) != 0x80)
                    throw invalid(pos);
                codePoint = (codePoint << 6) | (next & 0x3F);
            }
            if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
                throw invalid(pos);
        }
        if (codePoint == delimiter) {
            builder.endCell(cellStart, write, units, data);
            pos += length;
            write += length;
            cellStart = write;
            units = 0;
            rowHasCells = true;
            continue;
        }
        units += codePoint >= 0x10000 ? 2 : 1;
        if (out != nullptr && codePoint == ColumnMarkAsText) {
            out[write] = '\xC2';
            out[write + 1] = '\xB8';
            write += 2;
        } else {
            if (out != nullptr && write != pos)
                std::memmove(out + write, data + pos, length);
            write += length;
        }
        pos += length;
    }
    // The last line needs no line end; a line end after it adds no empty row.
    if (cellStart < write || rowHasCells) {
        builder.endCell(cellStart, write, units, data);
        builder.endRow();
    }
    if (out != nullptr)
        text.truncate(static_cast<qsizetype>(write));
    return builder.finish(std::move(text));
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
