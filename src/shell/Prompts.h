#pragma once

#include <QString>

namespace quorvane::shell {

// Message-box styles and answers in use.
enum MessageStyle : int { OkOnly = 0, YesNo = 4, Warning = 48 };
enum MessageAnswer : int { AnswerOk = 1, AnswerCancel = 2, AnswerYes = 6, AnswerNo = 7 };

// Modal message boxes and input prompts. The desktop shows real dialogs; tests answer from a queue.
class Prompts {
public:
    virtual ~Prompts() = default;
    // Shows text with the given style (OkOnly, YesNo or Warning) and caption; returns the answer.
    virtual int messageBox(const QString& text, int style, const QString& caption) = 0;
    // Asks for one line of text with a proposed answer; returns the empty text on cancel.
    virtual QString inputBox(const QString& prompt, const QString& caption, const QString& defaultText) = 0;
};

} // namespace quorvane::shell
