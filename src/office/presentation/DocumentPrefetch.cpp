#include "office/presentation/DocumentPrefetch.h"

#include "office/AutomationError.h"
#include "office/LocalNames.h"
#include "office/presentation/FileAccess.h"
#include "office/presentation/OpenPresentation.h"
#include "office/presentation/ReadError.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

namespace quorvane::office {

namespace {

// Which file a path names, and in which state: a file replaced, rewritten or touched since differs.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
    }
};

std::optional<FileIdentity> identityOf(const QString& path) {
    struct stat info{};
    // Through links, as opening the file goes.
    if (::stat(nativeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

// A presentation read ahead: it answers from memory what the document it was read from answered,
// the slides that read and then the failure of the first one that did not, and that document, still
// open, reads the notes on demand. Its own budget counts the slides again as they are asked for, in
// the order they are asked for, as on the spot.
class PreparedDocument final : public PresentationDocument {
public:
    PreparedDocument(const QString& fileName, std::unique_ptr<PresentationDocument> source)
        : PresentationDocument(fileName), m_source(std::move(source)), m_count(m_source->slideCount()) {}

    int slideCount() const override { return m_count; }
    const DocumentDamage* readDamage() const override { return m_source->damage(); }

    // Reads the slides of the source in order, up to the first that fails.
    void readAll() {
        m_slides.reserve(static_cast<std::size_t>(m_count));
        for (int slide = 1; slide <= m_count; ++slide) {
            try {
                m_slides.push_back(m_source->shapes(slide));
                m_hidden.push_back(m_source->hidden(slide));
            } catch (const AutomationError& error) {
                m_failure = error.description();
                return;
            }
        }
    }

private:
    const std::vector<ShapeInfo>& readShapes(int slide) override {
        const auto read = static_cast<int>(m_slides.size());
        if (slide >= 1 && slide <= read)
            return m_slides[static_cast<std::size_t>(slide - 1)];
        if (slide == read + 1 && !m_failure.isNull())
            throw ReadError(m_failure);
        return m_source->shapes(slide); // fails as the source does, or reads on demand past a failure
    }
    QString readNotes(int slide) override { return m_source->notes(slide); }
    bool readHidden(int slide) override {
        if (slide >= 1 && static_cast<std::size_t>(slide) <= m_hidden.size())
            return m_hidden[static_cast<std::size_t>(slide - 1)];
        return m_source->hidden(slide);
    }
    std::vector<QString> readGraphicTexts(int slide, const ShapeInfo& shape) override {
        return m_source->graphicTexts(slide, shape);
    }
    std::vector<SlideComment> readComments(int slide) override { return m_source->comments(slide); }

    std::unique_ptr<PresentationDocument> m_source;
    const int m_count;
    std::vector<std::vector<ShapeInfo>> m_slides;
    std::vector<bool> m_hidden; // of the slides read
    QString m_failure;          // of the slide after the last one read; null when every slide read
};

// The stack of a worker thread.
constexpr std::size_t WorkerStack = 2u << 20;

// Worker threads left behind by destroyed read-aheads that have not ended yet.
std::atomic<int> g_leftBehind{0};

} // namespace

struct DocumentPrefetch::Job {
    enum class State { Waiting, Reading, Done };
    QString path;
    State state = State::Waiting;
    bool dropped = false; // no longer hinted: what is read goes
    std::unique_ptr<PreparedDocument> document;
    QString failure;            // opening it failed with this (null: it did not)
    std::exception_ptr refused; // or with this PasswordError
    std::optional<FileIdentity> identity;
    qsizetype heldText = 0, heldShapes = 0;         // room its document takes, while read and while it waits here
    qsizetype heldBytes = 0;                        // what its read held in memory besides, in all
    std::chrono::steady_clock::time_point progress; // the last sign of life of its read
};

struct DocumentPrefetch::Shared {
    Settings settings;
    std::mutex mutex;
    std::condition_variable wake;          // a worker may have a job to start, or is to stop
    std::condition_variable ready;         // a job that was being read is done
    std::condition_variable room;          // room came free, or the job opened next changed
    std::condition_variable ended;         // a worker ended
    std::deque<std::shared_ptr<Job>> jobs; // in hinted order
    std::shared_ptr<Job> taking;           // the job take() waits for
    qsizetype heldText = 0, heldShapes = 0, heldBytes = 0;
    std::shared_ptr<PasswordSource> passwords;
    bool stopping = false;
    bool leftBehind = false;   // the read-ahead is gone, and its workers still running count as left behind
    std::vector<char> running; // by worker

    // The job opened next, which reads within the bounds of one presentation only.
    const Job* head() const { return taking ? taking.get() : jobs.empty() ? nullptr : jobs.front().get(); }
    // Gives back the room a job's document held. Called with the mutex held.
    void release(Job& job) {
        heldText -= job.heldText;
        heldShapes -= job.heldShapes;
        heldBytes -= job.heldBytes;
        job.heldText = job.heldShapes = job.heldBytes = 0;
        room.notify_all();
    }
};

// The room of one job's read on a worker thread: what the document holds so far is counted as its
// own. A document that is not opened next waits while the others' room is full; one that needs more
// than the whole room is given up, for the reading on the spot, which holds no slides in memory.
class DocumentPrefetch::JobRoom final : public SharedReadRoom {
public:
    JobRoom(Shared& shared, Job& job) : m_shared(shared), m_job(job) {}
    void require(qsizetype text, qsizetype shapes) override {
        std::unique_lock lock(m_shared.mutex);
        for (;;) {
            m_job.progress = std::chrono::steady_clock::now();
            if (m_shared.stopping || m_job.dropped)
                throw ReadAbandoned{};
            const qsizetype moreText = std::max<qsizetype>(text - m_job.heldText, 0);
            const qsizetype moreShapes = std::max<qsizetype>(shapes - m_job.heldShapes, 0);
            if (moreText == 0 && moreShapes == 0)
                return;
            if (text > RoomText || shapes > RoomShapes)
                throw ReadAbandoned{};
            const Job* head = m_shared.head();
            const qsizetype othersText = m_shared.heldText - (head ? head->heldText : 0);
            const qsizetype othersShapes = m_shared.heldShapes - (head ? head->heldShapes : 0);
            if (head == &m_job || (othersText + moreText <= RoomText && othersShapes + moreShapes <= RoomShapes)) {
                m_job.heldText += moreText;
                m_job.heldShapes += moreShapes;
                m_shared.heldText += moreText;
                m_shared.heldShapes += moreShapes;
                return;
            }
            m_shared.room.wait(lock);
        }
    }

    void requireBytes(qsizetype bytes) override {
        std::unique_lock lock(m_shared.mutex);
        for (;;) {
            m_job.progress = std::chrono::steady_clock::now();
            if (m_shared.stopping || m_job.dropped)
                throw ReadAbandoned{};
            const Job* head = m_shared.head();
            const qsizetype others = m_shared.heldBytes - (head ? head->heldBytes : 0);
            if (head == &m_job || others + bytes <= RoomBytes) {
                m_job.heldBytes += bytes;
                m_shared.heldBytes += bytes;
                return;
            }
            m_shared.room.wait(lock);
        }
    }

    void poll() override {
        const std::lock_guard lock(m_shared.mutex);
        m_job.progress = std::chrono::steady_clock::now();
        if (m_shared.stopping || m_job.dropped)
            throw ReadAbandoned{};
    }

private:
    Shared& m_shared;
    Job& m_job;
};

DocumentPrefetch::DocumentPrefetch(Settings settings) : m_shared(std::make_shared<Shared>()) {
    const int wanted = std::max(settings.workers, 1);
    m_shared->settings = std::move(settings);
    m_shared->running.assign(static_cast<std::size_t>(wanted), 0);
    // The workers take none of the signals that stop the program: those go to the thread that
    // handles them, and a worker's read is never cut short by one.
    sigset_t stopSignals, previous;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&stopSignals, signal);
    ::pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // A reader needs little stack (the nesting it follows is bounded), and many workers with the
    // default 8 MiB each would take address space a limit on it (ulimit -v) does not give.
    pthread_attr_t defaults, small;
    const bool smallStacks = ::pthread_getattr_default_np(&defaults) == 0;
    if (smallStacks && ::pthread_attr_init(&small) == 0) {
        ::pthread_attr_setstacksize(&small, WorkerStack);
        ::pthread_setattr_default_np(&small);
        ::pthread_attr_destroy(&small);
    }
#endif
    for (int i = 0; i < wanted; ++i) {
        m_shared->running[static_cast<std::size_t>(i)] = 1;
        try {
            m_threads.emplace_back([shared = m_shared, i] { work(shared, i); });
        } catch (const std::system_error&) {
            // The system gives no more threads (a limit on threads or on memory): go on with those
            // that started.
            m_shared->running[static_cast<std::size_t>(i)] = 0;
            break;
        }
    }
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    if (smallStacks) {
        ::pthread_setattr_default_np(&defaults);
        ::pthread_attr_destroy(&defaults);
    }
#endif
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    m_workers = static_cast<int>(m_threads.size());
    m_lookahead = 2 * std::max(m_workers, 1) + 1;
}

DocumentPrefetch::~DocumentPrefetch() {
    std::deque<std::shared_ptr<Job>> gone; // freed after the lock
    std::vector<char> ended;
    {
        std::unique_lock lock(m_shared->mutex);
        m_shared->stopping = true;
        for (const std::shared_ptr<Job>& job : m_shared->jobs) {
            job->dropped = true;
            m_shared->release(*job);
        }
        gone.swap(m_shared->jobs);
        m_shared->wake.notify_all();
        m_shared->ended.wait_for(lock, m_shared->settings.endingWait, [&] {
            return std::none_of(m_shared->running.begin(), m_shared->running.end(), [](char on) { return on != 0; });
        });
        // A worker still in a read now (a file that does not answer) is not waited for: it ends on
        // its own once the read returns, keeping only the shared state alive.
        ended.resize(m_threads.size());
        for (std::size_t i = 0; i < m_threads.size(); ++i) {
            ended[i] = m_shared->running[i] == 0;
            if (!ended[i])
                ++g_leftBehind;
        }
        m_shared->leftBehind = true;
    }
    for (std::size_t i = 0; i < m_threads.size(); ++i) {
        if (ended[i])
            m_threads[i].join();
        else
            m_threads[i].detach();
    }
}

void DocumentPrefetch::usePasswords(std::shared_ptr<PasswordSource> passwords) {
    std::shared_ptr<PasswordSource> gone; // released after the lock
    const std::lock_guard lock(m_shared->mutex);
    gone = std::exchange(m_shared->passwords, std::move(passwords));
}

int DocumentPrefetch::leftBehind() {
    return g_leftBehind;
}

void DocumentPrefetch::hint(const QStringList& paths) {
    std::deque<std::shared_ptr<Job>> hinted;
    std::vector<std::shared_ptr<Job>> gone; // freed after the lock
    {
        const std::lock_guard lock(m_shared->mutex);
        const qsizetype count = std::min<qsizetype>(paths.size(), m_lookahead);
        for (qsizetype i = 0; i < count; ++i) {
            // The earliest job of the old hint for the same path carries over, so a path hinted
            // twice keeps both of its jobs, in order.
            const auto kept =
                std::find_if(m_shared->jobs.begin(), m_shared->jobs.end(),
                             [&](const std::shared_ptr<Job>& job) { return job && job->path == paths[i]; });
            if (kept != m_shared->jobs.end()) {
                hinted.push_back(std::move(*kept));
            } else {
                auto job = std::make_shared<Job>();
                job->path = paths[i];
                hinted.push_back(std::move(job));
            }
        }
        for (std::shared_ptr<Job>& job : m_shared->jobs) {
            if (!job)
                continue;
            job->dropped = true;
            m_shared->release(*job);
            gone.push_back(std::move(job));
        }
        m_shared->jobs = std::move(hinted);
        m_shared->room.notify_all(); // the job opened next may have changed
    }
    m_shared->wake.notify_all();
}

std::unique_ptr<PresentationDocument> DocumentPrefetch::take(const QString& path) {
    Shared& shared = *m_shared;
    std::shared_ptr<Job> job;
    std::vector<std::shared_ptr<Job>> gone;
    // Gives the job up, for the caller to read the file on the spot or to stop. With the lock held.
    const auto giveUp = [&] {
        job->dropped = true;
        shared.taking = nullptr;
        shared.release(*job);
    };
    {
        std::unique_lock lock(shared.mutex);
        const auto found = std::find_if(shared.jobs.begin(), shared.jobs.end(),
                                        [&](const std::shared_ptr<Job>& hinted) { return hinted->path == path; });
        if (found == shared.jobs.end())
            return nullptr;
        // The paths hinted before it were passed over.
        for (auto at = shared.jobs.begin(); at != found; ++at) {
            (*at)->dropped = true;
            shared.release(**at);
            gone.push_back(std::move(*at));
        }
        job = std::move(*found);
        shared.jobs.erase(shared.jobs.begin(), found + 1);
        shared.room.notify_all(); // the job opened next changed
        // Not started yet: the caller reads it on the spot at once, and the workers go on ahead.
        if (job->state == Job::State::Waiting) {
            job->dropped = true;
            return nullptr;
        }
        shared.taking = job;
        while (
            !shared.ready.wait_for(lock, shared.settings.pollEvery, [&] { return job->state == Job::State::Done; })) {
            // A read that shows no sign of life (a file that does not answer) holds up nothing.
            if (std::chrono::steady_clock::now() - job->progress > shared.settings.patience) {
                giveUp();
                return nullptr;
            }
            if (!m_poll)
                continue;
            lock.unlock();
            try {
                m_poll();
            } catch (...) {
                lock.lock();
                giveUp();
                throw;
            }
            lock.lock();
        }
        shared.taking = nullptr;
        shared.release(*job);
    }
    shared.wake.notify_all(); // a place in the hint came free
    // Taken only while the file is still the one read: otherwise it is read again, as it is now.
    if (identityOf(path) != job->identity)
        return nullptr;
    if (job->refused)
        std::rethrow_exception(job->refused);
    if (!job->failure.isNull())
        throw AutomationError(job->failure);
    return std::move(job->document);
}

int DocumentPrefetch::finished() {
    const std::lock_guard lock(m_shared->mutex);
    return static_cast<int>(
        std::count_if(m_shared->jobs.begin(), m_shared->jobs.end(),
                      [](const std::shared_ptr<Job>& job) { return job->state == Job::State::Done; }));
}

void DocumentPrefetch::work(const std::shared_ptr<Shared>& shared, int index) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        std::shared_ptr<Job> job;
        shared->wake.wait(lock, [&] {
            if (shared->stopping)
                return true;
            for (const std::shared_ptr<Job>& hinted : shared->jobs)
                if (hinted->state == Job::State::Waiting) {
                    job = hinted;
                    return true;
                }
            return false;
        });
        if (shared->stopping)
            break;
        job->state = Job::State::Reading;
        job->progress = std::chrono::steady_clock::now();
        lock.unlock();
        prepare(*shared, job);
        lock.lock();
        job->state = Job::State::Done;
        std::unique_ptr<PreparedDocument> unwanted;
        // A failure holds no room; a document nobody wants goes.
        if (job->dropped || !job->document) {
            shared->release(*job);
            unwanted = std::move(job->document);
        }
        shared->ready.notify_all();
        if (unwanted) {
            lock.unlock();
            unwanted.reset();
            lock.lock();
        }
    }
    shared->running[static_cast<std::size_t>(index)] = 0;
    if (shared->leftBehind)
        --g_leftBehind;
    shared->ended.notify_all();
}

void DocumentPrefetch::prepare(Shared& shared, const std::shared_ptr<Job>& job) {
    const std::optional<FileIdentity> before = identityOf(job->path);
    std::unique_ptr<PreparedDocument> document;
    QString failure;
    std::exception_ptr refused;
    std::shared_ptr<PasswordSource> passwords;
    {
        const std::lock_guard lock(shared.mutex);
        passwords = shared.passwords;
    }
    JobRoom room(shared, *job);
    SharedReadRoom::ofThisThread() = &room;
    try {
        document = std::make_unique<PreparedDocument>(
            displayName(job->path), shared.settings.open ? shared.settings.open(job->path)
                                                         : openPresentationDocument(job->path, passwords.get()));
        document->readAll();
    } catch (const PasswordError&) {
        // Reported in its place too, and the opening thread may ask for another password.
        refused = std::current_exception();
        document.reset();
    } catch (const AutomationError& error) {
        // Reported in its place when the file is taken, without reading it again.
        failure = error.description();
        document.reset();
    } catch (const ReadAbandoned&) {
        document.reset();
    } catch (const std::exception&) {
        // Anything else (the memory ran out outside a reader) is left to the reading on the spot.
        document.reset();
    }
    SharedReadRoom::ofThisThread() = nullptr;
    // A file that changed while it was read may be a mixture of two states: it is read again.
    if (identityOf(job->path) != before) {
        document.reset();
        failure = QString();
        refused = nullptr;
    }
    const std::lock_guard lock(shared.mutex);
    job->document = std::move(document);
    job->failure = failure;
    job->refused = refused;
    job->identity = before;
}

} // namespace quorvane::office
