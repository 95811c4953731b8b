#include "FakeServices.h"

#include <gtest/gtest.h>

namespace quorvane::test {

shell::MessageAnswer FakePrompts::messageBox(const QString& text, shell::MessageStyle style, const QString& caption) {
    messages.push_back({text, style, caption});
    if (onMessage)
        onMessage(messages.back());
    if (!m_messageAnswers.empty()) {
        const shell::MessageAnswer answer = m_messageAnswers.front();
        m_messageAnswers.pop_front();
        return answer;
    }
    if (style == shell::MessageStyle::YesNo) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return shell::MessageAnswer::No;
    }
    return shell::MessageAnswer::Ok;
}

QString FakePrompts::inputBox(const QString& prompt, const QString& caption, const QString& defaultText) {
    inputs.push_back({prompt, caption, defaultText});
    if (m_inputAnswers.empty()) {
        ADD_FAILURE() << "unexpected input prompt: " << prompt.toStdString();
        return {};
    }
    QString answer = m_inputAnswers.front();
    m_inputAnswers.pop_front();
    return answer;
}

std::optional<QString> FakePrompts::passwordBox(const QString& prompt, const QString& caption) {
    passwordPrompts.push_back({prompt, caption, {}});
    if (m_passwordAnswers.empty()) {
        ADD_FAILURE() << "unexpected password prompt: " << prompt.toStdString();
        return std::nullopt;
    }
    const bool given = m_passwordAnswers.front().has_value();
    const QString answer = m_passwordAnswers.front().value_or(QString());
    m_passwordAnswers.pop_front();
    if (!given)
        return std::nullopt;
    return answer;
}

std::vector<int> RecordingErrorReporter::lines() const {
    std::vector<int> result;
    for (const Report& r : reports)
        result.push_back(r.line);
    return result;
}

QString FakeDialogs::showOpen(const shell::OpenFileRequest& request) {
    openRequests.push_back(request);
    if (openResults.empty()) {
        ADD_FAILURE() << "unexpected open-file dialog";
        return {};
    }
    QString result = openResults.front();
    openResults.pop_front();
    return result;
}

QString FakeDialogs::pickFolder(const QString& prompt) {
    folderPrompts.append(prompt);
    if (folderResults.empty()) {
        ADD_FAILURE() << "unexpected folder dialog";
        return {};
    }
    QString result = folderResults.front();
    folderResults.pop_front();
    return result;
}

double FixedRandom::nextFraction() {
    if (fractions.empty())
        return 0.5;
    const double r = fractions.front();
    fractions.pop_front();
    return r;
}

void ScriptedEventPump::yield() {
    ++yields;
    if (abortAt > 0 && yields >= abortAt)
        throw shell::OperationAborted{};
    if (onYield)
        onYield(yields);
}

void ScriptedEventPump::poll() {
    ++polls;
    if (abortAtPoll > 0 && polls >= abortAtPoll)
        throw shell::OperationAborted{};
}

} // namespace quorvane::test
