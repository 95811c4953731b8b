#include "import/SpreadsheetChecks.h"

using namespace Qt::StringLiterals;

namespace quorvane::import {

QString spreadsheetApplicationName() {
    return QString::fromUtf16(office::SpreadsheetApplicationName);
}

bool CheckExcelCreatable(office::SpreadsheetServer& server, shell::Prompts& prompts, const QString& applicationTitle) {
    try {
        // The instance is dropped at once: neither used nor told to quit.
        if (server.create())
            return true;
    } catch (...) {
        // A failed creation leaves no instance; the message below says what to do.
    }
    const QString paragraphs = u"\r\n\r\n"_s;
    const QString text =
        u"Error 842001. A normal instance of Excel could not be created."_s + paragraphs +
        u"1. Please make sure Excel is installed on this computer."_s + paragraphs +
        u"2. Please open Excel normally and make sure a blank spreadsheet opens immediately without any "
        u"interrupting window (such as an Excel file recovery window)."_s +
        paragraphs +
        u"3. Please make sure that when you double-click on a XLS or XLSX file that Excel opens normally without "
        u"any interrupting messages."_s +
        paragraphs +
        u"4. All versions of Excel are supported by this software except for the rare Excel Starter and Student "
        u"editions."_s;
    prompts.messageBox(text, shell::MessageStyle::OkOnly, applicationTitle);
    return false;
}

bool ExcelIsRunning(office::SpreadsheetServer& server) {
    bool result = false;
    try {
        const auto instance = server.attach();
        // A foreign server answering under another name does not count.
        if (instance && instance->name() == spreadsheetApplicationName())
            result = true;
    } catch (...) {
        return false;
    }
    return result;
}

bool WarnIfExcelOpen(office::SpreadsheetServer& server, shell::Prompts& prompts, const QString& applicationTitle) {
    if (!ExcelIsRunning(server))
        return false;
    const QString text = u"Excel may be open. It is recommended that you close Excel first."_s + u"\r"_s +
                         u"Close the open result windows if necessary."_s + u"\r\n\r\n"_s +
                         u"Would you like to proceed anyway?"_s;
    return prompts.messageBox(text, shell::MessageStyle::YesNo, applicationTitle) != shell::MessageAnswer::Yes;
}

} // namespace quorvane::import
