#pragma once

#include <QString>

#include <stdexcept>

namespace quorvane::office {

// A member call on an office server failed. The description is what the user reads in the error
// report, so it names the file or the object and the reason ("deck.pptx: not a zip archive").
class AutomationError : public std::runtime_error {
public:
    explicit AutomationError(const QString& description)
        : std::runtime_error(description.toStdString()), m_description(description) {}

    const QString& description() const noexcept { return m_description; }

private:
    QString m_description;
};

} // namespace quorvane::office
