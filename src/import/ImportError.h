#pragma once

#include "office/DescribedError.h"

namespace quorvane::import {

// What the import run's own steps throw (the staging file, the progress): the text is what the error
// report shows, naming the file and the reason. The office servers' failures arrive as
// office::AutomationError.
class ImportError : public office::DescribedError {
public:
    using DescribedError::DescribedError;
};

} // namespace quorvane::import
