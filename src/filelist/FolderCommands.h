#pragma once

// The list commands built on the folder routines: "Add All File(s) In Folder", a drop of files and
// folders on the list, "Load Sample/Example Files", and the same walk for the command line.

#include "filelist/FileList.h"

#include "shell/Pointer.h"
#include "shell/Services.h"

#include <QString>
#include <QStringList>

namespace quorvane::filelist {

// The extension prompt of the folder scan (two bare carriage returns, as the prompt shows them), its
// proposed answer, the folder browser's prompt and the setting that keeps the last answer.
inline constexpr char16_t ExtensionPrompt[] =
    u"Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc files, etc.)";
inline constexpr char16_t ExtensionDefault[] = u"ppt*";
inline constexpr char16_t FolderPrompt[] = u"Please select folder:";
inline constexpr char16_t ExtensionKey[] = u"Extension";

// The question after the samples have been added.
inline constexpr char16_t SamplesQuestion[] =
    u"Would you like this software to open the folder where these sample files are stored (so that you can "
    u"view them before working with them)?";
// What the user is told instead when no program to show folders is set up: where the samples are.
QString noFolderProgramMessage(const QString& samplesFolder);

// "Add All File(s) In Folder": asks for an extension (stored under "Extension") and a folder, then
// with the busy pointer on window walks the folder and everything below it and appends every file
// that matches "*." + extension, folder by folder in walk order (AppendFolderFiles). Cancelling either
// question ends it. Failing statements are reported with their numbers (100 to 132) and the command
// goes on; the folders that the walk or the listing had to leave out are told in one report at 114,
// after the files were added. OperationAborted from a yield passes through.
void PushButton4_Click(shell::Services& services, shell::PointerHost& window, FileList& list);

// A drop of local paths on the list, in their order: a folder (or a link to one) is walked and all its
// files of every extension, and those below it, are appended as the folder scan would; anything else
// is appended exactly as it arrived. Shows nothing and leaves the pointer alone, except that the
// folders the walks left out (for a reason other than permission) are told in one report for the
// whole drop under location::ListView1DragDrop, everything else being appended. OperationAborted from
// a yield passes through.
void appendDroppedItems(const QStringList& paths, FileList& list, shell::EventPump& events,
                        shell::ErrorReporter& errors);

// The folder of the sample files: "Samples" beside the program when that folder exists, otherwise
// the installed data folder's Samples (found relative to the program's installed folder, so an
// installed tree can move) when that exists, otherwise the one beside the program.
QString samplesFolder(const QString& programFolder);

// "Load Sample/Example Files": appends every file of the samples folder (not those below it) in
// natural order, then asks SamplesQuestion, also when nothing was found; Yes opens the folder in the
// desktop's file browser, or, when no program to show folders is set up, says where the samples are
// (noFolderProgramMessage, in an information box). Failing statements are reported with their
// numbers (100 to 108).
void PushButton9_Click(shell::Services& services, FileList& list);

// The files that appendDroppedItems (pattern "*.*") or the folder scan ("*." + extension) adds for
// one folder, in the same order, without yielding. Permission failures are absorbed as in the walk;
// every other failure and what the walk left out is appended to problems (one description each),
// and everything that could be read is returned all the same.
QStringList filesBelow(const QString& folder, const QString& pattern, QStringList& problems);

} // namespace quorvane::filelist
