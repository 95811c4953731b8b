// quorvane-cli: the command-line front end of the import engine.
#include "cli/Commands.h"
#include "office/LocalNames.h"
#include "office/presentation/DocumentPrefetch.h"
#include "shell/Product.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace quorvane::cli;

namespace {

const char* const Usage = "Usage: quorvane-cli COMMAND [ARGUMENTS]\n"
                          "\n"
                          "Commands:\n"
                          "  text [OPTIONS] FILE...     write the text of each presentation to standard output\n"
                          "  import [OPTIONS] PATH... -o OUT\n"
                          "                             import presentations into one workbook (.xlsx or .csv)\n"
                          "\n"
                          "  quorvane-cli text --help and quorvane-cli import --help list their options.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help                 show this help and exit\n"
                          "  --version                  show the version and exit\n";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    // The arguments as the system gave them: a file name that is no UTF-8 keeps its bytes.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(quorvane::office::nameFromNative(argv[i]));
    if (arguments.isEmpty()) {
        std::fputs(Usage, stderr);
        return 2;
    }
    const QString command = arguments.takeFirst();
    if (quorvane::shell::answeredStandardOption(command.toUtf8().toStdString(), "quorvane-cli", Usage, stdout))
        return 0;
    if (command == u"text" || command == u"import") {
        const int status =
            command == u"text" ? runText(arguments, stdout, stderr) : runImport(arguments, stdout, stderr);
        // A read that does not answer (a stalled network share) is not waited for at the end either:
        // everything of ours is cleaned up already, so the program leaves without it.
        if (quorvane::office::DocumentPrefetch::leftBehind() > 0) {
            std::fflush(stdout);
            std::fflush(stderr);
            std::_Exit(status);
        }
        return status;
    }
    writeMessage(stderr, QStringLiteral("quorvane-cli: unknown command '%1'\n\n").arg(command));
    std::fputs(Usage, stderr);
    return 2;
}
