// The options for scripts that the sub-commands share: what text to read besides the slides' text
// shapes, lists of files read from a file, and the passwords of protected presentations.
#include "cli/Commands.h"

#include "filelist/FolderCommands.h"
#include "import/TextKinds.h"
#include "office/LocalNames.h"
#include "office/presentation/LocalPresentationServer.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace quorvane::cli {

namespace {

// Reads an --include list ("notes,tables,alt") into choice; returns the problem when it names anything else.
std::optional<QString> parseInclude(const QString& list, import::TextChoice& choice) {
    if (import::chooseKinds(list, choice))
        return std::nullopt;
    return u"--include takes a list of %1, separated by commas"_s.arg(import::kindNamesInWords());
}

// The most jobs --jobs takes, and the most the default takes on a machine with more cores: far more
// threads than cores only cost memory.
constexpr int MaxJobs = 256;

} // namespace

QString unknownOption(const QString& option) {
    return u"unknown option '%1'"_s.arg(option);
}

std::optional<QString> parseArguments(const QStringList& arguments, SharedRequest& request, const OwnOption& own) {
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString argument = arguments[i];
        if (optionsEnded || !argument.startsWith(u'-') || argument == u"-") {
            request.paths.append(argument);
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" and "--name value" alike.
        std::optional<QString> inlineValue;
        if (argument.startsWith(u"--") && argument.contains(u'=')) {
            inlineValue = argument.mid(argument.indexOf(u'=') + 1);
            argument.truncate(argument.indexOf(u'='));
        }
        const std::function<std::optional<QString>()> value = [&]() -> std::optional<QString> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        std::optional<QString> problem;
        if (argument == u"-h" || argument == u"--help") {
            request.help = true;
        } else if (argument == u"--include") {
            problem = parseInclude(value().value_or(QString()), request.choice);
        } else if (argument == u"--files-from") {
            request.filesFrom = value();
            if (!request.filesFrom || request.filesFrom->isEmpty())
                problem = u"--files-from needs a file (- for standard input)"_s;
        } else if (argument == u"--ext") {
            request.extension = value();
            // ".pptx", as users type it, means pptx.
            if (request.extension && request.extension->startsWith(u'.'))
                request.extension->remove(0, 1);
            if (!request.extension || request.extension->isEmpty())
                problem = u"--ext needs an extension (ppt*, txt, *)"_s;
        } else if (argument == u"--password-file") {
            // Never a password itself: an argument is seen by every user of the machine.
            request.passwordFile = value();
            if (!request.passwordFile || request.passwordFile->isEmpty())
                problem = u"--password-file needs a file (- for standard input)"_s;
        } else if (argument == u"--skip-hidden") {
            request.choice.skipHidden = true;
        } else if (argument == u"-0" || argument == u"--null") {
            request.nulSeparated = true;
        } else if (argument == u"-j" || argument == u"--jobs") {
            bool number = false;
            request.jobs = value().value_or(QString()).toInt(&number);
            if (!number || request.jobs < 1 || request.jobs > MaxJobs)
                problem = u"--jobs takes a number of presentations read at a time, from 1 to %1"_s.arg(MaxJobs);
        } else {
            problem = own(argument, value);
        }
        if (problem)
            return problem;
    }
    if (request.help)
        return std::nullopt;
    if (request.paths.isEmpty() && !request.filesFrom)
        return u"no presentation given"_s;
    if (request.nulSeparated && !request.filesFrom)
        return u"-0 goes with --files-from"_s;
    if (request.passwordFile == u"-" && request.filesFrom == u"-")
        return u"--password-file - and --files-from - cannot both read standard input"_s;
    return std::nullopt;
}

bool isFolder(const QString& path) {
    struct stat status{};
    // By the name's own bytes, which Qt's file functions would not keep when they are no UTF-8.
    return ::stat(office::nativeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

void addInputPath(const QString& path, const std::optional<QString>& extension,
                  const std::function<bool(const QString&)>& leaveOut, QStringList& files, QStringList& problems) {
    if (!isFolder(path)) {
        files.append(office::absoluteName(path));
        return;
    }
    QStringList found =
        filelist::filesBelow(office::absoluteName(path), extension ? u"*."_s + *extension : u"*.*"_s, problems);
    if (leaveOut)
        found.removeIf(leaveOut);
    files += found;
}

int jobsOf(const SharedRequest& request) {
    return request.jobs > 0 ? request.jobs : std::min(office::LocalPresentationServer::coreCount(), MaxJobs);
}

std::optional<QString> readPasswords(const SharedRequest& request, std::shared_ptr<office::PasswordSource>& passwords) {
    const QString howToGive = u"(give it with --password-file)"_s;
    if (!request.passwordFile) {
        passwords = std::make_shared<office::PasswordList>(std::vector<office::SharedPassword>(), howToGive);
        return std::nullopt;
    }
    const QString& source = *request.passwordFile;
    QFile file;
    const bool standardInput = source == u"-";
    const QString shown = standardInput ? u"standard input"_s : QFileInfo(source).absoluteFilePath();
    if (standardInput ? !file.open(stdin, QIODevice::ReadOnly)
                      : (file.setFileName(source), !file.open(QIODevice::ReadOnly)))
        return u"%1: cannot read the password file: %2"_s.arg(shown, file.errorString());
    if (!standardInput && QFileInfo(source).isDir())
        return u"%1: cannot read the password file: it is a folder"_s.arg(shown);
    QByteArray bytes = file.readAll();
    const bool failed = file.error() != QFileDevice::NoError;
    std::vector<office::SharedPassword> list;
    for (qsizetype start = 0; !failed && start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        qsizetype length = end - start;
        if (length > 0 && bytes[end - 1] == '\r')
            --length;
        if (length > 0)
            list.push_back(std::make_shared<office::Password>(
                std::string(bytes.constData() + start, static_cast<std::size_t>(length))));
        start = end + 1;
    }
    office::wipe(bytes);
    if (failed)
        return u"%1: cannot read the password file: %2"_s.arg(shown, file.errorString());
    passwords = std::make_shared<office::PasswordList>(std::move(list), howToGive);
    return std::nullopt;
}

std::optional<QString> readFileList(const QString& source, bool nulSeparated, QStringList& paths) {
    QFile file;
    const bool standardInput = source == u"-";
    const QString shown = standardInput ? u"standard input"_s : QFileInfo(source).absoluteFilePath();
    if (standardInput ? !file.open(stdin, QIODevice::ReadOnly)
                      : (file.setFileName(source), !file.open(QIODevice::ReadOnly)))
        return u"%1: cannot read the file list: %2"_s.arg(shown, file.errorString());
    if (!standardInput && QFileInfo(source).isDir())
        return u"%1: cannot read the file list: it is a folder"_s.arg(shown);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return u"%1: cannot read the file list: %2"_s.arg(shown, file.errorString());
    const char separator = nulSeparated ? '\0' : '\n';
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf(separator, start);
        if (end < 0)
            end = bytes.size();
        QByteArrayView entry(bytes.constData() + start, end - start);
        // A list written with CR LF line ends names the same files.
        if (!nulSeparated && entry.endsWith('\r'))
            entry.chop(1);
        if (!entry.isEmpty())
            paths.append(office::nameFromNative(entry));
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace quorvane::cli
