// The folder routines and the folder scan, drop and samples commands, on real folder trees made in a
// temporary folder.
#include "filelist/FolderScan.h"
#include "filelist/FolderCommands.h"

#include "shell/Locations.h"
#include "shell/Services.h"

#include "support/FakeServiceSet.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace quorvane;
using filelist::FileList;

namespace {

const QString Title = u"Quorvane"_s;

} // namespace

// Readable failure output for paths.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

// A folder tree under a temporary folder. Paths are relative to its root; names that are not text
// go through the byte forms.
class Tree {
public:
    Tree() {
        EXPECT_TRUE(m_temp.isValid());
        // Open to every user, so the permission tests can look at it as an ordinary user.
        ::chmod(QFile::encodeName(m_temp.path()).constData(), 0755);
    }
    // The standard library removes names that are not text too, which QTemporaryDir cannot.
    ~Tree() {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(m_temp.path()).toStdString()), ignored);
    }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    QString root() const { return m_temp.path(); }
    QString path(const QString& relative) const { return root() + u'/' + relative; }
    QByteArray native(const QString& relative) const { return QFile::encodeName(path(relative)); }

    void folder(const QString& relative) const { ASSERT_TRUE(QDir().mkpath(path(relative))) << relative.toStdString(); }
    void file(const QString& relative, const QByteArray& content = "x") const {
        QFile f(path(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << relative.toStdString();
        f.write(content);
    }
    void fifo(const QString& relative) const { ASSERT_EQ(::mkfifo(native(relative).constData(), 0644), 0); }
    void link(const QString& target, const QString& relative) const {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), native(relative).constData()), 0);
    }
    // A folder or file whose name is given as raw bytes, inside the folder at relative.
    void rawFolder(const QString& relative, const QByteArray& name) const {
        ASSERT_EQ(::mkdir((native(relative) + '/' + name).constData(), 0755), 0);
    }
    void rawFile(const QString& relative, const QByteArray& name) const {
        const int fd = ::open((native(relative) + '/' + name).constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    // Entries as the walk writes them: the root followed by each relative path.
    QStringList paths(const QStringList& relatives) const {
        QStringList result;
        for (const QString& r : relatives)
            result.append(path(r));
        return result;
    }

private:
    QTemporaryDir m_temp;
};

// Whether this process ignores permission bits: then the unreadable cases cannot be made.
bool permissionsIgnored(const QString& path) {
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), R_OK, AT_EACCESS) == 0;
}

// Root reads and writes whatever the permission bits say. While this lives, a root process acts with
// the effective user and group "nobody", so the bits apply; other processes stay as they are.
class OrdinaryUser {
public:
    OrdinaryUser() {
        if (::geteuid() != 0)
            return;
        constexpr id_t Nobody = 65534;
        m_switched = ::setegid(Nobody) == 0 && ::seteuid(Nobody) == 0;
    }
    ~OrdinaryUser() {
        if (::geteuid() != 0 && m_switched) {
            [[maybe_unused]] const int user = ::seteuid(0);
            [[maybe_unused]] const int group = ::setegid(0);
        }
    }
    OrdinaryUser(const OrdinaryUser&) = delete;
    OrdinaryUser& operator=(const OrdinaryUser&) = delete;

private:
    bool m_switched = false;
};

class RecordingPointer final : public shell::PointerHost {
public:
    shell::PointerShape pointer() const override { return m_shape; }
    void setPointer(shell::PointerShape shape) override {
        m_shape = shape;
        shapes.push_back(shape);
    }
    std::vector<shell::PointerShape> shapes;

private:
    shell::PointerShape m_shape = shell::PointerShape::Default;
};

class ThrowingSettings final : public shell::SettingsStore {
public:
    QString read(const QString&, const QString& defaultValue) override { return defaultValue; }
    void write(const QString&, const QString&) override { throw std::runtime_error("settings store is read-only"); }
};

class ThrowingDialogs final : public shell::Dialogs {
public:
    QString showOpen(const shell::OpenFileRequest&) override { return {}; }
    QString pickFolder(const QString&) override { throw std::runtime_error("no folder browser"); }
};

} // namespace

// ---- Attribute values and names -----------------------------------------------------------------

TEST(FolderRoutines, AttributeValuesFollowTheFileTypes) {
    Tree t;
    t.file(u"deck.pptx"_s);
    t.file(u".~lock.deck.pptx#"_s);
    t.folder(u"talks"_s);
    t.folder(u".cache"_s);
    t.fifo(u"pipe"_s);
    t.link(t.path(u"talks"_s), u"to-talks"_s);
    t.link(t.path(u"deck.pptx"_s), u"to-deck"_s);
    t.link(t.path(u"gone"_s), u"dangling"_s);

    EXPECT_EQ(filelist::attributesOf(t.path(u"deck.pptx"_s)), 32);
    EXPECT_EQ(filelist::attributesOf(t.path(u".~lock.deck.pptx#"_s)), 34);
    EXPECT_EQ(filelist::attributesOf(t.path(u"talks"_s)), 16);
    EXPECT_EQ(filelist::attributesOf(t.path(u".cache"_s)), 18);
    EXPECT_EQ(filelist::attributesOf(t.path(u".cache/"_s)), 18) << "a trailing separator keeps the name";
    EXPECT_EQ(filelist::attributesOf(t.path(u"pipe"_s)), 4);
    EXPECT_EQ(filelist::attributesOf(t.path(u"to-talks"_s)), 1024 + 16);
    EXPECT_EQ(filelist::attributesOf(t.path(u"to-deck"_s)), 1024 + 32);
    EXPECT_EQ(filelist::attributesOf(t.path(u"dangling"_s)) & ~1, 1024);
    EXPECT_THROW(filelist::attributesOf(t.path(u"missing"_s)), std::runtime_error);
}

TEST(FolderRoutines, ReadOnlyComesFromTheFilesOwnPermissionBitsWhoeverLooks) {
    Tree t;
    t.file(u"deck.pptx"_s);
    t.file(u".notes"_s);
    t.file(u".~lock.deck.pptx#"_s);
    t.file(u"._deck.pptx"_s);
    ASSERT_EQ(::chmod(t.native(u".notes"_s).constData(), 0444), 0);
    // For a user who may not write the folder (someone else's, or a read-only mount) a lock file is
    // still 34, so the scan skips it there as it does in the user's own folders.
    for (const bool ordinary : {false, true}) {
        SCOPED_TRACE(ordinary);
        std::optional<OrdinaryUser> user;
        if (ordinary)
            user.emplace();
        EXPECT_EQ(filelist::attributesOf(t.path(u".notes"_s)), 35);
        EXPECT_EQ(filelist::attributesOf(t.path(u".~lock.deck.pptx#"_s)), 34);
        EXPECT_EQ(filelist::attributesOf(t.root()), 16);
        FileList list;
        filelist::AppendFolderFiles({t.root() + u'/'}, u"*.*"_s, list);
        EXPECT_EQ(list.entries(), t.paths({u".notes"_s, u"deck.pptx"_s}));
    }
}

TEST(FolderRoutines, RootAndSkippedFolders) {
    EXPECT_TRUE(filelist::isRootFolder(u"/"_s));
    EXPECT_TRUE(filelist::isRootFolder(u"//"_s));
    EXPECT_FALSE(filelist::isRootFolder(u""_s));
    EXPECT_FALSE(filelist::isRootFolder(u"/home/"_s));
    EXPECT_TRUE(filelist::isSkippedFolder(u"/x/"_s, 22));
    EXPECT_TRUE(filelist::isSkippedFolder(u"/x/"_s, 1046));
    EXPECT_FALSE(filelist::isSkippedFolder(u"/x/"_s, 23)) << "whole values, never single bits";
    EXPECT_FALSE(filelist::isSkippedFolder(u"//"_s, 22));
}

TEST(FolderRoutines, UnsafeNames) {
    EXPECT_FALSE(filelist::HasUnsafeChar(u""_s));
    EXPECT_FALSE(filelist::HasUnsafeChar(u"Lecture notes (2026), part 1"_s));
    EXPECT_FALSE(filelist::HasUnsafeChar(u"Διαλέξεις"_s));
    EXPECT_FALSE(filelist::HasUnsafeChar(u"€ “quoted” — 講義 🎓"_s)) << "every script is safe here";
    EXPECT_TRUE(filelist::HasUnsafeChar(u"tab\there"_s));
    EXPECT_TRUE(filelist::HasUnsafeChar(u"line\nbreak"_s));
    EXPECT_TRUE(filelist::HasUnsafeChar(u"del"_s + QChar(0x7F)));
    EXPECT_TRUE(filelist::HasUnsafeChar(u"c1"_s + QChar(0x9F)));
    EXPECT_FALSE(filelist::HasUnsafeChar(u"nbsp"_s + QChar(0xA0)));
    EXPECT_TRUE(filelist::HasUnsafeChar(u"what?"_s));
    EXPECT_TRUE(filelist::HasUnsafeChar(u"half"_s + QChar(0xD800)));

    EXPECT_FALSE(filelist::HasUnsafeChar(QByteArrayView("\xce\x94\xce\xb9\xce\xb1"))); // "Δια"
    EXPECT_TRUE(filelist::HasUnsafeChar(QByteArrayView("latin1-\xe9")));
    EXPECT_TRUE(filelist::HasUnsafeChar(QByteArrayView("\xff")));
    EXPECT_TRUE(filelist::HasUnsafeChar(QByteArrayView("over\xc0\xaflong")));
    EXPECT_TRUE(filelist::HasUnsafeChar(QByteArrayView("surrogate\xed\xa0\x80")));
    EXPECT_TRUE(filelist::HasUnsafeChar(QByteArrayView("cut\xe2\x82")));
    EXPECT_TRUE(filelist::HasUnsafeChar(QByteArrayView("bell\x07")));
}

TEST(FolderRoutines, WildcardRules) {
    using filelist::matchesWildcard;
    EXPECT_TRUE(matchesWildcard(u"README"_s, u"*.*"_s));
    EXPECT_TRUE(matchesWildcard(u"archive.tar.gz"_s, u"*.*"_s));
    EXPECT_TRUE(matchesWildcard(u".hidden"_s, u"*.*"_s));
    EXPECT_TRUE(matchesWildcard(u"Deck.PPTX"_s, u"*.ppt*"_s));
    EXPECT_TRUE(matchesWildcard(u"old.ppt"_s, u"*.ppt*"_s));
    EXPECT_TRUE(matchesWildcard(u"macro.pptm"_s, u"*.ppt*"_s));
    EXPECT_FALSE(matchesWildcard(u"ppt.txt"_s, u"*.ppt*"_s));
    EXPECT_FALSE(matchesWildcard(u"deck.pdf"_s, u"*.ppt*"_s));
    EXPECT_TRUE(matchesWildcard(u"NOTES.TXT"_s, u"*.txt"_s));
    EXPECT_FALSE(matchesWildcard(u"notes.txt"_s, u"*.txt "_s)) << "the extension is used as typed";
    EXPECT_FALSE(matchesWildcard(u"notes.txt.bak"_s, u"*.txt"_s));
    EXPECT_TRUE(matchesWildcard(u"a.doc"_s, u"?.doc"_s));
    EXPECT_FALSE(matchesWildcard(u"ab.doc"_s, u"?.doc"_s));
    EXPECT_TRUE(matchesWildcard(u"σημειώσεις.ΚΕΙ"_s, u"*.κει"_s));
    EXPECT_TRUE(matchesWildcard(u"🎓.txt"_s, u"?.txt"_s)) << "? is one character, also outside the basic plane";
    EXPECT_TRUE(matchesWildcard(u"aXbXXbc"_s, u"*x*bc"_s));
    EXPECT_TRUE(matchesWildcard(u"report"_s, u"report.*"_s));
}

TEST(FolderRoutines, NaturalOrder) {
    using filelist::naturalCompare;
    EXPECT_LT(naturalCompare(u"Lecture 2.pptx"_s, u"Lecture 10.pptx"_s), 0);
    EXPECT_GT(naturalCompare(u"Lecture 10.pptx"_s, u"lecture 3.pptx"_s), 0);
    EXPECT_LT(naturalCompare(u"apple"_s, u"Banana"_s), 0);
    EXPECT_LT(naturalCompare(u"A"_s, u"a"_s), 0) << "ties are broken by exact comparison";
    EXPECT_EQ(naturalCompare(u"same"_s, u"same"_s), 0);
    EXPECT_LT(naturalCompare(u"part 007"_s, u"part 8"_s), 0);
    EXPECT_NE(naturalCompare(u"file01"_s, u"file1"_s), 0);
    EXPECT_EQ(naturalCompare(u"file01"_s, u"file1"_s), -naturalCompare(u"file1"_s, u"file01"_s));
    EXPECT_LT(naturalCompare(u"n 99999999999999999999999"_s, u"n 100000000000000000000000"_s), 0)
        << "digit runs longer than any machine number";
    EXPECT_LT(naturalCompare(u"deck"_s, u"deck 1"_s), 0);
}

// ---- Files and listings -------------------------------------------------------------------------

TEST(FolderRoutines, FileIsPresentOnlyForReadableRegularFiles) {
    Tree t;
    t.file(u"deck.pptx"_s);
    t.folder(u"folder"_s);
    t.fifo(u"pipe"_s);
    t.link(t.path(u"deck.pptx"_s), u"link"_s);
    EXPECT_TRUE(filelist::FileIsPresent(t.path(u"deck.pptx"_s)));
    EXPECT_TRUE(filelist::FileIsPresent(t.path(u"link"_s)));
    EXPECT_FALSE(filelist::FileIsPresent(t.path(u"folder"_s)));
    EXPECT_FALSE(filelist::FileIsPresent(t.path(u"missing"_s)));
    EXPECT_FALSE(filelist::FileIsPresent(t.path(u"pipe"_s))) << "and it must not wait for a writer";
    EXPECT_FALSE(filelist::FileIsPresent(u"/dev/null"_s));
    EXPECT_FALSE(filelist::FileIsPresent(u""_s));
    EXPECT_FALSE(filelist::FileIsPresent(t.path(u"deck.pptx"_s) + QChar(u'\0') + u"x"_s));
    EXPECT_FALSE(filelist::FileIsPresent(t.path(u"deck.pptx/"_s)));
}

TEST(FolderRoutines, FileIsPresentRefusesUnreadableFiles) {
    Tree t;
    t.file(u"secret.pptx"_s);
    t.file(u"open.pptx"_s);
    ASSERT_EQ(::chmod(t.native(u"secret.pptx"_s).constData(), 0), 0);
    const OrdinaryUser user;
    if (permissionsIgnored(t.path(u"secret.pptx"_s)))
        GTEST_SKIP() << "this process reads files whatever their permissions and cannot act as an ordinary user";
    EXPECT_FALSE(filelist::FileIsPresent(t.path(u"secret.pptx"_s)));
    EXPECT_TRUE(filelist::FileIsPresent(t.path(u"open.pptx"_s)));
}

TEST(FolderRoutines, ListMatchingFilesKeepsFilesInNaturalOrder) {
    Tree t;
    for (const QString& name : {u"Lecture 10.pptx"_s, u"Lecture 2.pptx"_s, u"lecture 3.PPTX"_s, u"~$Lecture 2.pptx"_s,
                                u".hidden.pptx"_s, u"notes.txt"_s, u"README"_s})
        t.file(name);
    t.folder(u"Lecture 5.pptx"_s);
    t.fifo(u"Lecture 7.pptx"_s);
    t.rawFile(QString(), "broken-\xff.pptx");

    EXPECT_EQ(filelist::ListMatchingFiles(t.root(), u"*.ppt*"_s),
              (QStringList{u".hidden.pptx"_s, u"Lecture 2.pptx"_s, u"lecture 3.PPTX"_s, u"Lecture 10.pptx"_s,
                           u"~$Lecture 2.pptx"_s}))
        << "hidden and ~ names are listed; folders, FIFOs and names that are not text are not";
    EXPECT_EQ(filelist::ListMatchingFiles(t.root() + u'/', u"*.txt"_s), QStringList{u"notes.txt"_s});
    EXPECT_TRUE(filelist::ListMatchingFiles(t.root(), u"*.*"_s).contains(u"README"_s));
    EXPECT_TRUE(filelist::ListMatchingFiles(t.root(), u"*.doc"_s).isEmpty());
    EXPECT_TRUE(filelist::ListMatchingFiles(t.path(u"missing"_s), u"*.*"_s).isEmpty());
}

// ---- The walk -----------------------------------------------------------------------------------

TEST(FolderWalk, BreadthFirstInNaturalOrder) {
    Tree t;
    for (const QString& f : {u"b/b2"_s, u"b/b1"_s, u"a/a1/deep"_s, u"Lecture 10"_s, u"Lecture 2"_s, u".git/objects"_s})
        t.folder(f);
    t.file(u"a/plain-file"_s);
    QStringList list{t.root() + u'/'};
    test::ScriptedEventPump events;
    filelist::ScanSkips skips;
    filelist::CollectSubfolders(list, true, events, skips);
    EXPECT_EQ(list, t.paths({u""_s, u".git/"_s, u"a/"_s, u"b/"_s, u"Lecture 2/"_s, u"Lecture 10/"_s, u".git/objects/"_s,
                             u"a/a1/"_s, u"b/b1/"_s, u"b/b2/"_s, u"a/a1/deep/"_s}));
    EXPECT_GT(events.yields, 10) << "the walk yields while it works";
}

TEST(FolderWalk, SkipsUnsafeNamesWithTheirSubtreesAndWalksOtherScripts) {
    Tree t;
    t.folder(u"Διαλέξεις/Εβδομάδα 1"_s);
    t.rawFolder(QString(), "bad\x01name");
    t.rawFolder(QString(), "latin1-\xe9");
    t.rawFolder(QString(), "what?");
    t.file(u"Διαλέξεις/Εβδομάδα 1/σημειώσεις.pptx"_s);
    ASSERT_EQ(::mkdir((t.native(QString()) + "bad\x01name/inner").constData(), 0755), 0);
    QStringList list{t.root() + u'/'};
    test::ScriptedEventPump events;
    filelist::ScanSkips skips;
    filelist::CollectSubfolders(list, true, events, skips);
    EXPECT_EQ(list, t.paths({u""_s, u"Διαλέξεις/"_s, u"Διαλέξεις/Εβδομάδα 1/"_s}));
}

TEST(FolderWalk, LinksBackUpTheTreeDoNotLoop) {
    Tree t;
    t.folder(u"a/b"_s);
    t.folder(u"c"_s);
    t.folder(u"outside"_s);
    t.link(u".."_s, u"a/b/up"_s);           // a loop back to a
    t.link(t.root(), u"c/top"_s);           // a loop back to the start
    t.link(t.path(u"a"_s), u"c/again-a"_s); // a second way to a folder already on the list
    t.link(u"self"_s, u"c/self"_s);         // a link to itself names nothing
    QStringList list{t.path(u"a/"_s), t.path(u"c/"_s)};
    test::ScriptedEventPump events;
    filelist::ScanSkips skips;
    filelist::CollectSubfolders(list, true, events, skips);
    // The temporary root was no starting folder, so the way to it through c/top is walked once.
    EXPECT_EQ(list, t.paths({u"a/"_s, u"c/"_s, u"a/b/"_s, u"c/top/"_s, u"c/top/outside/"_s}));
}

TEST(FolderWalk, LinksToOtherFoldersAreWalked) {
    Tree t;
    t.folder(u"start"_s);
    t.folder(u"elsewhere/inner"_s);
    t.link(t.path(u"elsewhere"_s), u"start/shortcut"_s);
    QStringList list{t.path(u"start/"_s)};
    test::ScriptedEventPump events;
    filelist::ScanSkips skips;
    filelist::CollectSubfolders(list, true, events, skips);
    EXPECT_EQ(list, t.paths({u"start/"_s, u"start/shortcut/"_s, u"start/shortcut/inner/"_s}));
}

TEST(FolderWalk, UnreadableFolderIsDroppedAndItsSiblingsGoOn) {
    Tree t;
    t.folder(u"locked/inner"_s);
    t.folder(u"open/inner"_s);
    t.folder(u"searchable-only/inner"_s);
    t.folder(u"listable-only/inner"_s);
    t.file(u"listable-only/deck.pptx"_s);
    ASSERT_EQ(::chmod(t.native(u"locked"_s).constData(), 0), 0);
    ASSERT_EQ(::chmod(t.native(u"searchable-only"_s).constData(), 0111), 0);
    ASSERT_EQ(::chmod(t.native(u"listable-only"_s).constData(), 0444), 0);
    QStringList list{t.root() + u'/'};
    {
        const OrdinaryUser user;
        if (permissionsIgnored(t.path(u"locked"_s)))
            GTEST_SKIP() << "this process lists folders whatever their permissions and cannot act as an ordinary user";
        test::ScriptedEventPump events;
        filelist::ScanSkips skips;
        filelist::CollectSubfolders(list, true, events, skips);
    }
    for (const char* folder : {"locked", "searchable-only", "listable-only"})
        ::chmod(t.native(QString::fromLatin1(folder)).constData(), 0755);
    EXPECT_EQ(list, t.paths({u""_s, u"open/"_s, u"open/inner/"_s}))
        << "folders that cannot be listed, or whose entries cannot be looked at, are left out with their subtrees";
}

TEST(FolderWalk, TheRootEntersWithADoubledSeparator) {
    // One level only: the whole file system is never walked here.
    QStringList list{u"//"_s};
    test::ScriptedEventPump events;
    filelist::ScanSkips skips;
    filelist::CollectSubfolders(list, false, events, skips);
    ASSERT_GE(list.size(), 2);
    EXPECT_EQ(list.first(), u"//"_s);
    const QStringList below = list.sliced(1);
    for (const QString& entry : below) {
        EXPECT_TRUE(entry.startsWith(u"//"_s) && entry.endsWith(u'/') && entry.count(u'/') == 3) << entry.toStdString();
    }
    EXPECT_TRUE(list.contains(u"//tmp/"_s) || list.contains(u"//usr/"_s));
}

TEST(FolderWalk, AVanishedFolderIsLeftOutAndAnAbortPassesThrough) {
    Tree t;
    t.folder(u"a/a1"_s);
    t.folder(u"b/b1"_s);
    t.folder(u"c"_s);
    QStringList list{t.root() + u'/'};
    test::ScriptedEventPump events;
    // The fourth yield comes once "b" has been found: take it away before the walk enters it.
    events.onYield = [&](int n) {
        if (n == 4)
            QDir(t.path(u"b"_s)).removeRecursively();
    };
    filelist::ScanSkips skips;
    filelist::CollectSubfolders(list, true, events, skips);
    EXPECT_EQ(list, t.paths({u""_s, u"a/"_s, u"c/"_s, u"a/a1/"_s})) << "only the vanished folder is missing";
    EXPECT_EQ(skips.description(), u"A folder was left out of the scan with everything below it: '"_s +
                                       t.path(u"b/"_s) + u"': No such file or directory."_s);

    QStringList again{t.root() + u'/'};
    test::ScriptedEventPump aborting;
    aborting.abortAt = 3;
    EXPECT_THROW(filelist::CollectSubfolders(again, true, aborting, skips), shell::OperationAborted);
}

TEST(FolderWalk, AppendFolderFilesSkipsTildeHiddenAndAbsentFiles) {
    Tree t;
    t.folder(u"sub"_s);
    for (const QString& f :
         {u"deck.pptx"_s, u"~$deck.pptx"_s, u".~lock.deck.pptx#"_s, u".deck.pptx"_s, u"sub/b.pptx"_s, u"sub/A.PPTX"_s})
        t.file(f);
    t.fifo(u"pipe.pptx"_s);
    FileList list;
    filelist::AppendFolderFiles({t.root() + u'/', t.path(u"sub/"_s), t.root() + u'/'}, u"*.ppt*"_s, list);
    EXPECT_EQ(list.entries(), t.paths({u"deck.pptx"_s, u"sub/A.PPTX"_s, u"sub/b.pptx"_s, u"deck.pptx"_s}))
        << "a repeated folder is scanned again";

    FileList all;
    filelist::AppendFolderFiles({t.root() + u'/'}, u"*.*"_s, all);
    EXPECT_EQ(all.entries(), t.paths({u"deck.pptx"_s}));
}

TEST(FolderWalk, DoubledSeparatorsBecomeSingle) {
    // The form a walk from the root gives: "//" then the folders below it.
    Tree t;
    t.file(u"deck.pptx"_s);
    FileList list;
    filelist::AppendFolderFiles({u'/' + t.root() + u'/', t.root() + u"//"_s}, u"*.pptx"_s, list);
    EXPECT_EQ(list.entries(), t.paths({u"deck.pptx"_s, u"deck.pptx"_s}));
}

TEST(FolderWalk, FilesBelowGivesTheWalkOrder) {
    Tree t;
    t.folder(u"Week 10"_s);
    t.folder(u"Week 9"_s);
    for (const QString& f : {u"Week 10/x.pptx"_s, u"Week 9/y.pptx"_s, u"top.pptx"_s, u"Week 9/notes.txt"_s})
        t.file(f);
    QStringList problems;
    EXPECT_EQ(filelist::filesBelow(t.root(), u"*.ppt*"_s, problems),
              t.paths({u"top.pptx"_s, u"Week 9/y.pptx"_s, u"Week 10/x.pptx"_s}));
    EXPECT_EQ(filelist::filesBelow(t.root(), u"*.*"_s, problems).size(), 4);
    EXPECT_TRUE(problems.isEmpty());
    EXPECT_TRUE(filelist::filesBelow(t.path(u"missing"_s), u"*.*"_s, problems).isEmpty());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(t.path(u"missing/"_s))) << problems[0].toStdString();
}

// ---- The commands -------------------------------------------------------------------------------

namespace {

class FolderCommand : public ::testing::Test, protected test::FakeServiceSet {
protected:
    FolderCommand() : FakeServiceSet(Title) { services.programFolder = tree.root(); }

    Tree tree;
    RecordingPointer window;
    FileList list;

    void scan(const QString& extension, const QString& folder) {
        prompts.answerNextInput(extension);
        dialogs.folderResults.push_back(folder);
        filelist::PushButton4_Click(services, window, list);
    }
};

} // namespace

TEST_F(FolderCommand, ScanAddsMatchingFilesFolderByFolder) {
    tree.folder(u"Week 2"_s);
    tree.folder(u"Week 10"_s);
    for (const QString& f : {u"Week 10/Lecture.pptx"_s, u"Week 2/Lecture.PPT"_s, u"Week 2/~$Lecture.ppt"_s,
                             u"intro.pptm"_s, u"notes.txt"_s})
        tree.file(f);
    list.Add(u"already there"_s);
    scan(u"ppt*"_s, tree.root());

    EXPECT_EQ(list.entries(), QStringList{u"already there"_s} +
                                  tree.paths({u"intro.pptm"_s, u"Week 2/Lecture.PPT"_s, u"Week 10/Lecture.pptx"_s}));
    ASSERT_EQ(prompts.inputs.size(), 1u);
    EXPECT_EQ(prompts.inputs[0].prompt, u"Enter file extension to load:\r\r(* for all files, txt for all txt files, "
                                        u"doc for all doc files, etc.)\r\rppt* finds .ppt, .pptx and .pptm files; "
                                        u"enter odp for OpenDocument presentations (.odp)."_s);
    EXPECT_EQ(prompts.inputs[0].caption, Title);
    EXPECT_EQ(prompts.inputs[0].defaultText, u"ppt*"_s);
    EXPECT_EQ(dialogs.folderPrompts, QStringList{u"Please select folder:"_s});
    EXPECT_EQ(settings.values.value(u"Extension"_s), u"ppt*"_s);
    EXPECT_EQ(window.shapes,
              (std::vector<shell::PointerShape>{shell::PointerShape::Busy, shell::PointerShape::Default}));
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_TRUE(prompts.messages.empty()) << "no message and no count at the end";
}

TEST_F(FolderCommand, StarTakesEveryFileAndTwoScansAddTwice) {
    tree.file(u"README"_s);
    tree.file(u"deck.pptx"_s);
    scan(u"*"_s, tree.root() + u'/');
    scan(u"*"_s, tree.root() + u'/');
    EXPECT_EQ(list.entries(), tree.paths({u"deck.pptx"_s, u"README"_s, u"deck.pptx"_s, u"README"_s}))
        << "a chosen folder that ends in the separator still gives single separators";
}

TEST_F(FolderCommand, CancelAtEitherQuestion) {
    tree.file(u"deck.pptx"_s);
    prompts.answerNextInput(QString());
    filelist::PushButton4_Click(services, window, list);
    EXPECT_TRUE(dialogs.folderPrompts.isEmpty());
    EXPECT_TRUE(settings.writes.isEmpty());

    scan(u"txt"_s, QString());
    EXPECT_EQ(settings.values.value(u"Extension"_s), u"txt"_s) << "stored before the folder browser opens";
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(window.shapes.empty());
}

TEST_F(FolderCommand, FailingStatementsAreReportedAndTheCommandGoesOn) {
    tree.file(u"deck.pptx"_s);
    ThrowingSettings readOnly;
    shell::Services withReadOnly{prompts, errors,        dialogs,      readOnly, desktop,    random,
                                 events,  presentations, spreadsheets, Title,    tree.root()};
    prompts.answerNextInput(u"pptx"_s);
    dialogs.folderResults.push_back(tree.root());
    filelist::PushButton4_Click(withReadOnly, window, list);
    ASSERT_EQ(errors.lines(), std::vector<int>{104});
    EXPECT_EQ(errors.reports[0].location, QStringView(shell::location::PushButton4Click).toString());
    EXPECT_EQ(errors.reports[0].description, u"settings store is read-only"_s);
    EXPECT_EQ(list.entries(), tree.paths({u"deck.pptx"_s}));

    ThrowingDialogs noBrowser;
    shell::Services withoutBrowser{prompts, errors,        noBrowser,    settings, desktop,    random,
                                   events,  presentations, spreadsheets, Title,    tree.root()};
    prompts.answerNextInput(u"pptx"_s);
    filelist::PushButton4_Click(withoutBrowser, window, list);
    EXPECT_EQ(errors.lines(), (std::vector<int>{104, 106})) << "no folder: the command ends after the report";
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(FolderCommand, AScanThatAddsNothingSaysWhatItLookedForAndWhere) {
    tree.file(u"talk.odp"_s);
    list.Add(u"already there"_s);
    scan(u"ppt*"_s, tree.root());
    EXPECT_EQ(list.Count(), 1);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              u"No files with the extension ppt* were found in %1 or below it."_s.arg(tree.root()));
    EXPECT_EQ(prompts.messages[0].style, shell::MessageStyle::Information);
    EXPECT_EQ(prompts.messages[0].caption, Title);
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(FolderCommand, AVanishedFolderIsReportedAtTheWalk) {
    window.shapes.clear();
    scan(u"pptx"_s, tree.path(u"gone"_s));
    ASSERT_EQ(errors.lines(), std::vector<int>{114});
    EXPECT_TRUE(errors.reports[0].description.contains(tree.path(u"gone"_s))) << "the report names the folder";
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(window.shapes,
              (std::vector<shell::PointerShape>{shell::PointerShape::Busy, shell::PointerShape::Default}));
}

// Makes a chain of levels folders of 250-character names below the folder at path, so that the path
// of the deepest ones is longer than the system takes (4,096 bytes); returns the first level.
QString makeDeepChain(const Tree& t, const QString& path, int levels) {
    const std::string name(250, 'd');
    int fd = ::open(t.native(path).constData(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < levels && fd >= 0; ++level) {
        EXPECT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    if (fd >= 0)
        ::close(fd);
    return t.path(path + u'/' + QString::fromStdString(name));
}

// Removes what makeDeepChain made, from the bottom up through folder handles (its paths are too long
// to name).
void removeDeepChain(int parent, const char* name) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        const std::string child(250, 'd');
        removeDeepChain(fd, child.c_str());
        ::close(fd);
    }
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

TEST_F(FolderCommand, ATooDeepOrVanishingFolderCostsOnlyItselfAndIsToldOncePerScan) {
    tree.file(u"top.pptx"_s);
    tree.folder(u"deep"_s);
    tree.file(u"deep/shallow.pptx"_s);
    tree.folder(u"z"_s);
    tree.file(u"z/gone.pptx"_s);
    makeDeepChain(tree, u"deep"_s, 17);
    struct Cleanup {
        const Tree& t;
        ~Cleanup() {
            const int fd = ::open(t.native(u"deep"_s).constData(), O_RDONLY | O_DIRECTORY);
            removeDeepChain(fd, std::string(250, 'd').c_str());
            ::close(fd);
        }
    } cleanup{tree};

    scan(u"pptx"_s, tree.root());
    EXPECT_EQ(list.entries(), tree.paths({u"top.pptx"_s, u"deep/shallow.pptx"_s, u"z/gone.pptx"_s}));
    ASSERT_EQ(errors.lines(), std::vector<int>{114});
    const QString& tooDeep = errors.reports[0].description;
    EXPECT_TRUE(tooDeep.startsWith(u"A folder was left out of the scan with everything below it: '"_s + tree.root()))
        << tooDeep.toStdString();
    EXPECT_TRUE(tooDeep.endsWith(u"ddd/': File name too long."_s)) << tooDeep.toStdString();
    EXPECT_LT(tooDeep.size(), 300) << "the path is shortened in the middle";

    // A folder taken away during the walk joins the same one report, which names the first.
    errors.reports.clear();
    list.Clear();
    events.yields = 0;
    events.onYield = [&](int n) {
        if (n == 3) // "z" has been found, not entered yet
            QDir(tree.path(u"z"_s)).removeRecursively();
    };
    scan(u"pptx"_s, tree.root());
    EXPECT_EQ(list.entries(), tree.paths({u"top.pptx"_s, u"deep/shallow.pptx"_s}));
    ASSERT_EQ(errors.lines(), std::vector<int>{114});
    EXPECT_EQ(errors.reports[0].description, u"2 folders were left out of the scan with everything below them; the "
                                             u"first: '"_s +
                                                 tree.path(u"z/"_s) + u"': No such file or directory."_s);
}

TEST_F(FolderCommand, NamesThatAreNotTextAndPathsTooLongJoinTheScansOneReport) {
    tree.file(u"top.pptx"_s);
    tree.rawFile(QString(), "caf\xe9.pptx");
    tree.rawFile(QString(), "notes-\xe9.txt"); // not one of the files asked for: not told
    tree.rawFolder(QString(), "dossier-\xe9");
    tree.rawFile(QString(), "dossier-\xe9/inner.pptx");
    // A folder whose path has 4,000 bytes, made through folder handles, holding a file whose name fits
    // and one whose name makes its path longer than the system takes.
    tree.folder(u"deep"_s);
    const int levels = static_cast<int>((4000 - tree.native(u"deep"_s).size()) / 251);
    makeDeepChain(tree, u"deep"_s, levels);
    QByteArray deepest = tree.native(u"deep"_s);
    for (int level = 0; level < levels; ++level)
        deepest += '/' + QByteArray(250, 'd');
    const QByteArray last(static_cast<int>(4000 - deepest.size() - 1), 'e');
    const QByteArray longName = QByteArray(120, 'l') + ".pptx";
    int folder = ::open(tree.native(u"deep"_s).constData(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < levels; ++level) {
        const int next = ::openat(folder, std::string(250, 'd').c_str(), O_RDONLY | O_DIRECTORY);
        ::close(folder);
        folder = next;
    }
    ASSERT_EQ(::mkdirat(folder, last.constData(), 0755), 0);
    const int bottom = ::openat(folder, last.constData(), O_RDONLY | O_DIRECTORY);
    for (const QByteArray& name : {QByteArray("s.pptx"), longName})
        ::close(::openat(bottom, name.constData(), O_CREAT | O_WRONLY, 0644));
    deepest += '/' + last;
    ASSERT_EQ(deepest.size(), 4000);
    // Its paths are too long to name: it goes through the handles, from the bottom up.
    struct Cleanup {
        const Tree& t;
        int above, bottom;
        QByteArray last, longName;
        ~Cleanup() {
            ::unlinkat(bottom, "s.pptx", 0);
            ::unlinkat(bottom, longName.constData(), 0);
            ::close(bottom);
            ::unlinkat(above, last.constData(), AT_REMOVEDIR);
            ::close(above);
            const int fd = ::open(t.native(u"deep"_s).constData(), O_RDONLY | O_DIRECTORY);
            removeDeepChain(fd, std::string(250, 'd').c_str());
            ::close(fd);
        }
    } cleanup{tree, folder, bottom, last, longName};

    scan(u"pptx"_s, tree.root());
    EXPECT_EQ(list.entries(), (QStringList{tree.path(u"top.pptx"_s), QFile::decodeName(deepest) + u"/s.pptx"_s}));
    ASSERT_EQ(errors.lines(), std::vector<int>{114});
    const QString& told = errors.reports[0].description;
    EXPECT_TRUE(told.startsWith(u"2 files or folders whose names are not valid UTF-8 were left out of the scan; the "
                                u"first: '"_s +
                                tree.path(u"dossier-\\xE9/'. "_s) +
                                u"A file whose full path is longer than the system allows (4,095 bytes) was left out "
                                u"of the scan: '"_s +
                                tree.root()))
        << told.toStdString();
    EXPECT_TRUE(told.endsWith(u"lllll.pptx'."_s)) << told.toStdString();
}

TEST_F(FolderCommand, ClosingTheWindowDuringTheWalkPassesThrough) {
    tree.folder(u"a"_s);
    events.abortAt = 1;
    prompts.answerNextInput(u"pptx"_s);
    dialogs.folderResults.push_back(tree.root());
    EXPECT_THROW(filelist::PushButton4_Click(services, window, list), shell::OperationAborted);
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(FolderCommand, DropTakesFilesAsTheyArriveAndWalksFolders) {
    tree.folder(u"talks/sub"_s);
    tree.folder(u"more"_s);
    tree.folder(u"empty/deeper"_s);
    tree.folder(u".hidden-folder"_s);
    for (const QString& f : {u"talks/a.pptx"_s, u"talks/notes.txt"_s, u"talks/~$a.pptx"_s, u"talks/.~lock.a.pptx#"_s,
                             u"talks/sub/b.docx"_s, u"more/c.pptx"_s, u".hidden-folder/d.pptx"_s, u"~$loose.pptx"_s})
        tree.file(f);
    const QStringList dropped = tree.paths(
        {u"~$loose.pptx"_s, u"talks"_s, u"missing.xyz"_s, u"more"_s, u"talks/"_s, u"empty"_s, u".hidden-folder"_s});
    filelist::appendDroppedItems(dropped, list, events, errors);
    EXPECT_EQ(list.entries(), tree.paths({u"~$loose.pptx"_s, u"talks/a.pptx"_s, u"talks/notes.txt"_s,
                                          u"talks/sub/b.docx"_s, u"missing.xyz"_s, u"more/c.pptx"_s, u"talks/a.pptx"_s,
                                          u"talks/notes.txt"_s, u"talks/sub/b.docx"_s, u".hidden-folder/d.pptx"_s}));
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_TRUE(window.shapes.empty());
}

TEST_F(FolderCommand, ADropReportsAFailedWalkAndKeepsTheDroppedFolder) {
    tree.folder(u"talks/sub"_s);
    tree.file(u"talks/a.pptx"_s);
    tree.file(u"talks/sub/b.pptx"_s);
    events.onYield = [&](int n) {
        if (n == 2)
            QDir(tree.path(u"talks/sub"_s)).removeRecursively();
    };
    filelist::appendDroppedItems({tree.path(u"talks"_s)}, list, events, errors);
    EXPECT_EQ(list.entries(), tree.paths({u"talks/a.pptx"_s}));
    ASSERT_EQ(errors.reports.size(), 1u);
    EXPECT_EQ(errors.reports[0].location, QStringView(shell::location::ListView1DragDrop).toString());
    EXPECT_EQ(errors.reports[0].line, 0);
}

TEST_F(FolderCommand, SamplesAreAppendedOnEveryClickThenTheQuestion) {
    tree.folder(u"Samples/inner"_s);
    for (const QString& f : {u"Samples/Lecture 10.pptx"_s, u"Samples/Lecture 2.pptx"_s, u"Samples/~$x.pptx"_s,
                             u"Samples/.hidden"_s, u"Samples/inner/not-listed.pptx"_s})
        tree.file(f);
    list.Add(u"first"_s);
    prompts.answerNextMessage(shell::MessageAnswer::No);
    prompts.answerNextMessage(shell::MessageAnswer::Yes);
    filelist::PushButton9_Click(services, list);
    filelist::PushButton9_Click(services, list);

    const QStringList once = tree.paths(
        {u"Samples/.hidden"_s, u"Samples/Lecture 2.pptx"_s, u"Samples/Lecture 10.pptx"_s, u"Samples/~$x.pptx"_s});
    EXPECT_EQ(list.entries(), QStringList{u"first"_s} + once + once);
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, u"Would you like this software to open the folder where these sample files are "
                                        u"stored (so that you can view them before working with them)?"_s);
    EXPECT_EQ(prompts.messages[0].style, shell::MessageStyle::YesNo);
    EXPECT_EQ(prompts.messages[0].caption, Title);
    EXPECT_EQ(desktop.folders, QStringList{tree.path(u"Samples"_s)}) << "No opens nothing, Yes opens the folder";
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(FolderCommand, TheQuestionIsAskedWithoutSamples) {
    prompts.answerNextMessage(shell::MessageAnswer::Yes);
    filelist::PushButton9_Click(services, list);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(desktop.folders, QStringList{tree.path(u"Samples"_s)});
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(FolderCommand, InstalledSamplesAreFoundFromTheProgramFolder) {
    // The installed layout: the program in a folder of its own under the library folder.
    const QString prefix = tree.path(u"prefix/"_s);
    const QString program = prefix + QStringLiteral(QUORVANE_INSTALL_LIBDIR) + u"/quorvane"_s;
    const QString installed = prefix + QStringLiteral(QUORVANE_INSTALL_DATADIR) + u"/quorvane/Samples"_s;
    ASSERT_TRUE(QDir().mkpath(program));
    ASSERT_TRUE(QDir().mkpath(installed));
    EXPECT_EQ(filelist::samplesFolder(program), installed);
    ASSERT_TRUE(QDir().mkpath(program + u"/Samples"_s));
    EXPECT_EQ(filelist::samplesFolder(program), program + u"/Samples"_s) << "beside the program comes first";
}
