// The whole road through the real window: files picked in the dialog, real presentations read by
// the program's own presentation server, the spreadsheet engine, and the result window at the end.
#include "app/Form1.h"
#include "app/ResultWindow.h"
#include "filelist/FileList.h"
#include "office/presentation/LocalPresentationServer.h"
#include "office/spreadsheet/SpreadsheetEngine.h"
#include "support/FakeServices.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace {

// Closing a result window in the test throws its data away without asking anyone.
class DiscardingResultPrompts final : public app::ResultPrompts {
public:
    CloseChoice askBeforeClose(QWidget*, const QString&) override { return CloseChoice::Discard; }
    app::SaveChoice askSavePath(QWidget*, const QString&) override { return {}; }
    CsvChoice askCsvChoice(QWidget*, int, const QString&) override { return CsvChoice::Cancel; }
    bool askReplace(QWidget*, const QStringList&) override { return false; }
    void showFailure(QWidget*, const QString& text) override { ADD_FAILURE() << text.toStdString(); }
};

// The cell texts of column A of a result window's tab, from row 1 down.
QStringList columnA(QTabWidget* tabs, int tab) {
    auto* grid = qobject_cast<QTableView*>(tabs->widget(tab));
    QStringList cells;
    if (grid == nullptr)
        return cells;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        cells.append(grid->model()->index(row, 0).data().toString());
    return cells;
}

// The real window over the real engines, its platform services faked, the result windows kept.
class Form1ImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        results.install(spreadsheets);
        ASSERT_TRUE(form.Form_Load());
        form.show();
    }

    test::FakePrompts prompts;
    test::RecordingErrorReporter errors;
    test::FakeDialogs dialogs;
    test::MemorySettings settings;
    test::FakeDesktop desktop;
    test::FixedRandom random;
    test::ScriptedEventPump events;
    DiscardingResultPrompts resultPrompts;
    app::ResultWindows results{desktop, resultPrompts};
    // Reading ahead on threads of its own, as the desktop program does on any machine with two cores.
    office::LocalPresentationServer presentations{2};
    office::SpreadsheetEngine spreadsheets;
    QTemporaryDir programFolder;
    shell::Services services{prompts,
                             errors,
                             dialogs,
                             settings,
                             desktop,
                             random,
                             events,
                             presentations,
                             spreadsheets,
                             QString(),
                             programFolder.path()};
    app::Form1 form{services};
};

TEST_F(Form1ImportTest, StartImportsRealPresentationsAndOpensTheResultWindow) {

    // Two presentations picked in one folder, imported one sheet per file.
    const QString folder = QStringLiteral(QUORVANE_TEST_DATA "/pptx");
    dialogs.openResults.push_back(folder + QChar(u'\0') + u"pptxgenjs-deck.pptx"_s + QChar(u'\0') +
                                  u"impress-shapes.pptx"_s);
    QTest::mouseClick(form.findChild<QPushButton*>(u"PushButton1"_s), Qt::LeftButton);
    ASSERT_EQ(form.fileList().Count(), 2);
    form.findChild<QRadioButton*>(u"Option6"_s)->setChecked(true);
    QTest::mouseClick(form.findChild<QPushButton*>(u"PushButton2"_s), Qt::LeftButton);

    EXPECT_TRUE(errors.reports.empty()) << (errors.reports.empty() ? "" : errors.reports[0].description.toStdString());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(form.pointer(), shell::PointerShape::Default);
    const std::vector<app::ResultWindow*> windows = results.windows();
    ASSERT_EQ(windows.size(), 1u);
    app::ResultWindow* result = windows[0];
    EXPECT_TRUE(result->isVisible());
    auto* tabs = result->findChild<QTabWidget*>(u"Sheets"_s);
    ASSERT_NE(tabs, nullptr);
    QStringList names;
    for (int i = 0; i < tabs->count(); ++i)
        names.append(tabs->tabText(i));
    // The workbook's own first sheet, then one sheet per file named after it, in list order.
    EXPECT_EQ(names, (QStringList{u"Sheet1"_s, u"pptxgenjsdeckpptx"_s, u"impressshapespptx"_s}));
    const QStringList deck = columnA(tabs, 1);
    ASSERT_GE(deck.size(), 3);
    EXPECT_EQ(deck[0], u"Agenda"_s);
    EXPECT_TRUE(columnA(tabs, 2).contains(u"Quarterly review"_s));

    // The result belongs to the user: it stays open when the main window closes.
    form.close();
    EXPECT_TRUE(result->isVisible());
    result->close();
}

TEST_F(Form1ImportTest, AProtectedDeckAsksForItsPasswordOnceAndTheRunFinishesWithItsText) {
    // The protected deck twice, around its unprotected copy: the password given once opens both.
    const QString folder = QStringLiteral(QUORVANE_TEST_DATA);
    for (const char* file : {"/protected/agile.pptx", "/pptx/pptxgenjs-deck.pptx", "/protected/agile.pptx"})
        form.fileList().Add(folder + QString::fromLatin1(file));
    prompts.answerNextPassword(u"Zebra-7 Ünïcode"_s);
    QTest::mouseClick(form.findChild<QPushButton*>(u"PushButton2"_s), Qt::LeftButton);

    EXPECT_TRUE(errors.reports.empty()) << (errors.reports.empty() ? "" : errors.reports[0].description.toStdString());
    ASSERT_EQ(prompts.passwordPrompts.size(), 1u);
    EXPECT_EQ(prompts.passwordPrompts[0].prompt,
              u"The presentation agile.pptx is protected by a password. Password:"_s);
    EXPECT_EQ(prompts.passwordPrompts[0].caption, services.applicationTitle);
    const std::vector<app::ResultWindow*> windows = results.windows();
    ASSERT_EQ(windows.size(), 1u);
    const QStringList cells = columnA(windows[0]->findChild<QTabWidget*>(u"Sheets"_s), 0);
    ASSERT_EQ(cells.size() % 3, 0);
    const qsizetype third = cells.size() / 3;
    EXPECT_EQ(cells.mid(0, third), cells.mid(third, third));
    EXPECT_EQ(cells.mid(0, third), cells.mid(2 * third, third));
    EXPECT_EQ(cells[0], u"Agenda"_s);
    form.close();
    windows[0]->close();
}

} // namespace
