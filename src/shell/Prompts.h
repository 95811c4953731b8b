#pragma once

#include <QString>

#include <optional>

namespace quorvane::shell {

// The message-box styles in use, with the platform's style codes.
enum class MessageStyle { OkOnly = 0, YesNo = 4, Warning = 48, Information = 64 };
enum class MessageAnswer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

// Modal message boxes and input prompts. The desktop shows real dialogs; tests answer from a queue.
class Prompts {
public:
    virtual ~Prompts() = default;
    // Shows text with the given style and caption; returns the button pressed (Ok for the OK-only styles).
    virtual MessageAnswer messageBox(const QString& text, MessageStyle style, const QString& caption) = 0;
    // Asks for one line of text with a proposed answer; returns the empty text on cancel.
    virtual QString inputBox(const QString& prompt, const QString& caption, const QString& defaultText) = 0;
    // Asks for a password in a field that shows no characters; nothing on cancel. Nothing of the
    // answer is kept.
    virtual std::optional<QString> passwordBox(const QString& prompt, const QString& caption) = 0;
};

} // namespace quorvane::shell
