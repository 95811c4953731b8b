#include "cli/CommandLineWindow.h"

#include "import/ColumnSeparation.h"
#include "office/LocalNames.h"

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace quorvane::cli {

namespace {

// The column separator that the split option stands for, "" for none.
QString separatorOf(const ImportRequest& request) {
    QString separator;
    switch (request.splitOption) {
    case import::OptionButton::Option2:
        separator = u" "_s;
        break;
    case import::OptionButton::Option3:
        separator = u","_s;
        break;
    case import::OptionButton::Option4:
        separator = request.splitText.value_or(QString());
        break;
    case import::OptionButton::Option7:
        separator = u"\t"_s;
        break;
    default:
        break;
    }
    return separator;
}

} // namespace

QString CommandLineWindow::entryText(int position) {
    if (position < 1 || position > m_files.size())
        throw std::out_of_range("Index out of bounds");
    m_position = position;
    return m_files.at(position - 1);
}

bool CommandLineWindow::optionChecked(import::OptionButton option) {
    using import::OptionButton;
    if (option == OptionButton::Option5 || option == OptionButton::Option6)
        return (option == OptionButton::Option6) == m_request.perFileSheets;
    // Rows laid out here are separated here, their text only: the run separates nothing more.
    if (m_request.ownRows())
        return option == OptionButton::Option1;
    return option == m_request.splitOption;
}

QString CommandLineWindow::presentationText(office::PresentationServer& server, const QString& path) {
    const Stopwatch stopwatch(readingSeconds);
    if (!m_request.ownRows() && !m_request.choice.skipHidden)
        return import::ImportWindow::presentationText(server, path);
    if (!m_request.ownRows())
        return shownSlidesText(server, path);
    return laidOutRows(server, path);
}

void CommandLineWindow::setProgressText(const QString& text) {
    if (text.startsWith(u"Processing: "))
        m_progress.show(text + u" (%1 of %2)"_s.arg(m_position).arg(m_files.size()));
    else
        m_progress.clear();
}

QString CommandLineWindow::laidOutRows(office::PresentationServer& server, const QString& path) const {
    const QString separator = separatorOf(m_request);
    const auto separated = [&](const QString& text) {
        return import::separateColumns(import::protectSplitMarks(text), separator);
    };
    const QString fileName = path.mid(path.lastIndexOf(u'/') + 1);
    QString rows;
    const auto layOut = [&](const import::ShapeText& shape) {
        const QString lead = leadOf(shape, path, fileName);
        if (shape.columns > 0) {
            for (int row = 0; row < shape.rows(); ++row) {
                rows += lead;
                for (int column = 0; column < shape.columns; ++column) {
                    if (column > 0)
                        rows += import::SplitMark;
                    QString cell = shape.cells[static_cast<size_t>(row * shape.columns + column)];
                    cell.replace(u"\r\n"_s, u"\v"_s);
                    cell.replace(u'\r', u'\v');
                    cell.replace(u'\n', u'\v');
                    rows += separated(cell);
                }
                rows += u"\r\n"_s;
            }
            return;
        }
        // Every row end the staging file knows (CR LF, LF, CR) starts a row that repeats the lead.
        const QStringList paragraphs =
            QString(shape.text).replace(u"\r\n"_s, u"\r"_s).replace(u'\n', u'\r').split(u'\r');
        for (const QString& paragraph : paragraphs)
            rows += lead + separated(paragraph) + u"\r\n"_s;
    };
    try {
        // Qualified in full: a statement that begins with "import" reads as a module import to the
        // formatter.
        quorvane::import::ForEachShapeText(server, path, m_request.choice, layOut);
    } catch (const office::PartialReadError& damaged) {
        // What survived of a damaged file goes in like any other text, with its report.
        throw office::PartialReadError(damaged.damage(), rows);
    }
    return rows;
}

QString CommandLineWindow::leadOf(const import::ShapeText& shape, const QString& path, const QString& fileName) const {
    QString lead;
    for (const QString& column : m_request.columns) {
        if (column == u"path")
            lead += asColumn(office::shownName(path));
        else if (column == u"file")
            lead += asColumn(office::shownName(fileName));
        else if (column == u"slide")
            lead += QString::number(shape.slide);
        else if (column == u"shape")
            lead += QString::number(shape.shape);
        else if (column == u"name")
            lead += asColumn(shape.name);
        else if (column == u"kind")
            lead += shape.kind;
        else if (column == u"hidden" && shape.hidden)
            lead += u"1"_s;
        lead += import::SplitMark;
    }
    return lead;
}

QString CommandLineWindow::shownSlidesText(office::PresentationServer& server, const QString& path) const {
    QString text;
    const auto take = [&](const import::ShapeText& shape) { text += shape.text + u"\r\n"_s; };
    try {
        quorvane::import::ForEachShapeText(server, path, m_request.choice, take);
    } catch (const office::PartialReadError& damaged) {
        throw office::PartialReadError(damaged.damage(), import::protectSplitMarks(text));
    }
    return import::protectSplitMarks(text);
}

QString CommandLineWindow::asColumn(QString value) {
    for (QChar& c : value)
        if (c == u'\r' || c == u'\n')
            c = QChar(QChar::ReplacementCharacter);
    return import::protectSplitMarks(value);
}

} // namespace quorvane::cli
