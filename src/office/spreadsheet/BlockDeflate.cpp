#include "office/spreadsheet/BlockDeflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <new>
#include <system_error>

namespace quorvane::office {

namespace {

constexpr std::size_t Window = 32768; // what a deflate match can reach back
constexpr std::size_t MostPerCall = std::size_t{1} << 30;

const Bytef* bytes(const char* data) {
    return reinterpret_cast<const Bytef*>(data);
}

} // namespace

struct BlockDeflate::Task {
    std::shared_ptr<const std::string> input;
    std::shared_ptr<const std::string> dictionary; // the block before, if any
    bool last = false;
    std::string output;
    std::uint32_t crc = 0;
    bool done = false;
    std::exception_ptr error;
};

// One zlib stream, reset for every block.
class BlockDeflate::Engine {
public:
    explicit Engine(int level) {
        if (deflateInit2(&m_stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::bad_alloc();
    }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;
    ~Engine() { deflateEnd(&m_stream); }

    void run(Task& task) {
        const std::string& input = *task.input;
        deflateReset(&m_stream);
        if (task.dictionary && !task.dictionary->empty()) {
            const std::string& before = *task.dictionary;
            const std::size_t length = std::min(before.size(), Window);
            deflateSetDictionary(&m_stream, bytes(before.data() + before.size() - length), static_cast<uInt>(length));
        }
        std::string& out = task.output;
        out.resize(static_cast<std::size_t>(deflateBound(&m_stream, static_cast<uLong>(input.size()))) + 64);
        std::size_t taken = 0, produced = 0;
        for (;;) {
            const std::size_t chunk = std::min(input.size() - taken, MostPerCall);
            const bool lastChunk = taken + chunk == input.size();
            m_stream.next_in = const_cast<Bytef*>(bytes(input.data() + taken));
            m_stream.avail_in = static_cast<uInt>(chunk);
            const int flush = !lastChunk ? Z_NO_FLUSH : task.last ? Z_FINISH : Z_SYNC_FLUSH;
            int result = Z_OK;
            do {
                if (out.size() - produced < 64)
                    out.resize(out.size() * 2);
                const std::size_t room = std::min(out.size() - produced, MostPerCall);
                m_stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
                m_stream.avail_out = static_cast<uInt>(room);
                result = deflate(&m_stream, flush);
                produced += room - m_stream.avail_out;
                if (result == Z_STREAM_ERROR)
                    throw std::bad_alloc();
                // A flush is complete when deflate leaves room in the output; the end when it says so.
            } while (flush == Z_FINISH ? result != Z_STREAM_END : m_stream.avail_out == 0 || m_stream.avail_in > 0);
            taken += chunk;
            if (lastChunk)
                break;
        }
        out.resize(produced);
        // libdeflate's CRC-32 is the same sum, several times faster than zlib's.
        task.crc = libdeflate_crc32(0, input.data(), input.size());
    }

private:
    z_stream m_stream{};
};

BlockDeflate::BlockDeflate(int level, int threads) : m_level(level) {
    // Workers the system cannot give (no thread, no memory for a stream) are done without.
    for (int i = 0; i < threads && threads > 1; ++i) {
        try {
            m_engines.push_back(std::make_unique<Engine>(m_level));
        } catch (const std::bad_alloc&) {
            break;
        }
        try {
            m_threads.emplace_back([this, worker = m_engines.back().get()] { work(*worker); });
        } catch (const std::system_error&) {
            m_engines.pop_back();
            break;
        }
    }
    m_inline = std::make_unique<Engine>(m_level);
}

BlockDeflate::~BlockDeflate() {
    {
        const std::lock_guard lock(m_mutex);
        m_ending = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void BlockDeflate::work(Engine& engine) {
    for (;;) {
        Task* task = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_ending || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            task = m_queue.front();
            m_queue.pop_front();
        }
        try {
            engine.run(*task);
        } catch (...) {
            task->error = std::current_exception();
        }
        {
            const std::lock_guard lock(m_mutex);
            task->done = true;
        }
        m_done.notify_all();
    }
}

void BlockDeflate::begin(Sink sink) {
    m_sink = std::move(sink);
    m_summary = {};
    m_held.reset();
    m_previous.reset();
    m_inFlight.clear();
}

void BlockDeflate::push(std::string block) {
    if (m_held)
        submit(false);
    m_summary.size += block.size();
    m_held = std::make_shared<const std::string>(std::move(block));
    // Output goes out as soon as it is ready; at most two blocks a worker wait, so memory stays bounded.
    emitReady(m_inFlight.size() > 2 * m_threads.size());
}

BlockDeflate::Summary BlockDeflate::finish() {
    if (!m_held)
        m_held = std::make_shared<const std::string>(); // an empty stream still needs its end
    submit(true);
    while (!m_inFlight.empty())
        emitReady(true);
    m_previous.reset();
    m_sink = nullptr;
    return m_summary;
}

void BlockDeflate::submit(bool last) {
    auto task = std::make_unique<Task>();
    task->input = std::move(m_held);
    task->dictionary = std::move(m_previous);
    task->last = last;
    m_previous = task->input;
    m_held.reset();
    Task* raw = task.get();
    // The last block with nothing left in flight (the only block of most parts but the sheets') is
    // deflated here: handing it to a worker and waiting for it would cost more than it saves.
    const bool here = m_threads.empty() || (last && m_inFlight.empty());
    m_inFlight.push_back(std::move(task));
    if (!here) {
        {
            const std::lock_guard lock(m_mutex);
            m_queue.push_back(raw);
        }
        m_wake.notify_one();
        return;
    }
    m_inline->run(*raw);
    raw->done = true;
}

void BlockDeflate::emitReady(bool wait) {
    while (!m_inFlight.empty()) {
        Task& front = *m_inFlight.front();
        {
            std::unique_lock lock(m_mutex);
            if (!front.done && !wait)
                return;
            m_done.wait(lock, [&front] { return front.done; });
        }
        if (front.error)
            std::rethrow_exception(front.error);
        m_sink(front.output);
        m_summary.compressedSize += front.output.size();
        m_summary.crc = static_cast<std::uint32_t>(
            crc32_combine(m_summary.crc, front.crc, static_cast<z_off_t>(front.input->size())));
        m_inFlight.pop_front();
        wait = false; // one waited for is enough to make room
    }
}

} // namespace quorvane::office
