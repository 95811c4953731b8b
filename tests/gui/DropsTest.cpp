// Drops of files and folders on the real ListView1, and the folder-scan and samples buttons of the
// main window.
#include "MainWindowFixture.h"

#include "app/FileListView.h"
#include "filelist/FolderCommands.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace {

class DropsTest : public test::MainWindowFixture {
protected:
    QTemporaryDir files;
    app::FileListView* list = nullptr;

    void SetUp() override {
        ASSERT_TRUE(files.isValid());
        open();
        list = control<app::FileListView>(u"ListView1");
    }
    QString path(const QString& relative) const { return files.filePath(relative); }
    void make(const QString& relative) const { write(path(relative)); }
    void writeSample(const QString& relative) const { write(programFolder.filePath(relative)); }
    static void write(const QString& full) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(full).absolutePath()));
        QFile file(full);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << full.toStdString();
        file.write("x");
    }
    // Drags data over the list and drops it there, as the desktop does; whether the drop was taken.
    bool dragAndDrop(QMimeData& data) {
        QWidget* viewport = list->viewport();
        const QPoint at(30, 40);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        if (!enter.isAccepted())
            return false;
        QDragMoveEvent move(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        return drop.isAccepted();
    }
    QMimeData* urlsOf(const QStringList& paths) {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls.append(QUrl::fromLocalFile(p));
        data->setUrls(urls);
        return data;
    }
    void click(const char16_t* button) { QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton); }
    QStringList entries() const { return form->fileList().entries(); }
};

TEST_F(DropsTest, PlainTextIsRefusedAndAddsNothing) {
    make(u"deck.pptx"_s);
    QMimeData text;
    text.setText(path(u"deck.pptx"_s));
    EXPECT_FALSE(dragAndDrop(text));
    QDropEvent drop(QPointF(30, 40), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drop);
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(DropsTest, FilesAndFoldersAreTakenInTheirOrder) {
    for (const QString& f : {u"talks/b.pptx"_s, u"talks/a.txt"_s, u"talks/Week 10/c.pptx"_s, u"talks/Week 9/d.pptx"_s,
                             u"talks/~$b.pptx"_s, u"~$loose.pptx"_s, u"single.odp"_s})
        make(f);
    form->fileList().Add(u"already listed"_s);
    std::unique_ptr<QMimeData> data(
        urlsOf({path(u"single.odp"_s), path(u"talks"_s), path(u"~$loose.pptx"_s), path(u"single.odp"_s)}));
    ASSERT_TRUE(dragAndDrop(*data));
    EXPECT_EQ(entries(),
              (QStringList{u"already listed"_s, path(u"single.odp"_s), path(u"talks/a.txt"_s), path(u"talks/b.pptx"_s),
                           path(u"talks/Week 9/d.pptx"_s), path(u"talks/Week 10/c.pptx"_s), path(u"~$loose.pptx"_s),
                           path(u"single.odp"_s)}));
    EXPECT_EQ(form->pointer(), shell::PointerShape::Default);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_GT(events.yields, 0) << "the walk yields to the event queue";
}

TEST_F(DropsTest, ClosingTheWindowDuringADropStopsIt) {
    make(u"talks/sub/a.pptx"_s);
    events.abortAt = 1;
    std::unique_ptr<QMimeData> data(urlsOf({path(u"talks"_s)}));
    dragAndDrop(*data);
    EXPECT_EQ(events.yields, 1) << "the walk stopped at its first yield";
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(DropsTest, TheFolderButtonScansTheChosenTree) {
    for (const QString& f : {u"deck.PPTX"_s, u"notes.txt"_s, u"sub/old.ppt"_s, u"sub/.~lock.old.ppt#"_s})
        make(f);
    prompts.answerNextInput(u"ppt*"_s);
    dialogs.folderResults.push_back(files.path());
    click(u"PushButton4");
    EXPECT_EQ(entries(), (QStringList{path(u"deck.PPTX"_s), path(u"sub/old.ppt"_s)}));
    EXPECT_EQ(settings.values.value(u"Extension"_s), u"ppt*"_s);
    EXPECT_EQ(form->pointer(), shell::PointerShape::Default) << "the busy pointer is gone at the end";
    ASSERT_EQ(prompts.inputs.size(), 1u);
    EXPECT_EQ(prompts.inputs[0].caption, services.applicationTitle);
}

TEST_F(DropsTest, SamplesAreAddedOnEachClickAndTheirFolderOpensOnYes) {
    writeSample(u"Samples/Lecture 10.pptx"_s);
    writeSample(u"Samples/Lecture 2.pptx"_s);
    prompts.answerNextMessage(shell::MessageAnswer::No);
    prompts.answerNextMessage(shell::MessageAnswer::Yes);
    click(u"PushButton9");
    click(u"PushButton9");
    const QString folder = programFolder.path() + u"/Samples"_s;
    const QStringList once{folder + u"/Lecture 2.pptx"_s, folder + u"/Lecture 10.pptx"_s};
    EXPECT_EQ(entries(), once + once);
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].text, QStringView(filelist::SamplesQuestion).toString());
    EXPECT_EQ(prompts.messages[1].style, shell::MessageStyle::YesNo);
    EXPECT_EQ(desktop.folders, QStringList{folder});
}

TEST_F(DropsTest, WithoutAProgramToShowFoldersTheUserIsToldWhereTheSamplesAre) {
    desktop.failure = u"no program on this computer is set up to open it"_s;
    desktop.noProgram = true;
    prompts.answerNextMessage(shell::MessageAnswer::Yes);
    click(u"PushButton9");
    EXPECT_TRUE(errors.reports.empty());
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].text,
              u"No program to show folders is set up on this computer.\r\rThe sample files are "
              u"in this folder:\r"_s +
                  programFolder.path() + u"/Samples"_s);
    EXPECT_EQ(prompts.messages[1].style, shell::MessageStyle::Information);
    EXPECT_EQ(prompts.messages[1].caption, services.applicationTitle);
}

TEST_F(DropsTest, ASamplesFolderTheDesktopFailedToOpenIsReported) {
    desktop.failure = u"the program set up to open it failed"_s;
    prompts.answerNextMessage(shell::MessageAnswer::Yes);
    click(u"PushButton9");
    ASSERT_EQ(errors.reports.size(), 1u);
    EXPECT_EQ(errors.reports[0].line, 108);
    EXPECT_EQ(errors.reports[0].description,
              u"The folder \"%1/Samples\" could not be opened: the program set up to open it failed."_s.arg(
                  programFolder.path()));
}

TEST_F(DropsTest, TheQuestionIsAskedWhenThereAreNoSamples) {
    prompts.answerNextMessage(shell::MessageAnswer::No);
    click(u"PushButton9");
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(desktop.folders.isEmpty());
    EXPECT_TRUE(errors.reports.empty());
}

} // namespace
