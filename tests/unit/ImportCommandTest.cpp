// quorvane-cli import: real presentations through the real presentation server and spreadsheet
// engine, the workbook read back with an independent reader.
#include "WorkbookReaders.h"

#include "cli/Commands.h"
#include "import/ColumnSeparation.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "support/PackageBuilder.h"
#include "support/Streams.h"
#include "support/TestTools.h"

#include <gtest/gtest.h>

#include <optional>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <regex>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace quorvane;

namespace {

const QString Fixtures = QStringLiteral(QUORVANE_TEST_DATA "/pptx");
const QString Deck = Fixtures + u"/pptxgenjs-deck.pptx"_s;    // 10 lines, the 9th holds a SplitMark
const QString Impress = Fixtures + u"/impress-shapes.pptx"_s; // 13 lines

class ImportCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(staging.isValid());
        m_temp.emplace(QFile::encodeName(staging.path()));
    }
    void TearDown() override {
        m_temp.reset();
        // No staging file outlives a run.
        EXPECT_TRUE(QDir(staging.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }

    // Runs "quorvane-cli import ARGUMENTS"; fills out and err, returns the exit status.
    int import(const QStringList& arguments) { return test::runCommand(cli::runImport, arguments, out, err); }
    QString output(const QString& name) const { return work.filePath(name); }

    // The text of a cell of a sheet read back ("" for an empty cell).
    static QString cell(const QJsonArray& book, int sheet, const QString& reference) {
        return book.at(sheet).toObject().value(u"cells"_s).toObject().value(reference).toArray().at(1).toString();
    }
    static QString sheetName(const QJsonArray& book, int sheet) {
        return book.at(sheet).toObject().value(u"name"_s).toString();
    }

    QTemporaryDir staging;
    QTemporaryDir work;
    std::string out;
    std::string err;

private:
    std::optional<test::TempVariable> m_temp;
};

TEST_F(ImportCommandTest, OneSheetHoldsEveryLineOfEveryFileInOrder) {
    ASSERT_EQ(import({Deck, Impress, u"-o"_s, output(u"all.xlsx"_s)}), 0) << err;
    EXPECT_EQ(err, "");
    const QJsonArray book = test::readXlsx(output(u"all.xlsx"_s));
    ASSERT_EQ(book.size(), 1);
    EXPECT_EQ(sheetName(book, 0), u"Sheet1");
    EXPECT_EQ(cell(book, 0, u"A1"_s), u"Agenda");
    EXPECT_EQ(cell(book, 0, u"A2"_s), QString());      // an empty text frame is an empty line
    EXPECT_EQ(cell(book, 0, u"A3"_s), u"First point"); // paragraphs become rows
    // A line break of the slide's is the spreadsheet's own (LF), in a cell that wraps.
    EXPECT_EQ(cell(book, 0, u"A6"_s), u"Before the break\nafter the break");
    EXPECT_TRUE(book.at(0).toObject().value(u"wrapped"_s).toArray().contains(u"A6"_s));
    // The column is as wide as its longest line, the longer lines of the second file's cells included.
    EXPECT_GT(book.at(0).toObject().value(u"widths"_s).toObject().value(u"A"_s).toDouble(), 16.0);
    EXPECT_EQ(cell(book, 0, u"A7"_s), u"Qty\t12\tunits");
    // The column mark in the slide text is text: it splits nothing.
    EXPECT_EQ(cell(book, 0, u"A9"_s), u"a\u00B8b _x0041_ stays");
    EXPECT_EQ(cell(book, 0, u"B9"_s), QString());
    // The second presentation starts on the row after the first one's last line.
    EXPECT_EQ(cell(book, 0, u"A10"_s), u"Below the table");
    EXPECT_EQ(cell(book, 0, u"A11"_s), u"Quarterly review");
    EXPECT_EQ(cell(book, 0, u"A23"_s), u"Slide <number> is hidden");
}

TEST_F(ImportCommandTest, ProtectedFilesOfEveryFormatAreImportedWithThePasswordFile) {
    const QString data = QStringLiteral(QUORVANE_TEST_DATA "/protected/");
    const QString passwords = work.filePath(u"passwords.txt"_s);
    QFile file(passwords);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("hello\nodp-secret\nstandard\nZebra-7 \xC3\x9Cn\xC3\xAF"
               "code\n");
    file.close();
    ASSERT_EQ(import({u"--password-file"_s, passwords, data + u"agile.pptx"_s, data + u"standard.pptx"_s,
                      data + u"deck.odp"_s, data + u"Password_Protected-hello.ppt"_s, u"--per-file-sheets"_s, u"-o"_s,
                      output(u"protected.xlsx"_s)}),
              0)
        << err;
    const QJsonArray book = test::readXlsx(output(u"protected.xlsx"_s));
    ASSERT_EQ(book.size(), 5);
    EXPECT_EQ(cell(book, 1, u"A1"_s), u"Agenda");
    EXPECT_EQ(cell(book, 2, u"A1"_s), u"Agenda");
    EXPECT_EQ(cell(book, 3, u"A1"_s), u"Plans for next year");
    EXPECT_EQ(cell(book, 4, u"A1"_s), u"This is a protected document");
}

TEST_F(ImportCommandTest, PerFileSheetsAreNamedAfterTheFilesWithDigitsForTheSameName) {
    // The same file under one name in two folders, then another file.
    QDir(work.path()).mkpath(u"again"_s);
    const QString copy = work.filePath(u"again/pptxgenjs-deck.pptx"_s);
    ASSERT_TRUE(QFile::copy(Deck, copy));
    ASSERT_EQ(import({u"--per-file-sheets"_s, u"--split=space"_s, Deck, copy, Impress, u"-o"_s, output(u"per.xlsx"_s)}),
              0)
        << err;
    const QJsonArray book = test::readXlsx(output(u"per.xlsx"_s));
    ASSERT_EQ(book.size(), 4);
    EXPECT_EQ(sheetName(book, 0), u"Sheet1"); // the new workbook's own sheet stays, empty
    EXPECT_TRUE(book.at(0).toObject().value(u"cells"_s).toObject().isEmpty());
    EXPECT_EQ(sheetName(book, 1), u"pptxgenjsdeckpptx");
    EXPECT_TRUE(QRegularExpression(u"^pptxgenjsdeckpptx[1-9][0-9]{0,3}$"_s).match(sheetName(book, 2)).hasMatch())
        << sheetName(book, 2).toStdString();
    EXPECT_EQ(sheetName(book, 3), u"impressshapespptx");
    // Split at every space, each file on its own sheet from A1.
    EXPECT_EQ(cell(book, 1, u"A3"_s), u"First");
    EXPECT_EQ(cell(book, 1, u"B3"_s), u"point");
    EXPECT_EQ(cell(book, 2, u"B3"_s), u"point");
    EXPECT_EQ(cell(book, 3, u"A1"_s), u"Quarterly");
    EXPECT_EQ(cell(book, 3, u"B1"_s), u"review");

    // The same name of 40 characters in two folders: two sheets named from it, distinct within 30
    // characters, and nothing to report.
    const QString name = u"Quarterly results of the northern a.pptx"_s;
    ASSERT_EQ(name.size(), 40);
    for (const QString& folder : {u"one"_s, u"two"_s}) {
        QDir(work.path()).mkpath(folder);
        ASSERT_TRUE(QFile::copy(Deck, work.filePath(folder + u'/' + name)));
    }
    ASSERT_EQ(import({u"--per-file-sheets"_s, work.filePath(u"one/"_s + name), work.filePath(u"two/"_s + name), u"-o"_s,
                      output(u"long.xlsx"_s)}),
              0)
        << err;
    EXPECT_EQ(err, "");
    const QJsonArray longNames = test::readXlsx(output(u"long.xlsx"_s));
    ASSERT_EQ(longNames.size(), 3);
    EXPECT_EQ(sheetName(longNames, 1), u"Quarterly results of the north"_s);
    EXPECT_TRUE(QRegularExpression(u"^Quarterly results of the n[a-z ]{0,3}[1-9][0-9]{0,3}$"_s)
                    .match(sheetName(longNames, 2))
                    .hasMatch())
        << sheetName(longNames, 2).toStdString();
    EXPECT_EQ(sheetName(longNames, 2).size(), 30);
    EXPECT_EQ(cell(longNames, 2, u"A1"_s), u"Agenda");
}

TEST_F(ImportCommandTest, CsvTakesTheOneSheetWithTheChosenSplit) {
    ASSERT_EQ(import({u"--split"_s, u"text"_s, u"--split-text"_s, u" point"_s, Deck, u"-o"_s, output(u"deck.csv"_s)}),
              0)
        << err;
    QFile csv(output(u"deck.csv"_s));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().split('\n');
    ASSERT_GE(rows.size(), 5);
    // For spreadsheet programs: a byte-order mark. "First point" split at " point" gives two cells, the
    // second empty, so the sheet is one column wide.
    EXPECT_EQ(rows[0], "\xEF\xBB\xBF"
                       "Agenda\r");
    EXPECT_EQ(rows[2], "First\r");
    EXPECT_EQ(rows[4], "Third\r");
    // --csv exact: the text as it is.
    ASSERT_EQ(import({u"--csv"_s, u"exact"_s, Deck, u"-o"_s, output(u"exact.csv"_s)}), 0) << err;
    QFile exact(output(u"exact.csv"_s));
    ASSERT_TRUE(exact.open(QIODevice::ReadOnly));
    EXPECT_TRUE(exact.readAll().startsWith("Agenda\r\n"));
}

TEST_F(ImportCommandTest, RowsBeyondOneSheetAreAllInTheCsvInOrderAndAreNoFailure) {
    // A sheet's worth of rows (1,048,576 lines of one text box), then one more file.
    QString lines;
    for (int n = 1; n <= 1'048'576; ++n)
        lines += QString::number(n) + (n < 1'048'576 ? u"\n"_s : QString());
    const QString full = test::writeTextDeck(work.filePath(u"full.pptx"_s), {lines});
    const QString next = test::writeTextDeck(work.filePath(u"next.pptx"_s), {u"next"_s});
    ASSERT_EQ(import({u"--csv"_s, u"exact"_s, full, next, u"-o"_s, output(u"all.csv"_s)}), 0) << err;
    EXPECT_NE(err.find("The rows from 1,048,577 on continue on the sheet \"Sheet2\"."), std::string::npos) << err;
    QFile csv(output(u"all.csv"_s));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray all = csv.readAll();
    EXPECT_EQ(all.count("\r\n"), 1'048'577);
    EXPECT_TRUE(all.startsWith("1\r\n2\r\n"));
    EXPECT_TRUE(all.endsWith("1048575\r\n1048576\r\nnext\r\n"));
}

// The sheets as a reader gives them, without the columns' widths (an .ods reader gives none).
QJsonArray withoutWidths(QJsonArray book) {
    for (QJsonValueRef sheet : book) {
        QJsonObject object = sheet.toObject();
        object.remove(u"widths"_s);
        sheet = object;
    }
    return book;
}

TEST_F(ImportCommandTest, AnOdsHoldsTheCellsAndSheetsOfTheXlsxInBothSheetModes) {
    // Files named in other scripts, rows with numbers, line breaks, tables and a header row.
    const QString paulo = work.filePath(u"São Paulo.pptx"_s), meeting = work.filePath(u"会議資料.pptx"_s),
                  report = work.filePath(u"Отчёт за квартал.pptx"_s);
    ASSERT_TRUE(QFile::copy(Deck, paulo) && QFile::copy(Impress, meeting) &&
                QFile::copy(QStringLiteral(QUORVANE_TEST_DATA "/extras/extras.ppt"), report));
    for (const bool perFile : {false, true}) {
        SCOPED_TRACE(perFile);
        QStringList arguments{u"--columns"_s,
                              u"file,slide,kind"_s,
                              u"--header"_s,
                              u"--include=tables,notes"_s,
                              u"--split=space"_s,
                              paulo,
                              meeting,
                              report};
        if (perFile)
            arguments << u"--per-file-sheets"_s;
        ASSERT_EQ(import(arguments + QStringList{u"-o"_s, output(u"book.xlsx"_s)}), 0) << err;
        ASSERT_EQ(import(arguments + QStringList{u"-o"_s, output(u"book.ods"_s)}), 0) << err;
        const QJsonArray xlsx = withoutWidths(test::readXlsx(output(u"book.xlsx"_s)));
        ASSERT_EQ(xlsx.size(), perFile ? 4 : 1);
        EXPECT_EQ(test::readOds(output(u"book.ods"_s)), xlsx);
        if (perFile) {
            EXPECT_EQ((QStringList{sheetName(xlsx, 1), sheetName(xlsx, 2), sheetName(xlsx, 3)}),
                      (QStringList{u"São Paulopptx"_s, u"会議資料pptx"_s, u"Отчёт за кварталpptx"_s}));
        }
    }
}

TEST_F(ImportCommandTest, LibreOfficeReadsTheOdsAsTheXlsxInBothSheetModes) {
    if (!test::haveCalc())
        GTEST_SKIP() << "LibreOffice Calc (soffice) is not installed";
    for (const bool perFile : {false, true}) {
        SCOPED_TRACE(perFile);
        QStringList arguments{u"--columns"_s, u"slide,kind"_s, u"--include=tables"_s, Deck, Impress};
        if (perFile)
            arguments << u"--per-file-sheets"_s;
        ASSERT_EQ(import(arguments + QStringList{u"-o"_s, output(u"book.xlsx"_s)}), 0) << err;
        ASSERT_EQ(import(arguments + QStringList{u"-o"_s, output(u"book.ods"_s)}), 0) << err;
        QDir(work.path()).mkpath(u"calc"_s);
        // Without a view (headless) Calc saves no sheet as the one shown: that is left out.
        const auto cellsOf = [](const QJsonArray& book) {
            QJsonArray sheets;
            for (const QJsonValue& sheet : book)
                sheets.append(QJsonArray{sheet[u"name"_s], sheet[u"cells"_s], sheet[u"wrapped"_s]});
            return sheets;
        };
        EXPECT_EQ(cellsOf(test::readWithCalc(output(u"book.ods"_s), work.filePath(u"calc"_s))),
                  cellsOf(test::readXlsx(output(u"book.xlsx"_s))));
    }
}

TEST_F(ImportCommandTest, AHeaderRowNamesTheColumnsOfEachSheet) {
    ASSERT_EQ(import({u"--columns"_s, u"file,slide,kind"_s, u"--header"_s, u"--csv"_s, u"exact"_s, Deck, u"-o"_s,
                      output(u"rows.csv"_s)}),
              0)
        << err;
    QFile csv(output(u"rows.csv"_s));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(csv.readAll().startsWith("file,slide,kind,text\r\npptxgenjs-deck.pptx,1,"));
    // Without columns, a split's further cells are named too, each sheet as wide as its own widest row.
    ASSERT_EQ(import({u"--header"_s, u"--split=space"_s, u"--per-file-sheets"_s, Deck, Impress, u"-o"_s,
                      output(u"split.xlsx"_s)}),
              0)
        << err;
    const QJsonArray book = test::readXlsx(output(u"split.xlsx"_s));
    ASSERT_EQ(book.size(), 3);
    for (const int sheet : {1, 2}) {
        const QJsonObject cells = book.at(sheet).toObject().value(u"cells"_s).toObject();
        int widest = 0;
        for (auto it = cells.begin(); it != cells.end(); ++it)
            widest = std::max(widest, static_cast<int>(it.key().front().unicode() - u'A') + 1);
        EXPECT_EQ(cell(book, sheet, u"A1"_s), u"text"_s);
        EXPECT_EQ(cell(book, sheet, QChar(u'A' + widest - 1) + u"1"_s), u"text %1"_s.arg(widest));
    }
}

TEST_F(ImportCommandTest, RowsBeyondOneSheetGoOnInTheOdsAsInTheXlsx) {
    QString lines;
    for (int n = 1; n <= 1'048'576; ++n)
        lines += QString::number(n) + (n < 1'048'576 ? u"\n"_s : QString());
    const QString full = test::writeTextDeck(work.filePath(u"full.pptx"_s), {lines});
    const QString next = test::writeTextDeck(work.filePath(u"next.pptx"_s), {u"next"_s, u"last"_s});
    ASSERT_EQ(import({full, next, u"-o"_s, output(u"all.xlsx"_s)}), 0) << err;
    ASSERT_EQ(import({full, next, u"-o"_s, output(u"all.ods"_s)}), 0) << err;
    const QJsonArray xlsx = test::summarizeSheets(output(u"all.xlsx"_s));
    ASSERT_EQ(xlsx.size(), 2);
    EXPECT_EQ(xlsx.at(0).toObject().value(u"filled"_s).toInt(), 1'048'576);
    EXPECT_EQ(xlsx.at(1).toObject().value(u"last"_s).toString(), u"last"_s);
    EXPECT_EQ(test::summarizeSheets(output(u"all.ods"_s)), xlsx);
}

// Each --split mode splits one line at its own character and at no other.
struct SplitMode {
    const char* mode;
    QStringList cells; // row 1 of the workbook, from A1
};
void PrintTo(const SplitMode& split, std::ostream* out) {
    *out << "--split " << split.mode;
}

class ImportSplitModeTest : public ImportCommandTest, public ::testing::WithParamInterface<SplitMode> {};

TEST_P(ImportSplitModeTest, SplitsAtItsOwnCharacterOnly) {
    const QString deck = test::writeTextDeck(work.filePath(u"mixed.pptx"_s), {u"a,b\tc d"_s});
    ASSERT_EQ(import({u"--split"_s, QString::fromUtf8(GetParam().mode), deck, u"-o"_s, output(u"split.xlsx"_s)}), 0)
        << err;
    const QJsonArray book = test::readXlsx(output(u"split.xlsx"_s));
    ASSERT_EQ(book.size(), 1);
    const QJsonObject cells = book.at(0).toObject().value(u"cells"_s).toObject();
    QStringList row;
    for (const QString& column : {u"A"_s, u"B"_s, u"C"_s, u"D"_s})
        if (cells.contains(column + u"1"_s))
            row.append(cell(book, 0, column + u"1"_s));
    EXPECT_EQ(row, GetParam().cells);
    EXPECT_EQ(cells.size(), GetParam().cells.size());
}

INSTANTIATE_TEST_SUITE_P(Modes, ImportSplitModeTest,
                         ::testing::Values(SplitMode{"none", {u"a,b\tc d"_s}},
                                           SplitMode{"comma", {u"a"_s, u"b\tc d"_s}},
                                           SplitMode{"tab", {u"a,b"_s, u"c d"_s}}),
                         [](const ::testing::TestParamInfo<SplitMode>& param) {
                             return std::string(param.param.mode);
                         });

TEST_F(ImportCommandTest, EveryFailureIsALineAndTheRestIsStillImported) {
    const QString missing = work.filePath(u"missing.pptx"_s);
    const QString notDeck = work.filePath(u"notes.pptx"_s);
    QFile junk(notDeck);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a presentation");
    junk.close();

    EXPECT_EQ(import({Deck, missing, notDeck, Impress, u"-o"_s, output(u"some.xlsx"_s)}), 1);
    // A line per failure at the presentation-text step, the presentation first; then the count.
    const QStringList lines = QString::fromStdString(err).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << err;
    EXPECT_TRUE(lines[0].startsWith(u"quorvane-cli: "_s + missing + u": cannot open the file: "_s)) << err;
    EXPECT_TRUE(lines[0].endsWith(u" (statement 120)"_s)) << err;
    EXPECT_EQ(lines[1],
              u"quorvane-cli: "_s + notDeck + u": not a presentation file (not a zip archive) (statement 120)"_s);
    EXPECT_EQ(lines[2], u"quorvane-cli: 2 of 4 presentations failed or were read only in part."_s);
    // The readable files are there, one after the other; the failed ones add nothing.
    const QJsonArray book = test::readXlsx(output(u"some.xlsx"_s));
    ASSERT_EQ(book.size(), 1);
    EXPECT_EQ(cell(book, 0, u"A10"_s), u"Below the table");
    EXPECT_EQ(cell(book, 0, u"A11"_s), u"Quarterly review");

    // --failures-sheet: the same cells, and a last sheet with a row per failure, which the workbook
    // opens on.
    EXPECT_EQ(import({u"--failures-sheet"_s, Deck, missing, notDeck, Impress, u"-o"_s, output(u"listed.xlsx"_s)}), 1);
    const QJsonArray listed = test::readXlsx(output(u"listed.xlsx"_s));
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(listed.at(0).toObject().value(u"cells"_s), book.at(0).toObject().value(u"cells"_s));
    EXPECT_EQ(sheetName(listed, 1), u"Failures");
    EXPECT_TRUE(listed.at(1).toObject().value(u"active"_s).toBool());
    const QJsonObject failures = listed.at(1).toObject().value(u"cells"_s).toObject();
    EXPECT_EQ(failures.size(), 6);
    EXPECT_EQ(cell(listed, 1, u"A1"_s), missing);
    EXPECT_EQ(failures.value(u"B1"_s).toArray(), (QJsonArray{u"int"_s, 120}));
    EXPECT_EQ(cell(listed, 1, u"A2"_s), notDeck);
    EXPECT_EQ(cell(listed, 1, u"C2"_s), u"not a presentation file (not a zip archive)");
    EXPECT_NE(err.find("The sheet \"Failures\" at the end of the workbook lists every failure: 2 in all."),
              std::string::npos)
        << err;
}

TEST_F(ImportCommandTest, ADamagedFileIsReportedAndWhatSurvivedIsImportedWithItsColumns) {
    // Cut inside slide 4's part: slides 1 to 3 survive (slide 3 holds no text).
    QFile original(Impress);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QString cut = work.filePath(u"cut.pptx"_s);
    QFile copy(cut);
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.write(original.readAll().left(22000));
    copy.close();

    EXPECT_EQ(import({u"--columns"_s, u"slide"_s, cut, u"-o"_s, output(u"cut.csv"_s)}), 1);
    const QString text = QString::fromStdString(err);
    EXPECT_TRUE(text.startsWith(u"quorvane-cli: "_s + cut +
                                u": damaged (cut short in ppt/slides/slide4.xml): 3 of 5 slides read; slides "
                                u"4\u20135 are lost (statement 120)\n"_s))
        << err;
    QFile csv(output(u"cut.csv"_s));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    QStringList slides;
    for (const QByteArray& row : csv.readAll().split('\n'))
        if (row.contains(','))
            slides << QString::fromUtf8(row.left(row.indexOf(','))).remove(QChar(0xFEFF));
    slides.removeDuplicates();
    EXPECT_EQ(slides, (QStringList{u"1"_s, u"2"_s}));
}

TEST_F(ImportCommandTest, ProgressLineOnlyOnATerminal) {
    // Standard error on a pseudo-terminal: the progress line is drawn over itself and cleared.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        GTEST_SKIP() << "no pseudo-terminals on this machine";
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    std::FILE* terminal = std::fopen(::ptsname(master), "w");
    ASSERT_NE(terminal, nullptr);
    std::FILE* outStream = std::tmpfile();
    EXPECT_EQ(cli::runImport({Deck, Impress, u"-o"_s, output(u"t.xlsx"_s)}, outStream, terminal), 0);
    std::fclose(terminal);
    std::fclose(outStream);
    std::string shown;
    char chunk[4096];
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    for (ssize_t got = 0; (got = ::read(master, chunk, sizeof chunk)) > 0;)
        shown.append(chunk, static_cast<size_t>(got));
    ::close(master);
    EXPECT_NE(shown.find("\r\x1b[KProcessing: pptxgenjs-deck.pptx (1 of 2)"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r\x1b[KProcessing: impress-shapes.pptx (2 of 2)\r\x1b[K"), std::string::npos) << shown;

    // Not a terminal: nothing but reports.
    EXPECT_EQ(import({Deck, u"-o"_s, output(u"t.xlsx"_s)}), 0);
    EXPECT_EQ(err, "");
}

TEST_F(ImportCommandTest, BadArgumentsExplainAndTouchNothing) {
    const QString target = output(u"x.xlsx"_s);
    struct Case {
        QStringList arguments;
        const char* message;
    };
    const std::vector<Case> cases{
        {{Deck}, "no output file given"},
        {{u"-o"_s, target}, "no presentation given"},
        {{Deck, u"-o"_s, output(u"x.txt"_s)}, "must end in .xlsx, .ods or .csv"},
        {{u"--per-file-sheets"_s, Deck, u"-o"_s, output(u"x.csv"_s)}, "a .csv file holds one sheet"},
        {{u"--failures-sheet"_s, Deck, u"-o"_s, output(u"x.csv"_s)}, "use .xlsx or .ods with --failures-sheet"},
        {{u"--split"_s, u"semicolon"_s, Deck, u"-o"_s, target}, "--split takes none, space, comma, tab or text"},
        {{u"--split"_s, u"text"_s, Deck, u"-o"_s, target}, "--split text needs --split-text TEXT"},
        {{u"--split-text"_s, u"x"_s, Deck, u"-o"_s, target}, "--split-text goes with --split text"},
        {{u"--csv"_s, u"excel"_s, Deck, u"-o"_s, target}, "--csv takes spreadsheets or exact"},
        {{u"--sheets"_s, Deck, u"-o"_s, target}, "unknown option '--sheets'"},
        {{Deck, u"-o"_s}, "-o needs a file name"},
        {{u"--jobs"_s, u"0"_s, Deck, u"-o"_s, target}, "--jobs takes a number of presentations read at a time, from 1"},
        {{u"--jobs=all"_s, Deck, u"-o"_s, target}, "--jobs takes a number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(import(c.arguments), 2);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_NE(err.find("Try 'quorvane-cli import --help'."), std::string::npos);
    }
    EXPECT_TRUE(QDir(work.path()).isEmpty());

    EXPECT_EQ(import({u"--help"_s}), 0);
    EXPECT_NE(out.find("Usage: quorvane-cli import [OPTIONS] FILE... -o OUT"), std::string::npos);
    EXPECT_EQ(err, "");
}

TEST_F(ImportCommandTest, TimingsTellWhereTheTimeWent) {
    EXPECT_EQ(import({u"-j"_s, u"3"_s, u"--timings"_s, Deck, Deck, u"-o"_s, output(u"t.xlsx"_s)}), 0);
    const std::regex line("quorvane-cli import: [0-9.]+ s reading the presentations, [0-9.]+ s in the spreadsheet "
                          "passes, [0-9.]+ s saving \\(3 at a time\\)\n");
    EXPECT_TRUE(std::regex_match(err, line)) << err;
}

TEST_F(ImportCommandTest, NamesAfterADoubleDashAreFiles) {
    // "--" lets a file name start with a dash; a name that is not there is reported, and as nothing
    // was imported, no output is written.
    EXPECT_EQ(import({u"-o"_s, output(u"empty.csv"_s), u"--"_s, u"-missing.pptx"_s}), 1);
    EXPECT_NE(err.find("-missing.pptx: "), std::string::npos) << err;
    EXPECT_FALSE(QFile::exists(output(u"empty.csv"_s)));
}

TEST_F(ImportCommandTest, ColumnsSayWhereEachRowCameFromAndSplitLeavesThemWhole) {
    const QString extras = QStringLiteral(QUORVANE_TEST_DATA "/extras");
    const QString ppt = extras + u"/extras.ppt"_s, pptx = extras + u"/extras-pptxgenjs.pptx"_s;
    // The list comes from standard input, NUL-separated.
    QFile list(work.filePath(u"list"_s));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(QFile::encodeName(pptx) + '\0');
    list.close();
    const int input = ::open(QFile::encodeName(list.fileName()).constData(), O_RDONLY);
    ASSERT_GE(input, 0);
    const int savedInput = ::dup(STDIN_FILENO);
    ::dup2(input, STDIN_FILENO);
    ::close(input);
    const int status =
        import({u"--columns"_s, u"file,slide,shape,kind,path"_s, u"--include"_s, u"notes,tables,groups"_s, u"--split"_s,
                u"space"_s, ppt, u"--files-from"_s, u"-"_s, u"-0"_s, u"-o"_s, output(u"where.xlsx"_s)});
    ::dup2(savedInput, STDIN_FILENO);
    ::close(savedInput);
    ASSERT_EQ(status, 0) << err;
    const QJsonArray book = test::readXlsx(output(u"where.xlsx"_s));
    ASSERT_EQ(book.size(), 1);
    const QJsonObject cells = book.at(0).toObject().value(u"cells"_s).toObject();
    const auto row = [&](int number) {
        QStringList values;
        for (char column = 'A'; column <= 'L'; ++column) {
            const QJsonArray value = cells.value(QChar::fromLatin1(column) + QString::number(number)).toArray();
            values << (value.at(0).toString() == u"int" ? u"#"_s + QString::number(value.at(1).toInt())
                                                        : value.at(1).toString());
        }
        while (!values.isEmpty() && values.last().isEmpty())
            values.removeLast();
        return values.join(u'|').toStdString();
    };
    // Slide and shape numbers are numbers; --split splits the text, not the path.
    const auto expect = [](const QString& text, const QString& path) { return text.arg(path).toStdString(); };
    EXPECT_EQ(row(1), expect(u"extras.ppt|#1|#1|title|%1|Field|notes"_s, ppt));
    EXPECT_EQ(row(3), expect(u"extras.ppt|#1|#2|body|%1|Water|samples"_s, ppt));
    EXPECT_EQ(row(5), expect(u"extras.ppt|#1|#3|notes|%1|Mention|the|river\nand|the|lake."_s, ppt)); // a row each
    EXPECT_EQ(row(9), expect(u"extras.ppt|#2|#3|group|%1|Member|A"_s, ppt));
    // A table row is a row, each cell split on its own.
    EXPECT_EQ(row(13), expect(u"extras.ppt|#3|#1|table|%1|Total|for|the|trip||two|nights"_s, ppt));
    EXPECT_EQ(row(16), expect(u"extras-pptxgenjs.pptx|#1|#2|notes|%1|Start|with|the|map."_s, pptx));
    EXPECT_EQ(row(20), expect(u"extras-pptxgenjs.pptx|#2|#1|table|%1|Monday||Ann"_s, pptx));
    EXPECT_EQ(row(24), expect(u"extras-pptxgenjs.pptx|#3|#2|table|%1|Boat\nwith|driver|#300"_s, pptx));
    EXPECT_EQ(row(26), "");

    // Per-file sheets: the same rows, each file from A1; a bad column name is a usage error.
    ASSERT_EQ(import({u"--per-file-sheets"_s, u"--columns=slide,name"_s, u"--include=tables"_s, pptx, u"-o"_s,
                      output(u"per.xlsx"_s)}),
              0)
        << err;
    const QJsonArray per = test::readXlsx(output(u"per.xlsx"_s));
    ASSERT_EQ(per.size(), 2);
    EXPECT_EQ(cell(per, 1, u"B1"_s), u"Heading"_s);
    EXPECT_EQ(cell(per, 1, u"B2"_s), u"Schedule"_s);
    EXPECT_EQ(cell(per, 1, u"E4"_s), u""_s);
    EXPECT_EQ(import({u"--columns"_s, u"slide,page"_s, pptx, u"-o"_s, output(u"no.xlsx"_s)}), 2);
    EXPECT_FALSE(QFile::exists(output(u"no.xlsx"_s)));
}

TEST_F(ImportCommandTest, WhatSlidesShowGoesInAsRowsWithTheirKindAndHiddenFlag) {
    const QString deck = QStringLiteral(QUORVANE_TEST_DATA "/extras/graphics-pptxgenjs.pptx");
    ASSERT_EQ(import({u"--columns"_s, u"slide,kind,hidden"_s, u"--include"_s, u"charts,alt"_s, deck, u"-o"_s,
                      output(u"shown.csv"_s), u"--csv"_s, u"exact"_s}),
              0)
        << err;
    QFile csv(output(u"shown.csv"_s));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(csv.readAll()).split(u"\r\n"_s);
    ASSERT_GE(rows.size(), 11);
    EXPECT_EQ(rows[1], u"1,chart,,Sales by region"_s);
    EXPECT_EQ(rows[7], u"2,text,1,Backup figures"_s);
    EXPECT_EQ(rows[8], u"2,alt,1,A red square"_s);
    EXPECT_EQ(rows[9], u"3,alt,,Map of the site north at the top"_s);

    // Skipped hidden slides, on per-file sheets and without any column: the text as always, less slide 2.
    ASSERT_EQ(import({u"--skip-hidden"_s, u"--per-file-sheets"_s, deck, u"-o"_s, output(u"skip.xlsx"_s)}), 0) << err;
    const QJsonArray book = test::readXlsx(output(u"skip.xlsx"_s));
    ASSERT_EQ(book.size(), 2);
    EXPECT_EQ(cell(book, 1, u"A1"_s), u"Sales"_s);
    EXPECT_EQ(cell(book, 1, u"A2"_s), u"The end"_s);
    EXPECT_EQ(cell(book, 1, u"A3"_s), u""_s);
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST_F(ImportCommandTest, NothingImportedLeavesAnExistingOutputAsItWas) {
    // No presentation can be read; or one is, but a full disk keeps its text from the sheet.
    const QString missing = work.filePath(u"missing.pptx"_s);
    const QString longDeck = test::writeTextDeck(work.filePath(u"long.pptx"_s), {QString(20000, u'x')});
    for (const QString& name : {u"earlier.xlsx"_s, u"earlier.csv"_s}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_EQ(import({Deck, u"-o"_s, output(name)}), 0) << err;
        const QByteArray before = contentsOf(output(name));
        for (const bool full : {false, true}) {
            std::optional<test::FileSizeLimit> limit;
            if (full)
                limit.emplace(1000);
            EXPECT_EQ(import({full ? longDeck : missing, u"-o"_s, output(name)}), 1);
            limit.reset();
            // A full disk is a failure of the machine: the import stops there.
            const QString why = full ? u"the import stopped; "_s : u"nothing was imported; "_s;
            EXPECT_NE(err.find(QString(why + output(name) + u" is left as it was"_s).toStdString()), std::string::npos)
                << err;
            EXPECT_EQ(contentsOf(output(name)), before);
        }
    }
    // With no earlier output, none is made.
    EXPECT_EQ(import({missing, u"-o"_s, output(u"new.csv"_s)}), 1);
    EXPECT_NE(
        err.find(QString(u"nothing was imported; "_s + output(u"new.csv"_s) + u" was not written"_s).toStdString()),
        std::string::npos)
        << err;
    EXPECT_FALSE(QFileInfo::exists(output(u"new.csv"_s)));
    // An output whose folder is missing is refused before anything is read, as saving would say.
    const QString nowhere = work.filePath(u"no/such/folder/out.csv"_s);
    EXPECT_EQ(import({missing, u"-o"_s, nowhere}), 1);
    EXPECT_EQ(err, "quorvane-cli import: " + nowhere.toStdString() +
                       ": the sheet could not be saved: No such file or directory\n");
}

TEST_F(ImportCommandTest, TheOutputIsNeverAnInputAndALinkToNothingIsNoOutput) {
    // A folder of presentations that already holds the workbook of an earlier run.
    ASSERT_TRUE(QDir(work.path()).mkdir(u"decks"_s));
    test::writeTextDeck(work.filePath(u"decks/a.pptx"_s), {u"alpha"_s});
    const QString inside = work.filePath(u"decks/all.xlsx"_s);
    ASSERT_EQ(import({work.filePath(u"decks"_s), u"-o"_s, inside}), 0) << err;
    EXPECT_EQ(import({work.filePath(u"decks"_s), u"-o"_s, inside}), 0) << err; // not read back as an input
    const QJsonArray book = test::readXlsx(inside);
    EXPECT_EQ(cell(book, 0, u"A1"_s), u"alpha"_s);
    EXPECT_EQ(cell(book, 0, u"A2"_s), QString());

    // A file given that is the output, by its name or by a link to it, is refused before anything is read.
    const QByteArray before = contentsOf(inside);
    ASSERT_TRUE(QFile::link(inside, work.filePath(u"link.xlsx"_s)));
    for (const QString& input : {inside, work.filePath(u"link.xlsx"_s)}) {
        EXPECT_EQ(import({Deck, input, u"-o"_s, inside}), 2);
        EXPECT_NE(err.find(QString(inside + u" is one of the inputs"_s).toStdString()), std::string::npos) << err;
    }
    QFile list(work.filePath(u"list"_s)); // and from a file list
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(QFile::encodeName(Deck + u'\n' + inside + u'\n'));
    list.close();
    EXPECT_EQ(import({u"--files-from"_s, list.fileName(), u"-o"_s, inside}), 2) << err;
    EXPECT_EQ(contentsOf(inside), before);
    // An output that is a link leading nowhere, or a folder, is refused the same way.
    ASSERT_TRUE(QFile::link(work.filePath(u"nowhere.csv"_s), work.filePath(u"dangling.csv"_s)));
    EXPECT_EQ(import({Deck, u"-o"_s, work.filePath(u"dangling.csv"_s)}), 2);
    EXPECT_NE(err.find("which does not exist"), std::string::npos) << err;
    EXPECT_FALSE(QFileInfo::exists(work.filePath(u"nowhere.csv"_s)));
}

// Standard error as a stream that raises a signal when the first report reaches it.
class SignallingStream {
public:
    explicit SignallingStream(int signal) : m_signal(signal) {
        m_stream = ::fopencookie(this, "w", {nullptr, write, nullptr, nullptr});
    }
    ~SignallingStream() { std::fclose(m_stream); }
    std::FILE* stream() const { return m_stream; }
    std::string text;

private:
    static ssize_t write(void* cookie, const char* data, size_t size) {
        auto& self = *static_cast<SignallingStream*>(cookie);
        self.text.append(data, size);
        if (!self.m_raised && self.text.find("(statement 120)") != std::string::npos) {
            self.m_raised = true;
            std::raise(self.m_signal);
        }
        return static_cast<ssize_t>(size);
    }
    int m_signal;
    bool m_raised = false;
    std::FILE* m_stream;
};

TEST_F(ImportCommandTest, AnInterruptTerminationOrHangupStopsTheRunAndLeavesNothingBehind) {
    const QString missing = work.filePath(u"missing.pptx"_s);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const QString target = output(u"out.xlsx"_s);
        SignallingStream errStream(signal);
        std::FILE* outStream = std::tmpfile();
        // The signal comes with the report on the missing file; the run stops at its next yield.
        EXPECT_EQ(cli::runImport({missing, Deck, Impress, u"-o"_s, target}, outStream, errStream.stream()),
                  128 + signal);
        std::fclose(outStream);
        std::fflush(errStream.stream());
        EXPECT_NE(errStream.text.find("interrupted; nothing saved"), std::string::npos) << errStream.text;
        EXPECT_FALSE(QFileInfo::exists(target));
        EXPECT_TRUE(QDir(staging.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        EXPECT_EQ(std::signal(signal, SIG_DFL), SIG_DFL) << "the signal's handling is put back";
    }
    EXPECT_TRUE(QDir(work.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

// A write that the system refuses, into the staging file or to standard error, ends no run by a
// signal: past the limit on a file's size the run stops with the reason and leaves the old output and
// nothing else; with standard error a closed pipe the run goes on and saves.
TEST_F(ImportCommandTest, AWriteTheSystemRefusesIsAFailureNotTheEndOfTheProgram) {
    const QString target = output(u"out.csv"_s);
    ASSERT_EQ(import({Deck, u"-o"_s, target}), 0) << err;
    const QByteArray before = contentsOf(target);
    QTemporaryDir decks;
    const QString big = test::writeTextDeck(decks.filePath(u"big.pptx"_s), {QString(20000, u'x')});
    {
        // SIGXFSZ as the system has it: the command must ignore it itself. The staging file passes
        // the limit; what goes to standard error stays below it.
        const test::FileSizeLimit full(4096, false);
        EXPECT_EQ(import({Deck, big, u"-o"_s, target}), 1);
    }
    EXPECT_NE(err.find(": File too large"), std::string::npos) << err;
    EXPECT_NE(err.find("the import stopped; " + target.toStdString() + " is left as it was"), std::string::npos) << err;
    EXPECT_EQ(QString::fromStdString(err).count(u"(statement "_s), 1) << err; // reported once
    EXPECT_EQ(contentsOf(target), before);
    EXPECT_EQ(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{u"out.csv"_s});

    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ::close(pipe[0]);
    std::FILE* closed = ::fdopen(pipe[1], "w");
    std::setvbuf(closed, nullptr, _IONBF, 0);
    std::FILE* outStream = std::tmpfile();
    std::signal(SIGPIPE, SIG_DFL);
    const QString piped = output(u"piped.csv"_s);
    EXPECT_EQ(cli::runImport({work.filePath(u"missing.pptx"_s), Deck, u"-o"_s, piped}, outStream, closed), 1);
    std::fclose(closed);
    std::fclose(outStream);
    EXPECT_EQ(contentsOf(piped), before); // saved, with the deck's lines
    EXPECT_EQ(std::signal(SIGPIPE, SIG_DFL), SIG_DFL) << "the signal's handling is put back";
}

TEST_F(ImportCommandTest, FoldersThatKilledRunsLeftADayAgoAreRemovedAndNoOthers) {
    // Made as a run makes them (mode 0700), then aged; beside them what is not the program's.
    const auto folder = [](const QString& path, int hoursAgo) {
        EXPECT_TRUE(QDir().mkpath(path));
        ::chmod(QFile::encodeName(path).constData(), 0700);
        QFile(path + u"/left.txt"_s).open(QIODevice::WriteOnly);
        const timespec times[2] = {{std::time(nullptr) - hoursAgo * 3600, 0},
                                   {std::time(nullptr) - hoursAgo * 3600, 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
    };
    folder(staging.filePath(u"quorvane-Ab3xY9"_s), 30);        // a killed run's staging folder
    folder(staging.filePath(u"quorvane-Fresh1"_s), 2);         // a run still under way
    folder(staging.filePath(u"quorvane-copy-Ab3xY9"_s), 30);   // a result window's copy
    folder(staging.filePath(u"quorvane-Ab3x"_s), 30);          // not a name mkdtemp makes
    folder(work.filePath(u".out.xlsx.quorvane-Zz9Zz9"_s), 30); // a killed save's partial file
    folder(work.filePath(u".out.xlsx.Zz9Zz9"_s), 30);          // somebody else's
    ASSERT_EQ(import({Deck, u"-o"_s, output(u"out.xlsx"_s)}), 0) << err;
    EXPECT_EQ(QDir(staging.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{u"quorvane-Ab3x"_s, u"quorvane-copy-Ab3xY9"_s, u"quorvane-Fresh1"_s}));
    EXPECT_EQ(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{u".out.xlsx.Zz9Zz9"_s, u"out.xlsx"_s}));
    for (const QString& left : {u"quorvane-Ab3x"_s, u"quorvane-copy-Ab3xY9"_s, u"quorvane-Fresh1"_s})
        QDir(staging.filePath(left)).removeRecursively();
}

} // namespace
