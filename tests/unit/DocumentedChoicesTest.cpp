// The manual page, the bash completion and the README list every text kind, column, split mode and
// output format of the program's tables, and nothing else: a new entry in a table fails here until
// the documents follow.
#include "import/ImportOptions.h"
#include "import/RowLayout.h"
#include "import/TextKinds.h"
#include "office/spreadsheet/OutputFormat.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;
using namespace quorvane;

namespace {

QString sourceFile(const QString& name) {
    QFile file(QStringLiteral(QUORVANE_SOURCE_DIR) + u'/' + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return QString::fromUtf8(file.readAll());
}

// The names of the "- *name*:" entries under the manual page's entry for option, up to the next option.
QStringList manualEntries(const QString& page, const QString& option) {
    // The entry of the option alone on its line, as OPTIONS describes it.
    const qsizetype start =
        page.indexOf(QRegularExpression(u"\n\\*"_s + QRegularExpression::escape(option) + u"\\* _[A-Z]+_\n"_s));
    if (start < 0)
        return {};
    const qsizetype end = page.indexOf(QRegularExpression(u"\n\\*-"_s), start + 1);
    QStringList names;
    const QRegularExpression entry(u"\n\t- \\*([a-z]+)\\*:"_s);
    for (const QRegularExpressionMatch& match : entry.globalMatch(page.mid(start, end - start)))
        names.append(match.captured(1));
    return names;
}

// The words the completion offers for option ("--include) _quorvane_cli_list "$2" notes tables ...").
QStringList completedWords(const QString& completion, const QString& option) {
    const QRegularExpression line(u"\n\\s*"_s + QRegularExpression::escape(option) +
                                  u"\\) _quorvane_cli_\\w+ \"\\$2\" ([^;]*);;"_s);
    const QRegularExpressionMatch match = line.match(completion);
    return match.hasMatch() ? match.captured(1).split(u' ', Qt::SkipEmptyParts) : QStringList();
}

template <typename Table> QStringList namesOf(const Table& table) {
    QStringList names;
    for (const auto& entry : table)
        names.append(entry.name.toString());
    return names;
}

} // namespace

TEST(DocumentedChoicesTest, ManualPageAndCompletionListEveryEntryOfTheTables) {
    const QString page = sourceFile(u"packaging/man/quorvane-cli.1.scd"_s);
    const QString completion = sourceFile(u"packaging/completion/quorvane-cli.bash"_s);
    const struct {
        QString option;
        QStringList names;
    } lists[] = {
        {u"--include"_s, namesOf(import::textKinds())},
        {u"--columns"_s, namesOf(import::layoutColumns())},
        {u"--split"_s, namesOf(import::splitModes())},
    };
    for (const auto& list : lists) {
        const std::string names = list.names.join(u' ').toStdString();
        EXPECT_EQ(manualEntries(page, list.option).join(u' ').toStdString(), names) << list.option.toStdString();
        EXPECT_EQ(completedWords(completion, list.option).join(u' ').toStdString(), names) << list.option.toStdString();
    }
    // The output file's completion offers every suffix the program writes.
    QStringList suffixes;
    for (const office::OutputFormatInfo& format : office::outputFormats())
        if (!suffixes.contains(format.suffix.toString()))
            suffixes.append(format.suffix.toString());
    EXPECT_TRUE(completion.contains(u"-o | --output) _quorvane_cli_files '"_s + suffixes.join(u'|') + u"' "_s));
}

TEST(DocumentedChoicesTest, TheReadmeNamesEveryTextKindAndColumn) {
    const QString readme = sourceFile(u"README.md"_s);
    for (const QString& name : namesOf(import::textKinds()) + namesOf(import::layoutColumns()))
        EXPECT_TRUE(readme.contains(u'`' + name + u'`')) << name.toStdString();
}
