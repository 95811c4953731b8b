#include "app/ResultWindow.h"

#include "support/FakeServices.h"
#include "unit/WorkbookReaders.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <tuple>

using namespace Qt::StringLiterals;
using namespace quorvane;

namespace {

// Answers the window's questions from queues; an unexpected question fails the test.
class ScriptedResultPrompts final : public app::ResultPrompts {
public:
    CloseChoice askBeforeClose(QWidget*, const QString& workbookName) override {
        closeQuestions.append(workbookName);
        if (closeAnswers.empty()) {
            ADD_FAILURE() << "unexpected close question";
            return CloseChoice::Cancel;
        }
        const CloseChoice answer = closeAnswers.front();
        closeAnswers.pop_front();
        return answer;
    }
    app::SaveChoice askSavePath(QWidget*, const QString& suggestedPath) override {
        suggested.append(suggestedPath);
        if (paths.empty()) {
            ADD_FAILURE() << "unexpected save dialog";
            return {};
        }
        const app::SaveChoice path = paths.front();
        paths.pop_front();
        return path;
    }
    CsvChoice askCsvChoice(QWidget*, int sheets, const QString& baseName) override {
        csvQuestions.append(u"%1 %2"_s.arg(sheets).arg(baseName));
        if (csvChoices.empty()) {
            ADD_FAILURE() << "unexpected .csv question";
            return CsvChoice::Cancel;
        }
        const CsvChoice answer = csvChoices.front();
        csvChoices.pop_front();
        return answer;
    }
    bool askReplace(QWidget*, const QStringList& existing) override {
        replaceQuestions.append(existing);
        if (replaceAnswers.empty()) {
            ADD_FAILURE() << "unexpected question about replacing files";
            return false;
        }
        const bool answer = replaceAnswers.front();
        replaceAnswers.pop_front();
        return answer;
    }
    void showFailure(QWidget*, const QString& text) override { failures.append(text); }

    std::deque<CloseChoice> closeAnswers;
    std::deque<app::SaveChoice> paths;
    std::deque<CsvChoice> csvChoices;
    std::deque<bool> replaceAnswers;
    QStringList closeQuestions, suggested, failures, csvQuestions;
    QList<QStringList> replaceQuestions;
};

class ResultWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_windows.install(m_engine);
        readIntoClipboard(u"Title¸42\r\nBody text¸007\r\n"_s);
    }
    // A reading instance opens text split at the SplitMark and copies what it read.
    void readIntoClipboard(const QString& text) {
        const QString staging = m_dir.filePath(u"stage.txt"_s);
        QFile file(staging);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        file.close();
        auto reader = m_engine.create();
        reader->workbooksOpen(staging, {}, {}, 6, {}, {}, {}, {}, u"¸"_s);
        reader->copyUsedRange();
        reader->quit();
    }
    // An import's target: a new workbook with the copied range in the first sheet, handed over.
    std::shared_ptr<office::SpreadsheetApplication> handOverTarget() {
        auto target = m_engine.create();
        target->workbooksAdd();
        target->paste();
        target->selectRange(u"A1"_s);
        target->setVisible(true);
        return target;
    }
    static QTableView* grid(app::ResultWindow* window, int sheet = 0) {
        return qobject_cast<QTableView*>(tabs(window)->widget(sheet));
    }
    static QTabWidget* tabs(app::ResultWindow* window) { return window->findChild<QTabWidget*>(u"Sheets"_s); }
    static QStringList tabNames(app::ResultWindow* window) {
        QStringList names;
        for (int i = 0; i < tabs(window)->count(); ++i)
            names << tabs(window)->tabText(i);
        return names;
    }

    QTemporaryDir m_dir;
    office::SpreadsheetEngine m_engine;
    test::FakeDesktop m_desktop;
    ScriptedResultPrompts m_prompts;
    app::ResultWindows m_windows{m_desktop, m_prompts};
};

TEST_F(ResultWindowTest, HandedOverWorkbookIsShownSavedAndClosed) {
    auto target = handOverTarget();
    ASSERT_EQ(m_windows.windows().size(), 1u);
    app::ResultWindow* window = m_windows.windows().front();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->parent(), nullptr);
    EXPECT_EQ(window->windowTitle(), u"Book1"_s);
    EXPECT_EQ(tabNames(window), (QStringList{u"Sheet1"_s}));

    auto* grid = qobject_cast<QTableView*>(tabs(window)->widget(0));
    ASSERT_NE(grid, nullptr);
    const QAbstractItemModel* model = grid->model();
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->columnCount(), 2);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), u"B"_s);
    EXPECT_EQ(model->headerData(1, Qt::Vertical, Qt::DisplayRole).toString(), u"2"_s);
    EXPECT_EQ(model->index(1, 0).data().toString(), u"Body text"_s);
    EXPECT_EQ(grid->currentIndex(), model->index(0, 0)); // A1 selected

    // A later run adds sheets to the same instance and hands it over again: the same window shows them.
    target->sheetsAdd();
    target->paste();
    target->setActiveSheetName(u"Q3 Reviewpptx"_s);
    target->setVisible(true);
    ASSERT_EQ(m_windows.windows().size(), 1u);
    EXPECT_EQ(tabNames(window), (QStringList{u"Sheet1"_s, u"Q3 Reviewpptx"_s}));

    const QString path = m_dir.filePath(u"result.xlsx"_s);
    m_prompts.paths.push_back(path);
    window->findChild<QAction*>(u"SaveAs"_s)->trigger();
    EXPECT_TRUE(m_prompts.failures.isEmpty()) << m_prompts.failures.join(u'\n').toStdString();
    const QJsonArray sheets = test::readXlsx(path);
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_EQ(sheets[1].toObject()[u"name"_s].toString(), u"Q3 Reviewpptx"_s);
    const QJsonObject cells = sheets[1].toObject()[u"cells"_s].toObject();
    EXPECT_EQ(cells[u"B1"_s].toArray(), (QJsonArray{u"int"_s, 42}));
    EXPECT_EQ(cells[u"B2"_s].toArray(), (QJsonArray{u"str"_s, u"007"_s}));

    // Saved: closing asks nothing, and the instance ends with the window.
    target.reset();
    QPointer<app::ResultWindow> guard(window);
    EXPECT_TRUE(window->close());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_TRUE(m_prompts.closeQuestions.isEmpty());
    EXPECT_TRUE(m_engine.runningInstances().empty());
    EXPECT_TRUE(m_windows.windows().empty());
}

TEST_F(ResultWindowTest, ColumnsFitTheirFirstLinesWithinBoundsAndCellsTellTheirWholeText) {
    const QString staging = m_dir.filePath(u"wide.txt"_s);
    QFile file(staging);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QString wide = u"A rather long first line of a slide's text\vand its second line"_s;
    file.write((wide + u"¸x¸"_s + QString(400, u'w') + u"\r\n"_s).toUtf8());
    file.close();
    auto reader = m_engine.create();
    reader->workbooksOpen(staging, {}, {}, 6, {}, {}, {}, {}, u"¸"_s);
    reader->copyUsedRange();
    reader->quit();
    handOverTarget();
    auto* grid = qobject_cast<QTableView*>(tabs(m_windows.windows().front())->widget(0));
    ASSERT_NE(grid, nullptr);
    const QFontMetrics metrics = grid->fontMetrics();
    // The first column is as wide as the cell's first line, not its whole text.
    EXPECT_GE(grid->columnWidth(0), metrics.horizontalAdvance(u"A rather long first line of a slide's text"_s));
    EXPECT_LT(grid->columnWidth(0), metrics.horizontalAdvance(wide));
    EXPECT_EQ(grid->columnWidth(1), 64);  // narrow text keeps a usable width
    EXPECT_EQ(grid->columnWidth(2), 420); // a huge cell does not push everything else out of view
    // The soft line break shows as a line break, in the grid and its tool tip; the cell's text keeps it.
    const QModelIndex a1 = grid->model()->index(0, 0);
    EXPECT_EQ(a1.data(Qt::EditRole).toString(), wide);
    EXPECT_EQ(a1.data(Qt::DisplayRole).toString(), QString(wide).replace(u'\v', QChar::LineSeparator));
    EXPECT_EQ(a1.data(Qt::ToolTipRole).toString(), QString(wide).replace(u'\v', u'\n'));
    EXPECT_GE(grid->rowHeight(0), grid->verticalHeader()->defaultSectionSize() + metrics.lineSpacing());
}

TEST_F(ResultWindowTest, ACsvHoldsTheSheetShownWithTheSheetsItContinuesAndThatContinueIt) {
    // An import whose rows did not fit one sheet: the full first sheet goes on in the second. The
    // third holds another text.
    QString lines;
    for (std::int64_t n = 1; n <= office::MaxRows; ++n)
        lines += QString::number(n) + u"\r\n"_s;
    readIntoClipboard(lines);
    lines.clear();
    auto target = handOverTarget();
    readIntoClipboard(u"more\r\n"_s);
    target->sheetsAdd();
    target->paste();
    readIntoClipboard(u"other\r\n"_s);
    target->sheetsAdd();
    target->paste();
    target->setVisible(true);
    app::ResultWindow* window = m_windows.windows().front();
    const QString csv = m_dir.filePath(u"rows.csv"_s);
    const auto saved = [&] {
        QFile file(csv);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    for (int shown : {0, 1}) {
        tabs(window)->setCurrentIndex(shown);
        EXPECT_TRUE(window->saveTo(csv, office::OutputFormat::CsvExact));
        const QByteArray all = saved();
        EXPECT_EQ(all.count("\r\n"), office::MaxRows + 1);
        EXPECT_TRUE(all.startsWith("1\r\n2\r\n"));
        EXPECT_TRUE(all.endsWith("1048576\r\nmore\r\n"));
    }
    EXPECT_TRUE(window->hasUnsavedData()) << "the third sheet is in no .csv";
    tabs(window)->setCurrentIndex(2);
    EXPECT_TRUE(window->saveTo(csv, office::OutputFormat::CsvExact));
    EXPECT_EQ(saved(), "other\r\n");
}

TEST_F(ResultWindowTest, ClosingUnsavedDataAsksSaveDiscardOrCancel) {
    auto target = handOverTarget();
    app::ResultWindow* window = m_windows.windows().front();

    m_prompts.closeAnswers.push_back(app::ResultPrompts::CloseChoice::Cancel);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());

    // Save, but the save dialog is cancelled: the window stays.
    m_prompts.closeAnswers.push_back(app::ResultPrompts::CloseChoice::Save);
    m_prompts.paths.push_back(QString());
    EXPECT_FALSE(window->close());

    // Saving as .csv writes the sheet shown; with a second sheet that holds something, that is not
    // the whole workbook.
    target->sheetsAdd();
    target->paste();
    target->setVisible(true);
    tabs(window)->setCurrentIndex(0);
    const QString csv = m_dir.filePath(u"sheet.csv"_s);
    EXPECT_TRUE(window->saveTo(csv, office::OutputFormat::CsvForSpreadsheets));
    EXPECT_TRUE(window->hasUnsavedData());
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("\xEF\xBB\xBFTitle,42\r\nBody text,007\r\n"));

    // A failed save is shown and keeps the window open.
    m_prompts.closeAnswers.push_back(app::ResultPrompts::CloseChoice::Save);
    m_prompts.paths.push_back(m_dir.filePath(u"missing/folder/x.xlsx"_s));
    EXPECT_FALSE(window->close());
    ASSERT_EQ(m_prompts.failures.size(), 1);
    EXPECT_TRUE(m_prompts.failures[0].contains(u"missing/folder/x.xlsx"_s));

    m_prompts.closeAnswers.push_back(app::ResultPrompts::CloseChoice::Discard);
    target.reset();
    EXPECT_TRUE(window->close());
    EXPECT_EQ(m_prompts.closeQuestions.size(), 4);
    EXPECT_EQ(m_prompts.closeQuestions[0], u"Book1"_s);
    EXPECT_TRUE(m_engine.runningInstances().empty());
}

TEST_F(ResultWindowTest, OpensATemporaryCopyInTheSpreadsheetApplication) {
    auto target = handOverTarget();
    app::ResultWindow* window = m_windows.windows().front();
    window->findChild<QAction*>(u"OpenInSpreadsheet"_s)->trigger();
    ASSERT_EQ(m_desktop.files.size(), 1);
    const QString opened = m_desktop.files[0];
    EXPECT_EQ(QFileInfo(opened).fileName(), u"Book1.xlsx"_s);
    EXPECT_EQ(test::readXlsx(opened).size(), 1);
    QDir(QFileInfo(opened).absolutePath()).removeRecursively();
    // Opening elsewhere is not saving: closing still asks.
    m_prompts.closeAnswers.push_back(app::ResultPrompts::CloseChoice::Discard);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(m_prompts.closeQuestions.size(), 1);
}

TEST_F(ResultWindowTest, TheSaveKeysOpenSaveAsAndTheTitleNamesTheSavedFile) {
    handOverTarget();
    app::ResultWindow* window = m_windows.windows().front();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    m_prompts.paths = {m_dir.filePath(u"first.xlsx"_s), m_dir.filePath(u"second.csv"_s)};
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(window->windowTitle(), u"first.xlsx"_s);
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(window->windowTitle(), u"second.csv"_s);
    EXPECT_TRUE(m_prompts.paths.empty());
    EXPECT_EQ(m_prompts.suggested.value(1), m_dir.filePath(u"first.xlsx"_s)) << "Save As proposes the last file";
    EXPECT_TRUE(QFileInfo::exists(m_dir.filePath(u"second.csv"_s)));
    // Once saved, Ctrl+S saves there again without asking.
    QFile::remove(m_dir.filePath(u"second.csv"_s));
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(QFileInfo::exists(m_dir.filePath(u"second.csv"_s)));
    EXPECT_EQ(m_prompts.suggested.size(), 2);
    EXPECT_TRUE(window->close()); // saved: no question, and no active window is left behind
}

TEST_F(ResultWindowTest, SaveAsGivesANameThatSaysNoFormatOfOursTheSuffixOfTheTypeChosen) {
    handOverTarget();
    app::ResultWindow* window = m_windows.windows().front();
    const QString typed = m_dir.filePath(u"notes.txt"_s), saved = typed + u".xlsx"_s;
    m_prompts.paths.push_back({typed, office::OutputFormat::Xlsx});
    EXPECT_TRUE(window->saveAs());
    EXPECT_FALSE(QFileInfo::exists(typed)) << "no package under a name that says another format";
    EXPECT_EQ(test::readXlsx(saved).size(), 1);
    EXPECT_EQ(window->windowTitle(), u"notes.txt.xlsx"_s);
    // The dialog asked about the name it was given: the file with the suffix added is asked about here.
    const QDateTime before = QFileInfo(saved).lastModified();
    m_prompts.paths.push_back({typed, office::OutputFormat::Xlsx});
    m_prompts.replaceAnswers.push_back(false);
    EXPECT_FALSE(window->saveAs());
    EXPECT_EQ(m_prompts.replaceQuestions, QList<QStringList>{{saved}});
    EXPECT_EQ(QFileInfo(saved).lastModified(), before);
    // The OpenDocument type writes an .ods package.
    m_prompts.paths.push_back({m_dir.filePath(u"book"_s), office::OutputFormat::Ods});
    EXPECT_TRUE(window->saveAs());
    EXPECT_EQ(test::readOds(m_dir.filePath(u"book.ods"_s)).size(), 1);
}

TEST_F(ResultWindowTest, TheGridHasTheFocusAtA1AndItsMenuShowsTheKeys) {
    readIntoClipboard(u"a¸b¸c\r\nd¸e¸f\r\ng¸h¸i\r\n"_s);
    handOverTarget();
    app::ResultWindow* window = m_windows.windows().front();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTableView* view = grid(window);
    EXPECT_EQ(QApplication::focusWidget(), view);
    EXPECT_EQ(view->currentIndex(), view->model()->index(0, 0));
    // The keys work at once: to the last cell, then the selection grows up and left.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view->currentIndex(), view->model()->index(2, 2));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"e\tf\nh\ti"_s);

    // Save, Save As and Copy, each with its key shown.
    QStringList menu;
    for (const QAction* action : view->actions()) {
        if (action->isSeparator()) {
            menu.append(u"-"_s);
            continue;
        }
        EXPECT_TRUE(action->isShortcutVisibleInContextMenu()) << action->text().toStdString();
        menu.append(action->objectName() + u' ' + action->shortcut().toString());
    }
    EXPECT_EQ(menu, (QStringList{u"Save Ctrl+S"_s, u"SaveAs Ctrl+Shift+S"_s, u"-"_s, u"Find Ctrl+F"_s,
                                 u"GoToSheet Ctrl+G"_s, u"-"_s, u"Copy Ctrl+C"_s}));
    m_prompts.closeAnswers.push_back(app::ResultPrompts::CloseChoice::Discard);
    EXPECT_TRUE(window->close()); // no active window is left to take the keys of the tests after this one
}

TEST_F(ResultWindowTest, ACsvOfSeveralSheetsIsTheShownSheetOrEachSheetInAFileOfItsOwn) {
    // Three sheets with something in them, and an empty one that no file is made for.
    auto target = handOverTarget();
    for (const QString& name : {u"Q3 Reviewpptx"_s, u"Empty"_s, u"budgetppt"_s}) {
        readIntoClipboard(name + u"¸1\r\n"_s);
        target->sheetsAdd();
        if (name != u"Empty")
            target->paste();
        target->setActiveSheetName(name);
    }
    target->setVisible(true);
    app::ResultWindow* window = m_windows.windows().front();
    tabs(window)->setCurrentIndex(1);
    const QString csv = m_dir.filePath(u"talks.csv"_s);
    const auto contents = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    };
    const auto saveAs = [&](app::ResultPrompts::CsvChoice choice) {
        m_prompts.paths.push_back({csv, office::OutputFormat::CsvExact});
        m_prompts.csvChoices.push_back(choice);
        return window->saveAs();
    };

    // Cancel saves nothing.
    EXPECT_FALSE(saveAs(app::ResultPrompts::CsvChoice::Cancel));
    EXPECT_EQ(m_prompts.csvQuestions, QStringList{u"3 talks"_s});
    EXPECT_EQ(QDir(m_dir.path()).entryList({u"talks*"_s}), QStringList());
    EXPECT_EQ(window->windowTitle(), u"Book1"_s);

    // The shown sheet only: the title says so, and the rest still counts as unsaved.
    EXPECT_TRUE(saveAs(app::ResultPrompts::CsvChoice::ShownSheet));
    EXPECT_EQ(contents(csv), "Q3 Reviewpptx,1\r\n");
    EXPECT_EQ(window->windowTitle(), u"talks.csv (only the sheet \"Q3 Reviewpptx\")"_s);
    EXPECT_TRUE(window->hasUnsavedData());

    // Each sheet: a file per sheet with something in it, beside the name chosen.
    QFile::remove(csv);
    EXPECT_TRUE(saveAs(app::ResultPrompts::CsvChoice::EachSheet));
    EXPECT_EQ(QDir(m_dir.path()).entryList({u"talks*"_s}, QDir::Files, QDir::Name),
              (QStringList{u"talks-Q3 Reviewpptx.csv"_s, u"talks-Sheet1.csv"_s, u"talks-budgetppt.csv"_s}));
    EXPECT_EQ(contents(m_dir.filePath(u"talks-Sheet1.csv"_s)), "Title,42\r\nBody text,007\r\n");
    EXPECT_EQ(contents(m_dir.filePath(u"talks-budgetppt.csv"_s)), "budgetppt,1\r\n");
    EXPECT_EQ(window->windowTitle(), u"talks-….csv (3 files, one per sheet)"_s);
    EXPECT_FALSE(window->hasUnsavedData());
    EXPECT_TRUE(m_prompts.replaceQuestions.isEmpty());

    // Again: the files exist, and are replaced only when the user says so.
    QFile marked(m_dir.filePath(u"talks-Sheet1.csv"_s));
    ASSERT_TRUE(marked.open(QIODevice::WriteOnly));
    marked.write("mine");
    marked.close();
    m_prompts.replaceAnswers = {false, true};
    EXPECT_FALSE(saveAs(app::ResultPrompts::CsvChoice::EachSheet));
    ASSERT_EQ(m_prompts.replaceQuestions.size(), 1);
    EXPECT_EQ(m_prompts.replaceQuestions[0].size(), 3);
    EXPECT_EQ(contents(m_dir.filePath(u"talks-Sheet1.csv"_s)), "mine");
    EXPECT_TRUE(saveAs(app::ResultPrompts::CsvChoice::EachSheet));
    EXPECT_EQ(contents(m_dir.filePath(u"talks-Sheet1.csv"_s)), "Title,42\r\nBody text,007\r\n");
    EXPECT_FALSE(QFileInfo::exists(csv)) << "the name chosen only names the files";
    EXPECT_TRUE(m_prompts.failures.isEmpty()) << m_prompts.failures.join(u'\n').toStdString();
    EXPECT_TRUE(window->close()); // everything is saved: no question
}

TEST_F(ResultWindowTest, FindGoesThroughEverySheetInAnyCaseAndShowsTheCellFound) {
    auto target = handOverTarget();
    for (const QString& rows : {u"alpha¸Needle one\r\nbeta¸x\r\n"_s, u"NEEDLE two\r\n"_s}) {
        readIntoClipboard(rows);
        target->sheetsAdd();
        target->paste();
    }
    target->setVisible(true);
    app::ResultWindow* window = m_windows.windows().front();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    const auto at = [&] {
        const QModelIndex cell = grid(window, tabs(window)->currentIndex())->currentIndex();
        return std::tuple(tabs(window)->currentIndex(), cell.row(), cell.column());
    };

    // Ctrl+F, the text, Enter: from A1 of the sheet shown onwards, in any case; Enter again, the next.
    QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
    auto* field = window->findChild<QLineEdit*>(u"FindText"_s);
    ASSERT_EQ(QApplication::focusWidget(), field);
    QTest::keyClicks(field, u"needle"_s);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(at(), std::tuple(1, 0, 1));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(at(), std::tuple(2, 0, 0));
    // F3 goes round to the first sheet again, Shift+F3 back.
    QTest::keyClick(field, Qt::Key_F3);
    EXPECT_EQ(at(), std::tuple(1, 0, 1));
    QTest::keyClick(field, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(at(), std::tuple(2, 0, 0));
    EXPECT_TRUE(grid(window, 2)->visualRect(grid(window, 2)->currentIndex()).isValid()) << "scrolled into view";
    // Matching case, only the cell that says "Needle"; a text in no cell moves nothing and says so.
    EXPECT_TRUE(window->find(u"Needle"_s, true, true));
    EXPECT_EQ(at(), std::tuple(1, 0, 1));
    EXPECT_TRUE(window->find(u"Needle"_s, true, true));
    EXPECT_EQ(at(), std::tuple(1, 0, 1));
    EXPECT_FALSE(window->find(u"haystack"_s));
    EXPECT_EQ(at(), std::tuple(1, 0, 1));
    EXPECT_EQ(window->statusBar()->currentMessage(), u"\"haystack\" is in no cell of the workbook."_s);
    // Escape closes the bar and gives the grid the keys.
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(window->findChild<QWidget*>(u"FindBar"_s)->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), grid(window, 1));
    m_prompts.closeAnswers.push_back(app::ResultPrompts::CloseChoice::Discard);
    EXPECT_TRUE(window->close());
}

TEST_F(ResultWindowTest, TheSheetKeysTheSheetListAndTheStatusLineReachEverySheet) {
    auto target = handOverTarget();
    for (int n = 1; n <= 30; ++n) {
        readIntoClipboard(u"row\r\n"_s);
        target->sheetsAdd();
        target->paste();
        target->setActiveSheetName(u"Deck %1"_s.arg(n));
    }
    target->setVisible(true);
    app::ResultWindow* window = m_windows.windows().front();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    tabs(window)->setCurrentIndex(0);
    EXPECT_EQ(window->findChild<QLabel*>(u"SheetStatus"_s)->text(),
              u"This sheet: 2 rows    Workbook: 31 sheets, 32 rows"_s);

    // Ctrl+PgDn and Ctrl+PgUp, from the grid; no further than the first sheet.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(tabs(window)->currentIndex(), 1);
    EXPECT_EQ(window->findChild<QLabel*>(u"SheetStatus"_s)->text(),
              u"This sheet: 1 row    Workbook: 31 sheets, 32 rows"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(tabs(window)->currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), grid(window, 0));

    // Ctrl+G: the list, filtered by a part of the name in any case; the arrow keys pick, Enter goes.
    EXPECT_TRUE(tabs(window)->tabBar()->actions().contains(window->findChild<QAction*>(u"GoToSheet"_s)));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_G, Qt::ControlModifier);
    auto* picker = window->findChild<QDialog*>(u"SheetPicker"_s);
    ASSERT_NE(picker, nullptr);
    QWidget* filter = picker->findChild<QWidget*>(u"SheetFilter"_s);
    ASSERT_TRUE(QTest::qWaitFor([filter] { return QApplication::focusWidget() == filter; }));
    QTest::keyClicks(QApplication::focusWidget(), u"deck 2"_s);
    auto* list = picker->findChild<QListWidget*>(u"SheetList"_s);
    int listed = 0;
    for (int row = 0; row < list->count(); ++row)
        listed += list->item(row)->isHidden() ? 0 : 1;
    EXPECT_EQ(listed, 11); // Deck 2 and Deck 20 to Deck 29
    EXPECT_EQ(list->currentItem()->text(), u"Deck 2"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(tabs(window)->tabText(tabs(window)->currentIndex()), u"Deck 20"_s);
    m_prompts.closeAnswers.push_back(app::ResultPrompts::CloseChoice::Discard);
    EXPECT_TRUE(window->close());
}

TEST_F(ResultWindowTest, AnImportIntoASavedWorkbookSaysSoAtOnceAndSaveAsksWhere) {
    auto target = handOverTarget();
    app::ResultWindow* window = m_windows.windows().front();
    const QString saved = m_dir.filePath(u"first.xlsx"_s);
    ASSERT_TRUE(window->saveTo(saved, office::OutputFormat::Xlsx));
    EXPECT_FALSE(window->hasUnsavedData());
    // The next run adds its first sheet: the title and the unsaved state say so before it ends.
    target->sheetsAdd();
    EXPECT_EQ(window->windowTitle(), u"first.xlsx (changed by an import since it was saved)"_s);
    EXPECT_TRUE(window->hasUnsavedData());
    target->paste();
    target->setVisible(true);
    // Save asks where (proposing the earlier file) instead of replacing it quietly.
    m_prompts.paths.push_back({m_dir.filePath(u"second.xlsx"_s), office::OutputFormat::Xlsx});
    EXPECT_TRUE(window->save());
    EXPECT_EQ(m_prompts.suggested, QStringList{saved});
    EXPECT_EQ(test::readXlsx(saved).size(), 1);
    EXPECT_EQ(window->windowTitle(), u"second.xlsx"_s);
    EXPECT_TRUE(window->close());
}

TEST_F(ResultWindowTest, CtrlCCopiesTheSelectedRangeAsTabSeparatedText) {
    readIntoClipboard(u"plain¸two\vlines¸say \"hi\"\r\ntab\there \"x\"¸¸42\r\n"_s);
    handOverTarget();
    QTableView* view = grid(m_windows.windows().front());
    const QAbstractItemModel* model = view->model();
    view->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(1, 2)),
                                   QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              u"plain\t\"two\nlines\"\tsay \"hi\"\n\"tab\there \"\"x\"\"\"\t\t42"_s);

    // Two ranges: the rectangle around them, the cells between them empty.
    view->selectionModel()->select(model->index(0, 0), QItemSelectionModel::ClearAndSelect);
    view->selectionModel()->select(model->index(1, 2), QItemSelectionModel::Select);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"plain\t\t\n\t\t42"_s);
}

TEST_F(ResultWindowTest, AFailedOpenIsShownAndTheCopiesGoWhenTheProgramEnds) {
    handOverTarget();
    QString opened;
    {
        // The program's result windows, ending with the program.
        app::ResultWindows program(m_desktop, m_prompts);
        app::ResultWindow* window = program.show(m_engine.runningInstances().front());
        m_desktop.failure = u"no program on this computer is set up to open it"_s;
        window->openInSpreadsheetApplication();
        ASSERT_EQ(m_prompts.failures.size(), 1);
        ASSERT_EQ(m_desktop.files.size(), 1);
        EXPECT_EQ(m_prompts.failures[0],
                  u"The workbook \"Book1\" could not be opened in a spreadsheet application.\n\n"_s +
                      m_desktop.files[0] + u": "_s + m_desktop.failure + u".\n\nYou can still save it with Save As."_s);
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(m_desktop.files[0]).absolutePath()))
            << "a copy nobody opened goes at once";

        m_desktop.failure.clear();
        window->openInSpreadsheetApplication();
        ASSERT_EQ(m_desktop.files.size(), 2);
        opened = m_desktop.files[1];
        EXPECT_TRUE(QFileInfo::exists(opened)) << "the other program reads it after the call";
        m_prompts.closeAnswers.push_back(app::ResultPrompts::CloseChoice::Discard);
        EXPECT_TRUE(window->close());
        EXPECT_TRUE(QFileInfo::exists(opened)) << "closing the window leaves the copy to the other program";
    }
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(opened).absolutePath()));
}

} // namespace
