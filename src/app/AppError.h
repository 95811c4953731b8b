#pragma once

#include "office/DescribedError.h"

namespace quorvane::app {

// What the windows' own steps throw (a file beside the program that cannot be read, a folder that
// cannot be made): the text is what the error report or the window's box shows.
class AppError : public office::DescribedError {
public:
    using DescribedError::DescribedError;
};

} // namespace quorvane::app
