#pragma once

#include "cli/ConsoleServices.h"
#include "cli/ImportRequest.h"
#include "import/ShapeTexts.h"

namespace quorvane::cli {

// The window's part: the list is the files given, the options are fixed, progress goes to the
// progress line ("Processing: name (i of n)").
class CommandLineWindow final : public import::ImportWindow {
public:
    CommandLineWindow(const ImportRequest& request, QStringList files, ProgressLine& progress,
                      import::FailureLog& failures)
        : m_request(request), m_files(std::move(files)), m_progress(progress), m_failures(failures) {}

    shell::PointerShape pointer() const override { return m_pointer; }
    void setPointer(shell::PointerShape shape) override { m_pointer = shape; }
    int entryCount() override { return static_cast<int>(m_files.size()); }
    QString entryText(int position) override;
    QStringList entriesAfter(int position, int count) override { return m_files.mid(position, count); }
    bool optionChecked(import::OptionButton option) override;
    QString presentationText(office::PresentationServer& server, const QString& path) override;
    QString text1() override { return m_request.splitText.value_or(QString()); }
    void setProgressValue(double) override {}
    void setProgressText(const QString& text) override;
    void setImportRunning(bool) override {} // nothing to disable
    // --header: the --columns chosen.
    std::optional<std::vector<import::Column>> headerColumns() override {
        return m_request.header ? std::optional(m_request.columns) : std::nullopt;
    }
    // Every failure is told on a line of its own as it happens.
    import::FailureLog* failureLog() override { return &m_failures; }
    // The time spent getting the presentations' text: reading them, or waiting for those read ahead.
    double readingSeconds = 0;

private:
    const ImportRequest& m_request;
    QStringList m_files;
    ProgressLine& m_progress;
    import::FailureLog& m_failures;
    shell::PointerShape m_pointer = shell::PointerShape::Default;
    int m_position = 0;
};

} // namespace quorvane::cli
