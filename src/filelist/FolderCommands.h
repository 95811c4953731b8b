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
    u"Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc files, etc.)\r\r"
    u"ppt* finds .ppt, .pptx and .pptm files; enter odp for OpenDocument presentations (.odp).";
inline constexpr char16_t ExtensionDefault[] = u"ppt*";
inline constexpr char16_t FolderPrompt[] = u"Please select folder:";
inline constexpr char16_t ExtensionKey[] = u"Extension";

// The question after the samples have been added.
inline constexpr char16_t SamplesQuestion[] =
    u"Would you like this software to open the folder where these sample files are stored (so that you can "
    u"view them before working with them)?";
// What the user is told instead when no program to show folders is set up: where the samples are.
QString noFolderProgramMessage(const QString& samplesFolder);

// What a folder scan that added nothing says: the extension as typed, the folder as chosen.
QString noFilesFoundMessage(const QString& extension, const QString& folder);

// "Add All File(s) In Folder": asks for an extension (stored under "Extension") and a folder, then,
// with the busy pointer, appends every file below it that matches "*." + extension in walk order.
// Cancelling either question ends it. Failing statements are reported (100 to 134) and the command
// goes on; what the walk left out is told in one report at 114. A scan that adds nothing says so
// (noFilesFoundMessage, an information box). OperationAborted passes through.
void PushButton4_Click(shell::Services& services, shell::PointerHost& window, FileList& list);

// A drop of local paths on the list, in their order: a folder (or a link to one) gives all the files
// below it as the folder scan would; anything else is appended as it arrived. What the walks left out
// (other than for permission) is told in one report under location::ListView1DragDrop.
// OperationAborted passes through.
void appendDroppedItems(const QStringList& paths, FileList& list, shell::EventPump& events,
                        shell::ErrorReporter& errors);

// The folder of the sample files: "Samples" beside the program when that folder exists, otherwise
// the installed data folder's Samples (found relative to the program's installed folder, so an
// installed tree can move) when that exists, otherwise the one beside the program.
QString samplesFolder(const QString& programFolder);

// "Load Sample/Example Files": appends every file of the samples folder (not those below it) in
// natural order, then asks SamplesQuestion; Yes opens the folder in the desktop's file browser or,
// without one, says where the samples are. Failing statements are reported (100 to 108).
void PushButton9_Click(shell::Services& services, FileList& list);

// The files that appendDroppedItems (pattern "*.*") or the folder scan ("*." + extension) adds for
// one folder, in the same order, without yielding. Permission failures are absorbed as in the walk;
// every other failure and what the walk left out is appended to problems (one description each),
// and everything that could be read is returned all the same.
QStringList filesBelow(const QString& folder, const QString& pattern, QStringList& problems);

} // namespace quorvane::filelist
