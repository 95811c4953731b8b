#pragma once

#include <QString>

namespace quorvane::shell {

// What came of handing a file or folder to the desktop: opened, or the reason why not.
struct OpenResult {
    // Why the desktop could not open it, as a sentence part after the path; empty when it did.
    QString failure;
    // True when the failure is that no program on this computer is set up to open such a path.
    bool noProgram = false;
    bool opened() const { return failure.isEmpty(); }
};

// The desktop's handlers. openUrl returns at once and its outcome is not looked at; openFolder and
// openFile wait for the desktop's answer (never long).
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual void openUrl(const QString& url) = 0;
    [[nodiscard]] virtual OpenResult openFolder(const QString& path) = 0;
    [[nodiscard]] virtual OpenResult openFile(const QString& path) = 0;
};

} // namespace quorvane::shell
