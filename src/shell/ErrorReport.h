#pragma once

#include <QString>

namespace quorvane::shell {

class Prompts;

// The caption of the error report box; no other caption is ever used for it.
inline constexpr char16_t ErrorReportCaption[] = u"Application Error";

// The text of the error report: the description, CR LF, the handler's location text, "at line " and
// the statement number, CR CR, and the closing line with the support address.
QString errorReportText(const QString& description, const QString& location, int line);

// Where guarded handlers send their failures.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void report(const QString& description, const QString& location, int line) = 0;
    // Something the user must know that is no failure (where a text too long for one sheet goes on):
    // never shown as a failure is.
    virtual void notice(const QString& description, const QString& location, int line) = 0;
};

// The desktop's reporter: a modal warning box through the prompts service; a notice is an
// information box of the description alone, captioned with the application title.
class PromptErrorReporter final : public ErrorReporter {
public:
    explicit PromptErrorReporter(Prompts& prompts) : m_prompts(prompts) {}
    void report(const QString& description, const QString& location, int line) override;
    void notice(const QString& description, const QString& location, int line) override;

private:
    Prompts& m_prompts;
};

} // namespace quorvane::shell
