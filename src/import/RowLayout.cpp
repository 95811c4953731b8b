#include "import/RowLayout.h"

#include "import/ColumnSeparation.h"
#include "import/ImportOptions.h"
#include "import/PresentationText.h"
#include "office/LocalNames.h"
#include "office/SpreadsheetServer.h"

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace quorvane::import {

namespace {

constexpr std::array Columns{
    LayoutColumn{u"path", Column::Path, u"the presentation's full path", u"Full &path"},
    LayoutColumn{u"file", Column::File, u"its file name", u"&File name"},
    LayoutColumn{u"slide", Column::Slide, u"the slide's number, from 1", u"&Slide number"},
    LayoutColumn{u"shape", Column::Shape, u"the shape's place on the slide, from 1, counting the shapes that give text",
                 u"Shape's pla&ce on the slide"},
    LayoutColumn{u"name", Column::Name, u"the shape's stored name", u"Shape's &name"},
    LayoutColumn{u"kind", Column::Kind, u"title, body, text, table, notes, group, smartart, chart, comment or alt",
                 u"&Kind of text"},
    LayoutColumn{u"hidden", Column::Hidden, u"1 for a slide hidden in the slide show", u"&Hidden slide (1)"},
};

// A path or a name as one cell: a row end in it would start another, and its column marks are text.
QString asColumn(QString value) {
    for (QChar& c : value)
        if (c == u'\r' || c == u'\n')
            c = QChar(QChar::ReplacementCharacter);
    return protectSplitMarks(value);
}

// Lays out the shapes of one presentation, each as it is handed over.
class Rows {
public:
    Rows(const RowLayout& layout, const QString& path, const QString& separator)
        : m_layout(layout), m_path(path), m_fileName(path.mid(path.lastIndexOf(u'/') + 1)), m_separator(separator) {}

    void add(const ShapeText& shape) {
        const QString lead = leadOf(shape);
        if (shape.columns > 0) {
            for (int row = 0; row < shape.rows(); ++row) {
                m_text += lead;
                for (int column = 0; column < shape.columns; ++column) {
                    if (column > 0)
                        m_text += SplitMark;
                    m_text += separated(cellOnOneLine(shape.cells[static_cast<size_t>(row * shape.columns + column)]));
                }
                m_text += u"\r\n"_s;
            }
            return;
        }
        // Every row end the staging file knows (CR LF, LF, CR) starts a row that repeats the lead.
        const QStringList paragraphs =
            QString(shape.text).replace(u"\r\n"_s, u"\r"_s).replace(u'\n', u'\r').split(u'\r');
        for (const QString& paragraph : paragraphs)
            m_text += lead + separated(paragraph) + u"\r\n"_s;
    }

    const QString& text() const { return m_text; }

private:
    QString separated(const QString& text) const { return separateColumns(protectSplitMarks(text), m_separator); }

    // The columns that lead each row of shape, each ended by a split mark.
    QString leadOf(const ShapeText& shape) const {
        QString lead;
        for (const Column column : m_layout.columns) {
            switch (column) {
            case Column::Path:
                lead += asColumn(office::shownName(m_path));
                break;
            case Column::File:
                lead += asColumn(office::shownName(m_fileName));
                break;
            case Column::Slide:
                lead += QString::number(shape.slide);
                break;
            case Column::Shape:
                lead += QString::number(shape.shape);
                break;
            case Column::Name:
                lead += asColumn(shape.name);
                break;
            case Column::Kind:
                lead += shape.kind;
                break;
            case Column::Hidden:
                if (shape.hidden)
                    lead += u"1"_s;
                break;
            }
            lead += SplitMark;
        }
        return lead;
    }

    const RowLayout& m_layout;
    const QString& m_path;
    const QString m_fileName;
    const QString& m_separator;
    QString m_text;
};

// Hands every shape of the presentation to take as ForEachShapeText does; a damaged file's
// PartialReadError leaves carrying text(), what was laid out of what survived.
template <typename Take, typename Text>
void readShapes(office::PresentationServer& server, const QString& path, const TextChoice& choice, Take&& take,
                Text&& text) {
    try {
        ForEachShapeText(server, path, choice, take);
    } catch (const office::PartialReadError& damaged) {
        throw office::PartialReadError(damaged.damage(), text());
    }
}

} // namespace

std::span<const LayoutColumn> layoutColumns() {
    return Columns;
}

std::optional<Column> columnNamed(QStringView name) {
    const auto found =
        std::find_if(Columns.begin(), Columns.end(), [&](const LayoutColumn& c) { return c.name == name; });
    return found == Columns.end() ? std::nullopt : std::optional(found->column);
}

QString columnName(Column column) {
    const auto found =
        std::find_if(Columns.begin(), Columns.end(), [&](const LayoutColumn& c) { return c.column == column; });
    return found->name.toString();
}

QString columnNamesInWords() {
    QStringList names;
    for (const LayoutColumn& column : Columns)
        names.append(column.name.toString());
    return listInWords(names, u"and");
}

QStringList headerRow(const std::vector<Column>& columns, std::int64_t cells) {
    QStringList names;
    for (const Column column : columns)
        names.append(columnName(column));
    const auto width = std::clamp<std::int64_t>(cells, static_cast<std::int64_t>(names.size()) + 1, office::MaxColumns);
    names.append(u"text"_s);
    for (std::int64_t n = 2; names.size() < width; ++n)
        names.append(u"text %1"_s.arg(n));
    return names;
}

QString laidOutText(office::PresentationServer& server, const QString& path, const RowLayout& layout,
                    const QString& separator) {
    if (layout.ownRows()) {
        TextChoice choice = layout.choice;
        choice.markHidden = choice.markHidden || std::find(layout.columns.begin(), layout.columns.end(),
                                                           Column::Hidden) != layout.columns.end();
        Rows rows(layout, path, separator);
        readShapes(server, path, choice, [&](const ShapeText& shape) { rows.add(shape); }, [&] { return rows.text(); });
        return rows.text();
    }
    if (layout.choice.skipHidden) {
        // The text frames' text without the hidden slides: the run separates it as usual.
        QString text;
        readShapes(
            server, path, layout.choice, [&](const ShapeText& shape) { text += shape.text + u"\r\n"_s; },
            [&] { return protectSplitMarks(text); });
        return protectSplitMarks(text);
    }
    try {
        return protectSplitMarks(PresentationText(server, path));
    } catch (const office::PartialReadError& damaged) {
        throw office::PartialReadError(damaged.damage(), protectSplitMarks(damaged.text()));
    }
}

} // namespace quorvane::import
