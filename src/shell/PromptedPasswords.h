#pragma once

#include "office/Passwords.h"
#include "shell/Prompts.h"

#include <QString>

namespace quorvane::shell {

// The passwords of one run in the window: none at first; a protected presentation that none of those
// given so far opens asks the user with a masked prompt, again after a wrong one (saying so), until
// one opens it or the user cancels. Every password that opened a file is kept for the run, the last
// one first.
class PromptedPasswords final : public office::PasswordList {
public:
    // caption: the prompt's caption (the application title).
    PromptedPasswords(Prompts& prompts, QString caption) : m_prompts(prompts), m_caption(std::move(caption)) {}

    office::SharedPassword ask(const QString& path, int wrong) override;

    // The prompt for the presentation at path: "The presentation NAME is protected by a password.
    // Password:", after a wrong one led by "The password is wrong. ".
    static QString promptFor(const QString& path, bool wrongBefore);

private:
    Prompts& m_prompts;
    QString m_caption;
};

} // namespace quorvane::shell
