#pragma once

#include "shell/Prompts.h"

class QWidget;

namespace quorvane::app {

// Prompts as modal Qt message boxes and input dialogs over a parent window.
class QtPrompts final : public shell::Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    shell::MessageAnswer messageBox(const QString& text, shell::MessageStyle style, const QString& caption) override;
    QString inputBox(const QString& prompt, const QString& caption, const QString& defaultText) override;

    // The text as a box shows it: always plain text (a file name may hold "<b>"), with CR LF and a
    // lone CR each one line break, as the program's messages use both.
    static QString displayText(const QString& text);

private:
    QWidget* m_parent;
};

} // namespace quorvane::app
