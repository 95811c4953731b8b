#pragma once

#include <QString>

#include <stdexcept>

namespace quorvane::import {

// What the import run's own steps throw (the staging file, the progress): the text is what the error
// report shows, naming the file and the reason. The office servers' failures arrive as
// office::AutomationError.
class ImportError : public std::runtime_error {
public:
    explicit ImportError(const QString& description) : std::runtime_error(description.toStdString()) {}
};

} // namespace quorvane::import
