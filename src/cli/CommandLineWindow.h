#pragma once

#include "cli/ConsoleServices.h"
#include "cli/ImportRequest.h"
#include "import/ShapeTexts.h"

namespace quorvane::cli {

// The window's part: the list is the files given, the options are fixed, progress goes to the
// progress line ("Processing: name (i of n)").
class CommandLineWindow final : public import::ImportWindow {
public:
    CommandLineWindow(const ImportRequest& request, QStringList files, ProgressLine& progress)
        : m_request(request), m_files(std::move(files)), m_progress(progress) {}

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
    // The time spent getting the presentations' text: reading them, or waiting for those read ahead.
    double readingSeconds = 0;

private:
    // The rows of one presentation: for each shape that gives text, a row for each of its paragraphs
    // (or of a table's rows), each led by the columns asked for.
    QString laidOutRows(office::PresentationServer& server, const QString& path) const;
    // The columns asked for that lead each row of shape, each ended by a split mark.
    QString leadOf(const import::ShapeText& shape, const QString& path, const QString& fileName) const;
    // The presentation's text as presentationText gives it, without the hidden slides: the run
    // separates it as usual.
    QString shownSlidesText(office::PresentationServer& server, const QString& path) const;
    // A path or a name as one cell: a row end in it would start another, and its column marks are
    // text.
    static QString asColumn(QString value);

    const ImportRequest& m_request;
    QStringList m_files;
    ProgressLine& m_progress;
    shell::PointerShape m_pointer = shell::PointerShape::Default;
    int m_position = 0;
};

} // namespace quorvane::cli
