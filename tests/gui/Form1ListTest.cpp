// The file list on the main window: adding by dialog, removal by Delete and double-click, the move
// buttons, dragging inside the list, drops from other programs, and the dialog service's result.
#include "MainWindowFixture.h"

#include "app/FileListView.h"
#include "app/QtDialogs.h"
#include "filelist/AddFiles.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QUrl>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace {

using test::sendMouse;

const QStringList PQRS{u"/p/P.pptx"_s, u"/p/Q.pptx"_s, u"/p/R.pptx"_s, u"/p/S.pptx"_s};

class Form1ListTest : public test::MainWindowFixture {
protected:
    app::FileListView* list = nullptr;

    app::Form1& openWith(const QStringList& entries) {
        app::Form1& window = open();
        list = control<app::FileListView>(u"ListView1");
        for (const QString& entry : entries)
            window.fileList().Add(entry);
        return window;
    }
    QPoint rowCentre(int position) { return list->visualRect(list->model()->index(position - 1, 0)).center(); }
    void click(const char16_t* button) { QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton); }
    QStringList entries() { return form->fileList().entries(); }
};

TEST_F(Form1ListTest, TheListHasOneResizableColumnAndItsHint) {
    openWith({});
    EXPECT_EQ(list->toolTip(), u"Drag and drop files here. Double-click item to remove it. Move | line to right and "
                               u"out of window to reveal full names."_s);
    EXPECT_EQ(list->model()->columnCount(), 1);
    EXPECT_TRUE(list->header()->isVisible());
    EXPECT_EQ(list->header()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_FALSE(list->header()->stretchLastSection());
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(list->dragEnabled());
    EXPECT_TRUE(list->acceptDrops());
    // Over an entry the hint shows too, with the entry's whole path below it.
    form->fileList().Add(u"/p/entry.pptx"_s);
    QHelpEvent help(QEvent::ToolTip, rowCentre(1), list->viewport()->mapToGlobal(rowCentre(1)));
    QApplication::sendEvent(list->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), list->toolTip() + u"\n/p/entry.pptx"_s);
    QToolTip::hideText();
    EXPECT_EQ(list->toolTipAt(QPoint(5, list->viewport()->height() - 2)), list->toolTip()); // below the entries
    form->fileList().Clear();
    EXPECT_EQ(list->font().family(), u"Arial"_s);
    EXPECT_TRUE(list->font().bold());
    // A long path stays whole and is read by widening the column and scrolling sideways.
    const QString longPath = u"/"_s + QString(300, u'd') + u"/deck.pptx"_s;
    form->fileList().Add(longPath);
    EXPECT_EQ(form->fileList().Text(1), longPath);
    list->header()->resizeSection(0, 3000);
    QApplication::processEvents();
    EXPECT_GT(list->horizontalScrollBar()->maximum(), 0);
}

TEST_F(Form1ListTest, ALongPathShowsShortenedInItsMiddleAndWholeInTheHint) {
    openWith({});
    const QFontMetrics metrics = list->fontMetrics();
    const QString folders = u"/home/ann/corpus/2019/Quarterly reviews of the northern region/drafts/old"_s;
    const QString path = folders + u"/Final version of the review.pptx"_s;
    const int width = metrics.horizontalAdvance(path) / 2;
    // The folders give way in their middle; the file name stays whole.
    const QString shown = app::FileListView::shownPath(path, metrics, width);
    EXPECT_LE(metrics.horizontalAdvance(shown), width);
    EXPECT_TRUE(shown.startsWith(u"/home/"_s)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(u'\u2026')) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(u"/old/Final version of the review.pptx"_s) ||
                shown.endsWith(u"/Final version of the review.pptx"_s));
    EXPECT_EQ(app::FileListView::shownPath(path, metrics, metrics.horizontalAdvance(path)), path);
    // A file name that does not fit by itself gives way in its middle too, keeping its extension.
    const QString narrow = app::FileListView::shownPath(path, metrics, metrics.horizontalAdvance(u"Final version"_s));
    EXPECT_TRUE(narrow.endsWith(u"pptx"_s)) << narrow.toStdString();
    EXPECT_TRUE(narrow.startsWith(u"/"_s)) << narrow.toStdString();

    // The hint gives the whole path of 230 characters, in lines no longer than the hint's own,
    // broken after a "/".
    const QString deep =
        u"/home/ann/"_s + QString(60, u'a') + u"/"_s + QString(80, u'b') + u"/"_s + QString(70, u'c') + u".pptx"_s;
    form->fileList().Add(deep);
    const QStringList lines = list->toolTipAt(rowCentre(1)).split(u'\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.first(), list->toolTip());
    EXPECT_EQ(lines.mid(1).join(QString()), deep);
    for (const QString& line : lines.mid(1, lines.size() - 2)) {
        EXPECT_LE(line.size(), list->toolTip().size());
        EXPECT_TRUE(line.endsWith(u'/')) << line.toStdString();
    }
}

TEST_F(Form1ListTest, AddFilesAppendsTheDialogsChoice) {
    openWith({u"/old.pptx"_s});
    dialogs.openResults = {u"/talks"_s + QChar(u'\0') + u"b.pptx"_s + QChar(u'\0') + u"a.pptx"_s, QString()};
    click(u"PushButton1");
    click(u"PushButton1"); // cancelled
    EXPECT_EQ(entries(), (QStringList{u"/old.pptx"_s, u"/talks/b.pptx"_s, u"/talks/a.pptx"_s}));
    ASSERT_EQ(dialogs.openRequests.size(), 2u);
    EXPECT_EQ(dialogs.openRequests[0].title, u"Add File(s) - Use Ctrl & Shift to select multiple files"_s);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Form1ListTest, DeleteRemovesTheSelectedEntryWhateverTheModifiers) {
    openWith(PQRS);
    list->select(2);
    QTest::keyClick(list, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(entries(), (QStringList{u"/p/P.pptx"_s, u"/p/R.pptx"_s, u"/p/S.pptx"_s}));
    list->select(3);
    QTest::keyClick(list, Qt::Key_Delete, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(entries(), (QStringList{u"/p/P.pptx"_s, u"/p/R.pptx"_s}));
    list->select(1);
    QTest::keyClick(list, Qt::Key_Backspace);
    QTest::keyClick(list, Qt::Key_X);
    EXPECT_EQ(entries().size(), 2);
    form->setPointer(shell::PointerShape::Busy);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(entries().size(), 2);
    form->setPointer(shell::PointerShape::Default);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(entries(), QStringList{u"/p/R.pptx"_s});
    form->fileList().Clear();
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(Form1ListTest, DoubleClickRemovesTheEntryUnlessBusy) {
    openWith(PQRS);
    form->setPointer(shell::PointerShape::Busy);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowCentre(3));
    EXPECT_EQ(entries(), PQRS);
    form->setPointer(shell::PointerShape::Default);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowCentre(3));
    EXPECT_EQ(entries(), (QStringList{u"/p/P.pptx"_s, u"/p/Q.pptx"_s, u"/p/S.pptx"_s}));
}

TEST_F(Form1ListTest, MoveButtonsThroughTheWindow) {
    openWith({u"P"_s, u"Q"_s, u"R"_s});
    list->select(2);
    click(u"PushButton3");
    EXPECT_EQ(entries(), (QStringList{u"Q"_s, u"P"_s, u"R"_s}));
    EXPECT_EQ(list->selectedPosition(), 1);
    EXPECT_EQ(form->focusWidget(), list);
    click(u"PushButton3"); // the first entry: only the focus
    EXPECT_EQ(entries(), (QStringList{u"Q"_s, u"P"_s, u"R"_s}));
    click(u"PushButton5");
    click(u"PushButton5");
    EXPECT_EQ(entries(), (QStringList{u"P"_s, u"R"_s, u"Q"_s}));
    EXPECT_EQ(list->selectedPosition(), 3);
    form->setPointer(shell::PointerShape::Busy);
    list->select(2);
    click(u"PushButton3");
    click(u"PushButton5");
    EXPECT_EQ(entries(), (QStringList{u"P"_s, u"R"_s, u"Q"_s}));
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(Form1ListTest, DraggingInsideTheListCarriesTheEntry) {
    QFile::copy(QStringLiteral(QUORVANE_TEST_DATA "/../../src/app/resources/drag.ico"),
                programFolder.filePath(u"drag.ico"_s));
    openWith(PQRS);
    QWidget* viewport = list->viewport();
    sendMouse(viewport, QEvent::MouseButtonPress, rowCentre(1), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(viewport->cursor().shape(), Qt::BitmapCursor); // drag.ico from the program folder
    sendMouse(viewport, QEvent::MouseMove, rowCentre(2), Qt::LeftButton);
    EXPECT_EQ(entries(), (QStringList{u"/p/Q.pptx"_s, u"/p/P.pptx"_s, u"/p/R.pptx"_s, u"/p/S.pptx"_s}));
    sendMouse(viewport, QEvent::MouseMove, rowCentre(3), Qt::LeftButton);
    EXPECT_EQ(entries(), (QStringList{u"/p/Q.pptx"_s, u"/p/R.pptx"_s, u"/p/P.pptx"_s, u"/p/S.pptx"_s}));
    EXPECT_EQ(list->selectedPosition(), 3);
    form->setPointer(shell::PointerShape::Custom); // the window shows the hand
    sendMouse(viewport, QEvent::MouseButtonRelease, rowCentre(3), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(viewport->cursor().shape(), Qt::ArrowCursor);
    // Moving after the release swaps nothing.
    sendMouse(viewport, QEvent::MouseMove, rowCentre(1), Qt::NoButton);
    EXPECT_EQ(entries(), (QStringList{u"/p/Q.pptx"_s, u"/p/R.pptx"_s, u"/p/P.pptx"_s, u"/p/S.pptx"_s}));
}

TEST_F(Form1ListTest, AJumpSwapsOnlyWithTheEntryUnderThePointerAndTheClosedHandShowsWithoutDragIco) {
    openWith(PQRS);
    QWidget* viewport = list->viewport();
    sendMouse(viewport, QEvent::MouseButtonPress, rowCentre(1), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(viewport->cursor().shape(), Qt::ClosedHandCursor);
    sendMouse(viewport, QEvent::MouseMove, rowCentre(3), Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseButtonRelease, rowCentre(3), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(entries(), (QStringList{u"/p/R.pptx"_s, u"/p/Q.pptx"_s, u"/p/P.pptx"_s, u"/p/S.pptx"_s}));
    // Dragging works while an operation shows the busy pointer, which stays.
    form->setPointer(shell::PointerShape::Busy);
    sendMouse(viewport, QEvent::MouseButtonPress, rowCentre(1), Qt::LeftButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseMove, rowCentre(2), Qt::LeftButton);
    EXPECT_EQ(entries(), (QStringList{u"/p/Q.pptx"_s, u"/p/R.pptx"_s, u"/p/P.pptx"_s, u"/p/S.pptx"_s}));
    EXPECT_EQ(form->pointer(), shell::PointerShape::Busy);
    sendMouse(viewport, QEvent::MouseButtonRelease, rowCentre(2), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(viewport->cursor().shape(), Qt::ArrowCursor) << "the list's arrow, not the window's hourglass";
}

TEST_F(Form1ListTest, AfterASwapTheListScrollsByThePointersHeightOnTheScreen) {
    QStringList many;
    for (int i = 1; i <= 40; ++i)
        many.append(u"/deck/%1.pptx"_s.arg(i));
    openWith(many);
    QApplication::processEvents();
    QWidget* viewport = list->viewport();
    int lastVisible = 0;
    for (int position = 1; position <= 40; ++position)
        if (list->visualRect(list->model()->index(position - 1, 0)).bottom() < viewport->height())
            lastVisible = position;
    ASSERT_GT(lastVisible, 2);
    QScrollBar* bar = list->verticalScrollBar();
    ASSERT_EQ(bar->value(), 0);
    // In the middle band of the screen a swap onto the last visible entry scrolls nothing.
    sendMouse(viewport, QEvent::MouseButtonPress, rowCentre(lastVisible - 1), Qt::LeftButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseMove, rowCentre(lastVisible), Qt::LeftButton, Qt::NoButton, QPoint(10, 330));
    EXPECT_EQ(bar->value(), 0);
    // Low on the screen the entry after the hovered one comes into view.
    sendMouse(viewport, QEvent::MouseMove, rowCentre(lastVisible - 1), Qt::LeftButton, Qt::NoButton, QPoint(10, 330));
    sendMouse(viewport, QEvent::MouseMove, rowCentre(lastVisible), Qt::LeftButton, Qt::NoButton, QPoint(10, 365));
    EXPECT_GT(bar->value(), 0);
    sendMouse(viewport, QEvent::MouseButtonRelease, rowCentre(lastVisible), Qt::NoButton, Qt::LeftButton);
}

// Sends a drag-enter of data to the list; whether the list accepted it.
bool dragEnterAccepted(QWidget* viewport, QMimeData& data) {
    QDragEnterEvent enter(QPoint(20, 40), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    return enter.isAccepted();
}

TEST_F(Form1ListTest, OnlyDragsOfLocalFilesMayDropOnTheList) {
    openWith({});
    QMimeData text;
    text.setText(u"/not/a/file/list.pptx"_s);
    EXPECT_FALSE(dragEnterAccepted(list->viewport(), text));
    QMimeData web;
    web.setUrls({QUrl(u"https://example.org/deck.pptx"_s)});
    EXPECT_FALSE(dragEnterAccepted(list->viewport(), web));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(u"/tmp/a.pptx"_s), QUrl::fromLocalFile(u"/tmp/folder"_s)});
    EXPECT_TRUE(dragEnterAccepted(list->viewport(), files));
}

// ---- The dialog service's result shape ----

TEST(QtDialogsTest, TheResultIsOnePathOrTheFolderAndTheNames) {
    EXPECT_EQ(app::QtDialogs::resultFor({}), QString());
    EXPECT_EQ(app::QtDialogs::resultFor({u"/a/b c.pptx"_s}), u"/a/b c.pptx"_s);
    const QChar nul(u'\0');
    EXPECT_EQ(app::QtDialogs::resultFor({u"/a/x.pptx"_s, u"/a/y.ppt"_s}),
              u"/a"_s + nul + u"x.pptx"_s + nul + u"y.ppt"_s);
    EXPECT_EQ(app::QtDialogs::resultFor({u"/x.pptx"_s, u"/y.pptx"_s}), u"/"_s + nul + u"x.pptx"_s + nul + u"y.pptx"_s);
    // Names typed with a folder of their own: the common folder and relative names.
    EXPECT_EQ(app::QtDialogs::resultFor({u"/a/b/x.pptx"_s, u"/a/c/y.pptx"_s}),
              u"/a"_s + nul + u"b/x.pptx"_s + nul + u"c/y.pptx"_s);
    EXPECT_EQ(app::QtDialogs::resultFor({u"/ab/x.pptx"_s, u"/a/y.pptx"_s}),
              u"/"_s + nul + u"ab/x.pptx"_s + nul + u"a/y.pptx"_s);
}

TEST(QtDialogsTest, ANameTypedIntoTheOpenDialogComesBackWhetherOrNotTheFileExists) {
    QTemporaryDir folder;
    const QString missing = folder.filePath(u"not yet.pptx"_s);
    app::QtDialogs dialogs;
    QTimer::singleShot(0, [&] {
        QFileDialog* dialog = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* up = qobject_cast<QFileDialog*>(widget); up && up->isVisible())
                dialog = up;
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(folder.path());
        dialog->selectFile(u"not yet.pptx"_s);
        // As a press of Open in the dialog does (its accept() is its own).
        QMetaObject::invokeMethod(dialog, "accept");
        // Should the dialog refuse the name, its box and the dialog go, and the result is empty.
        QTimer::singleShot(2000, dialog, [dialog] {
            for (QDialog* box : dialog->findChildren<QDialog*>())
                box->reject();
            dialog->reject();
        });
    });
    EXPECT_EQ(dialogs.showOpen({u"Add"_s, u"All Files (*.*)|*.*|"_s, true}), missing);
}

TEST(QtDialogsTest, TheFilterBecomesNameFiltersWhereStarDotStarMatchesEverything) {
    EXPECT_EQ(app::QtDialogs::nameFilters(u"PowerPoint Files (*.ppt*)|*.ppt*|All Files (*.*)|*.*|"_s),
              (QStringList{u"PowerPoint Files (*.ppt*) (*.ppt*)"_s, u"All Files (*.*) (*)"_s}));
    EXPECT_EQ(app::QtDialogs::nameFilters(u"Decks|*.pptx;*.odp"_s), QStringList{u"Decks (*.pptx *.odp)"_s});
    // The dialog's own filter: the two classic entries first, in their order, then every presentation.
    const QStringList filters = app::QtDialogs::nameFilters(QString::fromUtf16(filelist::AddFilesFilter));
    ASSERT_EQ(filters.size(), 3);
    EXPECT_EQ(filters[0], u"PowerPoint Files (*.ppt*) (*.ppt*)"_s);
    EXPECT_EQ(filters[1], u"All Files (*.*) (*)"_s);
    EXPECT_TRUE(filters[2].startsWith(u"All presentations (*.ppt *.pptx "_s));
    EXPECT_TRUE(
        filters[2].endsWith(u") (*.ppt *.pptx *.pptm *.pps *.ppsx *.ppsm *.pot *.potx *.potm *.odp *.otp *.fodp)"_s));
}

} // namespace
