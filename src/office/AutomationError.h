#pragma once

#include "office/DescribedError.h"

namespace quorvane::office {

// A member call on an office server failed. The description is what the user reads in the error
// report, so it names the file or the object and the reason ("deck.pptx: not a zip archive").
class AutomationError : public DescribedError {
public:
    using DescribedError::DescribedError;
};

} // namespace quorvane::office
