#pragma once

#include "office/AutomationError.h"

#include <QString>

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

// Runs read, the body of an entry point of the engine, and returns what it returns; a ReadError leaves
// as an AutomationError with the same description, which is what the user reads.
template <typename Read> decltype(auto) reportingReadErrors(Read&& read) {
    try {
        return std::forward<Read>(read)();
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
