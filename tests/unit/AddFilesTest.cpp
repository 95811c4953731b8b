// Adding files by dialog: the request, the result shapes and the too-many-files failure.
#include "filelist/AddFiles.h"

#include "support/FakeServiceSet.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace {

class AddFilesTest : public ::testing::Test, protected test::FakeServiceSet {
protected:
    AddFilesTest() : FakeServiceSet(u"Quorvane"_s, u"/opt/quorvane"_s) {}

    filelist::FileList list;

    // Runs the handler with one queued dialog result.
    void pick(const QString& result) {
        dialogs.openResults.push_back(result);
        filelist::PushButton1_Click(services, list);
    }
};

QString joined(std::initializer_list<QString> parts) {
    QStringList list(parts);
    return list.join(QChar(u'\0'));
}

TEST_F(AddFilesTest, AsksForPresentationsWithTheFixedTitleAndFilter) {
    pick({});
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.openRequests[0].title, u"Add File(s) - Use Ctrl & Shift to select multiple files"_s);
    EXPECT_EQ(dialogs.openRequests[0].filter,
              u"PowerPoint Files (*.ppt*)|*.ppt*|All Files (*.*)|*.*|"
              u"All presentations (*.ppt *.pptx *.pptm *.pps *.ppsx *.ppsm *.pot *.potx *.potm *.odp *.otp *.fodp)|"
              u"*.ppt;*.pptx;*.pptm;*.pps;*.ppsx;*.ppsm;*.pot;*.potx;*.potm;*.odp;*.otp;*.fodp|"_s);
    EXPECT_TRUE(dialogs.openRequests[0].multiSelect);
}

TEST_F(AddFilesTest, CancelAddsAndShowsNothing) {
    list.Add(u"/a/kept.pptx"_s);
    pick({});
    EXPECT_EQ(list.entries(), QStringList{u"/a/kept.pptx"_s});
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(AddFilesTest, OneFileIsAddedExactlyAsReturned) {
    // A single path is not cleaned up: even a doubled separator stays as the dialog gave it.
    pick(u"/home/ana/talks//Intro.pptx"_s);
    EXPECT_EQ(list.entries(), QStringList{u"/home/ana/talks//Intro.pptx"_s});
}

TEST_F(AddFilesTest, SeveralFilesFollowTheExistingEntriesInDialogOrder) {
    list.Add(u"/first.pptx"_s);
    pick(joined({u"/srv/Talks"_s, u"b.pptx"_s, u"a.ppt"_s, u"notes.txt"_s}));
    EXPECT_EQ(list.entries(), (QStringList{u"/first.pptx"_s, u"/srv/Talks/b.pptx"_s, u"/srv/Talks/a.ppt"_s,
                                           u"/srv/Talks/notes.txt"_s}));
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(AddFilesTest, FilesInTheRootGetASingleSeparator) {
    pick(joined({u"/"_s, u"x.pptx"_s, u"y.pptx"_s}));
    EXPECT_EQ(list.entries(), (QStringList{u"/x.pptx"_s, u"/y.pptx"_s}));
}

TEST_F(AddFilesTest, DoubledSeparatorsAreMadeSingleInOnePass) {
    // Every "//" becomes "/", scanning once from the left: a triple one keeps two.
    pick(joined({u"/data//decks"_s, u"a.pptx"_s, u"//b.pptx"_s}));
    EXPECT_EQ(list.entries(), (QStringList{u"/data/decks/a.pptx"_s, u"/data/decks//b.pptx"_s}));
}

TEST_F(AddFilesTest, AFileAlreadyListedIsAddedAgain) {
    pick(u"/d/same.pptx"_s);
    pick(u"/d/same.pptx"_s);
    EXPECT_EQ(list.entries(), (QStringList{u"/d/same.pptx"_s, u"/d/same.pptx"_s}));
}

TEST_F(AddFilesTest, ASelectionOverTheBufferShowsItsMessageAndAddsNothing) {
    list.Add(u"/kept.pptx"_s);
    QString tooLong = u"/big"_s;
    while (tooLong.size() <= filelist::DialogResultLimit)
        tooLong += QChar(u'\0') + u"a-long-presentation-name.pptx"_s;
    pick(tooLong);
    EXPECT_EQ(list.entries(), QStringList{u"/kept.pptx"_s});
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              u"You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button."_s);
    EXPECT_EQ(prompts.messages[0].style, shell::MessageStyle::OkOnly);
    EXPECT_EQ(prompts.messages[0].caption, u"Quorvane"_s);
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(AddFilesTest, AResultOfExactlyTheBufferSizeStillFits) {
    QString folder = u"/"_s + QString(filelist::DialogResultLimit - 8, u'f');
    pick(joined({folder, u"a.pptx"_s}));
    ASSERT_EQ(folder.size() + 7, filelist::DialogResultLimit);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_TRUE(prompts.messages.empty());
}

// A dialog service that fails, as a broken platform dialog would.
class FailingDialogs final : public shell::Dialogs {
public:
    QString showOpen(const shell::OpenFileRequest&) override { throw std::runtime_error("dialog unavailable"); }
    QString pickFolder(const QString&) override { return {}; }
};

TEST_F(AddFilesTest, AFailingDialogIsReportedAtItsStatement) {
    FailingDialogs failing;
    shell::Services broken{prompts, errors,        failing,      settings,      desktop,           random,
                           events,  presentations, spreadsheets, u"Quorvane"_s, u"/opt/quorvane"_s};
    filelist::PushButton1_Click(broken, list);
    ASSERT_EQ(errors.reports.size(), 1u);
    EXPECT_EQ(errors.reports[0].description, u"dialog unavailable"_s);
    EXPECT_EQ(errors.reports[0].location, u"in Travenor2017/04/05.Form1.PushButton1_Click "_s);
    EXPECT_EQ(errors.reports[0].line, 108);
    EXPECT_EQ(list.Count(), 0); // the empty result that remains ends the handler
}

} // namespace
