#include "filelist/FolderScan.h"

#include "filelist/ListError.h"
#include "filelist/NativeFolder.h"

#include "shell/Guard.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>
#include <vector>

#include <climits>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace quorvane::filelist {

namespace {

// The immediate subfolders of folder (ending in "/") that the walk may enter, in natural order; each
// found one is recorded in known. Throws ScanError when folder cannot be listed, or (permission) when
// this user may not examine its entries.
QStringList subfoldersOf(const QString& folder, std::set<FolderId>& known, shell::EventPump& events, ScanSkips& skips) {
    FolderReader reader(nativePath(folder));
    if (const int error = reader.openError())
        failScan("Cannot list the folder", folder, error);
    std::vector<FolderReader::Entry> entries;
    const int readError = reader.readAll(entries);
    if (readError != 0 && !isPermissionError(readError))
        failScan("Cannot list the folder", folder, readError);
    std::sort(entries.begin(), entries.end(), [](const FolderReader::Entry& a, const FolderReader::Entry& b) {
        return naturalCompare(QString::fromUtf8(a.name), QString::fromUtf8(b.name)) < 0;
    });

    QStringList found;
    for (const FolderReader::Entry& entry : entries) {
        // Plain files need no look; links and unknown types are followed to see what they name.
        if (entry.type != DT_DIR && entry.type != DT_LNK && entry.type != DT_UNKNOWN)
            continue;
        struct stat info{};
        if (::fstatat(reader.fd(), entry.name.constData(), &info, 0) != 0) {
            if (isPermissionError(errno))
                failScan("Cannot examine an entry of the folder", folder, errno);
            continue; // a dangling link or an entry gone meanwhile is no folder
        }
        if (!S_ISDIR(info.st_mode))
            continue;
        events.yield();
        if (!decodeName(entry.name)) {
            skips.skipUnreadableName(folder, entry.name, true);
            continue;
        }
        if (HasUnsafeChar(QByteArrayView(entry.name)))
            continue;
        if (!known.insert({info.st_dev, info.st_ino}).second)
            continue; // entered already: a link back up the tree, or a second way to the same folder
        found.append(folder + *decodeName(entry.name) + u'/');
    }
    if (isPermissionError(readError))
        failScan("Cannot list the folder", folder, readError);
    return found;
}

void collect(QStringList& list, bool recursive, shell::EventPump& events, std::set<FolderId>& known, ScanSkips& skips) {
    QStringList found;
    const QStringList folders = list; // list loses entries on the way; the walk goes through all of them
    // A folder that cannot be walked leaves list (its first equal entry) with everything below it; only
    // one this user may not read is left out without a word.
    auto leaveOut = [&](const QString& folder, int error) {
        list.removeOne(folder);
        if (!isPermissionError(error))
            skips.skipFolder(folder, QString::fromStdString(reasonOf(error)));
    };
    for (const QString& folder : folders) {
        struct stat info{};
        const QByteArray native = nativePath(folder);
        int error = 0;
        if (native.isEmpty())
            error = ENOENT;
        else if (::stat(native.constData(), &info) != 0)
            error = errno; // a folder inside one this user may not search cannot be listed either
        else if (!S_ISDIR(info.st_mode))
            error = ENOTDIR;
        if (error != 0) {
            leaveOut(folder, error);
            continue;
        }
        known.insert({info.st_dev, info.st_ino});
        events.yield();
        const int attributes = attributesOrFailure(folder, error);
        if (attributes < 0) {
            leaveOut(folder, error);
            continue;
        }
        if (isSkippedFolder(folder, attributes))
            continue;
        try {
            found += subfoldersOf(folder, known, events, skips);
        } catch (const ScanError& failure) {
            leaveOut(folder, failure.code());
        }
    }
    if (recursive && !found.isEmpty())
        collect(found, true, events, known, skips);
    for (const QString& folder : std::as_const(found)) {
        events.yield();
        int error = 0;
        const int attributes = attributesOrFailure(folder, error);
        if (attributes < 0) {
            if (!isPermissionError(error))
                skips.skipFolder(folder, QString::fromStdString(reasonOf(error)));
            continue;
        }
        if (!isSkippedFolder(folder, attributes))
            list.append(folder);
    }
}

// The names (no folder part) of the files in the folder prefix (ending in "/") that match pattern and
// pass FileIsPresent, in natural order; nothing, with the errno in error, when it cannot be listed.
// With skips, the matching files that cannot be listed are recorded there: a name that is not valid
// UTF-8 (matched as far as it reads), a full path longer than the system takes. Names that the
// scan leaves out anyway ("~" and "." ones) are not.
QStringList listMatching(const QString& prefix, const QString& pattern, int& error, ScanSkips* skips = nullptr) {
    FolderReader reader(nativePath(prefix));
    error = reader.openError();
    if (error != 0)
        return {};
    std::vector<FolderReader::Entry> entries;
    error = reader.readAll(entries);
    if (error != 0)
        return {};
    const qsizetype prefixBytes = nativePath(prefix).size();
    // A file this scan cannot add, though it is one: a regular file as seen from the folder itself.
    const auto isFileHere = [&reader](const QByteArray& name) {
        struct stat info{};
        return ::fstatat(reader.fd(), name.constData(), &info, 0) == 0 && S_ISREG(info.st_mode);
    };
    const auto leftOutAnyway = [](QByteArrayView name) { return name.startsWith('~') || name.startsWith('.'); };
    QStringList names;
    for (const FolderReader::Entry& entry : entries) {
        if (entry.type == DT_DIR)
            continue;
        // A name whose bytes are not text could not be written into the list as a usable path.
        const std::optional<QString> name = decodeName(entry.name);
        if (!name) {
            if (skips && !leftOutAnyway(entry.name) && matchesWildcard(QString::fromUtf8(entry.name), pattern) &&
                isFileHere(entry.name))
                skips->skipUnreadableName(prefix, entry.name, false);
            continue;
        }
        if (!matchesWildcard(*name, pattern))
            continue;
        // Nor could a path that the system will not open.
        if (prefixBytes + entry.name.size() >= PATH_MAX) {
            if (skips && !leftOutAnyway(entry.name) && isFileHere(entry.name))
                skips->skipLongPath(prefix + *name);
            continue;
        }
        if (FileIsPresent(prefix + *name))
            names.append(*name);
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return naturalCompare(a, b) < 0; });
    return names;
}

// The guard's statements, or plain calls when there is no guard.
template <class Statement> void run(shell::Guard* guard, int line, Statement&& statement) {
    if (guard)
        guard->run(line, std::forward<Statement>(statement));
    else
        statement();
}

template <class Condition> bool test(shell::Guard* guard, int line, Condition&& condition) {
    return guard ? guard->test(line, std::forward<Condition>(condition)) : static_cast<bool>(condition());
}

template <class T, class Value> void assign(shell::Guard* guard, int line, T& variable, Value&& value) {
    if (guard)
        guard->assign(line, variable, std::forward<Value>(value));
    else
        variable = value();
}

} // namespace

bool isRootFolder(const QString& path) {
    return !path.isEmpty() && std::all_of(path.cbegin(), path.cend(), [](QChar c) { return c == u'/'; });
}

bool isSkippedFolder(const QString& path, int attributes) {
    constexpr int HiddenSystemFolder = AttributeDirectory | AttributeSystem | AttributeHidden;
    return !isRootFolder(path) &&
           (attributes == HiddenSystemFolder || attributes == (HiddenSystemFolder | AttributeAlias));
}

QString PickFolder(shell::Dialogs& dialogs, const QString& prompt) {
    return dialogs.pickFolder(prompt);
}

QStringList ListMatchingFiles(const QString& folder, const QString& pattern) {
    QString prefix = folder;
    if (!prefix.endsWith(u'/'))
        prefix += u'/';
    int error = 0;
    QStringList names = listMatching(prefix, pattern, error);
    if (error == ENOENT || error == ENOTDIR)
        return {};
    if (error != 0)
        failScan("Cannot list the folder", folder, error);
    return names;
}

void CollectSubfolders(QStringList& list, bool recursive, shell::EventPump& events, ScanSkips& skips) {
    // The starting folders count as entered, so a starting folder below another is walked once.
    std::set<FolderId> known;
    for (const QString& folder : std::as_const(list)) {
        struct stat info{};
        if (::stat(nativePath(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode))
            known.insert({info.st_dev, info.st_ino});
    }
    collect(list, recursive, events, known, skips);
}

void AppendFolderFiles(const QStringList& folders, const QString& pattern, FileList& fileList, shell::Guard* guard,
                       ScanSkips* skips) {
    for (const QString& folder : folders) {
        QString path;
        assign(guard, 118, path, [&] { return folder.left(folder.size() - 1); });
        // A folder that cannot be listed is skipped, never scanned with the names of the one before.
        QStringList names;
        assign(guard, 120, names, [&] {
            if (!skips)
                return ListMatchingFiles(path, pattern);
            int error = 0;
            QStringList listed = listMatching(path + u'/', pattern, error, skips);
            if (isPermissionError(error))
                failScan("Cannot list the folder", path, error);
            if (error != 0)
                skips->skipFolder(folder, QString::fromStdString(reasonOf(error)));
            return listed;
        });
        for (const QString& name : std::as_const(names)) {
            if (test(guard, 124, [&] { return name.startsWith(u'~'); }))
                continue;
            QString file;
            assign(guard, 126, file, [&] { return path + u'/' + name; });
            constexpr int HiddenFile = AttributeHidden | AttributeArchive;
            if (test(guard, 128, [&] { return FileIsPresent(file); }) &&
                test(guard, 128, [&] { return attributesOf(file) != HiddenFile; }))
                run(guard, 128, [&] { fileList.Add(QString(file).replace(u"//"_s, u"/"_s)); });
        }
    }
}

void ScanSkips::Kind::add(const QString& path, const QString& reason) {
    if (count++ == 0) {
        firstPath = path;
        firstReason = reason;
    }
}

void ScanSkips::skipFolder(const QString& path, const QString& reason) {
    m_folders.add(path, reason);
}

void ScanSkips::skipUnreadableName(const QString& folder, QByteArrayView name, bool isFolder) {
    m_names.add(folder + readableName(name) + (isFolder ? u"/"_s : QString()));
}

void ScanSkips::skipLongPath(const QString& path) {
    m_longPaths.add(path);
}

QString ScanSkips::description() const {
    QStringList sentences;
    const auto quoted = [](const QString& path) { return u"'%1'"_s.arg(shortenedPath(path, 200)); };
    if (m_folders.count == 1)
        sentences.append(u"A folder was left out of the scan with everything below it: %1: %2."_s.arg(
            quoted(m_folders.firstPath), m_folders.firstReason));
    else if (m_folders.count > 1)
        sentences.append(u"%1 folders were left out of the scan with everything below them; the first: %2: %3."_s.arg(
            QString::number(m_folders.count), quoted(m_folders.firstPath), m_folders.firstReason));
    if (m_names.count == 1)
        sentences.append(u"A file or folder whose name is not valid UTF-8 was left out of the scan: %1."_s.arg(
            quoted(m_names.firstPath)));
    else if (m_names.count > 1)
        sentences.append(
            u"%1 files or folders whose names are not valid UTF-8 were left out of the scan; the first: %2."_s.arg(
                QString::number(m_names.count), quoted(m_names.firstPath)));
    const QString limit = QString::number(PATH_MAX - 1).insert(1, u',');
    if (m_longPaths.count == 1)
        sentences.append(
            u"A file whose full path is longer than the system allows (%1 bytes) was left out of the scan: %2."_s.arg(
                limit, quoted(m_longPaths.firstPath)));
    else if (m_longPaths.count > 1)
        sentences.append(u"%1 files whose full paths are longer than the system allows (%2 bytes) were left out of "
                         u"the scan; the first: %3."_s.arg(QString::number(m_longPaths.count), limit,
                                                           quoted(m_longPaths.firstPath)));
    return sentences.join(u' ');
}

QString shortenedPath(const QString& path, qsizetype limit) {
    if (path.size() <= limit)
        return path;
    // The start and the end tell where a path lies and what it is; the middle goes.
    qsizetype head = (limit - 1) / 2;
    qsizetype tail = limit - 1 - head;
    if (head > 0 && path.at(head - 1).isHighSurrogate())
        --head;
    if (tail > 0 && path.at(path.size() - tail).isLowSurrogate())
        --tail;
    return path.left(head) + u'…' + path.right(tail);
}

} // namespace quorvane::filelist
