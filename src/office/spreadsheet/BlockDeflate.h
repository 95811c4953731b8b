#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quorvane::office {

// Raw deflate of one stream after another, in independent blocks on worker threads: each block is
// deflated with the last 32 KiB of the block before it as its dictionary and ends with a sync flush
// (the last with the stream's end), so that the blocks joined in order are one deflate stream, and
// their checksums are combined. The compressed bytes depend only on the blocks and the level, never on
// the number of threads.
class BlockDeflate {
public:
    // level: zlib's compression level. threads: the workers to start (0 or 1: every block is deflated on
    // the calling thread). A worker that cannot be started is done without.
    BlockDeflate(int level, int threads);
    BlockDeflate(const BlockDeflate&) = delete;
    BlockDeflate& operator=(const BlockDeflate&) = delete;
    ~BlockDeflate();

    using Sink = std::function<void(std::string_view compressed)>;
    // Begins a stream whose compressed bytes go to sink, in order, from push() and finish().
    void begin(Sink sink);
    // Adds the next block of the stream (any size).
    void push(std::string block);
    struct Summary {
        std::uint64_t size = 0;           // the bytes pushed
        std::uint32_t crc = 0;            // their CRC-32
        std::uint64_t compressedSize = 0; // the bytes given to the sink
    };
    // Ends the stream: every block is deflated and has gone to the sink. After an exception from the sink
    // or from deflating, the object can only be destroyed.
    Summary finish();

    int workers() const { return static_cast<int>(m_threads.size()); }

private:
    struct Task;
    class Engine;
    void submit(bool last);
    // Gives the sink the deflated blocks at the front, in order; with wait, waits for the first.
    void emitReady(bool wait);
    void work(Engine& engine);

    int m_level;
    std::vector<std::unique_ptr<Engine>> m_engines; // one a worker
    std::vector<std::thread> m_threads;
    std::unique_ptr<Engine> m_inline; // deflates on the calling thread: without workers, and one-block streams

    std::mutex m_mutex;
    std::condition_variable m_wake; // a task is queued, or the workers must end
    std::condition_variable m_done; // a task is deflated
    std::deque<Task*> m_queue;      // tasks waiting for a worker
    bool m_ending = false;

    // The stream under way: its tasks in order, the block held back until it is known whether it is
    // the last, and what has gone out.
    std::deque<std::unique_ptr<Task>> m_inFlight;
    std::shared_ptr<const std::string> m_held;
    std::shared_ptr<const std::string> m_previous;
    Sink m_sink;
    Summary m_summary;
};

} // namespace quorvane::office
