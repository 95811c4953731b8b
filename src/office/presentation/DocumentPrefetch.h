#pragma once

#include "office/presentation/PresentationDocument.h"

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvane::office {

// Reads presentations ahead on threads of its own, so that opening one that was asked for earlier
// finds it read already. It is told which paths are opened next (hint), and its worker threads read
// the first few of them, every slide, into memory; take hands over what was read for a path.
//
// What is taken is exactly what reading the file on the spot would give: a document is prepared only
// when every slide of it reads without failure, and it is taken only while the file is the same one
// (device, inode, size and modification time unchanged since it was read). Anything else (a file
// that fails, changes, is larger than the room for documents read ahead, or was not read yet) is left
// to the caller to read on the spot, so every failure is met, and reported, as without reading ahead.
class DocumentPrefetch {
public:
    // Starts workers threads (at least 1).
    explicit DocumentPrefetch(int workers);
    // Stops the workers once each has finished the slide it reads, and waits for them.
    ~DocumentPrefetch();
    DocumentPrefetch(const DocumentPrefetch&) = delete;
    DocumentPrefetch& operator=(const DocumentPrefetch&) = delete;

    // How many paths a hint takes: the one opened next and those read ahead of it.
    int lookahead() const { return m_lookahead; }

    // The paths opened next, in order, the first one next; each hint replaces the one before (only
    // its first lookahead() paths count). What is read already for a path still hinted is kept, the
    // rest is dropped. A path may be hinted more than once: each time is read apart.
    void hint(const QStringList& paths);

    // For opening path: the document read ahead for the first hinted time of path, or null when the
    // caller is to read it on the spot. Hinted paths before that one are dropped, as passed over. When
    // a worker is reading it, waits for it.
    std::unique_ptr<PresentationDocument> take(const QString& path);

    // How many of the hinted paths are read (or given up) and wait to be taken.
    int finished();

    // Room for documents read ahead: slide text in characters and shapes, for all of them together.
    // A document that would pass either bound is left to be read on the spot.
    static constexpr qsizetype RoomText = 16'000'000;
    static constexpr qsizetype RoomShapes = 200'000;

private:
    struct Job;
    // A worker's loop: the first hinted path nobody reads yet, within lookahead.
    void work();
    // Reads job's file into a prepared document (null when it is left to be read on the spot).
    void prepare(Job& job);
    // Gives back the room a job's document held. Called with m_mutex held.
    void release(Job& job);

    const int m_lookahead;
    std::mutex m_mutex;
    std::condition_variable m_wake;             // a worker may have a job to start, or is to stop
    std::condition_variable m_ready;            // a job that was being read is done
    std::deque<std::shared_ptr<Job>> m_jobs;    // in hinted order
    qsizetype m_heldText = 0, m_heldShapes = 0; // room taken by the documents read ahead
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

} // namespace quorvane::office
