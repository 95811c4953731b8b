// The main window's menu choices: what they do to the workbook, compared with the command line's
// options for the same choices, and how the settings keep them between starts.
#include "MainWindowFixture.h"

#include "cli/Commands.h"
#include "filelist/FileList.h"
#include "office/presentation/LocalPresentationServer.h"
#include "office/spreadsheet/OutputFormat.h"
#include "office/spreadsheet/SpreadsheetEngine.h"
#include "support/Streams.h"
#include "unit/WorkbookReaders.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace {

const QString Extras = QStringLiteral(QUORVANE_TEST_DATA "/extras");

// One set of choices, as the settings keep them and as the command line's options say them.
struct Choices {
    const char* name;
    bool perFile;
    QString include, columns;
    bool skipHidden;
    QString split; // --split; the window's option button of the same meaning
    bool header = false;
};
void PrintTo(const Choices& choices, std::ostream* out) {
    *out << choices.name;
}

class Form1ChoicesTest : public ::testing::TestWithParam<Choices> {};

// The window, with these choices stored, imports the presentations through the real engines; the
// command line imports them with the same options; both workbooks, read back, are the same.
TEST_P(Form1ChoicesTest, TheWindowsWorkbookIsTheCommandLinesForTheSameChoices) {
    const Choices& c = GetParam();
    const QStringList decks{Extras + u"/extras-pptxgenjs.pptx"_s, Extras + u"/graphics-pptxgenjs.pptx"_s,
                            Extras + u"/smartart-simple.pptx"_s, Extras + u"/extras.ppt"_s, Extras + u"/review.odp"_s};
    QTemporaryDir work;
    test::FakePrompts prompts;
    test::RecordingErrorReporter errors;
    test::FakeDialogs dialogs;
    test::MemorySettings settings;
    test::FakeDesktop desktop;
    test::FixedRandom random;
    test::ScriptedEventPump events;
    office::LocalPresentationServer presentations(1);
    office::SpreadsheetEngine spreadsheets;
    std::shared_ptr<office::SpreadsheetInstance> result;
    spreadsheets.setHandOverHook([&result](const auto& instance) { result = instance; });
    shell::Services services{prompts, errors,        dialogs,      settings,  desktop,    random,
                             events,  presentations, spreadsheets, QString(), work.path()};
    if (!c.include.isEmpty())
        settings.values.insert(u"Include"_s, c.include);
    if (!c.columns.isEmpty())
        settings.values.insert(u"Columns"_s, c.columns);
    if (c.skipHidden)
        settings.values.insert(u"SkipHidden"_s, u"1"_s);
    if (c.header)
        settings.values.insert(u"Header"_s, u"1"_s);
    app::Form1 form(services);
    ASSERT_TRUE(form.Form_Load());
    for (const QString& deck : decks)
        form.fileList().Add(deck);
    form.findChild<QRadioButton*>(c.perFile ? u"Option6"_s : u"Option5"_s)->setChecked(true);
    form.findChild<QRadioButton*>(c.split == u"space" ? u"Option2"_s : u"Option1"_s)->setChecked(true);
    form.findChild<QPushButton*>(u"PushButton2"_s)->click();
    EXPECT_TRUE(errors.reports.empty()) << errors.reports.front().description.toStdString();
    ASSERT_NE(result, nullptr);
    const QString fromWindow = work.filePath(u"window.xlsx"_s);
    office::saveWorkbookAs(*result->activeWorkbook(), fromWindow, office::OutputFormat::Xlsx);
    result->quit();

    QStringList arguments{u"--split"_s, c.split};
    if (!c.include.isEmpty())
        arguments << u"--include"_s << c.include;
    if (!c.columns.isEmpty())
        arguments << u"--columns"_s << c.columns;
    if (c.skipHidden)
        arguments << u"--skip-hidden"_s;
    if (c.header)
        arguments << u"--header"_s;
    if (c.perFile)
        arguments << u"--per-file-sheets"_s;
    const QString fromCommandLine = work.filePath(u"cli.xlsx"_s);
    std::string out, err;
    EXPECT_EQ(test::runCommand(cli::runImport, arguments + decks + QStringList{u"-o"_s, fromCommandLine}, out, err), 0)
        << err;

    const QJsonArray window = test::readXlsx(fromWindow);
    EXPECT_EQ(window.size(), c.perFile ? 6 : 1);
    EXPECT_EQ(window, test::readXlsx(fromCommandLine));
}

INSTANTIATE_TEST_SUITE_P(
    BothSheetModes, Form1ChoicesTest,
    ::testing::Values(Choices{"Nothing", false, {}, {}, false, u"none"_s},
                      Choices{"KindsColumnsHiddenOneSheet", false, u"notes,tables,smartart,charts,alt"_s,
                              u"file,slide,kind"_s, true, u"space"_s, true},
                      Choices{"KindsColumnsPerFile", true, u"notes,groups,comments,tables"_s,
                              u"slide,shape,name,hidden"_s, false, u"none"_s, true},
                      Choices{"OnlyHiddenLeftOutPerFile", true, {}, {}, true, u"space"_s}),
    [](const ::testing::TestParamInfo<Choices>& choices) { return std::string(choices.param.name); });

class Form1MenuTest : public test::MainWindowFixture {};

TEST_F(Form1MenuTest, EveryChoiceIsStoredAtOnceAndComesBackAtTheNextStart) {
    // Nothing stored: nothing checked, and nothing is written at start-up.
    open();
    for (const QMenu* menu : control<QMenuBar>(u"MenuBar")->findChildren<QMenu*>())
        for (const QAction* entry : menu->actions())
            EXPECT_FALSE(entry->isChecked()) << entry->objectName().toStdString();
    EXPECT_EQ(settings.writes, QStringList{u"Text1"_s});

    // The columns keep the order they were picked in; each chosen one shows its place.
    EXPECT_FALSE(control<QAction>(u"Header")->isEnabled()); // no column to name yet
    for (const char16_t* name : {u"Include_notes", u"Include_alt", u"Column_slide", u"Column_path", u"Column_file",
                                 u"SkipHidden", u"CollectFailures", u"Header"})
        control<QAction>(name)->trigger();
    control<QAction>(u"Column_path")->trigger(); // unchecked again
    EXPECT_EQ(settings.values.value(u"Include"_s), u"notes,alt"_s);
    EXPECT_EQ(settings.values.value(u"Columns"_s), u"slide,file"_s);
    EXPECT_EQ(settings.values.value(u"SkipHidden"_s), u"1"_s);
    EXPECT_EQ(settings.values.value(u"CollectFailures"_s), u"1"_s);
    EXPECT_EQ(settings.values.value(u"Header"_s), u"1"_s);
    EXPECT_EQ(control<QAction>(u"Column_file")->text(), u"&File name\tcolumn 2"_s);

    // The next start shows them again; names of another version are left out, and the spaces of a
    // list edited by hand do not matter.
    settings.values.insert(u"Include"_s, u"notes, future, alt"_s);
    settings.values.insert(u"Columns"_s, u"slide, bogus,file ,slide"_s);
    open();
    for (const char16_t* name : {u"Include_notes", u"Include_alt", u"Column_slide", u"Column_file", u"SkipHidden",
                                 u"CollectFailures", u"Header"})
        EXPECT_TRUE(control<QAction>(name)->isChecked()) << QString::fromUtf16(name).toStdString();
    EXPECT_FALSE(control<QAction>(u"Include_tables")->isChecked());
    EXPECT_FALSE(control<QAction>(u"Column_path")->isChecked());
    EXPECT_EQ(control<QAction>(u"Column_slide")->text(), u"&Slide number\tcolumn 1"_s);
    EXPECT_EQ(control<QAction>(u"Column_file")->text(), u"&File name\tcolumn 2"_s);
    // Set back to "0": off at the next start too.
    control<QAction>(u"SkipHidden")->trigger();
    EXPECT_EQ(settings.values.value(u"SkipHidden"_s), u"0"_s);

    // By keyboard: Alt and the menu's letter open it, the entry's letter checks it.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_O, Qt::AltModifier);
    auto* columns = control<QMenu>(u"ColumnsMenu");
    ASSERT_TRUE(QTest::qWaitFor([columns] { return columns->isVisible(); }));
    QTest::keyClick(columns, Qt::Key_K);
    EXPECT_EQ(settings.values.value(u"Columns"_s), u"slide,file,kind"_s);
    QList<QAction*> entries = control<QMenuBar>(u"MenuBar")->actions();
    for (const QMenu* menu : control<QMenuBar>(u"MenuBar")->findChildren<QMenu*>())
        entries += menu->actions();
    for (const QAction* entry : std::as_const(entries))
        EXPECT_TRUE(entry->isSeparator() || entry->text().contains(u'&')) << entry->text().toStdString();
}

} // namespace
