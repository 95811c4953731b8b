#include "office/presentation/DocumentPrefetch.h"

#include "office/presentation/FileAccess.h"
#include "office/presentation/OpenPresentation.h"

#include <QFile>

#include <algorithm>
#include <exception>
#include <optional>

#include <sys/stat.h>

#if defined(__SANITIZE_THREAD__)
// libzip turns entry times into local time on every thread that opens a package, and the C library
// sets its time zone up again on each such call (TZ unset) under a lock of its own, which
// ThreadSanitizer cannot see.
extern "C" const char* __tsan_default_suppressions() {
    return "race:tzset_internal\n";
}
#endif

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
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

// A presentation whose slides were all read ahead: it answers from memory what the document it was
// read from answered, and that document, still open, reads the notes on demand. Its own budget counts
// the slides again as they are asked for, in the order they are asked for, as on the spot.
class PreparedDocument final : public PresentationDocument {
public:
    PreparedDocument(const QString& fileName, std::unique_ptr<PresentationDocument> source)
        : PresentationDocument(fileName), m_source(std::move(source)) {}

    int slideCount() const override { return static_cast<int>(m_slides.size()); }

    // Reads every slide of the source, as long as the room allows. False when it does not.
    template <typename Room> bool readAll(Room&& room) {
        const int count = m_source->slideCount();
        m_slides.reserve(static_cast<std::size_t>(count));
        for (int slide = 1; slide <= count; ++slide) {
            const std::vector<ShapeInfo>& shapes = m_source->shapes(slide);
            qsizetype text = 0, shapeCount = 0;
            for (const ShapeInfo& shape : shapes) {
                text += ReadBudget::textOf(shape);
                shapeCount += ReadBudget::shapesOf(shape);
            }
            if (!room(text, shapeCount))
                return false;
            m_text += text;
            m_shapes += shapeCount;
            m_slides.push_back(shapes);
        }
        return true;
    }
    qsizetype text() const { return m_text; }
    qsizetype shapeCount() const { return m_shapes; }

private:
    const std::vector<ShapeInfo>& readShapes(int slide) override {
        if (slide < 1 || slide > slideCount())
            return m_source->shapes(slide); // fails as the source does
        return m_slides[static_cast<std::size_t>(slide - 1)];
    }
    QString readNotes(int slide) override { return m_source->notes(slide); }

    std::unique_ptr<PresentationDocument> m_source;
    std::vector<std::vector<ShapeInfo>> m_slides;
    qsizetype m_text = 0, m_shapes = 0;
};

} // namespace

struct DocumentPrefetch::Job {
    enum class State { Waiting, Reading, Done };
    QString path;
    State state = State::Waiting;
    bool dropped = false; // no longer hinted: what is read goes
    std::unique_ptr<PreparedDocument> document;
    FileIdentity identity;
    qsizetype heldText = 0, heldShapes = 0; // room the document takes while it is here
};

DocumentPrefetch::DocumentPrefetch(int workers) : m_lookahead(2 * std::max(workers, 1) + 1) {
    for (int i = 0; i < std::max(workers, 1); ++i)
        m_workers.emplace_back([this] { work(); });
}

DocumentPrefetch::~DocumentPrefetch() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (const std::shared_ptr<Job>& job : m_jobs)
            job->dropped = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void DocumentPrefetch::release(Job& job) {
    m_heldText -= job.heldText;
    m_heldShapes -= job.heldShapes;
    job.heldText = job.heldShapes = 0;
}

void DocumentPrefetch::hint(const QStringList& paths) {
    std::deque<std::shared_ptr<Job>> hinted;
    std::vector<std::shared_ptr<Job>> gone; // freed after the lock
    {
        const std::lock_guard lock(m_mutex);
        const qsizetype count = std::min<qsizetype>(paths.size(), m_lookahead);
        for (qsizetype i = 0; i < count; ++i) {
            // The earliest job of the old hint for the same path carries over, so a path hinted
            // twice keeps both of its jobs, in order.
            const auto kept = std::find_if(m_jobs.begin(), m_jobs.end(), [&](const std::shared_ptr<Job>& job) {
                return job && job->path == paths[i];
            });
            if (kept != m_jobs.end()) {
                hinted.push_back(std::move(*kept));
            } else {
                auto job = std::make_shared<Job>();
                job->path = paths[i];
                hinted.push_back(std::move(job));
            }
        }
        for (std::shared_ptr<Job>& job : m_jobs) {
            if (!job)
                continue;
            job->dropped = true;
            release(*job);
            gone.push_back(std::move(job));
        }
        m_jobs = std::move(hinted);
    }
    m_wake.notify_all();
}

std::unique_ptr<PresentationDocument> DocumentPrefetch::take(const QString& path) {
    std::shared_ptr<Job> job;
    std::vector<std::shared_ptr<Job>> gone;
    {
        std::unique_lock lock(m_mutex);
        const auto found = std::find_if(m_jobs.begin(), m_jobs.end(),
                                        [&](const std::shared_ptr<Job>& hinted) { return hinted->path == path; });
        if (found == m_jobs.end())
            return nullptr;
        // The paths hinted before it were passed over.
        for (auto at = m_jobs.begin(); at != found; ++at) {
            (*at)->dropped = true;
            release(**at);
            gone.push_back(std::move(*at));
        }
        job = std::move(*found);
        m_jobs.erase(m_jobs.begin(), found + 1);
        // Not started yet: the caller reads it on the spot at once, and the workers go on ahead.
        if (job->state == Job::State::Waiting) {
            job->dropped = true;
            return nullptr;
        }
        m_ready.wait(lock, [&] { return job->state == Job::State::Done; });
        release(*job);
    }
    m_wake.notify_all(); // room and a place in the hint came free
    // Taken only while the file is still the one read: otherwise it is read again, as it is now.
    if (!job->document || identityOf(path) != job->identity)
        return nullptr;
    return std::move(job->document);
}

int DocumentPrefetch::finished() {
    const std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(
        m_jobs.begin(), m_jobs.end(), [](const std::shared_ptr<Job>& job) { return job->state == Job::State::Done; }));
}

void DocumentPrefetch::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        std::shared_ptr<Job> job;
        m_wake.wait(lock, [&] {
            if (m_stopping)
                return true;
            for (const std::shared_ptr<Job>& hinted : m_jobs)
                if (hinted->state == Job::State::Waiting) {
                    job = hinted;
                    return true;
                }
            return false;
        });
        if (m_stopping)
            return;
        job->state = Job::State::Reading;
        lock.unlock();
        prepare(*job);
        lock.lock();
        job->state = Job::State::Done;
        if (job->dropped) {
            release(*job);
            std::unique_ptr<PreparedDocument> document = std::move(job->document);
            lock.unlock();
            document.reset();
            lock.lock();
        }
        m_ready.notify_all();
    }
}

void DocumentPrefetch::prepare(Job& job) {
    const std::optional<FileIdentity> before = identityOf(job.path);
    if (!before)
        return; // opening it fails: that failure is the caller's to meet
    std::unique_ptr<PreparedDocument> document;
    try {
        document = std::make_unique<PreparedDocument>(displayName(job.path), openPresentationDocument(job.path));
        const bool read = document->readAll([&](qsizetype text, qsizetype shapes) {
            const std::lock_guard lock(m_mutex);
            if (m_stopping || job.dropped || m_heldText + text > RoomText || m_heldShapes + shapes > RoomShapes)
                return false;
            m_heldText += text;
            m_heldShapes += shapes;
            job.heldText += text;
            job.heldShapes += shapes;
            return true;
        });
        if (!read)
            document.reset();
    } catch (const std::exception&) {
        // A file that fails to read fails again on the spot, where its failure is reported in its
        // place: nothing of it is kept here.
        document.reset();
    }
    // A file that changed while it was read may be a mixture of two states: it is read again.
    if (document && identityOf(job.path) != before)
        document.reset();
    const std::lock_guard lock(m_mutex);
    if (!document)
        release(job);
    job.document = std::move(document);
    job.identity = *before;
}

} // namespace quorvane::office
