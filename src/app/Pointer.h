#pragma once

namespace quorvane::app {

// The main window's pointer shapes. Long operations set Busy; while it shows, the move buttons and
// the list's removal actions do nothing and the hover rules leave it in place.
enum PointerShape : int { PointerDefault = 0, PointerBusy = 11, PointerCustom = 99 };

} // namespace quorvane::app
