#pragma once

// Fakes of the platform services for tests: they record what was shown and answer from queues.
// A prompt that nobody queued an answer for fails the test.

#include "shell/Desktop.h"
#include "shell/Dialogs.h"
#include "shell/ErrorReport.h"
#include "shell/EventPump.h"
#include "shell/Prompts.h"
#include "shell/RandomSource.h"
#include "shell/SettingsStore.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace quorvane::test {

struct ShownMessage {
    QString text;
    shell::MessageStyle style;
    QString caption;
};

class FakePrompts final : public shell::Prompts {
public:
    // Queue the answer to the next message box.
    void answerNextMessage(shell::MessageAnswer answer) { m_messageAnswers.push_back(answer); }
    // Queue the answer to the next input prompt ("" is cancel).
    void answerNextInput(const QString& answer) { m_inputAnswers.push_back(answer); }
    // Queue the answer to the next password prompt (nothing is cancel).
    void answerNextPassword(std::optional<QString> answer) { m_passwordAnswers.push_back(std::move(answer)); }
    // OK-only and warning boxes are answered with OK without a queued answer.
    shell::MessageAnswer messageBox(const QString& text, shell::MessageStyle style, const QString& caption) override;
    QString inputBox(const QString& prompt, const QString& caption, const QString& defaultText) override;
    std::optional<QString> passwordBox(const QString& prompt, const QString& caption) override;

    std::vector<ShownMessage> messages;
    struct ShownInput {
        QString prompt, caption, defaultText;
    };
    std::vector<ShownInput> inputs;
    std::vector<ShownInput> passwordPrompts; // with no proposed answer
    // Runs inside every message box (to act while a modal box "is up").
    std::function<void(const ShownMessage&)> onMessage;

private:
    std::deque<shell::MessageAnswer> m_messageAnswers;
    std::deque<QString> m_inputAnswers;
    std::deque<std::optional<QString>> m_passwordAnswers;
};

struct Report {
    QString description;
    QString location;
    int line;
    bool notice = false; // told as a notice, not as a failure
};

// Records error reports and notices instead of showing them, in one list.
class RecordingErrorReporter final : public shell::ErrorReporter {
public:
    void report(const QString& description, const QString& location, int line) override {
        reports.push_back({description, location, line});
    }
    void notice(const QString& description, const QString& location, int line) override {
        reports.push_back({description, location, line, true});
    }
    std::vector<int> lines() const;
    std::vector<Report> reports;
};

class FakeDialogs final : public shell::Dialogs {
public:
    QString showOpen(const shell::OpenFileRequest& request) override;
    QString pickFolder(const QString& prompt) override;

    std::deque<QString> openResults;   // answers of showOpen, in order ("" = cancel)
    std::deque<QString> folderResults; // answers of pickFolder, in order ("" = cancel)
    std::vector<shell::OpenFileRequest> openRequests;
    QStringList folderPrompts;
};

class MemorySettings final : public shell::SettingsStore {
public:
    QString read(const QString& key, const QString& defaultValue) override {
        ++reads;
        return values.value(key, defaultValue);
    }
    void write(const QString& key, const QString& value) override {
        values.insert(key, value);
        writes.append(key);
    }
    QMap<QString, QString> values;
    QStringList writes;
    int reads = 0;
};

// Records what it was asked to open; opens everything unless failure holds a reason (noProgram: the
// reason is that no program is set up).
class FakeDesktop final : public shell::Desktop {
public:
    void openUrl(const QString& url) override { urls.append(url); }
    shell::OpenResult openFolder(const QString& path) override {
        folders.append(path);
        return {failure, noProgram};
    }
    shell::OpenResult openFile(const QString& path) override {
        files.append(path);
        return {failure, noProgram};
    }
    QStringList urls, folders, files;
    QString failure;
    bool noProgram = false;
};

// Gives fractions from a queue (0.5 when it runs dry) and counts the re-seedings.
class FixedRandom final : public shell::RandomSource {
public:
    void seedFromClock() override { ++seeds; }
    double nextFraction() override;
    std::deque<double> fractions;
    int seeds = 0;
};

// Counts yields and can run an action at a given yield (to change the list mid-run, say).
class ScriptedEventPump final : public shell::EventPump {
public:
    void yield() override;
    // Counted apart from the yields, which the long operations make at fixed places.
    void poll() override;
    int yields = 0;
    int polls = 0;
    // Called with the 1-based number of the yield.
    std::function<void(int)> onYield;
    // From this yield on (1-based), yield throws OperationAborted; 0 never.
    int abortAt = 0;
    // From this poll on (1-based), poll throws OperationAborted; 0 never.
    int abortAtPoll = 0;
};

} // namespace quorvane::test
