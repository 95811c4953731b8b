#pragma once

namespace quorvane::shell {

// The main window's pointer shapes. Long operations set Busy; while it shows, the move buttons and
// the list's removal actions do nothing and the hover rules leave it in place.
enum PointerShape : int { PointerDefault = 0, PointerBusy = 11, PointerCustom = 99 };

// The window's one pointer-shape setting, as the long operations see it.
class PointerHost {
public:
    virtual ~PointerHost() = default;
    virtual int pointer() const = 0;
    virtual void setPointer(int shape) = 0;
};

} // namespace quorvane::shell
