#include "office/spreadsheet/SpreadsheetEngine.h"
#include "office/AutomationError.h"
#include "office/spreadsheet/DelimitedText.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace quorvane::office;

namespace {

const QString Mark = QString(QChar(0x00B8));

// A text file in a temporary folder, opened by a fresh instance split at the mark.
class EngineTest : public ::testing::Test {
protected:
    QString writeFile(const QByteArray& bytes, const QString& name = u"1.txt"_s) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    static void open(SpreadsheetApplication& app, const QString& path, const QVariant& delimiter = Mark) {
        app.workbooksOpen(path, {}, {}, 6, {}, {}, {}, {}, delimiter);
    }
    std::shared_ptr<SpreadsheetInstance> create() {
        return std::static_pointer_cast<SpreadsheetInstance>(m_engine.create());
    }
    std::shared_ptr<SpreadsheetInstance> openText(const QByteArray& bytes) {
        auto app = std::static_pointer_cast<SpreadsheetInstance>(m_engine.create());
        open(*app, writeFile(bytes));
        return app;
    }
    static QString text(const Worksheet& sheet, int row, int column) {
        const auto view = sheet.cell(row, column).text;
        return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
    }
    // The failure description of action, or "" when it did not fail.
    template <class Action> static QString failure(Action&& action) {
        try {
            action();
        } catch (const AutomationError& error) {
            return error.description();
        }
        return {};
    }

    QTemporaryDir m_dir;
    SpreadsheetEngine m_engine;
};

TEST_F(EngineTest, RowsAtEveryLineEndAndColumnsOnlyAtTheDelimiter) {
    const QByteArray mark = Mark.toUtf8();
    auto app = openText("a" + mark + "b\r\nc\nd\re" + mark + mark + "f\r\n" + "x,y\tz;\"q" + mark + "\"\r\n");
    const Worksheet& sheet = app->activeWorkbook()->activeSheet();
    EXPECT_EQ(text(sheet, 0, 0), u"a"_s);
    EXPECT_EQ(text(sheet, 0, 1), u"b"_s);
    EXPECT_EQ(text(sheet, 1, 0), u"c"_s);
    EXPECT_EQ(text(sheet, 2, 0), u"d"_s);
    EXPECT_EQ(text(sheet, 3, 0), u"e"_s);
    EXPECT_EQ(text(sheet, 3, 1), u""_s); // two delimiters in a row: an empty cell between
    EXPECT_EQ(text(sheet, 3, 2), u"f"_s);
    // Commas, tabs, semicolons and quotes are ordinary characters.
    EXPECT_EQ(text(sheet, 4, 0), u"x,y\tz;\"q"_s);
    EXPECT_EQ(text(sheet, 4, 1), u"\""_s);
    // The line end after the last line adds no row.
    EXPECT_EQ(sheet.usedRange(), (CellRect{0, 0, 5, 3}));
    EXPECT_EQ(app->activeWorkbook()->name(), u"1.txt"_s);
    EXPECT_EQ(app->sheetsCount(), 1);
}

TEST_F(EngineTest, OnlyPlainDecimalsBecomeNumbersAndNothingBecomesAFormula) {
    for (const char* number : {"42", "-3.5", "0", "0.25", "-0.001", "123456789012345", "1.23456789012345"})
        EXPECT_TRUE(isPlainNumber(number)) << number;
    for (const char* textual : {"007", "1.50", "3.0", "+3", "1e3", "12%", "3/4", "-0", "1.", ".5", "1 000", "", "-",
                                "1234567890123456", "0.1234567890123456", "1,5", "٣"})
        EXPECT_FALSE(isPlainNumber(textual)) << textual;

    const QByteArray mark = Mark.toUtf8();
    auto app = openText("42" + mark + "007" + mark + "=1+1" + mark + "2024-01-02" + mark + "-3.5\n");
    const Worksheet& sheet = app->activeWorkbook()->activeSheet();
    EXPECT_TRUE(sheet.cell(0, 0).number);
    EXPECT_FALSE(sheet.cell(0, 1).number);
    EXPECT_EQ(text(sheet, 0, 2), u"=1+1"_s);
    EXPECT_FALSE(sheet.cell(0, 2).number);
    EXPECT_FALSE(sheet.cell(0, 3).number);
    EXPECT_TRUE(sheet.cell(0, 4).number);
}

TEST_F(EngineTest, TextIsUtf8AndBadBytesFailNamingTheFile) {
    auto app = openText("\xEF\xBB\xBF\xC3\xA4rger \xF0\x9F\x98\x80\n");
    EXPECT_EQ(text(app->activeWorkbook()->activeSheet(), 0, 0), u"ärger 😀"_s);

    auto other = create();
    const QString bad = writeFile("ok\n\xC3(\n", u"bad.txt"_s);
    const QString description = failure([&] { open(*other, bad); });
    EXPECT_TRUE(description.contains(bad)) << description.toStdString();
    EXPECT_TRUE(description.contains(u"UTF-8"_s));
    // Overlong forms and encoded surrogates are not UTF-8 either.
    EXPECT_FALSE(failure([&] { open(*other, writeFile("\xC0\xAF", u"o.txt"_s)); }).isEmpty());
    EXPECT_FALSE(failure([&] { open(*other, writeFile("\xED\xA0\x80", u"s.txt"_s)); }).isEmpty());
    EXPECT_FALSE(failure([&] { open(*other, writeFile("\xE2\x82", u"t.txt"_s)); }).isEmpty());
}

TEST_F(EngineTest, EmptyFileGivesAnEmptySheetWhoseUsedRangeIsA1) {
    auto app = openText("");
    const Worksheet& sheet = app->activeWorkbook()->activeSheet();
    EXPECT_TRUE(sheet.isEmpty());
    EXPECT_EQ(sheet.usedRange(), (CellRect{0, 0, 1, 1}));
}

TEST_F(EngineTest, OpenRefusesWhatItCannotRead) {
    auto app = create();
    const QString path = writeFile("a\n");
    EXPECT_TRUE(failure([&] { app->workbooksOpen(path, {}, {}, 2, {}, {}, {}, {}, {}); }).contains(u"format 2"_s));
    EXPECT_TRUE(failure([&] { app->workbooksOpen(path, {}, {}, {}, {}, {}, {}, {}, Mark); }).contains(u"format 6"_s));
    EXPECT_FALSE(failure([&] { app->workbooksOpen(path, {}, {}, 6, {}, {}, {}, {}, {}); }).isEmpty());
    EXPECT_FALSE(failure([&] { open(*app, path, u"\n"_s); }).isEmpty());
    const QString missing = m_dir.filePath(u"missing.txt"_s);
    EXPECT_TRUE(failure([&] { open(*app, missing); }).contains(missing));
    EXPECT_TRUE(failure([&] { open(*app, m_dir.path()); }).contains(m_dir.path())); // a folder
    EXPECT_EQ(app->activeWorkbook(), nullptr);                                      // nothing was opened
    // Only the first character of the delimiter counts.
    open(*app, writeFile("a;b,c\n"), u";,"_s);
    EXPECT_EQ(text(app->activeWorkbook()->activeSheet(), 0, 1), u"b,c"_s);
}

TEST_F(EngineTest, TheFormatsLimitsFailLoudlySayingWhatDidNotFit) {
    auto app = create();
    // 1,048,576 rows fit; one more does not.
    const QByteArray fullRows(1'048'576, '\n');
    open(*app, writeFile(fullRows, u"rows.txt"_s));
    EXPECT_EQ(app->activeWorkbook()->activeSheet().usedRange(), (CellRect{0, 0, 1, 1})); // all empty
    QString description = failure([&] { open(*app, writeFile(fullRows + "x", u"rows2.txt"_s)); });
    EXPECT_TRUE(description.contains(u"1,048,577"_s) && description.contains(u"1,048,576 rows"_s))
        << description.toStdString();

    // 16,384 columns fit; 16,385 do not.
    const QByteArray mark = Mark.toUtf8();
    QByteArray wide = "x";
    for (int i = 1; i < 16'384; ++i)
        wide += mark;
    open(*app, writeFile(wide + "y\n", u"wide.txt"_s));
    EXPECT_EQ(text(app->activeWorkbook()->activeSheet(), 0, 16'383), u"y"_s);
    description = failure([&] { open(*app, writeFile(wide + mark + "z\n", u"wide2.txt"_s)); });
    EXPECT_TRUE(description.contains(u"16,384 columns"_s)) << description.toStdString();

    // 32,767 UTF-16 units per cell: an emoji counts twice.
    open(*app, writeFile(QByteArray(32'767, 'a'), u"long.txt"_s));
    description = failure([&] { open(*app, writeFile("ok" + mark + QByteArray(32'768, 'a'), u"long2.txt"_s)); });
    EXPECT_TRUE(description.contains(u"32,768 characters"_s) && description.contains(u"B1"_s))
        << description.toStdString();
    QByteArray emoji;
    for (int i = 0; i < 16'384; ++i)
        emoji += "\xF0\x9F\x98\x80";
    EXPECT_TRUE(failure([&] { open(*app, writeFile(emoji, u"emoji.txt"_s)); }).contains(u"32,768"_s));

    // A paste that would run past the last row fails and changes nothing.
    open(*app, writeFile("a\nb\n", u"two.txt"_s));
    app->copyUsedRange();
    app->workbooksAdd();
    app->selectRange(u"A1048576"_s);
    EXPECT_TRUE(failure([&] { app->paste(); }).contains(u"does not fit"_s));
    EXPECT_TRUE(app->activeWorkbook()->activeSheet().isEmpty());
}

TEST_F(EngineTest, TheClipboardOutlivesTheInstanceThatCopied) {
    const QByteArray mark = Mark.toUtf8();
    {
        auto reader = openText("\nx" + mark + "1\n" + "y" + mark + "2\n");
        reader->copyUsedRange();
        reader->quit();
    }
    EXPECT_TRUE(m_engine.clipboardHolds());
    auto target = std::static_pointer_cast<SpreadsheetInstance>(m_engine.create());
    target->workbooksAdd();
    target->paste();
    // The used range started at A2; it lands at the active cell A1.
    const Worksheet& first = target->activeWorkbook()->activeSheet();
    EXPECT_EQ(text(first, 0, 0), u"x"_s);
    EXPECT_TRUE(first.cell(1, 1).number);
    EXPECT_EQ(first.usedRange(), (CellRect{0, 0, 2, 2}));

    // Pasting again at B2 of a new sheet, and over earlier cells: blanks of the range replace them.
    target->sheetsAdd();
    target->paste();
    target->selectRange(u"b2"_s);
    target->paste();
    const Worksheet& second = target->activeWorkbook()->activeSheet();
    EXPECT_EQ(text(second, 0, 0), u"x"_s);
    EXPECT_EQ(text(second, 1, 0), u"y"_s);
    EXPECT_EQ(text(second, 1, 1), u"x"_s);
    EXPECT_EQ(text(second, 2, 2), u"2"_s);
    EXPECT_TRUE(failure([&] { target->selectRange(u"A0"_s); }).contains(u"A0"_s));
    EXPECT_FALSE(failure([&] { target->selectRange(u"XFE1"_s); }).isEmpty());

    // An empty clipboard of another engine: nothing to paste.
    SpreadsheetEngine fresh;
    auto lonely = fresh.create();
    lonely->workbooksAdd();
    EXPECT_TRUE(failure([&] { lonely->paste(); }).contains(u"clipboard"_s));
}

TEST_F(EngineTest, AttachYieldsTheEarliestInstanceStillRunning) {
    EXPECT_FALSE(failure([&] { m_engine.attach(); }).isEmpty());
    auto first = m_engine.create();
    auto second = m_engine.create();
    EXPECT_EQ(m_engine.attach(), first);
    first->quit();
    EXPECT_EQ(m_engine.attach(), second);
    EXPECT_FALSE(failure([&] { first->workbooksAdd(); }).isEmpty()); // a quit instance takes no calls
    first->quit();                                                   // a second Quit does nothing

    // An instance nobody refers to and nobody was handed ends, as an automation server does.
    second.reset();
    EXPECT_FALSE(failure([&] { m_engine.attach(); }).isEmpty());
    m_engine.create(); // created and dropped at once: not left running
    EXPECT_TRUE(m_engine.runningInstances().empty());
}

TEST_F(EngineTest, VisibleHandsTheInstanceToTheUserEveryTime) {
    std::vector<std::shared_ptr<SpreadsheetInstance>> handed;
    m_engine.setHandOverHook([&](const std::shared_ptr<SpreadsheetInstance>& instance) { handed.push_back(instance); });
    {
        auto app = create();
        app->workbooksAdd();
        app->setVisible(true);
        app->sheetsAdd();
        app->setVisible(true);
    }
    ASSERT_EQ(handed.size(), 2u);
    EXPECT_EQ(handed[0], handed[1]);
    handed.clear();
    // The user owns it now: it stays running with nobody else referring to it, until Quit.
    auto attached = m_engine.attach();
    EXPECT_EQ(attached->sheetsCount(), 2);
    EXPECT_TRUE(attached->visible());
    attached->setDisplayAlerts(false);
    attached->quit();
    EXPECT_TRUE(m_engine.runningInstances().empty());
    EXPECT_EQ(attached->name(), u"Quorvane Spreadsheet"_s);
}

TEST_F(EngineTest, NewWorkbooksAndSheetsAreNamedAndPlacedAsTheSpreadsheetDoes) {
    auto app = create();
    app->workbooksAdd();
    app->workbooksAdd();
    auto instance = std::static_pointer_cast<SpreadsheetInstance>(app);
    EXPECT_EQ(instance->activeWorkbook()->name(), u"Book2"_s);
    EXPECT_EQ(m_engine.create().get() != nullptr, true);
    auto other = std::static_pointer_cast<SpreadsheetInstance>(m_engine.create());
    other->workbooksAdd();
    EXPECT_EQ(other->activeWorkbook()->name(), u"Book1"_s); // counted per instance

    EXPECT_EQ(app->sheetsCount(), 1);
    EXPECT_EQ(app->sheetName(1), u"Sheet1"_s);
    app->sheetsAdd();
    app->setActiveSheetName(u"first"_s);
    app->sheetsAdd();
    app->sheetsAdd();
    // Each new sheet comes directly after the active one, so a run's sheets stand in order.
    QStringList names;
    for (int i = 1; i <= app->sheetsCount(); ++i)
        names << app->sheetName(i);
    EXPECT_EQ(names, (QStringList{u"Sheet1"_s, u"first"_s, u"Sheet3"_s, u"Sheet4"_s}));
    EXPECT_FALSE(failure([&] { app->sheetName(5); }).isEmpty());
    EXPECT_FALSE(failure([&] { app->sheetName(0); }).isEmpty());

    // A sheet named like the next default is skipped over.
    app->setActiveSheetName(u"sheet5"_s);
    app->sheetsAdd();
    EXPECT_EQ(app->sheetName(5), u"Sheet6"_s);

    auto empty = create();
    EXPECT_TRUE(failure([&] { empty->sheetsCount(); }).contains(u"No workbook"_s));
}

TEST_F(EngineTest, SheetNamesTheSpreadsheetRefusesFailWithTheReason) {
    auto app = create();
    app->workbooksAdd();
    app->setActiveSheetName(u"Ärger"_s);
    app->sheetsAdd();
    const struct {
        QString name;
        QString reason;
    } refused[] = {
        {u""_s, u"empty"_s},
        {QString(32, u'x'), u"32 characters"_s},
        {u"a:b"_s, u":"_s},
        {u"a\\b"_s, u"\\"_s},
        {u"a/b"_s, u"/"_s},
        {u"a?b"_s, u"?"_s},
        {u"a*b"_s, u"*"_s},
        {u"a[b"_s, u"["_s},
        {u"a]b"_s, u"]"_s},
        {u"'ab"_s, u"apostrophe"_s},
        {u"ab'"_s, u"apostrophe"_s},
        {u"ärger"_s, u"Ärger"_s}, // case folding beyond ASCII
        {u"ÄRGER"_s, u"already taken"_s},
        {u"history"_s, u"History"_s},
        {u"HISTORY"_s, u"History"_s},
        {u"tab\there"_s, u"control character"_s},
    };
    for (const auto& entry : refused) {
        const QString description = failure([&] { app->setActiveSheetName(entry.name); });
        EXPECT_TRUE(description.contains(entry.reason))
            << entry.name.toStdString() << " -> " << description.toStdString();
        EXPECT_EQ(app->sheetName(2), u"Sheet2"_s); // the sheet keeps its name
    }
    for (const QString& accepted : {QString(31, u'x'), u"it's"_s, u"History1"_s, u"Straße"_s, u"sheet2"_s}) {
        EXPECT_TRUE(failure([&] { app->setActiveSheetName(accepted); }).isEmpty()) << accepted.toStdString();
        EXPECT_EQ(app->sheetName(2), accepted);
    }
}

} // namespace
