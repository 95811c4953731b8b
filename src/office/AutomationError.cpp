#include "AutomationError.h"

namespace quorvane::office {

// (The class is header-only; this file gives the office library its first translation unit.)

} // namespace quorvane::office
