#pragma once

#include "office/DescribedError.h"

#include <string>

namespace quorvane::filelist {

// What the routines of the file list throw. The text is what the error report shows: it names the
// file or folder and the reason.
class ListError : public office::DescribedError {
public:
    using DescribedError::DescribedError;
};

// A file or folder that the folder scan cannot examine or list; code() is the system's errno value.
class ScanError : public ListError {
public:
    ScanError(const std::string& description, int code) : ListError(description), m_code(code) {}
    int code() const noexcept { return m_code; }

private:
    int m_code;
};

} // namespace quorvane::filelist
