// The parts of the usage texts that the tables of the import layer make: the text kinds of
// --include, the columns of --columns and the modes of --split.
#include "cli/Commands.h"

#include "import/ImportOptions.h"
#include "import/RowLayout.h"
#include "import/TextKinds.h"

using namespace Qt::StringLiterals;

namespace quorvane::cli {

namespace {

// The usage texts' lines end before this column.
constexpr qsizetype Width = 98;
// Where an option's text starts, and where the entries of its list start.
constexpr qsizetype TextColumn = 28, EntryColumn = 30, EntryTextColumn = 40;

// text wrapped at spaces into lines of Width, the first starting at the column the line has reached
// already (start), the others indented to indent.
QString wrapped(const QString& text, qsizetype start, qsizetype indent) {
    QString out;
    qsizetype column = start;
    bool first = true;
    for (const QString& word : text.split(u' ')) {
        if (!first && column + 1 + word.size() > Width) {
            out += u'\n' + QString(indent, u' ');
            column = indent;
        } else if (!first) {
            out += u' ';
            ++column;
        }
        out += word;
        column += word.size();
        first = false;
    }
    return out + u'\n';
}

// One entry of an option's list: its name, then its text in a column of their own.
QString entry(QStringView name, QStringView text) {
    const QString lead = QString(EntryColumn, u' ') + name.toString().leftJustified(EntryTextColumn - EntryColumn - 1);
    return lead + u' ' + wrapped(text.toString(), EntryTextColumn, EntryTextColumn);
}

} // namespace

QString optionUsage(const QString& option, const QString& text) {
    QString lead = u"  "_s + option;
    if (lead.size() >= TextColumn)
        return lead + u'\n' + QString(TextColumn, u' ') + wrapped(text, TextColumn, TextColumn);
    return lead.leftJustified(TextColumn) + wrapped(text, TextColumn, TextColumn);
}

QString includeUsage() {
    QString usage =
        optionUsage(u"--include LIST"_s, u"read more than the slides' text shapes, a comma-separated list of:"_s);
    for (const import::TextKind& kind : import::textKinds()) {
        // A kind that not every format carries says which do.
        QStringList formats;
        if (kind.formats != import::EveryFormat) {
            if (kind.formats & import::OoxmlFormat)
                formats.append(u".pptx"_s);
            if (kind.formats & import::OpenDocumentFormat)
                formats.append(u".odp"_s);
            if (kind.formats & import::BinaryFormat)
                formats.append(u".ppt"_s);
        }
        usage += entry(kind.name, formats.isEmpty() ? kind.help.toString()
                                                    : kind.help.toString() + u" ("_s + formats.join(u", "_s) + u')');
    }
    return usage + QString(TextColumn, u' ') + u"e.g. --include notes,tables,groups,alt\n"_s;
}

QString columnsUsage() {
    QString usage = optionUsage(u"--columns LIST"_s, u"put columns saying where each row came from before its text, in "
                                                     u"the order given, a comma-separated list of:"_s);
    for (const import::LayoutColumn& column : import::layoutColumns())
        usage += entry(column.name, column.help);
    return usage + QString(TextColumn, u' ') + u"e.g. --columns file,slide,shape\n"_s;
}

QString splitUsage() {
    QStringList names;
    for (const import::SplitMode& mode : import::splitModes())
        names.append(mode.name.toString() +
                     (mode.option == import::OptionButton::Option1 ? u" (default)"_s : QString()));
    names.last() += u" (the text of --split-text)"_s;
    return optionUsage(u"--split MODE"_s, u"start a new column at every: "_s + import::listInWords(names, u"or"));
}

} // namespace quorvane::cli
