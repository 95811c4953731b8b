#pragma once

#include <QString>

#include <stdexcept>

namespace quorvane::app {

// What the windows' own steps throw (a file beside the program that cannot be read, a folder that
// cannot be made): the text is what the error report or the window's box shows.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& description) : std::runtime_error(description.toStdString()) {}
};

} // namespace quorvane::app
