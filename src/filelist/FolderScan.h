#pragma once

// The folder routines shared by the folder scan, drops and the sample files: the folder walk, the
// name check that keeps unusable folders out of it, the wildcard listing of one folder and the file
// test. Folder-list entries end in "/"; the root "/" enters as "//", and the appending step turns
// every doubled separator into one.

#include "filelist/FileList.h"
#include "filelist/ListError.h"
#include "filelist/NamePatterns.h"

#include "shell/Dialogs.h"
#include "shell/EventPump.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace quorvane::shell {
class Guard;
}

namespace quorvane::filelist {

// Attribute values, mapped from this platform's file types and modes so that the whole-value rules
// below keep their meaning: an ordinary file is 32, a hidden one 34, a folder 16.
enum FileAttribute : int {
    AttributeReadOnly = 1,   // its owner has no write permission (its own mode, whoever looks)
    AttributeHidden = 2,     // the name begins with "."
    AttributeSystem = 4,     // neither a regular file, a folder nor a link (device, FIFO, socket)
    AttributeDirectory = 16, // a folder, or a link to one
    AttributeArchive = 32,   // a regular file, or a link to one
    AttributeAlias = 1024,   // a symbolic link
};

// The attribute value of path. Throws ScanError naming the path and the reason when the path cannot
// be examined.
int attributesOf(const QString& path);

// True for the root folder, however many separators spell it ("/", "//").
bool isRootFolder(const QString& path);

// Whether the walk skips a folder with this attribute value below its starting folders (a hidden
// system folder, plain or as a link); the root is never skipped.
bool isSkippedFolder(const QString& path, int attributes);

// The chosen folder's path, or empty text when the user cancels.
QString PickFolder(shell::Dialogs& dialogs, const QString& prompt);

// True when a folder name cannot be walked safely: it holds a control character (below U+0020, or
// U+007F to U+009F) or "?". The byte form also answers true for bytes that are not valid UTF-8 (such
// a name cannot be written as text); the text form for an unpaired surrogate. An empty name is safe.
bool HasUnsafeChar(QByteArrayView name);
bool HasUnsafeChar(const QString& name);

// True for a regular file that this user can open for reading. Never blocks (a FIFO is answered by
// its type and never opened) and never throws; a folder, a missing path, a device or an unreadable
// file answer false.
bool FileIsPresent(const QString& path);

// The names (no folder part) of the files in folder (with or without a trailing "/") that match
// pattern, hidden and special ones included, folders never, each kept only if FileIsPresent; in
// natural order. A missing folder gives no names. Throws ScanError naming the folder when it exists
// but cannot be listed.
QStringList ListMatchingFiles(const QString& folder, const QString& pattern);

// What one folder scan (or one drop, or one folder of the command line) left out, told in one report
// however many there are: for each kind, how many and the first, with its reason.
class ScanSkips {
public:
    // A folder left out with everything below it, and why (the system's reason).
    void skipFolder(const QString& path, const QString& reason);
    // An entry of folder (a path ending in "/") whose name is not valid UTF-8, so that it cannot be
    // written into the list: a file, or a folder left out with everything below it (isFolder).
    void skipUnreadableName(const QString& folder, QByteArrayView name, bool isFolder);
    // A file whose full path is longer than the system lets a program open by its path.
    void skipLongPath(const QString& path);
    bool empty() const { return m_folders.count == 0 && m_names.count == 0 && m_longPaths.count == 0; }
    // The report, a sentence per kind that occurred, each path shortened to at most 200 characters.
    QString description() const;

private:
    struct Kind {
        int count = 0;
        QString firstPath, firstReason;
        void add(const QString& path, const QString& reason = {});
    };
    Kind m_folders, m_names, m_longPaths;
};

// path, shortened in the middle with "…" to at most limit characters (never inside a surrogate pair).
QString shortenedPath(const QString& path, qsizetype limit);

// Extends list (folder paths ending in "/") with every folder below its entries, breadth first, each
// folder's subfolders in natural order. Left out, with everything below them: names HasUnsafeChar
// rejects, folders isSkippedFolder rejects, and folders already entered (same device and inode), so
// a link back up the tree cannot loop. A folder that cannot be listed is removed from list (its first
// equal entry) and, unless for want of permission, recorded in skips; the walk goes on with the
// rest. Yields to events as it goes; OperationAborted passes through.
void CollectSubfolders(QStringList& list, bool recursive, shell::EventPump& events, ScanSkips& skips);

// Appends to fileList every file of each folder that matches pattern, folder by folder, skipping
// names beginning with "~", files that fail FileIsPresent and files of attribute value exactly 34
// (hidden: an office program's lock file, say); every "//" of an entry is made "/". With a guard the
// statements carry the folder-scan command's numbers (118 to 128) and a failure is reported there,
// the scan going on; without one, failures throw. With skips, a folder that cannot be listed (other
// than for permission) and the matching files that cannot be added are recorded there instead.
void AppendFolderFiles(const QStringList& folders, const QString& pattern, FileList& fileList,
                       shell::Guard* guard = nullptr, ScanSkips* skips = nullptr);

} // namespace quorvane::filelist
