#include "shell/PromptedPasswords.h"

#include "office/LocalNames.h"

#include <QByteArray>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace quorvane::shell {

QString PromptedPasswords::promptFor(const QString& path, bool wrongBefore) {
    const QString prompt = u"The presentation %1 is protected by a password. Password:"_s.arg(
        office::shownName(QFileInfo(path).fileName()));
    return wrongBefore ? u"The password is wrong. "_s + prompt : prompt;
}

office::SharedPassword PromptedPasswords::ask(const QString& path, int wrong) {
    std::optional<QString> answer = m_prompts.passwordBox(promptFor(path, wrong > 0), m_caption);
    if (!answer)
        return nullptr;
    QByteArray utf8 = answer->toUtf8();
    office::wipe(*answer);
    auto password =
        std::make_shared<office::Password>(std::string(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    office::wipe(utf8);
    return password;
}

} // namespace quorvane::shell
