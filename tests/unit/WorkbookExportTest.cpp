#include "WorkbookReaders.h"

#include "office/CellNames.h"
#include "office/LocalNames.h"
#include "office/spreadsheet/OutputFormat.h"
#include "office/spreadsheet/PackageCheck.h"
#include "office/spreadsheet/SpreadsheetEngine.h"
#include "office/spreadsheet/WorkbookExport.h"
#include "office/spreadsheet/XlsxParts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>

#include "support/TestTools.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <limits>
#include <map>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace quorvane::office;

namespace {

const QByteArray Mark = QString(QChar(0x00B8)).toUtf8();

class ExportTest : public ::testing::Test {
protected:
    // An instance whose active workbook got the text pasted into a sheet named sheetName.
    std::shared_ptr<SpreadsheetInstance> bookWith(const QByteArray& text) {
        const QString path = m_dir.filePath(u"stage.txt"_s);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        auto reader = m_engine.create();
        reader->workbooksOpen(path, {}, {}, 6, {}, {}, {}, {}, QString(QChar(0x00B8)));
        reader->copyUsedRange();
        reader->quit();
        auto target = std::static_pointer_cast<SpreadsheetInstance>(m_engine.create());
        target->workbooksAdd();
        target->paste();
        return target;
    }
    static QJsonArray cell(const QJsonObject& sheet, const QString& name) {
        return sheet[u"cells"_s].toObject()[name].toArray();
    }
    static QByteArray contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    // The failure saving throws, as text; empty when it throws none.
    template <typename Save> static QString failureOf(Save&& save) {
        try {
            save();
        } catch (const std::runtime_error& error) {
            return QString::fromUtf8(error.what());
        }
        return {};
    }

    QTemporaryDir m_dir;
    SpreadsheetEngine m_engine;
};

TEST_F(ExportTest, XlsxKeepsSheetsInOrderNumbersAsNumbersAndEveryCharacter) {
    auto app =
        bookWith("42" + Mark + "007" + Mark + "=SUM(A1)" + Mark + "-3.5" + Mark + "1.50\n" + "_x0041_ and _X004a_" +
                 Mark + QByteArray("nul\0end", 7) + Mark + "\xEF\xBF\xBF" + Mark + "vt\vcr-free tab\there" + Mark +
                 "ärger 😀\n" + "  padded  " + Mark + Mark + Mark + Mark + "last\n");
    app->setActiveSheetName(u"Q3 Reviewpptx"_s);
    app->sheetsAdd();
    app->paste();
    app->setActiveSheetName(u"Ärger & \"Co\" <1>"_s);
    app->sheetsAdd(); // an empty third sheet
    const QString path = m_dir.filePath(u"out.xlsx"_s);
    saveWorkbookXlsx(*app->activeWorkbook(), path);

    const QJsonArray sheets = quorvane::test::readXlsx(path);
    ASSERT_EQ(sheets.size(), 3);
    EXPECT_EQ(sheets[0].toObject()[u"name"_s].toString(), u"Q3 Reviewpptx"_s);
    EXPECT_EQ(sheets[1].toObject()[u"name"_s].toString(), u"Ärger & \"Co\" <1>"_s);
    EXPECT_EQ(sheets[2].toObject()[u"name"_s].toString(), u"Sheet3"_s);
    EXPECT_TRUE(sheets[2].toObject()[u"cells"_s].toObject().isEmpty());
    // The sheet that was active is the one shown when the file opens.
    EXPECT_FALSE(sheets[0].toObject()[u"active"_s].toBool());
    EXPECT_TRUE(sheets[2].toObject()[u"active"_s].toBool());

    for (const auto& sheetValue : {sheets[0], sheets[1]}) {
        const QJsonObject sheet = sheetValue.toObject();
        EXPECT_EQ(cell(sheet, u"A1"_s), (QJsonArray{u"int"_s, 42}));
        EXPECT_EQ(cell(sheet, u"B1"_s), (QJsonArray{u"str"_s, u"007"_s}));
        EXPECT_EQ(cell(sheet, u"C1"_s), (QJsonArray{u"str"_s, u"=SUM(A1)"_s})); // text, never a formula
        EXPECT_EQ(cell(sheet, u"D1"_s), (QJsonArray{u"float"_s, -3.5}));
        EXPECT_EQ(cell(sheet, u"E1"_s), (QJsonArray{u"str"_s, u"1.50"_s}));
        // A literal escape sequence reads back as written.
        EXPECT_EQ(cell(sheet, u"A2"_s), (QJsonArray{u"str"_s, u"_x0041_ and _X004a_"_s}));
        // Characters the file cannot hold become U+FFFD; a slide's line break (VT) is a spreadsheet's (LF).
        EXPECT_EQ(cell(sheet, u"B2"_s), (QJsonArray{u"str"_s, u"nul\uFFFDend"_s}));
        EXPECT_EQ(cell(sheet, u"C2"_s), (QJsonArray{u"str"_s, u"\uFFFD"_s}));
        EXPECT_EQ(cell(sheet, u"D2"_s), (QJsonArray{u"str"_s, u"vt\ncr-free tab\there"_s}));
        EXPECT_EQ(cell(sheet, u"E2"_s), (QJsonArray{u"str"_s, u"ärger 😀"_s}));
        EXPECT_EQ(cell(sheet, u"A3"_s), (QJsonArray{u"str"_s, u"  padded  "_s})); // white space kept
        EXPECT_TRUE(cell(sheet, u"B3"_s).isEmpty());
        EXPECT_EQ(cell(sheet, u"E3"_s), (QJsonArray{u"str"_s, u"last"_s}));
    }
}

TEST_F(ExportTest, EscapingOfCellTextForTheFile) {
    const auto escaped = [](std::string_view text) {
        std::string out;
        xlsx::appendText(out, text);
        return out;
    };
    EXPECT_EQ(escaped("_x0041_"), "_x005F_x0041_");
    // The shorter forms some readers decode as well.
    EXPECT_EQ(escaped("_x4_ _x004_ _x0_ a_xF_"), "_x005F_x4_ _x005F_x004_ _x005F_x0_ a_x005F_xF_");
    EXPECT_EQ(escaped("_x_ _xZZZZ_ _x12345_ _X0041_ _x1"), "_x_ _xZZZZ_ _x12345_ _X0041_ _x1"); // no sequences
    EXPECT_EQ(escaped("a<b>&\"c\""), "a&lt;b&gt;&amp;\"c\"");
    EXPECT_EQ(escaped("tab\there\nline\rcr\v\x1F"), "tab\there\nline_x000D_cr_x000B__x001F_");
    // What the file cannot hold becomes U+FFFD: NUL, U+FFFE, U+FFFF, a byte that is no UTF-8, a
    // surrogate, an overlong form, a sequence cut short.
    EXPECT_EQ(escaped(std::string_view("a\0b\xEF\xBF\xBE\xEF\xBF\xBF", 9)), "a\xEF\xBF\xBD"
                                                                            "b\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(escaped("\xFF|\xED\xA0\x80|\xC0\xAF|\xE2\x82"),
              "\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(escaped("ärger 😀 \xC2\x85"), "ärger 😀 \xC2\x85"); // characters XML carries stay as they are
    EXPECT_TRUE(xlsx::needsPreserve(" lead"));
    EXPECT_TRUE(xlsx::needsPreserve("trail\t"));
    EXPECT_TRUE(xlsx::needsPreserve("two\nlines"));
    EXPECT_FALSE(xlsx::needsPreserve("inner  space"));
    EXPECT_FALSE(xlsx::needsPreserve(""));
}

TEST_F(ExportTest, CsvQuotesAsRfc4180AndKeepsTheUsedRangeFromA1) {
    auto app = bookWith("plain" + Mark + "a,b" + Mark + "say \"hi\"\n" + "line\x0Bnext" + Mark + "42" + Mark +
                        QByteArray("nul\0", 4) + "\n");
    app->sheetsAdd();
    app->selectRange(u"B2"_s);
    app->paste();
    const QString path = m_dir.filePath(u"out.csv"_s);
    saveSheetCsv(app->activeWorkbook()->activeSheet(), path, CsvStyle::Exact);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // A NUL becomes U+FFFD, as in an .xlsx package.
    EXPECT_EQ(file.readAll(), QByteArray(",,,\r\n"
                                         ",plain,\"a,b\",\"say \"\"hi\"\"\"\r\n"
                                         ",line\x0Bnext,42,nul\xEF\xBF\xBD\r\n"));
    app->sheetsAdd();
    saveSheetCsv(app->activeWorkbook()->activeSheet(), path, CsvStyle::Exact);
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST_F(ExportTest, CsvForSpreadsheetsMarksUtf8AndKeepsFormulaLikeTextAsTextOverEverySheet) {
    // Text a spreadsheet program would read as a formula gets an apostrophe, numbers do not; the
    // exact style writes the text as it is.
    auto app = bookWith("=1+2" + Mark + "+x" + Mark + "-x" + Mark + "@x" + Mark + "\tx" + Mark + "-3.5" + Mark +
                        "007\n" + "a=b" + Mark + "=\"q\",\n");
    auto second = bookWith("é" + Mark + "two\vlines\n");
    const Workbook& book = *app->activeWorkbook();
    const QString path = m_dir.filePath(u"out.csv"_s);
    const auto contents = [&] {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    };
    const std::vector<const Worksheet*> sheets{&book.sheet(0), &second->activeWorkbook()->sheet(0)};
    saveSheetsCsv(sheets, path, CsvStyle::ForSpreadsheets);
    // A slide's line break is theirs (LF) for spreadsheet programs, as it is (VT) in the exact style.
    EXPECT_EQ(contents(), QByteArray("\xEF\xBB\xBF'=1+2,'+x,'-x,'@x,'\tx,-3.5,007\r\n"
                                     "a=b,\"'=\"\"q\"\",\",,,,,\r\n"
                                     "\xC3\xA9,\"two\nlines\",,,,,\r\n"));
    saveSheetsCsv(sheets, path, CsvStyle::Exact);
    EXPECT_EQ(contents(), QByteArray("=1+2,+x,-x,@x,\tx,-3.5,007\r\n"
                                     "a=b,\"=\"\"q\"\",\",,,,,\r\n"
                                     "\xC3\xA9,two\vlines,,,,,\r\n"));
    // Sheets that each start with a header row: the file holds the first one's.
    saveSheetsCsv(sheets, path, CsvStyle::Exact, {.headerRows = true});
    EXPECT_EQ(contents(), QByteArray("=1+2,+x,-x,@x,\tx,-3.5,007\r\n"
                                     "a=b,\"=\"\"q\"\",\",,,,,\r\n"));
}

TEST_F(ExportTest, SavingFailsLoudlyAndLeavesNoFile) {
    auto app = bookWith("a\n");
    const QString missingFolder = m_dir.filePath(u"no/such/folder/out.xlsx"_s);
    try {
        saveWorkbookXlsx(*app->activeWorkbook(), missingFolder);
        ADD_FAILURE() << "saving into a missing folder succeeded";
    } catch (const std::runtime_error& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(missingFolder));
    }
    EXPECT_THROW(saveSheetCsv(app->activeWorkbook()->activeSheet(), m_dir.filePath(u"no/out.csv"_s), CsvStyle::Exact),
                 std::runtime_error);
    // The longest cell text a sheet holds survives whole, also when every "_" of it must be escaped.
    const QString existing = m_dir.filePath(u"keep.xlsx"_s);
    auto crowded = bookWith(QByteArray("_x0041_").repeated(4681) + "\n");
    saveWorkbookXlsx(*crowded->activeWorkbook(), existing);
    const QJsonArray sheets = quorvane::test::readXlsx(existing);
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(cell(sheets[0].toObject(), u"A1"_s), (QJsonArray{u"str"_s, u"_x0041_"_s.repeated(4681)}));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{u"keep.xlsx"_s, u"stage.txt"_s}));
}

TEST_F(ExportTest, SavedWorkbookGetsOrdinaryPermissionsOrKeepsTheReplacedFiles) {
    auto app = bookWith("a\n");
    const mode_t mask = ::umask(022);
    const QString fresh = m_dir.filePath(u"fresh.xlsx"_s);
    saveWorkbookXlsx(*app->activeWorkbook(), fresh);
    struct stat info{};
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    ASSERT_EQ(::chmod(QFile::encodeName(fresh).constData(), 0640), 0);
    saveWorkbookXlsx(*app->activeWorkbook(), fresh);
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    ::umask(mask);
}

// The uncompressed size of one part of a package, or -1.
qint64 partSize(const QString& path, const char* part) {
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    if (!archive)
        return -1;
    zip_stat_t stat;
    zip_stat_init(&stat);
    const qint64 size = zip_stat(archive, part, 0, &stat) == 0 ? static_cast<qint64>(stat.size) : -1;
    zip_discard(archive);
    return size;
}

TEST_F(ExportTest, AFullDiskOrAStopFailsTheSaveAndLeavesTheOldFileAndNothingElse) {
    // Rows alike, so that the package is far smaller than the sheet's part in it.
    auto big = bookWith(QByteArray("the same line of slide text\n").repeated(20000));
    const QString existing = m_dir.filePath(u"keep.xlsx"_s);
    saveWorkbookXlsx(*bookWith("old\n")->activeWorkbook(), existing);
    const QByteArray before = contents(existing);
    // No working file is made anywhere: the temporary folder stays empty.
    QTemporaryDir temp;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    const QString measured = m_dir.filePath(u"measured.xlsx"_s);
    saveWorkbookXlsx(*big->activeWorkbook(), measured);
    qputenv("TMPDIR", oldTemp);
    EXPECT_TRUE(QDir(temp.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    const qint64 part = partSize(measured, "xl/worksheets/sheet1.xml");
    ASSERT_GT(part, 100000);
    ASSERT_LT(QFileInfo(measured).size(), part / 4);

    // Full while the first sheet's rows go in, and full only when the package's directory is written
    // last. The save time in docProps/core.xml may deflate a byte or two shorter than the measured
    // package's, so the second limit falls a few bytes into the end record of the directory.
    for (const rlim_t limit : {rlim_t{4096}, static_cast<rlim_t>(QFileInfo(measured).size() - 8)}) {
        SCOPED_TRACE(limit);
        QString failure;
        {
            const quorvane::test::FileSizeLimit full(limit);
            failure = failureOf([&] { saveWorkbookXlsx(*big->activeWorkbook(), existing); });
        }
        EXPECT_EQ(failure, existing + u": the workbook could not be saved: File too large"_s);
        EXPECT_EQ(contents(existing), before);
    }
    // A stop from outside (a signal) ends either kind of save the same way.
    const std::atomic<bool> stop{true};
    EXPECT_THROW(saveWorkbookXlsx(*big->activeWorkbook(), existing, {&stop}), SaveStopped);
    const QString csv = m_dir.filePath(u"keep.csv"_s);
    EXPECT_THROW(saveSheetCsv(big->activeWorkbook()->sheet(0), csv, CsvStyle::Exact, {&stop}), SaveStopped);
    EXPECT_EQ(contents(existing), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{u"keep.xlsx"_s, u"measured.xlsx"_s, u"stage.txt"_s}));
}

// Each part of a package with its compressed size, read with libzip.
std::map<std::string, std::pair<QByteArray, zip_uint64_t>> partsOf(const QString& path) {
    std::map<std::string, std::pair<QByteArray, zip_uint64_t>> parts;
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    if (!archive)
        return parts;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        QByteArray data(static_cast<qsizetype>(stat.size), '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        zip_fread(file, data.data(), stat.size);
        zip_fclose(file);
        parts[stat.name] = {data, stat.comp_size};
    }
    zip_discard(archive);
    return parts;
}

TEST_F(ExportTest, TheNumberOfThreadsChangesNoByteOfAnyPart) {
    auto app = bookWith(QByteArray("line of slide text, one of many\n").repeated(30000));
    app->sheetsAdd();
    app->paste();
    const QString one = m_dir.filePath(u"one.xlsx"_s), three = m_dir.filePath(u"three.xlsx"_s);
    saveWorkbookXlsx(*app->activeWorkbook(), one, {nullptr, 1});
    saveWorkbookXlsx(*app->activeWorkbook(), three, {nullptr, 3});
    auto first = partsOf(one), second = partsOf(three);
    ASSERT_EQ(first.size(), 9u);
    // Only the time the workbook was saved may differ.
    first.erase("docProps/core.xml");
    second.erase("docProps/core.xml");
    EXPECT_TRUE(first == second);
}

TEST_F(ExportTest, TheReadBackFindsAPartThatIsNotWhatWasWritten) {
    // Packages made by hand, each with one fault a check of the parts' lengths alone would let through.
    struct Case {
        const char* what;
        std::string sheet;
        std::int64_t rows;
        QString says;
        PartContent content = PartContent::Xml;
    };
    const std::string head = "<worksheet><sheetData>", tail = "</sheetData></worksheet>";
    const std::string row = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
    // The same faults in the content of a spreadsheet document, and a mimetype that is not the one written.
    const std::string body = "<office:document-content><office:body><office:spreadsheet>",
                      table = "<table:table table:name=\"S\"><table:table-column/>",
                      tableRow = "<table:table-row><table:table-cell/></table:table-row>",
                      end = "</table:table></office:spreadsheet></office:body></office:document-content>";
    const QString label = u"xl/worksheets/sheet1.xml (the sheet \"S\")"_s;
    for (const Case& c : {
             Case{"no spreadsheet", "<office:document-content/>", 0, u"not the content of a spreadsheet"_s,
                  PartContent::Tables},
             Case{"a table cut short", body + table + tableRow + "<table:table-row>", 1, u"a table is not closed"_s,
                  PartContent::Tables},
             Case{"something else in a table", body + table + tableRow + "<x/>" + end, 1,
                  u"other than columns and rows"_s, PartContent::Tables},
             Case{"rows too few", body + table + tableRow + end, 2, u"it holds 1 rows, not the 2 written"_s,
                  PartContent::Tables},
             Case{"another mimetype", "application/zip", -1, u"it does not hold what was written"_s,
                  PartContent::Bytes},
             Case{"no worksheet", "<sheetData/>", 0, u"it is not a worksheet"_s},
             Case{"cut short", head + row + "<row r=\"2\"><c", 1, u"it is not well-formed XML"_s},
             Case{"something else among the rows", head + row + "<x/>" + row + tail, 2, u"other than rows"_s},
             Case{"a row too few", head + row + tail, 2, u"it holds 1 rows, not the 2 written"_s},
         }) {
        SCOPED_TRACE(c.what);
        const QString path = m_dir.filePath(u"made.xlsx"_s);
        QFile::remove(path);
        int error = 0;
        zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE, &error);
        ASSERT_NE(archive, nullptr);
        zip_source_t* source = zip_source_buffer(archive, c.sheet.data(), c.sheet.size(), 0);
        zip_set_file_compression(archive, zip_file_add(archive, "xl/worksheets/sheet1.xml", source, 0), ZIP_CM_STORE,
                                 0);
        ASSERT_EQ(zip_close(archive), 0);
        const QString failure = failureOf([&] {
            checkPackage(QFile::encodeName(path),
                         {{"xl/worksheets/sheet1.xml", c.rows, label, c.content, "application/vnd.oasis"}}, 2);
        });
        EXPECT_TRUE(failure.startsWith(u"the file written is damaged: its part "_s + label + u": "_s))
            << failure.toStdString();
        EXPECT_TRUE(failure.contains(c.says)) << failure.toStdString();
    }
    // A part whose bytes changed on the way to the disk fails its checksum.
    const QString path = m_dir.filePath(u"made.xlsx"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype at = bytes.indexOf("<row");
    ASSERT_GT(at, 0);
    bytes[at + 1] = 'R';
    file.seek(0);
    file.write(bytes);
    file.close();
    EXPECT_TRUE(failureOf([&] {
                    checkPackage(QFile::encodeName(path), {{"xl/worksheets/sheet1.xml", 0, label}}, 1);
                }).contains(u"CRC error"_s));
    // So does a deflated one whose recorded checksum lies (CRC-32 at byte 14 of the local header and
    // 16 of the directory entry): it fails inflated in one call, and then as a stream.
    {
        const std::string sheet = head + row + tail;
        int error = 0;
        zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        ASSERT_NE(archive, nullptr);
        zip_file_add(archive, "xl/worksheets/sheet1.xml", zip_source_buffer(archive, sheet.data(), sheet.size(), 0), 0);
        ASSERT_EQ(zip_close(archive), 0);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        bytes = file.readAll();
        const qsizetype directory = bytes.lastIndexOf("PK\x01\x02");
        for (const qsizetype crc : {qsizetype{14}, directory + 16})
            bytes[crc] = static_cast<char>(bytes[crc] ^ 0x5A);
        file.seek(0);
        file.write(bytes);
        file.close();
    }
    EXPECT_TRUE(failureOf([&] {
                    checkPackage(QFile::encodeName(path), {{"xl/worksheets/sheet1.xml", 1, label}}, 1);
                }).contains(u"CRC error"_s));
    EXPECT_EQ(failureOf([&] { checkPackage(QFile::encodeName(path), {{"xl/styles.xml", -1, u"xl/styles.xml"_s}}, 1); }),
              u"the file written holds a part it should not: xl/worksheets/sheet1.xml"_s);
}

TEST_F(ExportTest, ManySheetsSaveWithAFewFilesOpen) {
    auto app = bookWith("row\n");
    for (int i = 1; i < 300; ++i) {
        app->sheetsAdd();
        app->paste();
    }
    app->sheetsAdd(); // and an empty one
    const QString path = m_dir.filePath(u"many.xlsx"_s);
    {
        const quorvane::test::OpenFileLimit limit(24);
        saveWorkbookXlsx(*app->activeWorkbook(), path);
    }
    const QJsonArray sheets = quorvane::test::readXlsx(path);
    ASSERT_EQ(sheets.size(), 301);
    EXPECT_EQ(cell(sheets[299].toObject(), u"A1"_s), (QJsonArray{u"str"_s, u"row"_s}));
    EXPECT_TRUE(sheets[300].toObject()[u"cells"_s].toObject().isEmpty());
}

TEST_F(ExportTest, ALinkedOutputReplacesTheFileItLeadsToAndALinkToNothingIsRefused) {
    auto app = bookWith("a\n");
    const Workbook& book = *app->activeWorkbook();
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(u"real"_s));
    const QString real = m_dir.filePath(u"real/book"_s);
    for (const QString& suffix : {u".xlsx"_s, u".csv"_s}) {
        QFile old(real + suffix);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        ASSERT_TRUE(QFile::link(real + suffix, m_dir.filePath(u"link"_s + suffix)));
        ASSERT_TRUE(QFile::link(m_dir.filePath(u"nowhere"_s + suffix), m_dir.filePath(u"dangling"_s + suffix)));
    }
    saveWorkbookXlsx(book, m_dir.filePath(u"link.xlsx"_s));
    saveSheetCsv(book.sheet(0), m_dir.filePath(u"link.csv"_s), CsvStyle::Exact);
    EXPECT_TRUE(QFileInfo(m_dir.filePath(u"link.xlsx"_s)).isSymLink());
    EXPECT_TRUE(QFileInfo(m_dir.filePath(u"link.csv"_s)).isSymLink());
    EXPECT_EQ(quorvane::test::readXlsx(real + u".xlsx"_s).size(), 1);
    EXPECT_EQ(contents(real + u".csv"_s), "a\r\n");

    EXPECT_EQ(failureOf([&] { saveWorkbookXlsx(book, m_dir.filePath(u"dangling.xlsx"_s)); }),
              m_dir.filePath(u"dangling.xlsx"_s) + u": the workbook could not be saved: it is a link to \""_s +
                  m_dir.filePath(u"nowhere.xlsx"_s) + u"\", which does not exist"_s);
    EXPECT_TRUE(failureOf([&] {
                    saveSheetCsv(book.sheet(0), m_dir.filePath(u"dangling.csv"_s), CsvStyle::Exact);
                }).endsWith(u"which does not exist"_s));
    EXPECT_TRUE(failureOf([&] { saveWorkbookXlsx(book, m_dir.filePath(u"real"_s)); }).endsWith(u"it is a folder"_s));
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(u"nowhere.xlsx"_s)));
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(u"nowhere.csv"_s)));
}

TEST_F(ExportTest, AnOutputNameThatIsNoUtf8IsWrittenByItsOwnBytesAndShownEscaped) {
    auto app = bookWith("a\n");
    const QByteArray folder = QFile::encodeName(m_dir.path());
    for (const char* suffix : {".xlsx", ".csv"}) {
        const QByteArray native = folder + "/Pr\xE4sentation" + suffix;
        const QString name = nameFromNative(native);
        if (QByteArray(suffix) == ".csv")
            saveSheetCsv(app->activeWorkbook()->sheet(0), name, CsvStyle::Exact);
        else
            saveWorkbookXlsx(*app->activeWorkbook(), name);
        struct stat info{};
        EXPECT_EQ(::stat(native.constData(), &info), 0) << suffix;
    }
    const QString missing = nameFromNative(folder + "/no/Pr\xE4sentation.xlsx");
    EXPECT_TRUE(failureOf([&] {
                    saveWorkbookXlsx(*app->activeWorkbook(), missing);
                }).startsWith(m_dir.path() + u"/no/Pr\\xE4sentation.xlsx: the workbook could not be saved: "_s));
}

TEST_F(ExportTest, OdsHoldsWhatTheXlsxHoldsAfterItsStoredMimetypeAndSavesTheSameWay) {
    auto app = bookWith("42" + Mark + "007" + Mark + "=SUM(A1)" + Mark + "-3.5" + Mark + "1.50\n\n" + "two\vlines" +
                        Mark + Mark + "  padded  " + Mark + "a  b\tc" + Mark + "ärger 😀 & <1>\n");
    app->setActiveSheetName(u"Q3 Reviewpptx"_s);
    app->sheetsAdd();
    app->paste();
    app->setActiveSheetName(u"Ärger & \"Co\""_s);
    app->sheetsAdd(); // an empty third sheet
    const Workbook& book = *app->activeWorkbook();
    const QString xlsx = m_dir.filePath(u"out.xlsx"_s), ods = m_dir.filePath(u"out.ods"_s);
    saveWorkbookXlsx(book, xlsx);
    saveWorkbookOds(book, ods);
    QJsonArray fromXlsx = quorvane::test::readXlsx(xlsx);
    ASSERT_EQ(fromXlsx.size(), 3);
    for (QJsonValueRef sheet : fromXlsx) {
        QJsonObject object = sheet.toObject();
        object.remove(u"widths"_s);
        sheet = object;
    }
    EXPECT_EQ(quorvane::test::readOds(ods), fromXlsx);

    // The mimetype is the first part, stored as it is.
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(ods).constData(), ZIP_RDONLY, &error);
    ASSERT_NE(archive, nullptr);
    zip_stat_t stat;
    zip_stat_init(&stat);
    ASSERT_EQ(zip_stat_index(archive, 0, 0, &stat), 0);
    EXPECT_STREQ(stat.name, "mimetype");
    EXPECT_EQ(stat.comp_method, ZIP_CM_STORE);
    zip_discard(archive);
    EXPECT_EQ(partsOf(ods)["mimetype"].first, "application/vnd.oasis.opendocument.spreadsheet");

    // Stopped, it leaves the file it would replace as it was, and nothing else.
    const QByteArray before = contents(ods);
    const std::atomic<bool> stop{true};
    EXPECT_THROW(saveWorkbookAs(book, ods, OutputFormat::Ods, {&stop}), SaveStopped);
    EXPECT_EQ(contents(ods), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{u"out.ods"_s, u"out.xlsx"_s, u"stage.txt"_s}));
}

} // namespace

TEST(OutputFormatTest, TheNameOrTheChosenTypeDecidesAndNoFileGetsANameOfAnotherFormat) {
    // The name's suffix, in any case, decides; a .csv takes the style asked for.
    EXPECT_EQ(formatOfName(u"a.XLSX"_s), OutputFormat::Xlsx);
    EXPECT_EQ(formatOfName(u"a.Ods"_s, CsvStyle::Exact), OutputFormat::Ods);
    EXPECT_EQ(formatOfName(u"a.csv"_s), OutputFormat::CsvForSpreadsheets);
    EXPECT_EQ(formatOfName(u"a.Csv"_s, CsvStyle::Exact), OutputFormat::CsvExact);
    EXPECT_EQ(formatOfName(u"notes.txt"_s), std::nullopt);
    EXPECT_EQ(formatOfName(u"notes"_s), std::nullopt);

    // Save As: the name typed with the type chosen.
    const struct {
        QString typed;
        OutputFormat filter;
        QString saved;
        OutputFormat format;
    } cases[] = {
        {u"notes.txt"_s, OutputFormat::Xlsx, u"notes.txt.xlsx"_s, OutputFormat::Xlsx},
        {u"notes"_s, OutputFormat::CsvExact, u"notes.csv"_s, OutputFormat::CsvExact},
        {u"talk.pptx"_s, OutputFormat::CsvForSpreadsheets, u"talk.pptx.csv"_s, OutputFormat::CsvForSpreadsheets},
        {u"rows.csv"_s, OutputFormat::Xlsx, u"rows.csv"_s, OutputFormat::CsvForSpreadsheets},
        {u"rows.CSV"_s, OutputFormat::CsvExact, u"rows.CSV"_s, OutputFormat::CsvExact},
        {u"book.xlsx"_s, OutputFormat::CsvExact, u"book.xlsx"_s, OutputFormat::Xlsx},
        {u"book.ods"_s, OutputFormat::Xlsx, u"book.ods"_s, OutputFormat::Ods},
        {u"notes.txt"_s, OutputFormat::Ods, u"notes.txt.ods"_s, OutputFormat::Ods},
    };
    for (const auto& c : cases)
        EXPECT_EQ(saveNameFor(c.typed, c.filter), std::pair(c.saved, c.format)) << c.typed.toStdString();
    for (const OutputFormatInfo& info : outputFormats())
        EXPECT_EQ(formatOfFilter(info.filter), info.format);
}

TEST(CellNamesTest, NumbersAreGroupedInEnglishWholeToTheirLimits) {
    EXPECT_EQ(groupedNumber(1048576), u"1,048,576"_s);
    EXPECT_EQ(groupedNumber(-999), u"-999"_s);
    EXPECT_EQ(groupedNumber(std::numeric_limits<std::int64_t>::min()), u"-9,223,372,036,854,775,808"_s);
}
