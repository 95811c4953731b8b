#include "Commands.h"

#include "import/PresentationText.h"
#include "office/AutomationError.h"
#include "office/LocalPresentationServer.h"

#include <QFileInfo>

#include <exception>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace Qt::StringLiterals;

namespace quorvane::cli {

namespace {

// The reader names a file by its file name; on the command line the path as given is clearer.
QString withPathAsGiven(const QString& description, const QString& path) {
    const QString prefix = QFileInfo(path).fileName() + u": "_s;
    if (!prefix.isEmpty() && description.startsWith(prefix))
        return path + u": "_s + description.mid(prefix.size());
    return path + u": "_s + description;
}

// Reading many files in a row, the C library's defaults cost more than the reading itself.
void prepareForManyFiles() {
#ifdef __GLIBC__
    // Reading a presentation allocates and frees a few hundred KiB. By default that is handed back
    // to the system after each file and faulted in again, page by page, for the next one; keep it
    // instead. Peak memory stays what the largest file needs (big blocks are mapped and unmapped
    // on their own either way).
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    // libzip converts each entry's DOS time with mktime, and with TZ unset the C library checks
    // /etc/localtime again on every call: one system call per entry of every file. An unset TZ
    // means ":/etc/localtime", so naming it changes no time zone and lets the zone be read once.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
#endif
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
