#pragma once

#include "office/AutomationError.h"
#include "office/Passwords.h"

#include <QString>

#include <cstdint>
#include <new>
#include <stdexcept>
#include <utility>

namespace quorvane::office {

// A presentation file, or a container, part or record inside it, cannot be read. The readers and their
// zip, XML and compound-file helpers throw it; its description is the message so far, and a layer that
// knows more (the part, the slide, the file) puts that in front on the way out. It never leaves the
// presentation engine: each entry point hands it on as an AutomationError (reportingReadErrors).
class ReadError : public DescribedError {
public:
    using DescribedError::DescribedError;
};

// A protected file that no password given opened: it leaves the engine as a PasswordError, so that
// the server can ask for another password. The readers let it through unchanged (it is no damage).
class PasswordRefused : public ReadError {
public:
    PasswordRefused(const QString& description, int tried, std::uint64_t generation)
        : ReadError(description), m_tried(tried), m_generation(generation) {}
    int tried() const noexcept { return m_tried; }
    std::uint64_t generation() const noexcept { return m_generation; }

private:
    int m_tried;
    std::uint64_t m_generation;
};

// A bound of how much is read from one file is passed: what is read may be sound, there is only too
// much of it. A reader that reads on past a lost item tells it from damage by this type.
class ReadLimitPassed : public ReadError {
public:
    using ReadError::ReadError;
};

// Runs read, the body of an entry point of the engine, and returns what it returns; a ReadError leaves
// as an AutomationError with the same description, which is what the user reads.
template <typename Read> decltype(auto) reportingReadErrors(Read&& read) {
    try {
        return std::forward<Read>(read)();
    } catch (const PasswordRefused& refused) {
        throw PasswordError(refused.description(), refused.tried(), refused.generation());
    } catch (const ReadError& error) {
        throw AutomationError(error.description());
    }
}

// The same for an entry point that reads the file fileName (as messages name it). Running out of memory
// is no damage of the file, so the readers let std::bad_alloc through, and here it says so.
template <typename Read> decltype(auto) reportingReadErrors(const QString& fileName, Read&& read) {
    try {
        return reportingReadErrors(std::forward<Read>(read));
    } catch (const std::bad_alloc&) {
        throw AutomationError(fileName + QStringLiteral(": not enough memory to read the presentation"));
    }
}

} // namespace quorvane::office
