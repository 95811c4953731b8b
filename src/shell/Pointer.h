#pragma once

namespace quorvane::shell {

// The main window's pointer shapes, with the platform's codes. While Busy shows, the move buttons
// and the list's removal actions do nothing.
enum class PointerShape { Default = 0, Busy = 11, Custom = 99 };

// The window's one pointer-shape setting, as the long operations see it.
class PointerHost {
public:
    virtual ~PointerHost() = default;
    virtual PointerShape pointer() const = 0;
    virtual void setPointer(PointerShape shape) = 0;
};

} // namespace quorvane::shell
