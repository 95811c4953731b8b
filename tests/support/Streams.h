#pragma once

#include <cstdio>
#include <string>

namespace quorvane::test {

// Everything written to a temporary stream (std::tmpfile), read back from its start; closes it.
inline std::string drain(std::FILE* stream) {
    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    char chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0)
        text.append(chunk, got);
    std::fclose(stream);
    return text;
}

} // namespace quorvane::test
