#pragma once

#include "office/presentation/PresentationDocument.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace quorvane::office {

// Reads presentations ahead on threads of its own, so that opening one that was asked for earlier
// finds it read already. It is told which paths are opened next (hint), and its worker threads read
// the first few of them, every slide, into memory; take hands over what was read for a path.
//
// What is taken is exactly what reading the file on the spot would give: the slides that read, and
// the failure of the first one that did not (or of the opening), which is then reported in its place
// without reading the file again. It is taken only while the file is the same one (device, inode,
// size and modification time unchanged since it was read). Anything else (a file that changed, was
// not read yet, or whose read is stuck) is left to the caller to read on the spot.
//
// Memory: the presentation opened next takes up to the room below; all the others together share
// another such room, and a worker whose presentation needs more waits until there is room, whatever
// the number of workers. A presentation larger than the room is left to be read on the spot, which
// holds one slide at a time.
//
// Stopping: nothing here waits for a stuck read. take() gives up on a read that made no progress for
// a while, and calls a poll while it waits, which may throw to stop it; the destructor leaves behind
// the workers that do not end at once (they end on their own when their read returns).
class DocumentPrefetch {
public:
    struct Settings {
        int workers = 1;
        // How long take() waits for a read that makes no progress before it leaves the file to be
        // read on the spot.
        std::chrono::milliseconds patience{15'000};
        // How often a waiting take() calls the poll.
        std::chrono::milliseconds pollEvery{50};
        // How long the destructor waits for the workers to end before it leaves them behind.
        std::chrono::milliseconds endingWait{500};
        // Opens a file for reading it through; openPresentationDocument with the passwords in use
        // unless set (tests stub it).
        std::function<std::unique_ptr<PresentationDocument>(const QString&)> open;

        // The defaults with that many workers.
        static Settings of(int workers) {
            Settings settings;
            settings.workers = workers;
            return settings;
        }
    };

    // Starts up to workers threads. A thread that the system refuses is done without: workers()
    // tells how many run (0 when none could start; then nothing is read ahead).
    explicit DocumentPrefetch(int workers) : DocumentPrefetch(Settings::of(workers)) {}
    explicit DocumentPrefetch(Settings settings);
    // Stops the workers; those that end within the ending wait are joined, the others left to end on
    // their own.
    ~DocumentPrefetch();
    DocumentPrefetch(const DocumentPrefetch&) = delete;
    DocumentPrefetch& operator=(const DocumentPrefetch&) = delete;

    // How many worker threads run.
    int workers() const { return m_workers; }
    // How many paths a hint takes: the one opened next and those read ahead of it.
    int lookahead() const { return m_lookahead; }

    // The paths opened next, in order, the first one next; each hint replaces the one before (only
    // its first lookahead() paths count). What is read already for a path still hinted is kept, the
    // rest is dropped. A path may be hinted more than once: each time is read apart.
    void hint(const QStringList& paths);

    // Called every pollEvery while take() waits for a read, on the caller's thread; what it throws
    // ends the wait and leaves take(). Empty: nothing is called.
    void whileWaiting(std::function<void()> poll) { m_poll = std::move(poll); }

    // The passwords that protected presentations are opened with from now on (null: none). A read
    // that none of them opens is taken as a PasswordError, which take() throws.
    void usePasswords(std::shared_ptr<PasswordSource> passwords);

    // For opening path: the document read ahead for the first hinted time of path, or null when the
    // caller is to read it on the spot. Throws AutomationError with the failure when reading it
    // failed (a PasswordError as such). Hinted paths before that one are dropped, as passed over. When a worker is
    // reading it, waits for it (see whileWaiting and Settings::patience).
    std::unique_ptr<PresentationDocument> take(const QString& path);

    // How many of the hinted paths are read (or given up) and wait to be taken.
    int finished();

    // Room for the document opened next, and for all the others read ahead together: slide text in
    // characters and shapes.
    static constexpr qsizetype RoomText = 16'000'000;
    static constexpr qsizetype RoomShapes = 200'000;
    // Room for what the others' reads hold in memory besides (parts inflated and parsed, streams),
    // counted as it is read: in bytes, for all of them together. The one opened next is not bound by it.
    static constexpr qsizetype RoomBytes = 64 << 20;

    // Worker threads of destroyed read-aheads that were left behind in a read and have not ended yet,
    // in the whole process. A program that ends while there are any ends without waiting for them.
    static int leftBehind();

private:
    struct Job;
    struct Shared;
    class JobRoom;
    static void work(const std::shared_ptr<Shared>& shared, int index);
    static void prepare(Shared& shared, const std::shared_ptr<Job>& job);

    std::shared_ptr<Shared> m_shared;
    std::vector<std::thread> m_threads;
    int m_workers = 0;
    int m_lookahead = 1;
    std::function<void()> m_poll;
};

} // namespace quorvane::office
