// The presentation server and PresentationText on top of it: the members' results and effects, and
// PresentationText's call sequence and failure behaviour.
#include "support/PackageBuilder.h"
#include "support/RecordingOffice.h"

#include "import/PresentationText.h"
#include "import/ShapeTexts.h"
#include "office/AutomationError.h"
#include "office/presentation/DocumentPrefetch.h"
#include "office/presentation/LocalPresentationServer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "support/TestTools.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace quorvane;
using office::LocalPresentationApplication;
using office::LocalPresentationServer;
using test::textBox;
using test::textBoxOf;

namespace {

using test::failureOf;

class ServerTest : public ::testing::Test {
protected:
    QString deck(const QString& name, const std::vector<std::string>& slides) {
        const QString path = m_dir.filePath(name);
        test::writeDeck(path, slides);
        return path;
    }
    QTemporaryDir m_dir;
    LocalPresentationServer m_server;
};

TEST_F(ServerTest, OneInstanceRunsUntilItQuits) {
    EXPECT_EQ(failureOf([&] { m_server.attach(); }), u"The presentation server is not running."_s);
    const auto created = m_server.create();
    EXPECT_EQ(m_server.create(), created);
    EXPECT_EQ(m_server.attach(), created);

    // Visible is only kept; dropping every reference (Release) leaves the instance running.
    created->setVisible(true);
    EXPECT_TRUE(m_server.attach()->visible());
    const auto* address = created.get();
    {
        auto dropped = m_server.attach();
    }
    EXPECT_EQ(m_server.attach().get(), address);

    created->quit();
    EXPECT_EQ(m_server.running(), nullptr);
    EXPECT_EQ(failureOf([&] { m_server.attach(); }), u"The presentation server is not running."_s);
    EXPECT_EQ(failureOf([&] { created->slidesCount(); }), u"The presentation server is no longer running."_s);
    const auto fresh = m_server.create();
    EXPECT_NE(fresh, created);
    EXPECT_FALSE(fresh->visible());
}

TEST_F(ServerTest, OpenMakesThePresentationActiveAndQuitClosesThemAll) {
    const QString first = deck(u"first.pptx"_s, {test::slideXml(textBoxOf("one"))});
    const QString second = deck(u"second.pptx"_s, {test::slideXml(""), test::slideXml(textBoxOf("two") + "<p:pic/>")});
    const auto application = std::static_pointer_cast<LocalPresentationApplication>(m_server.create());
    EXPECT_EQ(failureOf([&] { application->slidesCount(); }), u"ActivePresentation: no presentation is open."_s);
    EXPECT_EQ(failureOf([&] { application->saveActive(); }), u"ActivePresentation: no presentation is open."_s);

    application->open(first);
    application->open(second);
    EXPECT_EQ(application->presentationsCount(), 2);
    EXPECT_EQ(application->activePath(), second);
    EXPECT_EQ(application->slidesCount(), 2);
    EXPECT_EQ(application->shapesCount(1), 0);
    EXPECT_EQ(application->shapesCount(2), 2);
    EXPECT_NE(application->hasTextFrame(2, 1), 0);
    EXPECT_EQ(application->hasTextFrame(2, 2), 0);
    EXPECT_EQ(application->shapeText(2, 1), u"two"_s);

    // A file that fails to open leaves the active presentation as it was.
    EXPECT_FALSE(failureOf([&] { application->open(m_dir.filePath(u"absent.pptx"_s)); }).isEmpty());
    EXPECT_EQ(application->activePath(), second);

    application->quit();
    EXPECT_EQ(application->presentationsCount(), 0);
}

TEST_F(ServerTest, MembersOutsideThePresentationFailWithTheReason) {
    const QString path = deck(u"small.pptx"_s, {test::slideXml(textBoxOf("t") + "<p:pic/>")});
    const auto application = m_server.create();
    application->open(path);
    EXPECT_EQ(failureOf([&] { application->shapesCount(0); }),
              m_dir.filePath(u"small.pptx"_s) + u": there is no slide 0 (the presentation has 1)"_s);
    EXPECT_EQ(failureOf([&] { application->shapesCount(2); }),
              m_dir.filePath(u"small.pptx"_s) + u": there is no slide 2 (the presentation has 1)"_s);
    EXPECT_EQ(failureOf([&] { application->hasTextFrame(1, 3); }),
              m_dir.filePath(u"small.pptx"_s) + u": slide 1 has no shape 3 (it has 2)"_s);
    EXPECT_EQ(failureOf([&] { application->shapeText(1, 2); }),
              m_dir.filePath(u"small.pptx"_s) + u": shape 2 of slide 1 has no text frame"_s);
}

// Reading never changes the file: not its bytes, not its modification time, also when it is read-only.
TEST_F(ServerTest, ReadingAndSavingLeaveTheFileUntouched) {
    const QString path = m_dir.filePath(u"kept.pptx"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUORVANE_TEST_DATA) + u"/pptx/impress-shapes.pptx"_s, path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray before = file.readAll();
    const QDateTime old = QDateTime::fromSecsSinceEpoch(1000000000);
    ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    file.close();
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    EXPECT_FALSE(import::PresentationText(m_server, path).isEmpty());

    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    EXPECT_EQ(QFileInfo(path).lastModified(), old);
}

// ---- PresentationText ---------------------------------------------------------------------------

TEST_F(ServerTest, PresentationTextGivesALinePerTextFrameAcrossSlides) {
    EXPECT_EQ(import::PresentationText(m_server, deck(u"none.pptx"_s, {})), QString());
    const QString path =
        deck(u"three.pptx"_s,
             {test::slideXml(textBoxOf("Title") +
                             textBox("<a:p><a:r><a:t>P1</a:t></a:r></a:p><a:p><a:r><a:t>P2</a:t></a:r></a:p>")),
              test::slideXml("<p:pic/>" + textBox("") + "<p:cxnSp/>"), test::slideXml(textBoxOf("Last"))});
    EXPECT_EQ(import::PresentationText(m_server, path), u"Title\r\nP1\rP2\r\n\r\nLast\r\n"_s);
    EXPECT_EQ(m_server.running(), nullptr); // told to quit at the end
}

TEST_F(ServerTest, PresentationTextReadsTheNewPresentationOfARunningServerAndQuitsIt) {
    const auto running = std::static_pointer_cast<LocalPresentationApplication>(m_server.create());
    running->open(deck(u"other.pptx"_s, {test::slideXml(textBoxOf("other"))}));
    EXPECT_EQ(import::PresentationText(m_server, deck(u"mine.pptx"_s, {test::slideXml(textBoxOf("mine"))})),
              u"mine\r\n"_s);
    EXPECT_FALSE(running->running());
    EXPECT_EQ(running->presentationsCount(), 0);
}

TEST_F(ServerTest, AFailureLeavesTheServerRunningWithThePresentationOpen) {
    const QString path = deck(u"broken.pptx"_s, {test::slideXml(textBoxOf("read")), "<p:sld><unclosed"});
    EXPECT_TRUE(failureOf([&] {
                    import::PresentationText(m_server, path);
                }).startsWith(m_dir.filePath(u"broken.pptx"_s) + u": slide 2 is damaged"_s));
    const auto running = m_server.running();
    ASSERT_NE(running, nullptr);
    EXPECT_TRUE(running->visible());
    EXPECT_EQ(running->activePath(), path);

    EXPECT_EQ(failureOf([&] { import::PresentationText(m_server, m_dir.filePath(u"absent.pptx"_s)); }),
              m_dir.filePath(u"absent.pptx"_s) + u": cannot open the file: No such file or directory"_s);
    EXPECT_EQ(m_server.running(), running);
}

TEST_F(ServerTest, AFailedPresentationStaysOpenButGivesBackItsFileAndContent) {
    // Over 512 KiB, so the package reads its parts from the open file and keeps it open meanwhile.
    std::vector<test::PackagePart> parts = test::deckParts({test::slideXml(textBoxOf("read")), "<p:sld><unclosed"});
    parts.push_back({"ppt/media/image1.bin", std::string(600u << 10, 'i'), true});
    const QString path = m_dir.filePath(u"broken.pptx"_s);
    test::writeZip(path, parts);
    const auto openFiles = [] { return QDir(u"/proc/self/fd"_s).entryList(QDir::Files | QDir::System).size(); };
    const qsizetype before = openFiles();

    const QString reason = failureOf([&] { import::PresentationText(m_server, path); });
    EXPECT_TRUE(reason.startsWith(path + u": slide 2 is damaged"_s)) << reason.toStdString();
    const auto running = m_server.running();
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running->presentationsCount(), 1);
    EXPECT_EQ(running->activePath(), path);
    EXPECT_EQ(openFiles(), before);
    // What would need the content fails with the same reason; the next file reads as usual.
    EXPECT_EQ(failureOf([&] { running->slidesCount(); }), reason);
    EXPECT_EQ(import::PresentationText(m_server, deck(u"fine.pptx"_s, {test::slideXml(textBoxOf("fine"))})),
              u"fine\r\n"_s);
}

// ---- Reading ahead ------------------------------------------------------------------------------

// Reads every file of paths as the command line does, hinting what comes next: each file's shapes
// (notes, tables and groups too) or its failure, and then its text as PresentationText gives it.
QStringList readInOrder(office::PresentationServer& server, const QStringList& paths) {
    QStringList results;
    const int ahead = server.lookahead();
    for (qsizetype at = 0; at < paths.size(); ++at) {
        for (const bool everything : {true, false}) {
            if (ahead > 0)
                server.prepare(paths.mid(at, ahead));
            QString text;
            const QString failure = failureOf([&] {
                if (!everything)
                    text = import::PresentationText(server, paths[at]);
                else
                    quorvane::import::ForEachShapeText(
                        server, paths[at], {true, true, true}, [&](const import::ShapeText& shape) {
                            text += shape.kind + u' ' + shape.name + u": "_s + shape.joinedText() + u'\n';
                        });
            });
            results.append(failure.isEmpty() ? text : u"failed: "_s + failure);
        }
    }
    return results;
}

TEST_F(ServerTest, ReadingAheadGivesWhatReadingInTurnGives) {
    QStringList paths;
    for (const char* fixture : {"extras/extras-impress.pptx", "extras/extras.ppt", "extras/extras.odp",
                                "extras/extras.fodp", "pptx/pptxgenjs-deck.pptx", "pptx/pptxgenjs-empty.pptx"})
        paths << QStringLiteral(QUORVANE_TEST_DATA "/") + QString::fromLatin1(fixture);
    const QString broken = deck(u"broken.pptx"_s, {test::slideXml(textBoxOf("read")), "<p:sld><unclosed"});
    // Failures among them (a damaged slide, no file, no presentation, a file cut short that gives
    // part of its text), and a file read twice.
    QFile whole(paths[0]);
    EXPECT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile cut(m_dir.filePath(u"cut.pptx"_s));
    EXPECT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.readAll().chopped(6000));
    cut.close();
    paths.append(cut.fileName());
    paths.insert(2, broken);
    paths.insert(4, m_dir.filePath(u"absent.pptx"_s));
    paths.insert(5, QStringLiteral(QUORVANE_TEST_DATA "/extras/make-fixtures.sh"));
    paths.append(paths[0]);

    const QStringList inTurn = readInOrder(m_server, paths);
    EXPECT_TRUE(inTurn[4].startsWith(u"failed: "_s + broken + u": slide 2 is damaged"_s)) << inTurn[4].toStdString();
    LocalPresentationServer ahead(3);
    EXPECT_EQ(readInOrder(ahead, paths), inTurn);
}

// Answers the server's questions for passwords from a queue (nothing: cancel) and notes each one.
class ScriptedPasswords final : public office::PasswordList {
public:
    explicit ScriptedPasswords(std::vector<std::optional<std::string>> answers) : m_answers(std::move(answers)) {}
    office::SharedPassword ask(const QString& path, int wrong) override {
        asked.append(u"%1 after %2"_s.arg(QFileInfo(path).fileName()).arg(wrong));
        if (m_answers.empty() || !m_answers.front()) {
            if (!m_answers.empty())
                m_answers.erase(m_answers.begin());
            return nullptr;
        }
        auto password = std::make_shared<office::Password>(*m_answers.front());
        m_answers.erase(m_answers.begin());
        return password;
    }
    QStringList asked;

private:
    std::vector<std::optional<std::string>> m_answers;
};

TEST_F(ServerTest, AProtectedFileAsksUntilAPasswordOpensItAndThatOneIsTriedFirstOnTheNext) {
    const QString agile = QStringLiteral(QUORVANE_TEST_DATA "/protected/agile.pptx");
    const QString hello = QStringLiteral(QUORVANE_TEST_DATA "/protected/Password_Protected-hello.ppt");
    const QString odp = QStringLiteral(QUORVANE_TEST_DATA "/protected/deck.odp");
    // Read in turn and read ahead alike: agile.pptx twice (asked once), then hello.ppt (its password
    // asked after the one known failed), then deck.odp (cancelled after one wrong answer).
    for (const int jobs : {1, 3}) {
        SCOPED_TRACE(jobs);
        LocalPresentationServer server(jobs);
        const auto passwords = std::make_shared<ScriptedPasswords>(
            std::vector<std::optional<std::string>>{"wrong", "Zebra-7 Ünïcode", "hello", "wrong", std::nullopt});
        server.usePasswords(passwords);
        const QStringList paths{agile, agile, hello, odp};
        server.prepare(paths);
        const auto application = server.create();
        QStringList results;
        for (int i = 0; i < paths.size(); ++i) {
            server.prepare(paths.mid(i));
            results.append(failureOf([&] {
                application->open(paths[i]);
                results.append(application->shapeText(1, 1));
            }));
        }
        EXPECT_EQ(results, QStringList({u"Agenda"_s,
                                        {},
                                        u"Agenda"_s,
                                        {},
                                        u"This is a protected document"_s,
                                        {},
                                        odp + u": the password is wrong (3 tried)"_s}))
            << results.join(u" | "_s).toStdString();
        EXPECT_EQ(passwords->asked, QStringList({u"agile.pptx after 0"_s, u"agile.pptx after 1"_s,
                                                 u"Password_Protected-hello.ppt after 1"_s, u"deck.odp after 2"_s,
                                                 u"deck.odp after 3"_s}))
            << passwords->asked.join(u" | "_s).toStdString();
        // Both passwords that opened a file are kept, the last one first.
        ASSERT_EQ(passwords->passwords().size(), 2u);
        EXPECT_EQ(passwords->passwords().front()->utf8(), "hello");
    }
}

TEST_F(ServerTest, ADamagedFileIsReadToTheEndAndThenSaysWhatWasLost) {
    // Seven slides whose parts lie in the order 1, 2, 6, 3, 4, 5, 7, cut short inside slide 3's.
    std::vector<std::string> slides;
    for (int k = 1; k <= 7; ++k)
        slides.push_back(test::slideXml(textBoxOf("slide " + std::to_string(k))));
    std::vector<test::PackagePart> parts = test::deckParts(slides);
    std::rotate(parts.begin() + 6, parts.begin() + 9, parts.begin() + 10);
    const QString path = m_dir.filePath(u"cut.pptx"_s);
    test::writeZip(path, parts);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    for (const test::ZipEntrySpan& span : test::zipEntrySpans(file.readAll())) {
        if (span.name == "ppt/slides/slide3.xml") {
            ASSERT_TRUE(file.resize(span.start + 60));
        }
    }
    file.close();

    try {
        import::PresentationText(m_server, path);
        FAIL() << "no damage reported";
    } catch (const office::PartialReadError& damaged) {
        EXPECT_EQ(damaged.description(),
                  path +
                      u": damaged (cut short in ppt/slides/slide3.xml): 3 of 7 slides read; slides 3\u20135 and 7 are "
                      u"lost"_s);
        EXPECT_EQ(damaged.damage().slidesRead, 3);
        EXPECT_EQ(damaged.damage().slides, 7);
        EXPECT_EQ(damaged.text(), u"slide 1\r\nslide 2\r\nslide 6\r\n"_s);
    }
    // The read ended as any other: the server has quit.
    EXPECT_EQ(m_server.running(), nullptr);
}

// Waits until prefetch has finished count of the hinted paths.
void waitUntilFinished(office::DocumentPrefetch& prefetch, int count) {
    for (int waited = 0; prefetch.finished() < count && waited < 10'000; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(prefetch.finished(), count);
}

TEST_F(ServerTest, APresentationReadAheadIsTakenOnlyWhileItsFileIsTheSame) {
    const QString a = deck(u"a.pptx"_s, {test::slideXml(textBoxOf("a"))});
    const QString b = deck(u"b.pptx"_s, {test::slideXml(textBoxOf("b"))});
    const QString c = deck(u"c.pptx"_s, {test::slideXml(textBoxOf("c"))});
    office::DocumentPrefetch prefetch(2);
    prefetch.hint({a, b, c, a});
    waitUntilFinished(prefetch, 4);
    deck(u"b.pptx"_s, {test::slideXml(textBoxOf("b, rewritten"))});

    const auto first = prefetch.take(a);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->shapes(1).at(0).text, u"a"_s);
    EXPECT_EQ(prefetch.take(b), nullptr); // changed since: read on the spot
    EXPECT_NE(prefetch.take(a), nullptr); // the second time of a; c is passed over and dropped
    EXPECT_EQ(prefetch.take(c), nullptr);
    EXPECT_EQ(prefetch.finished(), 0);

    // A hint replaces the one before: what is no longer hinted goes, what is stays.
    prefetch.hint({a, b});
    waitUntilFinished(prefetch, 2);
    prefetch.hint({b});
    EXPECT_EQ(prefetch.finished(), 1);
    EXPECT_EQ(prefetch.take(a), nullptr);
    EXPECT_EQ(prefetch.take(b)->shapes(1).at(0).text, u"b, rewritten"_s);
}

// ---- Reading ahead with a stand-in reader: stuck reads, failures, room ---------------------------

// A presentation of one slide holding one shape with that many characters of text.
class TextDocument final : public office::PresentationDocument {
public:
    TextDocument(const QString& path, qsizetype characters) : PresentationDocument(path) {
        office::ShapeInfo shape;
        shape.hasTextFrame = true;
        shape.text = QString(characters, u'x');
        m_shapes.push_back(std::move(shape));
    }
    int slideCount() const override { return 1; }

private:
    const std::vector<office::ShapeInfo>& readShapes(int) override { return m_shapes; }
    QString readNotes(int) override { return {}; }
    bool readHidden(int) override { return false; }
    std::vector<QString> readGraphicTexts(int, const office::ShapeInfo&) override { return {}; }
    std::vector<office::SlideComment> readComments(int) override { return {}; }
    std::vector<office::ShapeInfo> m_shapes;
};

// Stands in for the readers: counts the opening of each path, fails "bad", holds "stuck" until
// released, and gives every other path a document of size characters.
class StandInReader {
public:
    explicit StandInReader(qsizetype size = 1) : m_size(size) {}
    office::DocumentPrefetch::Settings settings(int workers) {
        auto settings = office::DocumentPrefetch::Settings::of(workers);
        settings.open = [this](const QString& path) -> std::unique_ptr<office::PresentationDocument> {
            std::unique_lock lock(m_mutex);
            ++m_opened[path];
            if (path == u"bad")
                throw office::AutomationError(u"bad: damaged"_s);
            if (path == u"stuck")
                m_released.wait(lock, [this] { return m_free; });
            if (path == u"long") {
                // A read that goes on and on, passing its checkpoints, until it is stopped.
                lock.unlock();
                for (;;) {
                    office::ReadStop::checkpoint();
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
            return std::make_unique<TextDocument>(path, m_size);
        };
        return settings;
    }
    int opened(const QString& path) {
        const std::lock_guard lock(m_mutex);
        return m_opened[path];
    }
    void release() {
        const std::lock_guard lock(m_mutex);
        m_free = true;
        m_released.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_free = false;
    std::map<QString, int> m_opened;
    qsizetype m_size;
};

struct Stop {};

TEST(ReadAheadTest, AFailureReadAheadIsReportedInItsPlaceWithoutReadingTheFileAgain) {
    StandInReader reader;
    LocalPresentationServer server(reader.settings(2));
    server.prepare({u"bad"_s, u"good"_s});
    const auto application = server.create();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(failureOf([&] { application->open(u"bad"_s); }), u"bad: damaged"_s);
    application->open(u"good"_s);
    EXPECT_EQ(application->shapeText(1, 1), u"x"_s);
    EXPECT_EQ(reader.opened(u"bad"_s), 1);
    EXPECT_EQ(reader.opened(u"good"_s), 1);
}

TEST(ReadAheadTest, AStopIsNotHeldUpByAReadThatDoesNotAnswerNorIsTheEndOfTheReadAhead) {
    StandInReader reader;
    const auto started = std::chrono::steady_clock::now();
    const auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    {
        office::DocumentPrefetch prefetch(reader.settings(2));
        prefetch.hint({u"stuck"_s, u"good"_s});
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // a worker is in the read
        int polls = 0;
        prefetch.whileWaiting([&] {
            if (++polls == 3)
                throw Stop{};
        });
        EXPECT_THROW(prefetch.take(u"stuck"_s), Stop);
        EXPECT_EQ(polls, 3);
    }
    // The worker in the read is left behind; it ends once the read returns.
    EXPECT_LT(seconds(), 2.0);
    EXPECT_EQ(office::DocumentPrefetch::leftBehind(), 1);
    reader.release();
    for (int waited = 0; office::DocumentPrefetch::leftBehind() > 0 && waited < 5000; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(office::DocumentPrefetch::leftBehind(), 0);
}

TEST(ReadAheadTest, ALongReadThatNobodyWantsAnyMoreEndsAtItsNextCheckpoint) {
    StandInReader reader;
    {
        office::DocumentPrefetch prefetch(reader.settings(2));
        prefetch.hint({u"long"_s});
        for (int waited = 0; reader.opened(u"long"_s) == 0 && waited < 5000; waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        prefetch.hint({});
    }
    // The worker was not left behind in the read: it ended, and was joined.
    EXPECT_EQ(office::DocumentPrefetch::leftBehind(), 0);
}

TEST(ReadAheadTest, AReadWithoutProgressIsLeftToTheCallerAfterThePatience) {
    StandInReader reader;
    auto settings = reader.settings(2);
    settings.patience = std::chrono::milliseconds(200);
    office::DocumentPrefetch prefetch(settings);
    prefetch.hint({u"stuck"_s, u"good"_s});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(prefetch.take(u"stuck"_s), nullptr);
    EXPECT_NE(prefetch.take(u"good"_s), nullptr);
    reader.release();
}

TEST(ReadAheadTest, AllButThePresentationOpenedNextShareOneRoomAndWaitForIt) {
    // Each document takes a little more than half the room: besides the one opened next, only one fits.
    StandInReader reader(office::DocumentPrefetch::RoomText / 2);
    office::DocumentPrefetch prefetch(reader.settings(3));
    prefetch.hint({u"a"_s, u"b"_s, u"c"_s});
    waitUntilFinished(prefetch, 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(prefetch.finished(), 2); // c waits
    EXPECT_NE(prefetch.take(u"a"_s), nullptr);
    waitUntilFinished(prefetch, 2);
    EXPECT_NE(prefetch.take(u"b"_s), nullptr);
    EXPECT_NE(prefetch.take(u"c"_s), nullptr);

    // One larger than the room is left to be read on the spot, where no slides are held.
    StandInReader large(office::DocumentPrefetch::RoomText + 1);
    office::DocumentPrefetch alone(large.settings(2));
    alone.hint({u"big"_s});
    waitUntilFinished(alone, 1);
    EXPECT_EQ(alone.take(u"big"_s), nullptr);
}

TEST(ReadAheadTest, RunningOutOfMemoryIsNoDamage) {
    class Exhausting final : public office::PresentationDocument {
    public:
        Exhausting() : PresentationDocument(u"/decks/big.pptx"_s) {}
        int slideCount() const override { return 1; }

    private:
        const std::vector<office::ShapeInfo>& readShapes(int) override { throw std::bad_alloc(); }
        QString readNotes(int) override { return {}; }
        bool readHidden(int) override { return false; }
        std::vector<QString> readGraphicTexts(int, const office::ShapeInfo&) override { return {}; }
        std::vector<office::SlideComment> readComments(int) override { return {}; }
    } document;
    EXPECT_EQ(failureOf([&] { document.shapes(1); }), u"/decks/big.pptx: not enough memory to read the presentation"_s);
}

// PresentationText through a recorder around the real server, on real files.
class PresentationTextCallsTest : public ServerTest {};

TEST_F(PresentationTextCallsTest, CallsTheServerMembersInOrderGoingDownFromTheActivePresentation) {
    const QString path = deck(u"d.pptx"_s, {test::slideXml(textBoxOf("a") + "<p:pic/>"), test::slideXml(""),
                                            test::slideXml(textBox("<a:p/>"))});
    test::RecordingPresentationServer server;
    EXPECT_EQ(import::PresentationText(server, path), u"a\r\n\r\n"_s);
    EXPECT_EQ(server.trace(),
              QStringList({u"0.create()"_s, u"1.setVisible(true)"_s, u"0.attach()"_s, u"1.open("_s + path + u")"_s,
                           u"1.slidesCount()"_s, u"1.shapesCount(1)"_s, u"1.hasTextFrame(1,1)"_s, u"1.shapeText(1,1)"_s,
                           u"1.hasTextFrame(1,2)"_s, u"1.shapesCount(2)"_s, u"1.shapesCount(3)"_s,
                           u"1.hasTextFrame(3,1)"_s, u"1.shapeText(3,1)"_s, u"1.saveActive()"_s, u"1.quit()"_s}));
}

TEST_F(PresentationTextCallsTest, AnyFailingMemberEndsItAndTheRestIsSkipped) {
    const QString path = deck(u"d.pptx"_s, {test::slideXml(textBoxOf("a"))});
    const QStringList members = {u"create"_s,      u"setVisible"_s,   u"attach"_s,    u"open"_s,      u"slidesCount"_s,
                                 u"shapesCount"_s, u"hasTextFrame"_s, u"shapeText"_s, u"saveActive"_s};
    for (const QString& member : members) {
        SCOPED_TRACE(member.toStdString());
        test::RecordingPresentationServer server;
        server.failCall(member);
        EXPECT_THROW(import::PresentationText(server, path), office::AutomationError);
        EXPECT_EQ(server.count(u"quit"_s), 0);
        EXPECT_EQ(server.members().last(), member);
    }
}

} // namespace
