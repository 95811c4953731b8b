#pragma once

#include <QString>

namespace quorvane::shell {

// What the "Add PowerPoint File(s)" handler asks of the open-file dialog.
struct OpenFileRequest {
    QString title;
    QString filter; // "Name (*.a)|*.a|All Files (*.*)|*.*|": pairs of description and pattern
    bool multiSelect = true;
};

// The platform's file and folder dialogs.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows the open-file dialog. Result: empty on cancel; one file's full path; or for several
    // files the folder, then each name, all separated by NUL (U+0000), nothing at the end.
    virtual QString showOpen(const OpenFileRequest& request) = 0;
    // The chosen folder's path, or empty on cancel.
    virtual QString pickFolder(const QString& prompt) = 0;
};

} // namespace quorvane::shell
