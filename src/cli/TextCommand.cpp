#include "cli/Commands.h"

#include "import/PresentationText.h"
#include "office/AutomationError.h"
#include "office/presentation/FileAccess.h"
#include "office/presentation/LocalPresentationServer.h"

#include <exception>

using namespace Qt::StringLiterals;

namespace quorvane::cli {

namespace {

// The reader names a file by its full path; on the command line the path as typed reads best.
QString withPathAsGiven(const QString& description, const QString& path) {
    const QString prefix = office::displayName(path) + u": "_s;
    if (description.startsWith(prefix))
        return path + u": "_s + description.mid(prefix.size());
    return path + u": "_s + description;
}

} // namespace

int runText(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    if (arguments.isEmpty() || arguments.first() == u"-h" || arguments.first() == u"--help") {
        std::fputs("Usage: quorvane-cli text FILE...\n"
                   "Writes the text of each presentation to standard output: one line (ending in CR LF) per\n"
                   "shape with a text frame, paragraphs separated by CR and line breaks as VT, as UTF-8.\n",
                   arguments.isEmpty() ? err : out);
        return arguments.isEmpty() ? 2 : 0;
    }
    prepareForManyFiles();
    int status = 0;
    for (const QString& path : arguments) {
        // A server of its own for each file: a failure leaves its server running with the file open.
        office::LocalPresentationServer server;
        try {
            const QString text = import::PresentationText(server, path);
            writeUtf8(out, text);
            std::fflush(out);
        } catch (const office::AutomationError& error) {
            writeUtf8(err, u"quorvane-cli: "_s + withPathAsGiven(error.description(), path) + u"\n"_s);
            status = 1;
        } catch (const std::exception& error) {
            writeUtf8(err, u"quorvane-cli: "_s + path + u": "_s + QString::fromUtf8(error.what()) + u"\n"_s);
            status = 1;
        }
    }
    return status;
}

} // namespace quorvane::cli
