#pragma once

#include "import/ShapeTexts.h"
#include "office/PresentationServer.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <span>
#include <vector>

namespace quorvane::import {

// A column that says where a row came from, put before its text.
enum class Column { Path, File, Slide, Shape, Name, Kind, Hidden };

// One such column: the one definition that the option parser, the usage texts, the settings and the
// window's choices read.
struct LayoutColumn {
    QStringView name; // as --columns and the settings spell it
    Column column;
    QStringView help;    // what its cells hold
    QStringView caption; // its entry in the main window's menu, with the mnemonic marked by &
};

// Every column, in the order the usage text lists them.
std::span<const LayoutColumn> layoutColumns();
// The column of that name; nothing for a name that is none of them.
std::optional<Column> columnNamed(QStringView name);
// The name of a column.
QString columnName(Column column);
// "path, file, slide, shape, name, kind and hidden": the names for a message.
QString columnNamesInWords();

// How the presentations' text becomes rows and columns of the sheets. The default lays out nothing:
// the run takes each presentation's text as PresentationText gives it.
struct RowLayout {
    TextChoice choice;           // what is read besides the text frames; hidden slides left out or not
    std::vector<Column> columns; // before the text of each row, in this order

    // Whether the rows are laid out here, rather than taken as the presentation's text: then each
    // paragraph is a row of its own that repeats the columns, and the layout splits only the text.
    bool ownRows() const { return !columns.empty() || choice.beyondShapes(); }
};

// The row that starts a sheet with a header row: the names of columns, then "text" and "text 2",
// "text 3" … for the cells after them, as many names as cells (never fewer than the columns and
// "text", never more than a row holds). cells: those of the sheet's widest row.
QStringList headerRow(const std::vector<Column>& columns, std::int64_t cells);

// The text the import run takes from the presentation at path (ImportWindow::presentationText),
// staged (protectSplitMarks): without anything to lay out, all its shapes' text as PresentationText
// gives it; with only the hidden slides left out, the same without them; otherwise (ownRows) a row for
// every paragraph of every shape that gives text (a table: a row for each of its rows, a column for
// each cell, the cells' paragraphs joined by line breaks), led by the columns in order, its text split
// at separator (the run then splits nothing more). A line end in a path or a name shows as U+FFFD. A
// damaged file that gives part of its text throws PartialReadError carrying what survived, laid out
// the same; any other failure passes as PresentationText's.
QString laidOutText(office::PresentationServer& server, const QString& path, const RowLayout& layout,
                    const QString& separator);

} // namespace quorvane::import
