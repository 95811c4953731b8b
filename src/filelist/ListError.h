#pragma once

#include <QString>

#include <stdexcept>
#include <string>

namespace quorvane::filelist {

// What the routines of the file list throw. The text is what the error report shows: it names the
// file or folder and the reason.
class ListError : public std::runtime_error {
public:
    explicit ListError(const std::string& description) : std::runtime_error(description) {}
    explicit ListError(const QString& description) : std::runtime_error(description.toStdString()) {}
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
