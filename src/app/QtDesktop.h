#pragma once

#include "shell/Desktop.h"

namespace quorvane::app {

// The desktop's handlers. A web address goes to QDesktopServices and is not waited for; a file or a
// folder goes to xdg-open, whose answer tells whether a program took it.
class QtDesktop final : public shell::Desktop {
public:
    void openUrl(const QString& url) override;
    shell::OpenResult openFolder(const QString& path) override;
    shell::OpenResult openFile(const QString& path) override;

private:
    static shell::OpenResult open(const QString& path);
};

} // namespace quorvane::app
