// The options for scripts that the sub-commands share: what text to read besides the slides' text
// shapes, and lists of files read from a file.
#include "cli/Commands.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace quorvane::cli {

std::optional<QString> parseInclude(const QString& list, import::TextChoice& choice) {
    const QStringList items = list.split(u',');
    for (const QString& item : items) {
        if (item == u"notes")
            choice.notes = true;
        else if (item == u"tables")
            choice.tables = true;
        else if (item == u"groups")
            choice.groups = true;
        else
            return u"--include takes a list of notes, tables and groups, separated by commas"_s;
    }
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
            paths.append(QFile::decodeName(entry.toByteArray()));
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace quorvane::cli
