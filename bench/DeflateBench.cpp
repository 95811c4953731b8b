// Deflating a sheet's part the way the workbook writer does (blocks of 256 KiB, each with the 32 KiB
// before it as its dictionary and ending with a sync flush, the last with the stream's end), with zlib
// at levels 5 and 6 and with ISA-L (igzip) at its levels 0 to 3, on one thread. Prints for each the
// processor time of the fastest of the runs, the size, and both against zlib at level 5 and 6; every
// output is inflated back with zlib and compared with the input.
//
//   bench_deflate FILE [RUNS]     (default 5 runs; bench/deflate-bench.sh makes FILE)

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::size_t BlockSize = std::size_t{1} << 18;
constexpr std::size_t Window = 32768;

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Deflates one block: input, the bytes before it (for the dictionary), whether it is the last; appends
// to out.
using Deflate = std::function<void(std::string_view input, std::string_view before, bool last, std::string& out)>;

Deflate withZlib(int level) {
    return [level](std::string_view input, std::string_view before, bool last, std::string& out) {
        z_stream stream{};
        deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        const std::size_t length = std::min(before.size(), Window);
        if (length > 0)
            deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(before.data() + before.size() - length),
                                 static_cast<uInt>(length));
        const std::size_t start = out.size();
        out.resize(start + deflateBound(&stream, static_cast<uLong>(input.size())) + 64);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
        stream.avail_in = static_cast<uInt>(input.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + start);
        stream.avail_out = static_cast<uInt>(out.size() - start);
        deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
        out.resize(out.size() - stream.avail_out);
        deflateEnd(&stream);
    };
}

Deflate withIsal(int level) {
    static const std::size_t levelBuffer[] = {ISAL_DEF_LVL0_DEFAULT, ISAL_DEF_LVL1_DEFAULT, ISAL_DEF_LVL2_DEFAULT,
                                              ISAL_DEF_LVL3_DEFAULT};
    auto buffer = std::make_shared<std::vector<std::uint8_t>>(levelBuffer[level]);
    return [level, buffer](std::string_view input, std::string_view before, bool last, std::string& out) {
        isal_zstream stream;
        isal_deflate_init(&stream);
        stream.level = static_cast<std::uint32_t>(level);
        stream.level_buf = buffer->empty() ? nullptr : buffer->data();
        stream.level_buf_size = static_cast<std::uint32_t>(buffer->size());
        stream.gzip_flag = IGZIP_DEFLATE;
        const std::size_t length = std::min(before.size(), Window);
        if (length > 0)
            isal_deflate_set_dict(
                &stream, reinterpret_cast<std::uint8_t*>(const_cast<char*>(before.data() + before.size() - length)),
                static_cast<std::uint32_t>(length));
        stream.end_of_stream = last ? 1 : 0;
        stream.flush = last ? NO_FLUSH : SYNC_FLUSH;
        const std::size_t start = out.size();
        out.resize(start + input.size() + input.size() / 8 + 1024);
        stream.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(input.data()));
        stream.avail_in = static_cast<std::uint32_t>(input.size());
        stream.next_out = reinterpret_cast<std::uint8_t*>(out.data() + start);
        stream.avail_out = static_cast<std::uint32_t>(out.size() - start);
        if (isal_deflate(&stream) != COMP_OK || stream.avail_in != 0) {
            std::fputs("isal_deflate failed\n", stderr);
            std::exit(1);
        }
        out.resize(out.size() - stream.avail_out);
    };
}

std::string deflateAll(const std::string& text, const Deflate& deflate) {
    std::string out;
    out.reserve(text.size() / 4);
    for (std::size_t at = 0; at < text.size() || at == 0; at += BlockSize) {
        const std::size_t length = std::min(BlockSize, text.size() - at);
        deflate(std::string_view(text).substr(at, length), std::string_view(text).substr(0, at),
                at + length >= text.size(), out);
        if (text.empty())
            break;
    }
    return out;
}

bool inflatesTo(const std::string& deflated, const std::string& text) {
    z_stream stream{};
    inflateInit2(&stream, -MAX_WBITS);
    std::string back(text.size() + 1, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    stream.avail_in = static_cast<uInt>(deflated.size());
    stream.next_out = reinterpret_cast<Bytef*>(back.data());
    stream.avail_out = static_cast<uInt>(back.size());
    const int result = inflate(&stream, Z_FINISH);
    back.resize(back.size() - stream.avail_out);
    inflateEnd(&stream);
    return result == Z_STREAM_END && back == text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: bench_deflate FILE [RUNS]\n", stderr);
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::string text;
    {
        std::FILE* file = std::fopen(argv[1], "rb");
        if (!file) {
            std::fprintf(stderr, "cannot open %s\n", argv[1]);
            return 1;
        }
        char chunk[1 << 16];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            text.append(chunk, got);
        std::fclose(file);
    }
    struct Method {
        const char* name;
        Deflate deflate;
        double seconds = 0;
        std::size_t size = 0;
    };
    std::vector<Method> methods = {{"zlib level 5", withZlib(5)},  {"zlib level 6", withZlib(6)},
                                   {"ISA-L level 0", withIsal(0)}, {"ISA-L level 1", withIsal(1)},
                                   {"ISA-L level 2", withIsal(2)}, {"ISA-L level 3", withIsal(3)}};
    for (Method& method : methods)
        method.seconds = 1e9;
    // The methods take turns, so that a busy moment of the machine does not fall on one of them alone.
    for (int run = 0; run < runs; ++run) {
        for (Method& method : methods) {
            const double start = threadSeconds();
            const std::string deflated = deflateAll(text, method.deflate);
            method.seconds = std::min(method.seconds, threadSeconds() - start);
            if (run == 0 && !inflatesTo(deflated, text)) {
                std::fprintf(stderr, "%s: the output does not inflate back to the input\n", method.name);
                return 1;
            }
            method.size = deflated.size();
        }
    }
    std::printf("%s: %zu bytes in blocks of %zu KiB, fastest of %d runs, processor time of one thread\n", argv[1],
                text.size(), BlockSize >> 10, runs);
    const Method& five = methods[0];
    const Method& six = methods[1];
    for (const Method& method : methods)
        std::printf("%-14s %7.3f s (%.2f x level 5)  %10zu bytes (%.3f x level 5, %.3f x level 6)\n", method.name,
                    method.seconds, method.seconds / five.seconds, method.size,
                    static_cast<double>(method.size) / static_cast<double>(five.size),
                    static_cast<double>(method.size) / static_cast<double>(six.size));
    return 0;
}
