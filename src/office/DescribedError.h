#pragma once

#include <QString>

#include <stdexcept>
#include <string>

namespace quorvane::office {

// What every failure the user is told about carries: its description, the whole text the user reads,
// naming the file or the object and the reason ("deck.pptx: not a zip archive"). It is kept as text,
// so a name that is no UTF-8 keeps its characters; what() gives it as UTF-8. Each layer throws a class
// of its own derived from this one, so that a handler can tell whose step failed.
class DescribedError : public std::runtime_error {
public:
    explicit DescribedError(const QString& description)
        : std::runtime_error(description.toStdString()), m_description(description) {}
    explicit DescribedError(const std::string& description)
        : std::runtime_error(description), m_description(QString::fromStdString(description)) {}

    const QString& description() const noexcept { return m_description; }

private:
    QString m_description;
};

} // namespace quorvane::office
