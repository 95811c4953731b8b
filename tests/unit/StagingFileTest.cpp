// The staging file: where it is made, how it is protected, what it holds, and the quiet delete.
#include "support/FakeServices.h"

#include "import/ColumnSeparation.h"
#include "import/StagingFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/TestTools.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace quorvane;
using import::StagingFile;

namespace {

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Sets TEMP for one test and puts the old value back afterwards.
using test::TempVariable;

class StagingFileTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    import::StagingFolder m_folder; // made in TEMP on first use, as a run's is
};

TEST_F(StagingFileTest, EachUseGetsANewPrivateFileInAPrivateFolderInTemp) {
    const TempVariable temp(QFile::encodeName(m_dir.path()));
    const QString first = StagingFile::createPath(m_folder);
    const QString second = StagingFile::createPath(m_folder);
    EXPECT_NE(first, second);
    const QString folder = QFileInfo(first).absolutePath();
    EXPECT_EQ(QFileInfo(second).absolutePath(), folder);
    EXPECT_EQ(QFileInfo(folder).absolutePath(), QDir(m_dir.path()).absolutePath());
    EXPECT_TRUE(QFileInfo(first).fileName().endsWith(u".txt"_s));
    struct stat info{};
    ASSERT_EQ(::stat(QFile::encodeName(first).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_size, 0);
    ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // The folder goes with everything in it.
    {
        import::StagingFolder other;
        StagingFile::createPath(other);
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QFileInfo(folder).fileName()});
}

TEST_F(StagingFileTest, AnEmptyTempFallsBackToThePlatformTempFolder) {
    const TempVariable temp("");
    const QString path = StagingFile::createPath(m_folder);
    EXPECT_EQ(QFileInfo(QFileInfo(path).absolutePath()).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
}

TEST_F(StagingFileTest, AMissingFolderFailsNamingIt) {
    const TempVariable temp(QFile::encodeName(m_dir.filePath(u"gone"_s)));
    try {
        StagingFile::createPath(m_folder);
        FAIL() << "no failure";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()),
                  u"Cannot create a staging file in "_s + m_dir.filePath(u"gone"_s) + u": No such file or directory"_s);
    }
}

TEST_F(StagingFileTest, HoldsTheTextAsUtf8WithoutAMarkAndWithCrLfAppended) {
    const TempVariable temp(QFile::encodeName(m_dir.path()));
    const QString path = StagingFile::createPath(m_folder);
    StagingFile staging(m_folder);
    staging.open(path);
    staging.write(u"a"_s + import::SplitMark + u"b\r\nПривет 😀\tx\v"_s);
    staging.close();
    EXPECT_EQ(contentsOf(path), QByteArray("a\xC2\xB8"
                                           "b\r\n\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 "
                                           "\xF0\x9F\x98\x80\tx\v\r\n"));
    // Opening again truncates what an earlier use wrote.
    staging.open(path);
    staging.write(QString());
    staging.close();
    EXPECT_EQ(contentsOf(path), QByteArray("\r\n"));
}

TEST_F(StagingFileTest, LongTextSurvivesWholeWhereverItsPiecesEnd) {
    // Emoji (surrogate pairs) shifted by one character so that piece boundaries fall both between
    // and inside pairs; the file must hold exactly the UTF-8 of the whole text.
    const TempVariable temp(QFile::encodeName(m_dir.path()));
    for (const QString& lead : {QString(), u"x"_s}) {
        QString text = lead;
        while (text.size() < 3 * 65536 + 7)
            text += u"😀é"_s;
        const QString path = StagingFile::createPath(m_folder);
        StagingFile staging(m_folder);
        staging.open(path);
        staging.write(text);
        staging.close();
        EXPECT_EQ(contentsOf(path), text.toUtf8() + "\r\n");
    }
}

TEST_F(StagingFileTest, NeverWritesThroughALinkOrIntoAVanishedFile) {
    const TempVariable temp(QFile::encodeName(m_dir.path()));
    const QString victim = m_dir.filePath(u"victim.txt"_s);
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("precious");
    file.close();

    const QString path = StagingFile::createPath(m_folder);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::link(victim, path));
    StagingFile staging(m_folder);
    EXPECT_THROW(staging.open(path), std::runtime_error);
    EXPECT_EQ(contentsOf(victim), QByteArray("precious"));

    ASSERT_TRUE(QFile::remove(path));
    EXPECT_THROW(staging.open(path), std::runtime_error);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_THROW(staging.write(u"x"_s), std::runtime_error);
    EXPECT_THROW(staging.close(), std::runtime_error);
}

TEST_F(StagingFileTest, AFailedWriteRemovesTheFileSoThatNoCutTextIsRead) {
    const TempVariable temp(QFile::encodeName(m_dir.path()));
    StagingFile staging(m_folder);
    const QString path = staging.create();
    staging.open(path);
    {
        // A full disk: the first bytes go out, the rest does not.
        const test::FileSizeLimit full(1000);
        try {
            staging.write(QString(300000, u'x'));
            staging.close();
            FAIL() << "no failure";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(QString::fromUtf8(error.what()),
                      u"Cannot write the staging file "_s + path + u": File too large"_s);
        }
        EXPECT_NO_THROW(staging.close()) << "the write said why; there is nothing left to close";
    }
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(StagingFileTest, DeleteQuietlyYieldsFirstAndIgnoresFailures) {
    const TempVariable temp(QFile::encodeName(m_dir.path()));
    const QString path = StagingFile::createPath(m_folder);
    test::ScriptedEventPump events;
    bool existedDuringYield = false;
    events.onYield = [&](int) { existedDuringYield = QFile::exists(path); };
    import::DeleteQuietly(events, path);
    EXPECT_EQ(events.yields, 1);
    EXPECT_TRUE(existedDuringYield);
    EXPECT_FALSE(QFile::exists(path));

    EXPECT_NO_THROW(import::DeleteQuietly(events, path));         // already gone
    EXPECT_NO_THROW(import::DeleteQuietly(events, m_dir.path())); // a folder is not deleted
    EXPECT_TRUE(QFileInfo(m_dir.path()).isDir());
    EXPECT_EQ(events.yields, 3);

    // A window closed during the yield: the abort passes on, and the caller cleans up.
    const QString pending = StagingFile::createPath(m_folder);
    events.abortAt = 4;
    EXPECT_THROW(import::DeleteQuietly(events, pending), shell::OperationAborted);
}

} // namespace
