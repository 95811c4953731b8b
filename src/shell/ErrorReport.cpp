#include "shell/ErrorReport.h"

#include "shell/Product.h"
#include "shell/Prompts.h"

using namespace Qt::StringLiterals;

namespace quorvane::shell {

QString errorReportText(const QString& description, const QString& location, int line) {
    return description + u"\r\n"_s + location + u"at line "_s + QString::number(line) + u"\r\r"_s +
           u"Please email screenshot of this message to "_s + supportEmail();
}

void PromptErrorReporter::report(const QString& description, const QString& location, int line) {
    m_prompts.messageBox(errorReportText(description, location, line), MessageStyle::Warning,
                         QString::fromUtf16(ErrorReportCaption));
}

void PromptErrorReporter::notice(const QString& description, const QString&, int) {
    // Nothing failed: no statement number, no request for a screenshot.
    m_prompts.messageBox(description, MessageStyle::Information, applicationTitleFrom(productTitle()));
}

} // namespace quorvane::shell
