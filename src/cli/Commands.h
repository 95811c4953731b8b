#pragma once

#include "import/ShapeTexts.h"
#include "office/Passwords.h"

#include <QStringList>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

namespace quorvane::cli {

// Each sub-command takes its own arguments (after the sub-command's name) and returns the exit status.
int runText(const QStringList& arguments, std::FILE* out, std::FILE* err);
int runImport(const QStringList& arguments, std::FILE* out, std::FILE* err);

// Sets up the C library for reading many files in a row (memory kept between files, the time zone
// read once, a few memory arenas for all the threads). Changes nothing the user can see.
void prepareForManyFiles();

// What the arguments of both sub-commands have in common: the paths and the options both take.
struct SharedRequest {
    QStringList paths;                // the path arguments, in order
    import::TextChoice choice;        // --include, --skip-hidden
    std::optional<QString> extension; // --ext: folders are scanned for "*." + extension
    std::optional<QString> filesFrom;
    std::optional<QString> passwordFile; // --password-file
    bool nulSeparated = false;
    int jobs = 0; // --jobs: how many presentations are read at a time (0: one for each core)
    bool help = false;
};

// An option that is no shared one: given its name (without an inline "=value") and a function that
// takes its value (the inline value, else the next argument; nothing when there is none), it returns
// the problem, or nothing when the option is taken. unknownOption is the problem of one it does not know.
using OwnOption =
    std::function<std::optional<QString>(const QString& option, const std::function<std::optional<QString>()>& value)>;
QString unknownOption(const QString& option);

// Walks the arguments after the sub-command's name: a path (anything not starting with '-', "-"
// itself, everything after "--") is appended to request.paths, a shared option goes into request and
// any other to own. Returns the first problem, then the problems of the shared options together
// (nothing to read, -0 without a list); with --help only the problems of the options themselves.
std::optional<QString> parseArguments(const QStringList& arguments, SharedRequest& request, const OwnOption& own);

// The number of jobs that request asks for: --jobs, or one for each core.
int jobsOf(const SharedRequest& request);

// Appends the paths that the file list source names (a file, or "-" for standard input): one a line
// (a CR before the line end is no part of it), or NUL-separated with nulSeparated; empty entries are
// skipped. Returns the problem, naming the list by its full path, when it cannot be read.
std::optional<QString> readFileList(const QString& source, bool nulSeparated, QStringList& paths);

// Whether path names a folder (through links), by the name's own bytes.
bool isFolder(const QString& path);

// Appends to files the presentations that one path argument names, as full paths. A file is taken as
// it is, whatever its name. A folder stands for every file below it, as when it is dropped on the
// window's list, or with an extension for the files the folder scan finds (*.extension); the files
// that leaveOut names are left out. Whatever could not be walked or listed is appended to problems,
// and the rest of the folder is added all the same.
void addInputPath(const QString& path, const std::optional<QString>& extension,
                  const std::function<bool(const QString&)>& leaveOut, QStringList& files, QStringList& problems);

// The help of an option as the usage texts show it: the option with its value, then its text wrapped
// into a column of its own; and the options whose help the tables of the import layer make.
QString optionUsage(const QString& option, const QString& text);
QString includeUsage();
QString columnsUsage();
QString splitUsage();

// The passwords that request gives for protected presentations: those in its --password-file (a
// file, or "-" for standard input), one a line, UTF-8, a CR before the line end no part of it, empty
// lines skipped; none without one. They are held in memory only, and the bytes read are wiped. A
// protected file that none opens fails saying how to give them. Returns the problem, naming the file
// by its full path, when it cannot be read.
std::optional<QString> readPasswords(const SharedRequest& request, std::shared_ptr<office::PasswordSource>& passwords);

// Writes text to a stream as UTF-8 bytes, exactly.
void writeUtf8(std::FILE* stream, const QString& text);

// A message for a terminal: every control character but the line end and the tab written out as an
// escape ("\x1B", "\u009B"), so that no name a file or a package gives (a file name, a part name) can
// move the cursor, clear the screen or retitle the window. Bytes that are no UTF-8 show escaped already.
QString escapedControls(const QString& text);
// Writes a message to standard error (or any stream), its control characters escaped.
void writeMessage(std::FILE* stream, const QString& text);

} // namespace quorvane::cli
