#pragma once

#include <QString>

namespace quorvane::shell {

// The desktop's handlers: a web address in the browser, a folder in the file manager, a file in its
// application. They return at once; the outcome is not looked at.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual void openUrl(const QString& url) = 0;
    virtual void openFolder(const QString& path) = 0;
    virtual void openFile(const QString& path) = 0;
};

} // namespace quorvane::shell
