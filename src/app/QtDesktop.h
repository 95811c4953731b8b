#pragma once

#include "shell/Desktop.h"

namespace quorvane::app {

// The desktop's handlers through QDesktopServices; they return at once.
class QtDesktop final : public shell::Desktop {
public:
    void openUrl(const QString& url) override;
    void openFolder(const QString& path) override;
    void openFile(const QString& path) override;
};

} // namespace quorvane::app
