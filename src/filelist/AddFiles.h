#pragma once

#include "filelist/FileList.h"

#include "shell/Services.h"

namespace quorvane::filelist {

// The open-file dialog of "Add PowerPoint File(s)".
inline constexpr char16_t AddFilesTitle[] = u"Add File(s) - Use Ctrl & Shift to select multiple files";
// The two classic entries come first (the first is active when the dialog opens); the third shows
// every kind of presentation the reader takes, also those whose extension does not begin with ppt.
inline constexpr char16_t AddFilesFilter[] =
    u"PowerPoint Files (*.ppt*)|*.ppt*|All Files (*.*)|*.*|"
    u"All presentations (*.ppt *.pptx *.pptm *.pps *.ppsx *.ppsm *.pot *.potx *.potm *.odp *.otp *.fodp)|"
    u"*.ppt;*.pptx;*.pptm;*.pps;*.ppsx;*.ppsm;*.pot;*.potx;*.potm;*.odp;*.otp;*.fodp|";
// The dialog's result buffer: a longer result is a selection too large (the dialog's error 20476).
inline constexpr int DialogResultLimit = 30000;
inline constexpr int DialogBufferTooSmall = 20476;

// The message shown instead of adding anything when the selection does not fit the buffer.
QString tooManyFilesMessage();

// The "Add PowerPoint File(s)" handler: asks the dialog service and appends the picked files at the
// end of list in the dialog's order. The result is one path, appended unchanged, or "folder NUL name
// NUL name ...", each appended as folder + "/" + name with every "//" made one "/" (a folder that
// already ends in the separator, the root, would otherwise give a doubled one). A result over the buffer limit shows
// tooManyFilesMessage() and adds nothing; any other failure goes to the error report with the handler's statement
// number.
void PushButton1_Click(shell::Services& services, FileList& list);

} // namespace quorvane::filelist
