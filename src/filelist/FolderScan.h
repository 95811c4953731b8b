#pragma once

// The folder routines shared by the folder scan, drops and the sample files: the folder walk, the
// name check that keeps unusable folders out of it, the wildcard listing of one folder and the file
// test. Folder-list entries end in "/"; the root "/" enters as "//", and the appending step turns
// every doubled separator into one.

#include "filelist/FileList.h"

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
    AttributeReadOnly = 1,   // this user may not write it
    AttributeHidden = 2,     // the name begins with "."
    AttributeSystem = 4,     // neither a regular file, a folder nor a link (device, FIFO, socket)
    AttributeDirectory = 16, // a folder, or a link to one
    AttributeArchive = 32,   // a regular file, or a link to one
    AttributeAlias = 1024,   // a symbolic link
};

// The attribute value of path. Throws std::runtime_error naming the path and the reason when the
// path cannot be examined.
int attributesOf(const QString& path);

// True for the root folder, however many separators spell it ("/", "//").
bool isRootFolder(const QString& path);

// Whether the walk skips a folder with this attribute value below its starting folders (a hidden
// system folder, plain or as a link); the root is never skipped.
bool isSkippedFolder(const QString& path, int attributes);

// The folder browser through the dialog service: the chosen folder's path, or empty text when the
// user cancels.
QString PickFolder(shell::Dialogs& dialogs, const QString& prompt);

// True when a folder name cannot be walked safely: it holds a control character (below U+0020, or
// U+007F to U+009F) or "?". The byte form also answers true for bytes that are not valid UTF-8 (such
// a name cannot be written as text); the text form for an unpaired surrogate. An empty name is safe.
bool HasUnsafeChar(QByteArrayView name);
bool HasUnsafeChar(const QString& name);

// Wildcard match of a file name: "*" any run of characters, "?" any one character, letters compared
// without regard to case; a pattern ending in ".*" also matches the name without that dot and
// extension, so "*.*" matches every name, names without a dot included.
bool matchesWildcard(const QString& name, const QString& pattern);

// Natural order of names: case-insensitive, runs of digits compared as numbers ("Lecture 2" before
// "Lecture 10"), ties broken by exact comparison. Negative, zero or positive like QString::compare.
int naturalCompare(const QString& a, const QString& b);

// True for a regular file that this user can open for reading. Never blocks (a FIFO is answered by
// its type and never opened) and never throws; a folder, a missing path, a device or an unreadable
// file answer false.
bool FileIsPresent(const QString& path);

// The names (no folder part) of the files in folder (with or without a trailing "/") that match
// pattern, hidden and special ones included, folders never, each kept only if FileIsPresent; in
// natural order. A missing folder gives no names. Throws std::runtime_error naming the folder when
// it exists but cannot be listed.
QStringList ListMatchingFiles(const QString& folder, const QString& pattern);

// Extends list (folder paths ending in "/") with every folder below its entries, breadth first: the
// former entries, then all their immediate subfolders in turn, then the next level, each folder's
// subfolders in natural order. Left out, with everything below them: names that HasUnsafeChar
// rejects, folders that isSkippedFolder rejects, and any folder the walk has already entered (same
// device and inode), so a link back up the tree cannot loop. A folder whose subfolders this user may
// not list is removed from list (its first equal entry) and the walk goes on with its siblings; a
// listing that fails otherwise keeps what it read. Yields to events before each folder it examines,
// before each subfolder and before each found folder it copies; OperationAborted passes through.
// Any other failure (a folder that cannot be examined) throws std::runtime_error and ends the whole
// walk, leaving list with its former entries minus those removed for permission.
void CollectSubfolders(QStringList& list, bool recursive, shell::EventPump& events);

// Appends to fileList every file of each folder of folders that matches pattern, folder by folder:
// names beginning with "~", files that fail FileIsPresent and files whose attribute value is exactly
// 34 (hidden, an office program's lock file for one) are skipped; each entry is the folder's path
// and the name with every "//" made "/". With a guard the statements carry the folder-scan command's
// numbers (118 to 128) and a failing one is reported there, the scan going on; a folder that cannot
// be listed is then skipped. Without one, failures throw.
void AppendFolderFiles(const QStringList& folders, const QString& pattern, FileList& fileList,
                       shell::Guard* guard = nullptr);

} // namespace quorvane::filelist
