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

// Runs a command-line sub-command (runText, runImport) with arguments; its standard output and
// error go to out and err; returns its exit status.
template <typename Command, typename Arguments>
int runCommand(Command&& command, const Arguments& arguments, std::string& out, std::string& err) {
    std::FILE* outStream = std::tmpfile();
    std::FILE* errStream = std::tmpfile();
    const int status = command(arguments, outStream, errStream);
    out = drain(outStream);
    err = drain(errStream);
    return status;
}

} // namespace quorvane::test
