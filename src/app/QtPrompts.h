#pragma once

#include "Prompts.h"

class QWidget;

namespace quorvane::app {

// Prompts as modal Qt message boxes and input dialogs over a parent window.
class QtPrompts final : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    int messageBox(const QString& text, int style, const QString& caption) override;
    QString inputBox(const QString& prompt, const QString& caption, const QString& defaultText) override;

private:
    QWidget* m_parent;
};

} // namespace quorvane::app
