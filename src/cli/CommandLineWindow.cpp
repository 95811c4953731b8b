#include "cli/CommandLineWindow.h"

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace quorvane::cli {

QString CommandLineWindow::entryText(int position) {
    if (position < 1 || position > m_files.size())
        throw std::out_of_range("Index out of bounds");
    m_position = position;
    return m_files.at(position - 1);
}

bool CommandLineWindow::optionChecked(import::OptionButton option) {
    using import::OptionButton;
    if (option == OptionButton::Option5 || option == OptionButton::Option6)
        return (option == OptionButton::Option6) == m_request.perFileSheets;
    // Rows laid out here are separated here, their text only: the run separates nothing more.
    if (m_request.layout().ownRows())
        return option == OptionButton::Option1;
    return option == m_request.splitOption;
}

QString CommandLineWindow::presentationText(office::PresentationServer& server, const QString& path) {
    const Stopwatch stopwatch(readingSeconds);
    return import::laidOutText(server, path, m_request.layout(), m_request.separator());
}

void CommandLineWindow::setProgressText(const QString& text) {
    if (text.startsWith(u"Processing: "))
        m_progress.show(text + u" (%1 of %2)"_s.arg(m_position).arg(m_files.size()));
    else
        m_progress.clear();
}

} // namespace quorvane::cli
