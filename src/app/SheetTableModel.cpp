#include "app/SheetTableModel.h"

#include "office/CellNames.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quorvane::app {

namespace {

// Line breaks inside a cell: a soft line break (vertical tab) as a slide's text holds it, and the
// line feeds and carriage returns of text from elsewhere.
bool isLineBreak(char c) {
    return c == '\v' || c == '\n' || c == '\r';
}

// The text with each line break (CR LF counting as one) replaced by lineBreak.
QString withLineBreaks(QString text, QChar lineBreak) {
    text.replace(u"\r\n"_s, u"\n"_s);
    for (QChar& c : text)
        if (c == u'\v' || c == u'\n' || c == u'\r')
            c = lineBreak;
    return text;
}

} // namespace

SheetTableModel::SheetTableModel(std::shared_ptr<office::Workbook> workbook, int sheetIndex, QObject* parent)
    : QAbstractTableModel(parent), m_workbook(std::move(workbook)), m_sheet(m_workbook->sheet(sheetIndex)) {
    const office::CellRect used = m_sheet.usedRange();
    // The grid starts at A1 and reaches the end of the used range; both limits fit an int.
    m_rows = static_cast<int>(used.bottom());
    m_columns = static_cast<int>(used.right());
}

int SheetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int SheetTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant SheetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const office::CellView cell = m_sheet.cell(index.row(), index.column());
    const auto text = [&cell] { return QString::fromUtf8(cell.text.data(), static_cast<qsizetype>(cell.text.size())); };
    switch (role) {
    case Qt::EditRole:
        return text();
    case Qt::DisplayRole:
        // A soft line break shows as one; the cell keeps its text.
        return withLineBreaks(text(), QChar::LineSeparator);
    case Qt::ToolTipRole: // the whole text, also of a cell that its column shows cut
        return withLineBreaks(text(), u'\n');
    case Qt::TextAlignmentRole:
        // Numbers stand to the right, text to the left, as in a spreadsheet.
        return QVariant::fromValue(
            Qt::Alignment(cell.number ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant SheetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return orientation == Qt::Horizontal ? office::columnLetters(section) : QString::number(section + 1);
}

std::vector<std::pair<int, int>> SheetTableModel::multiLineRows(int maxLines) const {
    std::vector<std::pair<int, int>> rows;
    for (int row = 0; row < m_rows; ++row) {
        int lines = 1;
        for (int column = 0; column < m_columns; ++column) {
            const std::string_view text = m_sheet.cell(row, column).text;
            int cellLines = 1;
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (isLineBreak(text[i]) && !(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
                    ++cellLines;
            }
            lines = std::max(lines, cellLines);
        }
        if (lines > 1)
            rows.emplace_back(row, std::min(lines, maxLines));
    }
    return rows;
}

QString SheetTableModel::tabSeparated(int top, int left, int bottom, int right,
                                      const std::function<bool(int, int)>& include) const {
    QString text;
    for (int row = top; row <= bottom; ++row) {
        if (row > top)
            text += u'\n';
        for (int column = left; column <= right; ++column) {
            if (column > left)
                text += u'\t';
            if (!include(row, column))
                continue;
            const office::CellView cell = m_sheet.cell(row, column);
            const QString value = QString::fromUtf8(cell.text.data(), static_cast<qsizetype>(cell.text.size()));
            const bool quoted = value.startsWith(u'"') || std::any_of(value.begin(), value.end(), [](QChar c) {
                                    return c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v';
                                });
            if (quoted)
                text += u'"' + withLineBreaks(value, u'\n').replace(u'"', u"\"\""_s) + u'"';
            else
                text += value;
        }
    }
    return text;
}

} // namespace quorvane::app
