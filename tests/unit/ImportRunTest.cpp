// The import run through a fake of the window, fake prompts, and recorders around both real office
// servers reading real presentation files.
#include "import/ImportRun.h"
#include "import/ColumnSeparation.h"
#include "shell/ErrorReport.h"
#include "shell/Locations.h"
#include "shell/Product.h"
#include "shell/Services.h"
#include "support/FakeServiceSet.h"
#include "support/PackageBuilder.h"
#include "support/TestTools.h"

#include <gtest/gtest.h>

#include <optional>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <stdexcept>

using namespace quorvane;
using namespace Qt::StringLiterals;
using import::OptionButton;
using test::CallPlan;
using test::Grid;

// Readable QString values in failure messages.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString Title = u"Quorvane Test"_s;
const QString Mark(import::SplitMark);

// The window as the run sees it: a plain list, seven option buttons, Text1 and a progress bar. Every
// call is recorded (through CallPlan) and any one can be made to fail.
class FakeImportWindow final : public import::ImportWindow, public CallPlan {
public:
    shell::PointerShape pointer() const override { return m_pointer; }
    void setPointer(shell::PointerShape shape) override {
        enter(0, u"setPointer"_s, QString::number(static_cast<int>(shape)));
        m_pointer = shape;
    }
    int entryCount() override {
        enter(0, u"entryCount"_s);
        return static_cast<int>(entries.size());
    }
    QString entryText(int position) override {
        enter(0, u"entryText"_s, QString::number(position));
        if (position < 1 || position > entries.size())
            throw std::out_of_range("Index out of bounds");
        return entries.at(position - 1);
    }
    bool optionChecked(OptionButton button) override {
        enter(0, u"optionChecked"_s, QString::number(static_cast<int>(button)));
        return option == button || (button == OptionButton::Option5 && singleSheet) ||
               (button == OptionButton::Option6 && !singleSheet);
    }
    QString text1() override {
        enter(0, u"text1"_s);
        return text1Value;
    }
    void setProgressValue(double value) override {
        enter(0, u"setProgressValue"_s);
        progressValues.push_back(value);
    }
    void setProgressText(const QString& text) override {
        enter(0, u"setProgressText"_s);
        progressTexts.append(text);
    }
    void setImportRunning(bool running) override { runningStates.push_back(running); }
    std::optional<std::vector<import::Column>> headerColumns() override { return header; }
    import::FailureLog* failureLog() override { return failures; }

    QStringList entries;
    import::FailureLog* failures = nullptr;      // collects the failures when set
    OptionButton option = OptionButton::Option1; // the checked one of Option1, 2, 3, 4, 7
    bool singleSheet = true;                     // Option5, else Option6
    QString text1Value;
    std::optional<std::vector<import::Column>> header; // none: no header row
    std::vector<double> progressValues;
    QStringList progressTexts;
    std::vector<bool> runningStates; // what setImportRunning was told, in order
    std::vector<shell::PointerShape> pointers() const {
        std::vector<shell::PointerShape> result;
        for (const test::OfficeCall& c : calls)
            if (c.member == u"setPointer")
                result.push_back(static_cast<shell::PointerShape>(c.arguments.toInt()));
        return result;
    }

private:
    shell::PointerShape m_pointer = shell::PointerShape::Default;
};

class ImportRunTest : public ::testing::Test, public test::FakeServiceSet {
public:
    ImportRunTest() : FakeServiceSet(Title) {}
    void SetUp() override {
        ASSERT_TRUE(temp.isValid() && decks.isValid());
        m_temp.emplace(QFile::encodeName(temp.path()));
    }

    // The place of path (a path from "/") inside the folder of the test's presentations.
    QString deckPath(const QString& path) const { return decks.path() + path; }
    // Writes a presentation of one slide with a text box per text at path and adds it to the list.
    QString addFile(const QString& path, const QStringList& shapeTexts) {
        window.entries.append(test::writeTextDeck(deckPath(path), shapeTexts));
        return window.entries.last();
    }
    // Writes a presentation of one slide per text at path, cut short inside the part of slide cutSlide,
    // and adds it to the list.
    void addCutFile(const QString& path, const std::vector<std::string>& slideTexts, int cutSlide) {
        std::vector<std::string> slides;
        for (const std::string& text : slideTexts)
            slides.push_back(test::slideXml(test::textBoxOf(text)));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(deckPath(path)).path()));
        test::writeDeck(deckPath(path), slides);
        QFile file(deckPath(path));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const std::string part = "ppt/slides/slide" + std::to_string(cutSlide) + ".xml";
        for (const test::ZipEntrySpan& span : test::zipEntrySpans(file.readAll())) {
            if (span.name == part) {
                ASSERT_TRUE(file.resize(span.start + 60)); // inside the part's data
            }
        }
        window.entries.append(file.fileName());
    }
    // Writes a file at path that is no presentation and adds it to the list.
    void addBrokenFile(const QString& path) {
        QFile file(deckPath(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("no presentation");
        window.entries.append(file.fileName());
    }
    void start() { run.PushButton2_Click(); }

    // The target workbook: the active workbook of the first instance handed to the user.
    const office::Workbook& result() {
        for (const auto& instance : spreadsheets.running())
            if (instance->visible() && instance->activeWorkbook())
                return *instance->activeWorkbook();
        throw std::runtime_error("no visible workbook");
    }
    QStringList sheetNames() { return test::sheetNamesOf(result()); }
    // The cells of the target workbook's sheet (from 0).
    Grid cells(int sheet) { return test::cellsOf(result().sheet(sheet)); }
    // No staging file is left in TEMP.
    bool tempIsEmpty() const {
        return QDir(temp.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QTemporaryDir temp; // TEMP: where the staging files go
    QTemporaryDir decks;
    FakeImportWindow window;
    import::ImportRun run{services, window};

private:
    std::optional<test::TempVariable> m_temp;
};

// ---- The start checks ---------------------------------------------------------------------------

TEST_F(ImportRunTest, EmptyListShowsOnlyTheMessage) {
    start();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, u"No files added.");
    EXPECT_EQ(prompts.messages[0].style, shell::MessageStyle::OkOnly);
    EXPECT_EQ(prompts.messages[0].caption, Title);
    // Pointer and progress bar untouched; no server started.
    EXPECT_TRUE(window.pointers().empty());
    EXPECT_TRUE(window.progressValues.empty());
    EXPECT_TRUE(spreadsheets.calls.empty());
    EXPECT_TRUE(presentations.calls.empty());
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(ImportRunTest, RunningInstanceAndNoEndsTheRunWithNothingChanged) {
    addFile(u"/p/a.pptx"_s, {u"x"_s});
    auto user = spreadsheets.startUserInstance();
    prompts.answerNextMessage(shell::MessageAnswer::No);
    start();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].style, shell::MessageStyle::YesNo);
    EXPECT_EQ(prompts.messages[0].caption, Title);
    EXPECT_TRUE(window.pointers().empty());
    EXPECT_TRUE(window.progressValues.empty());
    EXPECT_TRUE(window.progressTexts.isEmpty());
    EXPECT_EQ(events.yields, 0);
    EXPECT_TRUE(presentations.calls.empty());
    EXPECT_EQ(spreadsheets.members(), (QStringList{u"attach"_s, u"name"_s})); // only the running test
    EXPECT_EQ(spreadsheets.instanceCount(), 1);
    EXPECT_EQ(user->activeWorkbook()->sheetCount(), 1);
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(ImportRunTest, RunningInstanceAndYesPutsPerFileSheetsIntoTheUsersWorkbook) {
    addFile(u"/p/a.pptx"_s, {u"alpha"_s});
    addFile(u"/p/b.pptx"_s, {u"beta"_s});
    window.singleSheet = false;
    auto user = spreadsheets.startUserInstance();
    prompts.answerNextMessage(shell::MessageAnswer::Yes);
    start();
    EXPECT_TRUE(errors.reports.empty());
    // The user's instance is the target of both files: no new workbook, the sheets in list order.
    EXPECT_EQ(spreadsheets.count(u"workbooksAdd"_s), 0);
    ASSERT_EQ(user->workbooks().size(), 1u);
    const office::Workbook& book = *user->workbooks()[0];
    EXPECT_EQ(test::sheetNamesOf(book), (QStringList{u"Sheet1"_s, u"apptx"_s, u"bpptx"_s}));
    EXPECT_EQ(test::cellsOf(book.sheet(1)), Grid{QStringList{u"alpha"_s}});
    EXPECT_EQ(test::cellsOf(book.sheet(2)), Grid{QStringList{u"beta"_s}});
    EXPECT_EQ(spreadsheets.trace(spreadsheets.numberOf(user)).last(), u"1.setVisible(true)");
}

TEST_F(ImportRunTest, RunningInstanceAndYesStillStartsAFreshTargetForOneSheet) {
    addFile(u"/p/a.pptx"_s, {u"alpha"_s});
    auto user = spreadsheets.startUserInstance();
    prompts.answerNextMessage(shell::MessageAnswer::Yes);
    start();
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_TRUE(user->activeWorkbook()->sheet(0).isEmpty());
    ASSERT_EQ(spreadsheets.instanceCount(), 3); // the user's, the reading one, the target
    ASSERT_NE(spreadsheets.instance(3), nullptr);
    EXPECT_EQ(test::cellsOf(spreadsheets.instance(3)->activeWorkbook()->sheet(0)), Grid{QStringList{u"alpha"_s}});
}

// ---- Single sheet -------------------------------------------------------------------------------

TEST_F(ImportRunTest, SingleSheetJoinsAllTextAndMakesOnePass) {
    addFile(u"/p/one/a.pptx"_s, {u"a first"_s, u"a second"_s});
    addFile(u"/p/two/b.pptx"_s, {u"b only"_s});
    start();
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_TRUE(prompts.messages.empty());

    // One reading instance, one target, in the order of the steps.
    const QStringList trace = spreadsheets.trace();
    ASSERT_EQ(trace.size(), 12);
    EXPECT_EQ(trace[0], u"0.attach()"); // the running test before the start
    EXPECT_EQ(trace[1], u"0.create()");
    EXPECT_EQ(trace[2], u"1.setDisplayAlerts(false)");
    EXPECT_TRUE(trace[3].startsWith(u"1.workbooksOpen("_s + temp.path() + u"/"_s));
    EXPECT_TRUE(trace[3].endsWith(u",-,-,6,-,-,-,-,"_s + Mark + u")"_s)) << trace[3].toStdString();
    EXPECT_EQ(trace.mid(4), (QStringList{u"1.copyUsedRange()"_s, u"0.create()"_s, u"2.workbooksAdd()"_s, u"2.paste()"_s,
                                         u"2.selectRange(A1)"_s, u"2.setVisible(true)"_s, u"1.quit()"_s,
                                         u"1.setDisplayAlerts(true)"_s}));

    // The lines of the second file follow the first's without a gap, in the first sheet of a new workbook.
    EXPECT_EQ(sheetNames(), QStringList{u"Sheet1"_s});
    EXPECT_EQ(cells(0), (Grid{QStringList{u"a first"_s}, QStringList{u"a second"_s}, QStringList{u"b only"_s}}));
    // The text ends with a line end already, so none is added (it would be read as one more, empty row).
    EXPECT_EQ(spreadsheets.openedFiles, QStringList{u"a first\r\na second\r\nb only\r\n"_s});
    EXPECT_EQ(spreadsheets.instance(1), nullptr); // the reading instance is gone

    // Busy while running, default after; progress i/n*100 then 0 and "Progress Bar".
    EXPECT_EQ(window.pointers(),
              (std::vector<shell::PointerShape>{shell::PointerShape::Busy, shell::PointerShape::Default}));
    EXPECT_EQ(window.progressValues, (std::vector<double>{50, 100, 0}));
    EXPECT_EQ(window.progressTexts, (QStringList{u"Processing: a.pptx"_s, u"Processing: b.pptx"_s, u"Progress Bar"_s}));
    EXPECT_TRUE(tempIsEmpty());
}

TEST_F(ImportRunTest, ProgressRereadsTheCountButNotTheLoopBound) {
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    addFile(u"/p/b.pptx"_s, {u"b"_s});
    addFile(u"/p/c.pptx"_s, {u"c"_s});
    const QString d = addFile(u"/p/d.pptx"_s, {u"d"_s});
    window.entries.removeLast(); // d is not in the list yet
    // At the first yield the list grows to four entries: the progress uses 4, the loop still ends at 3.
    events.onYield = [&](int yield) {
        if (yield == 1)
            window.entries.append(d);
    };
    start();
    EXPECT_EQ(window.progressValues, (std::vector<double>{25, 50, 75, 0}));
    EXPECT_EQ(presentations.count(u"open"_s), 3);
    EXPECT_EQ(cells(0).size(), 3);
    // A count of three gives fractions that are not rounded.
    window.entries.removeLast();
    window.progressValues.clear();
    events.onYield = nullptr;
    spreadsheets.quitAll(); // the user closes the first result
    start();
    ASSERT_EQ(window.progressValues.size(), 4u);
    EXPECT_DOUBLE_EQ(window.progressValues[0], 100.0 / 3.0);
    EXPECT_DOUBLE_EQ(window.progressValues[1], 200.0 / 3.0);
}

TEST_F(ImportRunTest, ShortenedListReportsTheMissingEntryAndDoesNotRepeatThePrevious) {
    const QString a = addFile(u"/p/a.pptx"_s, {u"a"_s});
    addFile(u"/p/b.pptx"_s, {u"b"_s});
    addFile(u"/p/c.pptx"_s, {u"c"_s});
    // During the yield of file 2's path step, the user removes the last two entries.
    events.onYield = [&](int yield) {
        if (yield == 4)
            window.entries = QStringList{a};
    };
    start();
    ASSERT_EQ(errors.reports.size(), 1u);
    EXPECT_EQ(errors.reports[0].line, 118);
    EXPECT_EQ(errors.reports[0].description, u"Index out of bounds");
    EXPECT_EQ(errors.reports[0].location, QString::fromUtf16(shell::location::PushButton2Click));
    EXPECT_EQ(presentations.count(u"open"_s), 2); // a and b, nothing twice
    EXPECT_EQ(cells(0), (Grid{QStringList{u"a"_s}, QStringList{u"b"_s}}));
    EXPECT_EQ(window.progressValues.back(), 0);
}

TEST_F(ImportRunTest, ReadingAheadKeepsTheOrderTheReportsAndTheListAsItIsEdited) {
    presentations.readAhead(3);
    const QString a = addFile(u"/p/a.pptx"_s, {u"a"_s});
    addBrokenFile(u"/p/broken.pptx"_s);
    window.entries.append(a);
    addFile(u"/p/c.pptx"_s, {u"c"_s});
    addFile(u"/p/d.pptx"_s, {u"d"_s});
    // At file 2's path step c, read ahead by now or being read, leaves the list: d takes its place.
    events.onYield = [&](int yield) {
        if (yield == 4)
            window.entries.removeAt(3);
    };
    start();
    EXPECT_EQ(errors.lines(), (std::vector<int>{120, 118}));
    EXPECT_EQ(errors.reports[0].description,
              deckPath(u"/p/broken.pptx"_s) + u": not a presentation file (not a zip archive)"_s);
    EXPECT_EQ(cells(0), (Grid{QStringList{u"a"_s}, QStringList{u"a"_s}, QStringList{u"d"_s}}));
    EXPECT_EQ(presentations.count(u"open"_s), 4);
}

TEST_F(ImportRunTest, UnreadablePresentationContributesNoText) {
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    addBrokenFile(u"/p/broken.pptx"_s);
    addFile(u"/p/c.pptx"_s, {u"c"_s});
    start();
    ASSERT_EQ(errors.reports.size(), 1u);
    EXPECT_EQ(errors.reports[0].line, 120);
    // The presentation is named by its full path: another folder may hold one of the same name.
    EXPECT_EQ(errors.reports[0].description,
              deckPath(u"/p/broken.pptx"_s) + u": not a presentation file (not a zip archive)"_s);
    // The text of a.pptx is not taken a second time for the broken file.
    EXPECT_EQ(cells(0), (Grid{QStringList{u"a"_s}, QStringList{u"c"_s}}));
}

TEST_F(ImportRunTest, ADamagedPresentationGivesWhatSurvivedAndIsReportedOnce) {
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    // Its column mark is text, as in any presentation's text.
    addCutFile(u"/p/cut.pptx"_s, {"first \xC2\xB8 mark", "second", "third"}, 2);
    addFile(u"/p/c.pptx"_s, {u"c"_s});
    start();
    ASSERT_EQ(errors.reports.size(), 1u);
    EXPECT_EQ(errors.reports[0].line, 120);
    EXPECT_EQ(errors.reports[0].description,
              deckPath(u"/p/cut.pptx"_s) +
                  u": damaged (cut short in ppt/slides/slide2.xml): 1 of 3 slides read; slides 2\u20133 are lost"_s);
    EXPECT_EQ(cells(0), (Grid{QStringList{u"a"_s}, QStringList{u"first \u00B8 mark"_s}, QStringList{u"c"_s}}));
}

TEST_F(ImportRunTest, PerFileADamagedPresentationFillsItsSheetWithWhatSurvived) {
    addCutFile(u"/p/cut.pptx"_s, {"first", "second"}, 2);
    addFile(u"/p/c.pptx"_s, {u"c"_s});
    window.singleSheet = false;
    start();
    EXPECT_EQ(errors.lines(), (std::vector<int>{184}));
    EXPECT_EQ(sheetNames(), (QStringList{u"Sheet1"_s, u"cutpptx"_s, u"cpptx"_s}));
    EXPECT_EQ(cells(1), (Grid{QStringList{u"first"_s}}));
    EXPECT_EQ(cells(2), (Grid{QStringList{u"c"_s}}));
}

// Failures collected in both sheet modes (true: one sheet).
class ImportRunFailuresTest : public ImportRunTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ImportRunFailuresTest, CollectedFailuresShowNoBoxUntilOneAtTheEndAndFillALastSheet) {
    import::FailureLog log;
    window.failures = &log;
    window.singleSheet = GetParam();
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    addBrokenFile(u"/p/broken.pptx"_s);
    addCutFile(u"/p/cut.pptx"_s, {"first", "second", "third"}, 2);
    addFile(u"/p/c.pptx"_s, {u"c"_s});
    start();
    EXPECT_TRUE(errors.reports.empty());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].style, shell::MessageStyle::Information);
    EXPECT_EQ(prompts.messages[0].caption, Title);
    EXPECT_EQ(prompts.messages[0].text, u"2 of 4 presentations failed or were read only in part.\r\rThe sheet "
                                        u"\"Failures\" at the end of the workbook lists every failure: 2 in all."_s);
    // The workbook is what it would be without collecting, and then the failures in order.
    const QString step = GetParam() ? u"120"_s : u"184"_s;
    const QStringList sheets = sheetNames();
    const QStringList expected =
        GetParam() ? QStringList{u"Sheet1"_s, u"Failures"_s}
                   : QStringList{u"Sheet1"_s, u"apptx"_s, u"brokenpptx"_s, u"cutpptx"_s, u"cpptx"_s, u"Failures"_s};
    EXPECT_EQ(sheets, expected);
    EXPECT_EQ(
        cells(static_cast<int>(sheets.size()) - 1),
        (Grid{{deckPath(u"/p/broken.pptx"_s), step, u"not a presentation file (not a zip archive)"_s},
              {deckPath(u"/p/cut.pptx"_s), step,
               u"damaged (cut short in ppt/slides/slide2.xml): 1 of 3 slides read; slides 2\u20133 are lost"_s}}));
    EXPECT_TRUE(tempIsEmpty());
}

INSTANTIATE_TEST_SUITE_P(SheetModes, ImportRunFailuresTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& mode) {
                             return mode.param ? std::string("OneSheet") : std::string("PerFile");
                         });

TEST_F(ImportRunTest, ColumnSeparationFollowsTheCheckedOption) {
    struct Case {
        OptionButton option;
        QString text1;
        QStringList cells;
    };
    const std::vector<Case> cases{
        {OptionButton::Option1, {}, {u"a b,c\td"_s}},       {OptionButton::Option2, {}, {u"a"_s, u"b,c\td"_s}},
        {OptionButton::Option3, {}, {u"a b"_s, u"c\td"_s}}, {OptionButton::Option4, u"b,"_s, {u"a "_s, u"c\td"_s}},
        {OptionButton::Option4, {}, {u"a b,c\td"_s}}, // an empty Text1 splits nowhere
        {OptionButton::Option7, {}, {u"a b,c"_s, u"d"_s}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.option));
        spreadsheets.quitAll();
        window.entries.clear();
        addFile(u"/p/a.pptx"_s, {u"a b,c\td"_s});
        window.option = c.option;
        window.text1Value = c.text1;
        start();
        EXPECT_TRUE(errors.reports.empty());
        EXPECT_EQ(cells(0), Grid{c.cells});
    }
}

TEST_F(ImportRunTest, OneSheetSeparatesTheJoinedTextSoASeparatorMaySpanPresentations) {
    // "\r\nX" spans the end of a.pptx's text and the start of b.pptx's: the two lines become one row.
    addFile(u"/p/a.pptx"_s, {u"a1"_s});
    addFile(u"/p/b.pptx"_s, {u"X b"_s, u"last"_s});
    window.option = OptionButton::Option4;
    window.text1Value = u"\r\nX"_s;
    start();
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_EQ(cells(0), (Grid{QStringList{u"a1"_s, u" b"_s}, QStringList{u"last"_s, QString()}}));

    // Across a presentation without text, and left to right: the occurrence that begins in ax.pptx
    // is replaced, so the one that would begin in xb.pptx's own text (overlapping it) is not.
    spreadsheets.quitAll();
    window.entries.clear();
    addFile(u"/p/ax.pptx"_s, {u"ax"_s});
    addFile(u"/p/none.pptx"_s, {});
    addFile(u"/p/xb.pptx"_s, {u"x"_s, u"xb"_s});
    window.text1Value = u"x\r\nx"_s;
    start();
    EXPECT_EQ(cells(0), (Grid{QStringList{u"a"_s}, QStringList{u"xb"_s}}));
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(ImportRunTest, SecondStartDuringARunIsIgnored) {
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    addFile(u"/p/b.pptx"_s, {u"b"_s});
    bool runningInside = false;
    events.onYield = [&](int yield) {
        if (yield == 2) {
            runningInside = run.running();
            start(); // the user clicks the start button again
        }
    };
    start();
    EXPECT_TRUE(runningInside);
    EXPECT_FALSE(run.running());
    EXPECT_EQ(presentations.count(u"open"_s), 2);
    EXPECT_EQ(spreadsheets.count(u"create"_s), 2);
    EXPECT_EQ(window.pointers(),
              (std::vector<shell::PointerShape>{shell::PointerShape::Busy, shell::PointerShape::Default}));
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(ImportRunTest, AbortAtAYieldStopsQuietlyAndLeavesNoStagingFile) {
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    addFile(u"/p/b.pptx"_s, {u"b"_s});
    // Single sheet: 2 yields per file, then the one inside the quiet delete (the 5th).
    for (int abortAt : {1, 3, 5}) {
        SCOPED_TRACE(abortAt);
        window.calls.clear();
        window.progressTexts.clear();
        events.yields = 0;
        events.abortAt = abortAt;
        start();
        EXPECT_FALSE(run.running());
        EXPECT_TRUE(tempIsEmpty());
        EXPECT_TRUE(errors.reports.empty());
        // No end steps: the pointer stays busy and the progress text is not reset.
        EXPECT_EQ(window.pointers(), std::vector<shell::PointerShape>{shell::PointerShape::Busy});
        EXPECT_FALSE(window.progressTexts.contains(u"Progress Bar"_s));
    }
    // The pass before the abort at the quiet delete had already made the visible result.
    EXPECT_EQ(cells(0), (Grid{QStringList{u"a"_s}, QStringList{u"b"_s}}));
}

TEST_F(ImportRunTest, AStopInTheMiddleOfAReadEndsTheReadThere) {
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    // The read polls for a stop at its first checkpoint, before any yield of the run's own comes again.
    events.abortAtPoll = 1;
    start();
    EXPECT_EQ(events.polls, 1);
    EXPECT_EQ(run.presentationsRead(), 0);
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_TRUE(tempIsEmpty());
    EXPECT_TRUE(spreadsheets.running().empty());
}

// ---- What does not fit one sheet ----------------------------------------------------------------

// One text box of count lines ("1", "2", ...), joined by LF: each is a row of its own.
QString linesOf(std::int64_t count) {
    QString text;
    text.reserve(count * 8);
    for (std::int64_t n = 1; n <= count; ++n) {
        text += QString::number(n);
        if (n < count)
            text += u'\n';
    }
    return text;
}

TEST_F(ImportRunTest, ASheetFullOfRowsFitsAndMoreGoOnInSheetsAddedAfterIt) {
    const QString full = addFile(u"/p/full.pptx"_s, {linesOf(office::MaxRows)});
    // Exactly a sheet's worth of rows: one sheet, no report.
    start();
    EXPECT_TRUE(errors.reports.empty());
    ASSERT_EQ(sheetNames(), QStringList{u"Sheet1"_s});
    EXPECT_EQ(result().sheet(0).usedRange().rows, office::MaxRows);

    // One more file: its rows go on in a second sheet, and the user is told once, as no failure.
    spreadsheets.quitAll();
    addFile(u"/p/b.pptx"_s, {u"b1"_s, u"b2"_s});
    start();
    ASSERT_EQ(sheetNames(), (QStringList{u"Sheet1"_s, u"Sheet2"_s}));
    EXPECT_EQ(test::cellText(result().sheet(0), office::MaxRows, 1), u"1048576"_s);
    EXPECT_EQ(test::cellsOf(result().sheet(1)), (Grid{QStringList{u"b1"_s}, QStringList{u"b2"_s}}));
    ASSERT_EQ(errors.reports.size(), 1u);
    EXPECT_TRUE(errors.reports[0].notice);
    EXPECT_EQ(errors.reports[0].line, 164);
    EXPECT_EQ(errors.reports[0].description, u"The text has 1,048,578 rows; a sheet holds 1,048,576. The rows from "
                                             u"1,048,577 on continue on the sheet \"Sheet2\"."_s);
    EXPECT_EQ(spreadsheets.count(u"setVisible"_s), 2); // once per run: when every row is in
    EXPECT_TRUE(tempIsEmpty());

    // Per file: a file's own text that does not fit goes on in a sheet named after the file's sheet.
    errors.reports.clear();
    spreadsheets.quitAll();
    window.entries = QStringList{full};
    addFile(u"/p/over.pptx"_s, {linesOf(office::MaxRows), u"last"_s});
    window.singleSheet = false;
    start();
    EXPECT_EQ(sheetNames(), (QStringList{u"Sheet1"_s, u"fullpptx"_s, u"overpptx"_s, u"overpptx (2)"_s}));
    EXPECT_EQ(result().sheet(1).usedRange().rows, office::MaxRows);
    EXPECT_EQ(test::cellsOf(result().sheet(3)), Grid{QStringList{u"last"_s}});
    ASSERT_EQ(errors.reports.size(), 1u);
    EXPECT_EQ(errors.reports[0].line, 240);
    EXPECT_EQ(errors.reports[0].description,
              u"The text of "_s + deckPath(u"/p/over.pptx"_s) +
                  u" has 1,048,577 rows; a sheet holds 1,048,576. The rows from 1,048,577 on continue on the sheet "
                  u"\"overpptx (2)\"."_s);
    EXPECT_TRUE(tempIsEmpty());

    // Every file that goes on in a further sheet is told.
    errors.reports.clear();
    spreadsheets.quitAll();
    window.entries = QStringList{window.entries.last(), window.entries.last()};
    start();
    ASSERT_EQ(errors.reports.size(), 2u);
    EXPECT_TRUE(errors.reports[0].notice && errors.reports[1].notice);
    EXPECT_TRUE(errors.reports[1].description.startsWith(u"The text of "_s + deckPath(u"/p/over.pptx"_s)));
}

TEST_F(ImportRunTest, AHeaderRowStartsEverySheetOfATextAndItsRowsGoOnBelowIt) {
    // Split at spaces, the widest row three cells: every sheet of the text starts with the same header.
    window.header = std::vector<import::Column>{};
    window.option = OptionButton::Option2;
    addFile(u"/p/full.pptx"_s, {linesOf(office::MaxRows)});
    addFile(u"/p/b.pptx"_s, {u"b1 b2 b3"_s});
    start();
    ASSERT_EQ(sheetNames(), (QStringList{u"Sheet1"_s, u"Sheet2"_s}));
    const QStringList header{u"text"_s, u"text 2"_s, u"text 3"_s};
    EXPECT_EQ(test::cellText(result().sheet(0), 1, 3), u"text 3"_s);
    EXPECT_EQ(test::cellText(result().sheet(0), 2, 1), u"1"_s);
    EXPECT_EQ(test::cellText(result().sheet(0), office::MaxRows, 1), u"1048575"_s);
    EXPECT_EQ(test::cellsOf(result().sheet(1)),
              (Grid{header, QStringList{u"1048576"_s, u""_s, u""_s}, QStringList{u"b1"_s, u"b2"_s, u"b3"_s}}));
    ASSERT_EQ(errors.reports.size(), 1u);
    EXPECT_EQ(errors.reports[0].description, u"The text has 1,048,577 rows; a sheet holds 1,048,576. The rows from "
                                             u"1,048,576 on continue on the sheet \"Sheet2\"."_s);
}

TEST_F(ImportRunTest, ATextTooLongForACellIsCutAndReportedAndTheRestIsKept) {
    // 40,000 UTF-16 units, where unit 32,767 is the first half of a pair: the cut keeps 32,766.
    const QString tooLong = QString(32766, u'x') + u"😀"_s + QString(40000 - 32768, u'y');
    addFile(u"/p/a.pptx"_s, {u"before"_s});
    const QString deck = addFile(u"/p/long.pptx"_s, {u"c1 "_s + tooLong, u"after"_s});
    window.option = OptionButton::Option2; // the long text is the second cell of its row
    for (const bool single : {true, false}) {
        SCOPED_TRACE(single);
        errors.reports.clear();
        spreadsheets.quitAll();
        window.singleSheet = single;
        start();
        const office::Worksheet& sheet = result().sheet(single ? 0 : 2);
        const int row = single ? 2 : 1;
        EXPECT_EQ(test::cellText(sheet, row, 1), u"c1"_s);
        EXPECT_EQ(test::cellText(sheet, row, 2), QString(32766, u'x'));
        EXPECT_EQ(test::cellText(sheet, row + 1, 1), u"after"_s);
        EXPECT_EQ(test::cellText(single ? sheet : result().sheet(1), 1, 1), u"before"_s);
        ASSERT_EQ(errors.reports.size(), 1u);
        EXPECT_FALSE(errors.reports[0].notice);
        EXPECT_EQ(errors.reports[0].line, single ? 164 : 240);
        EXPECT_EQ(errors.reports[0].description,
                  deck + u": the text for row %1, column B of the sheet \"%2\" has 39,999 characters (40,000 UTF-16 "
                         u"units); a cell holds 32,767 UTF-16 units, so its last 7,233 characters were cut."_s.arg(row)
                             .arg(single ? u"Sheet1"_s : u"longpptx"_s));
    }
}

TEST_F(ImportRunTest, ALineOfMoreCellsThanARowHoldsKeepsItsFirstCellsAndTheRestArrives) {
    addFile(u"/p/a.pptx"_s, {u"before"_s});
    // Split at every space: 16,386 cells, two past the last column.
    const QString wide =
        addFile(u"/p/wide.pptx"_s, {u"w"_s + QString(u" w"_s).repeated(office::MaxColumns + 1), u"after"_s});
    addFile(u"/p/c.pptx"_s, {u"last"_s});
    window.option = OptionButton::Option2;
    for (const bool single : {true, false}) {
        SCOPED_TRACE(single);
        errors.reports.clear();
        spreadsheets.quitAll();
        window.singleSheet = single;
        start();
        const office::Worksheet& sheet = result().sheet(single ? 0 : 2);
        const int row = single ? 2 : 1;
        EXPECT_EQ(sheet.usedRange().columns, office::MaxColumns);
        EXPECT_EQ(test::cellText(sheet, row, office::MaxColumns), u"w"_s);
        EXPECT_EQ(test::cellText(sheet, row + 1, 1), u"after"_s);
        EXPECT_EQ(test::cellText(single ? sheet : result().sheet(1), 1, 1), u"before"_s);
        EXPECT_EQ(test::cellText(single ? sheet : result().sheet(3), single ? 4 : 1, 1), u"last"_s);
        ASSERT_EQ(errors.reports.size(), 1u);
        EXPECT_EQ(errors.reports[0].description,
                  wide + u": row %1 of the sheet \"%2\" has 16,386 cells; a sheet holds 16,384 columns, so its last 2 "
                         u"were cut."_s.arg(row)
                             .arg(single ? u"Sheet1"_s : u"widepptx"_s));
    }
}

TEST_F(ImportRunTest, TheColumnMarkInASlideIsTextUnderEveryOption) {
    addFile(u"/p/mark.pptx"_s, {u"price\u00B8 5 \u00B8 x"_s});
    const auto cells = [&](OptionButton option, const QString& text1) {
        spreadsheets.quitAll();
        window.option = option;
        window.text1Value = text1;
        start();
        return test::cellsOf(result().sheet(0));
    };
    EXPECT_EQ(cells(OptionButton::Option1, {}), Grid{QStringList{u"price\u00B8 5 \u00B8 x"_s}});
    EXPECT_EQ(cells(OptionButton::Option2, {}), Grid{(QStringList{u"price\u00B8"_s, u"5"_s, u"\u00B8"_s, u"x"_s})});
    // Splitting at the column mark itself is asked for, and done.
    EXPECT_EQ(cells(OptionButton::Option4, u"\u00B8"_s), Grid{(QStringList{u"price"_s, u" 5 "_s, u" x"_s})});
    EXPECT_TRUE(errors.reports.empty());
}

// ---- Per file -----------------------------------------------------------------------------------

TEST_F(ImportRunTest, PerFileMakesASheetPerFileInOneVisibleWorkbook) {
    addFile(u"/p/Q3 Review.pptx"_s, {u"q3"_s});
    addFile(u"/p/budget_2017 (final).ppt"_s, {u"b1"_s, u"b2"_s});
    window.singleSheet = false;
    start();
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_EQ(sheetNames(), (QStringList{u"Sheet1"_s, u"Q3 Reviewpptx"_s, u"budget2017 finalppt"_s}));
    EXPECT_EQ(cells(1), Grid{QStringList{u"q3"_s}});
    EXPECT_EQ(cells(2), (Grid{QStringList{u"b1"_s}, QStringList{u"b2"_s}}));

    // A reading instance per file, quit before the paste; the target started once, shown at the end.
    EXPECT_EQ(spreadsheets.members(1),
              (QStringList{u"setDisplayAlerts"_s, u"workbooksOpen"_s, u"copyUsedRange"_s, u"quit"_s}));
    EXPECT_EQ(spreadsheets.members(3), spreadsheets.members(1));
    EXPECT_EQ(spreadsheets.trace(2),
              (QStringList{u"2.workbooksAdd()"_s, u"2.sheetsAdd()"_s, u"2.sheetsCount()"_s, u"2.sheetName(1)"_s,
                           u"2.sheetName(2)"_s, u"2.setActiveSheetName(Q3 Reviewpptx)"_s, u"2.paste()"_s,
                           u"2.selectRange(A1)"_s, u"2.name()"_s, u"2.sheetsAdd()"_s, u"2.sheetsCount()"_s,
                           u"2.sheetName(1)"_s, u"2.sheetName(2)"_s, u"2.sheetName(3)"_s,
                           u"2.setActiveSheetName(budget2017 finalppt)"_s, u"2.paste()"_s, u"2.selectRange(A1)"_s,
                           u"2.setVisible(true)"_s}));
    EXPECT_EQ(spreadsheets.running().size(), 1u);
    EXPECT_EQ(spreadsheets.count(u"setDisplayAlerts"_s), 2); // off once per reader, not switched back in this mode

    // The busy pointer is set again for every file.
    EXPECT_EQ(window.pointers(),
              (std::vector<shell::PointerShape>{shell::PointerShape::Busy, shell::PointerShape::Busy,
                                                shell::PointerShape::Busy, shell::PointerShape::Default}));
    EXPECT_EQ(window.progressValues, (std::vector<double>{50, 100, 0}));
    EXPECT_TRUE(tempIsEmpty());
}

TEST_F(ImportRunTest, PerFileReadsTheOptionsForEveryFile) {
    addFile(u"/p/a.pptx"_s, {u"1 2,3"_s});
    addFile(u"/p/b.pptx"_s, {u"1 2,3"_s});
    window.singleSheet = false;
    window.option = OptionButton::Option2;
    // During file 2's first yield the user picks the comma and also Option5; the mode stays per file.
    events.onYield = [&](int yield) {
        if (yield == 4) {
            window.option = OptionButton::Option3;
            window.singleSheet = true;
        }
    };
    start();
    EXPECT_EQ(sheetNames(), (QStringList{u"Sheet1"_s, u"apptx"_s, u"bpptx"_s}));
    EXPECT_EQ(cells(1), Grid{(QStringList{u"1"_s, u"2,3"_s})});
    EXPECT_EQ(cells(2), Grid{(QStringList{u"1 2"_s, u"3"_s})});
}

TEST_F(ImportRunTest, SameFileNamesGetRandomDigitsThatFitTheName) {
    addFile(u"/one/Q3 Review.pptx"_s, {u"1"_s});
    addFile(u"/two/Q3 Review.pptx"_s, {u"2"_s});
    const QString name28 = u"Twenty six letters abcde.pptx"_s; // 28 characters once filtered
    addFile(u"/one/"_s + name28, {u"3"_s});
    addFile(u"/two/"_s + name28, {u"4"_s});
    const QString longName = u"Quarterly results for the northern region.pptx"_s;
    addFile(u"/one/"_s + longName, {u"5"_s});
    addFile(u"/two/"_s + longName, {u"6"_s});
    window.singleSheet = false;
    random.fractions = {0.58888, 0.25, 0.5};
    start();
    // 0.58888 * 8000 = 4711.04, rounded 4711, plus 1; 0.25 gives 2001 and 0.5 gives 4001. A name is
    // taken when a sheet has it as it would be assigned, cut to 30 characters, and then gives way to
    // the digits, so every sheet gets a name of its own from its file and nothing is refused.
    EXPECT_EQ(sheetNames(), (QStringList{u"Sheet1"_s, u"Q3 Reviewpptx"_s, u"Q3 Reviewpptx4712"_s,
                                         u"Twenty six letters abcdepptx"_s, u"Twenty six letters abcdepp2001"_s,
                                         u"Quarterly results for the nort"_s, u"Quarterly results for the 4001"_s}));
    EXPECT_EQ(random.seeds, 3);
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_EQ(cells(6), Grid{QStringList{u"6"_s}});
}

TEST_F(ImportRunTest, PerFileShortenedListAndUnreadableFile) {
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    addBrokenFile(u"/p/broken.pptx"_s);
    addFile(u"/p/c.pptx"_s, {u"c"_s});
    window.singleSheet = false;
    // While the broken file is processed, c.pptx leaves the list.
    events.onYield = [&](int yield) {
        if (yield == 5)
            window.entries.removeLast();
    };
    start();
    EXPECT_EQ(errors.lines(), (std::vector<int>{184, 182}));
    // The broken file gets its sheet, empty; c.pptx gets none and a.pptx is not read again.
    EXPECT_EQ(sheetNames(), (QStringList{u"Sheet1"_s, u"apptx"_s, u"brokenpptx"_s}));
    EXPECT_TRUE(result().sheet(2).isEmpty());
    EXPECT_EQ(presentations.count(u"open"_s), 2);
    EXPECT_TRUE(tempIsEmpty());
}

TEST_F(ImportRunTest, AFailedCopyPastesNothingRatherThanAnotherFilesText) {
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    addFile(u"/p/b.pptx"_s, {u"b"_s});
    window.singleSheet = false;
    spreadsheets.failCall(u"copyUsedRange"_s, 2);
    start();
    // The clipboard still holds a.pptx's range: b.pptx's sheet stays empty instead.
    EXPECT_EQ(errors.lines(), std::vector<int>{216});
    EXPECT_EQ(sheetNames(), (QStringList{u"Sheet1"_s, u"apptx"_s, u"bpptx"_s}));
    EXPECT_EQ(cells(1), Grid{QStringList{u"a"_s}});
    EXPECT_TRUE(result().sheet(2).isEmpty());
    EXPECT_EQ(spreadsheets.count(u"paste"_s), 1);

    // One sheet: the range of an earlier run is not pasted into the new workbook either.
    errors.reports.clear();
    spreadsheets.quitAll();
    window.singleSheet = true;
    spreadsheets.failNextCall(u"copyUsedRange"_s);
    start();
    EXPECT_EQ(errors.lines(), std::vector<int>{158});
    EXPECT_TRUE(result().sheet(0).isEmpty());
}

TEST_F(ImportRunTest, PerFileAbortAtTheQuietDeleteLeavesNoStagingFile) {
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    window.singleSheet = false;
    events.abortAt = 3; // the first file's yields at 180 and 182, then the quiet delete
    start();
    EXPECT_TRUE(tempIsEmpty());
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_EQ(spreadsheets.count(u"paste"_s), 1);
    EXPECT_EQ(spreadsheets.count(u"setVisible"_s), 0); // the end steps never ran
    EXPECT_FALSE(window.progressTexts.contains(u"Progress Bar"_s));
}

// ---- Every statement that can fail --------------------------------------------------------------

// One planned failure and the reports it must give, in order.
struct FailureCase {
    const char* name;
    bool singleSheet;
    std::function<void(ImportRunTest&)> plan;
    std::vector<int> lines;
};

class ImportRunFailureTest : public ImportRunTest, public ::testing::WithParamInterface<FailureCase> {};

QString planned(const char* member, int occurrence) {
    return CallPlan::plannedDescription(QString::fromUtf8(member), occurrence);
}

auto windowFails(const char* member, int occurrence) {
    return [=](ImportRunTest& t) { t.window.failCall(QString::fromUtf8(member), occurrence); };
}
auto spreadsheetFails(const char* member, int occurrence) {
    return [=](ImportRunTest& t) { t.spreadsheets.failCall(QString::fromUtf8(member), occurrence); };
}
auto presentationFails(const char* member, int occurrence) {
    return [=](ImportRunTest& t) { t.presentations.failCall(QString::fromUtf8(member), occurrence); };
}
// The same with another separation option checked, so that the run reaches the statement.
auto optionFails(OptionButton option, const char* member, int occurrence) {
    return [=](ImportRunTest& t) {
        t.window.option = option;
        t.window.failCall(QString::fromUtf8(member), occurrence);
    };
}
auto yieldFails(int yield) {
    return [=](ImportRunTest& t) {
        t.events.onYield = [=](int n) {
            if (n == yield)
                throw std::runtime_error("yield failed");
        };
    };
}

// Two files, a.pptx ("a1", "a2 b") and b.pptx ("b"), with the space option; occurrences count the
// calls of a normal run (e.g. the window's entryCount: 104, 114/178, then the progress of each file).
const std::vector<FailureCase> failureCases{
    // Start (either mode). A failing test counts as passed: 104 shows the empty-list message.
    {"CountAtStart", true, windowFails("entryCount", 1), {104}},
    {"EmptyListMessage",
     true,
     [](ImportRunTest& t) {
         auto& r = t;
         r.window.entries.clear();
         r.prompts.onMessage = [](const test::ShownMessage&) { throw std::runtime_error("box failed"); };
     },
     {262}},
    {"WarningPrompt",
     true,
     [](ImportRunTest& t) {
         auto& r = t;
         r.spreadsheets.startUserInstance();
         r.prompts.onMessage = [](const test::ShownMessage&) { throw std::runtime_error("box failed"); };
     },
     {106}},
    {"BusyPointer", true, windowFails("setPointer", 1), {108}},
    {"SheetModeTest", false, windowFails("optionChecked", 1), {112}}, // single sheet all the same
    // Single sheet.
    {"SingleLoopBound", true, windowFails("entryCount", 2), {114}},
    {"SingleYield", true, yieldFails(1), {116}},
    {"SingleProgress", true, windowFails("setProgressValue", 2), {124}},
    {"SingleEntry", true, windowFails("entryText", 1), {118}},
    {"SingleStatusText", true, windowFails("setProgressText", 1), {118}},
    {"SingleText", true, presentationFails("open", 1), {120}},
    {"SingleSpaceTest", true, windowFails("optionChecked", 2), {128}},
    {"SingleCommaTest", true, optionFails(OptionButton::Option1, "optionChecked", 3), {132}},
    {"SingleTextTest", true, optionFails(OptionButton::Option1, "optionChecked", 4), {136}},
    {"SingleText1", true, optionFails(OptionButton::Option4, "text1", 1), {138}},
    {"SingleTabTest", true, optionFails(OptionButton::Option1, "optionChecked", 5), {140}},
    {"SingleReadingCreate", true, spreadsheetFails("create", 1), {152, 154, 156, 158, 170, 172}},
    {"SingleAlertsOff", true, spreadsheetFails("setDisplayAlerts", 1), {154}},
    {"SingleOpen", true, spreadsheetFails("workbooksOpen", 1), {156, 158}},
    {"SingleCopy", true, spreadsheetFails("copyUsedRange", 1), {158}},
    {"SingleTargetCreate", true, spreadsheetFails("create", 2), {160, 162, 164, 166, 168}},
    {"SingleAddWorkbook", true, spreadsheetFails("workbooksAdd", 1), {162, 164, 166}},
    {"SinglePaste", true, spreadsheetFails("paste", 1), {164}},
    {"SingleSelect", true, spreadsheetFails("selectRange", 1), {166}},
    {"SingleVisible", true, spreadsheetFails("setVisible", 1), {168}},
    {"SingleQuit", true, spreadsheetFails("quit", 1), {170}},
    {"SingleAlertsOn", true, spreadsheetFails("setDisplayAlerts", 2), {172}},
    {"SingleDefaultPointer", true, windowFails("setPointer", 2), {260}},
    {"SingleProgressReset", true, windowFails("setProgressValue", 3), {258}},
    // Per file.
    {"PerFileLoopBound", false, windowFails("entryCount", 2), {178, 252}},
    {"PerFileYield", false, yieldFails(1), {180}},
    {"PerFileBusyPointer", false, windowFails("setPointer", 2), {180}},
    {"PerFileProgress", false, windowFails("setProgressValue", 1), {248}},
    {"PerFileEntry", false, windowFails("entryText", 2), {182}},
    {"PerFileText", false, presentationFails("open", 2), {184}},
    {"PerFileSpaceTest", false, windowFails("optionChecked", 2), {186}},
    {"PerFileCommaTest", false, optionFails(OptionButton::Option1, "optionChecked", 3), {190}},
    {"PerFileTextTest", false, optionFails(OptionButton::Option1, "optionChecked", 4), {194}},
    {"PerFileText1", false, optionFails(OptionButton::Option4, "text1", 2), {196}},
    {"PerFileTabTest", false, optionFails(OptionButton::Option1, "optionChecked", 5), {198}},
    {"PerFileReadingCreate", false, spreadsheetFails("create", 1), {210, 212, 214, 216, 218}},
    {"PerFileAlertsOff", false, spreadsheetFails("setDisplayAlerts", 2), {212}},
    {"PerFileOpen", false, spreadsheetFails("workbooksOpen", 1), {214, 216}},
    {"PerFileCopy", false, spreadsheetFails("copyUsedRange", 2), {216}},
    // attach: the start check, file 1's running test (nothing runs), file 2's running test, then 224.
    {"PerFileAttach", false, spreadsheetFails("attach", 4), {224}},
    {"PerFileTargetCreate", false, spreadsheetFails("create", 2), {226, 228, 230, 234, 238, 240, 242}},
    // A target without a workbook: file 2 attaches to it and fails the same way.
    {"PerFileAddWorkbook",
     false,
     spreadsheetFails("workbooksAdd", 1),
     {228, 230, 234, 238, 240, 242, 230, 234, 238, 240, 242}},
    // No new sheet: file 2's name goes to file 1's sheet, and its paste over file 1's cells.
    {"PerFileAddSheet", false, spreadsheetFails("sheetsAdd", 2), {230}},
    {"PerFileSheetExists", false, spreadsheetFails("sheetsCount", 1), {234}},
    {"PerFileSheetName", false, spreadsheetFails("setActiveSheetName", 2), {238}},
    {"PerFilePaste", false, spreadsheetFails("paste", 1), {240}},
    {"PerFileSelect", false, spreadsheetFails("selectRange", 2), {242}},
    {"PerFileVisible", false, spreadsheetFails("setVisible", 1), {252}},
    {"PerFileDefaultPointer", false, windowFails("setPointer", 4), {260}},
    {"PerFileProgressText", false, windowFails("setProgressText", 3), {258}},
};

TEST_P(ImportRunFailureTest, ReportsTheFailingStatementAndGoesOn) {
    const FailureCase& c = GetParam();
    addFile(u"/p/a.pptx"_s, {u"a1"_s, u"a2 b"_s});
    addFile(u"/p/b.pptx"_s, {u"b"_s});
    window.singleSheet = c.singleSheet;
    window.option = OptionButton::Option2;
    c.plan(*this);
    start();
    EXPECT_EQ(errors.lines(), c.lines);
    for (const test::Report& report : errors.reports)
        EXPECT_EQ(report.location, u"in Travenor2017/04/05.Form1.PushButton2_Click ");
    EXPECT_FALSE(run.running());
    EXPECT_TRUE(tempIsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Steps, ImportRunFailureTest, ::testing::ValuesIn(failureCases),
                         [](const ::testing::TestParamInfo<FailureCase>& param) {
                             return std::string(param.param.name);
                         });

// The planned descriptions reach the report unchanged, and the box shows the whole text.
TEST_F(ImportRunTest, ReportShowsTheDescriptionLocationAndNumber) {
    shell::PromptErrorReporter boxes(prompts);
    shell::Services shown{prompts, boxes,         dialogs,      settings, desktop, random,
                          events,  presentations, spreadsheets, Title,    {}};
    import::ImportRun visibleRun(shown, window);
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    spreadsheets.failCall(u"paste"_s, 1, u"Paste refused:\r\nthe clipboard is locked"_s);
    visibleRun.PushButton2_Click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, u"Application Error");
    EXPECT_EQ(prompts.messages[0].style, shell::MessageStyle::Warning);
    EXPECT_EQ(prompts.messages[0].text, u"Paste refused:\r\nthe clipboard is locked\r\n"
                                        u"in Travenor2017/04/05.Form1.PushButton2_Click at line 164\r\r"
                                        u"Please email screenshot of this message to "_s +
                                            shell::supportEmail());
}

TEST_F(ImportRunTest, StagingFileThatCannotBeCreatedIsReportedOnceAndStopsTheRun) {
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    addFile(u"/p/b.pptx"_s, {u"b"_s});
    const QString missing = temp.filePath(u"gone"_s);
    qputenv("TEMP", QFile::encodeName(missing));
    start();
    // Opening the file that could not be made says why, once; the machine failed, not a
    // presentation, so the run goes no further and hands nothing over. Its end steps still run.
    EXPECT_EQ(errors.lines(), (std::vector<int>{146}));
    const QString& description = errors.reports.at(0).description;
    EXPECT_TRUE(description.contains(missing + u": No such file or directory"_s)) << description.toStdString();
    EXPECT_FALSE(description.contains(u"  "_s) || description.contains(u" :"_s)) << description.toStdString();
    EXPECT_TRUE(run.stagingFailed());
    EXPECT_TRUE(spreadsheets.running().empty());
    EXPECT_EQ(window.progressTexts.last(), u"Progress Bar");

    // Per file: the first file's pass stops the run; the second is never read.
    errors.reports.clear();
    window.singleSheet = false;
    const int opened = presentations.count(u"open"_s);
    start();
    EXPECT_EQ(errors.lines(), (std::vector<int>{204}));
    EXPECT_EQ(presentations.count(u"open"_s), opened + 1);
    EXPECT_TRUE(spreadsheets.running().empty());
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(ImportRunTest, AStagingFileCutByAFullDiskIsNeverRead) {
    addFile(u"/p/a.pptx"_s, {QString(20000, u'x'), u"last"_s});
    {
        const test::FileSizeLimit full(1000);
        start();
    }
    // The write fails and says why, and the run stops there: no cut text lands on any sheet.
    EXPECT_EQ(errors.lines(), (std::vector<int>{148}));
    EXPECT_TRUE(errors.reports.at(0).description.endsWith(u": File too large"_s));
    EXPECT_TRUE(spreadsheets.running().empty());
    EXPECT_TRUE(tempIsEmpty());
}

TEST_F(ImportRunTest, PlannedDescriptionsAreReportedAsGiven) {
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    window.failCall(u"setPointer"_s, 1);
    spreadsheets.failCall(u"selectRange"_s, 1);
    start();
    ASSERT_EQ(errors.reports.size(), 2u);
    EXPECT_EQ(errors.reports[0].description, planned("setPointer", 1));
    EXPECT_EQ(errors.reports[1].description, planned("selectRange", 1));
}

TEST_F(ImportRunTest, PerFileReaderThatCannotQuitEndsWithItsRelease) {
    // A reading instance that could not be quit was never the user's, so it ends when the run releases
    // it (step 220): the running test finds nothing, and the sheet goes into a fresh target rather
    // than into the staging workbook.
    addFile(u"/p/a.pptx"_s, {u"a"_s});
    window.singleSheet = false;
    spreadsheets.failCall(u"quit"_s, 1);
    start();
    EXPECT_EQ(errors.lines(), std::vector<int>{218});
    EXPECT_EQ(spreadsheets.count(u"create"_s), 2);
    EXPECT_EQ(spreadsheets.instance(1), nullptr);
    EXPECT_EQ(sheetNames(), (QStringList{u"Sheet1"_s, u"apptx"_s}));
    EXPECT_EQ(cells(1), Grid{QStringList{u"a"_s}});
}

} // namespace
