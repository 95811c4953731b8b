// The sample presentations as the build places them, read by the real presentation server, and
// folders given to quorvane-cli import.
#include "cli/Commands.h"
#include "filelist/FolderCommands.h"
#include "filelist/FolderScan.h"
#include "import/PresentationText.h"
#include "office/presentation/LocalPresentationServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/Streams.h"
#include "support/TestTools.h"

#include <gtest/gtest.h>

#include <optional>

#include <cstdio>
#include <string>

using namespace Qt::StringLiterals;
using namespace quorvane;

namespace {

const QString BuiltSamples = QStringLiteral(QUORVANE_BUILT_SAMPLES);

// The text of one sample, read from a copy so the samples themselves are never touched.
QString sampleText(const QString& name) {
    QTemporaryDir copy;
    const QString path = copy.filePath(name);
    if (!QFile::copy(BuiltSamples + u'/' + name, path))
        return {};
    office::LocalPresentationServer server;
    return import::PresentationText(server, path);
}

} // namespace

TEST(Samples, TheBuildPutsThemBesideTheProgram) {
    const QString programFolder = QFileInfo(BuiltSamples).absolutePath();
    EXPECT_EQ(filelist::samplesFolder(programFolder), BuiltSamples);
    EXPECT_EQ(filelist::ListMatchingFiles(BuiltSamples, u"*.*"_s),
              (QStringList{u"Field Trip Report.pptx"_s, u"Lecture 2 - Cell Biology.pptx"_s,
                           u"Product Launch EN-DE.pptx"_s, u"Quarterly Review.pptx"_s, u"Training Schedule.pptx"_s}));
}

TEST(Samples, EveryWayOfSplittingHasSomethingToSplit) {
    const QString review = sampleText(u"Quarterly Review.pptx"_s);
    EXPECT_TRUE(review.contains(u"$1,284,500"_s)) << "commas inside figures";
    EXPECT_TRUE(review.contains(u" | "_s)) << "a text of the user's own to split at";
    const QString lecture = sampleText(u"Lecture 2 - Cell Biology.pptx"_s);
    EXPECT_TRUE(lecture.contains(u"Nucleus\rholds the chromosomes\r"_s)) << "bullets of the second level";
    EXPECT_TRUE(lecture.contains(u"a lipid bilayer\vwith embedded proteins"_s)) << "a line break inside a paragraph";
    const QString launch = sampleText(u"Product Launch EN-DE.pptx"_s);
    EXPECT_TRUE(launch.contains(u"Ships in April"_s));
    EXPECT_TRUE(launch.contains(u"Größe: 18 × 12 × 30 cm"_s));
    const QString trip = sampleText(u"Field Trip Report.pptx"_s);
    EXPECT_TRUE(trip.contains(u"Deepest reading at the centre"_s)) << "the text beside the table and pictures";
    const QString schedule = sampleText(u"Training Schedule.pptx"_s);
    EXPECT_TRUE(schedule.contains(u"Monday\t09:00\tA1\tJ. Lindqvist"_s)) << "columns separated by tabs";
}

namespace {

class ImportFolders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        m_temp.emplace(QFile::encodeName(staging.path()));
        // A tree of presentations with a text file among them.
        ASSERT_TRUE(QDir(work.path()).mkpath(u"talks/Week 10"_s));
        ASSERT_TRUE(QDir(work.path()).mkpath(u"talks/Week 9"_s));
        copySample(u"Quarterly Review.pptx"_s, u"talks/Week 10/review.pptx"_s);
        copySample(u"Training Schedule.pptx"_s, u"talks/Week 9/schedule.pptx"_s);
        copySample(u"Lecture 2 - Cell Biology.pptx"_s, u"talks/lecture.pptx"_s);
        QFile notes(work.filePath(u"talks/notes.txt"_s));
        ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
        notes.write("not a presentation\n");
    }

    void copySample(const QString& sample, const QString& to) {
        ASSERT_TRUE(QFile::copy(BuiltSamples + u'/' + sample, work.filePath(to)));
    }
    int import(const QStringList& arguments) { return test::runCommand(cli::runImport, arguments, out, err); }
    // The first cell of every row of a .csv result.
    QStringList firstCells(const QString& path) {
        QFile csv(path);
        EXPECT_TRUE(csv.open(QIODevice::ReadOnly));
        QStringList cells;
        for (const QByteArray& row : csv.readAll().split('\n'))
            cells.append(QString::fromUtf8(row.trimmed()));
        return cells;
    }

    QTemporaryDir work;
    QTemporaryDir staging;
    std::string out;
    std::string err;

private:
    std::optional<test::TempVariable> m_temp;
};

} // namespace

TEST_F(ImportFolders, AnExtensionScansTheFolderTreeInWalkOrder) {
    const QString result = work.filePath(u"scan.csv"_s);
    ASSERT_EQ(import({u"--ext"_s, u"ppt*"_s, work.filePath(u"talks"_s), u"-o"_s, result}), 0) << err;
    const QStringList cells = firstCells(result);
    const qsizetype lecture = cells.indexOf(u"Lecture 2: The Cell"_s);
    const qsizetype schedule = cells.indexOf(u"\"Training Schedule, Week 12\""_s);
    const qsizetype review = cells.indexOf(u"\"Quarterly Review, Q3 2026\""_s);
    EXPECT_EQ(lecture, 0) << "the chosen folder's own files first";
    EXPECT_GT(schedule, lecture);
    EXPECT_GT(review, schedule) << "then its subfolders, Week 9 before Week 10";
    // The extension as users type it, with its dot, is the same.
    const QString dotted = work.filePath(u"dotted.csv"_s);
    ASSERT_EQ(import({u"--ext=.ppt*"_s, work.filePath(u"talks"_s), u"-o"_s, dotted}), 0) << err;
    EXPECT_EQ(firstCells(dotted), cells);
}

TEST_F(ImportFolders, WithoutAnExtensionAFolderGivesEveryFileAsADropDoes) {
    const QString result = work.filePath(u"drop.csv"_s);
    EXPECT_EQ(import({work.filePath(u"talks"_s), u"-o"_s, result}), 1);
    EXPECT_NE(err.find("notes.txt"), std::string::npos) << "the text file was taken and reported: " << err;
    EXPECT_TRUE(firstCells(result).contains(u"Lecture 2: The Cell"_s)) << "the rest is still imported";
}

TEST_F(ImportFolders, FoldersWithoutMatchingFilesAndBadOptions) {
    EXPECT_EQ(import({u"--ext=doc"_s, work.filePath(u"talks"_s), u"-o"_s, work.filePath(u"none.csv"_s)}), 1);
    EXPECT_NE(err.find("no file to import"), std::string::npos) << err;
    EXPECT_FALSE(QFile::exists(work.filePath(u"none.csv"_s)));
    EXPECT_EQ(import({u"--ext"_s, u""_s, work.filePath(u"talks"_s), u"-o"_s, work.filePath(u"x.csv"_s)}), 2);
}
