#pragma once

#include <QString>

namespace quorvane::shell {

// What came of handing a file or folder to the desktop: opened, or the reason why not.
struct OpenResult {
    // Empty when the desktop took the file or folder; otherwise why it could not open it, as a
    // sentence part that follows the path ("no program is set up to open it").
    QString failure;
    // True when the failure is that no program on this computer is set up to open such a path.
    bool noProgram = false;
    bool opened() const { return failure.isEmpty(); }
};

// The desktop's handlers: a web address in the browser, a folder in the file manager, a file in its
// application. openUrl returns at once and its outcome is not looked at; openFolder and openFile
// wait for the desktop's answer (never long) and tell whether it opened the path.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual void openUrl(const QString& url) = 0;
    [[nodiscard]] virtual OpenResult openFolder(const QString& path) = 0;
    [[nodiscard]] virtual OpenResult openFile(const QString& path) = 0;
};

} // namespace quorvane::shell
