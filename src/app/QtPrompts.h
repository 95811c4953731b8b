#pragma once

#include "shell/Prompts.h"

class QWidget;

namespace quorvane::app {

// Prompts as Qt message boxes and input dialogs over a parent window. While a box is up the
// program's other windows take no input, as behind a modal box, but a request to close one of them
// (its close button, say) is kept and carried out as soon as the box has gone: a box that Qt makes
// modal drops such a request, so that closing the main window during a run with many failures would
// mean answering every box first. Escape dismisses a box (as No when it asks Yes or No).
class QtPrompts final : public shell::Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    shell::MessageAnswer messageBox(const QString& text, shell::MessageStyle style, const QString& caption) override;
    QString inputBox(const QString& prompt, const QString& caption, const QString& defaultText) override;
    std::optional<QString> passwordBox(const QString& prompt, const QString& caption) override;

    // The text as a box shows it: always plain text (a file name may hold "<b>"), with CR LF and a
    // lone CR each one line break, as the program's messages use both. A long path may break after
    // each "/", and a long name anywhere, so that a box never cuts it off (the breaks are invisible).
    static QString displayText(const QString& text);

private:
    QWidget* m_parent;
};

} // namespace quorvane::app
