#include "filelist/FolderScan.h"

#include "office/LocalNames.h"

#include "shell/Guard.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <set>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include <climits>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::filelist {

namespace {

// The bytes of a path for the system calls; empty when the text cannot name a file (embedded NUL).
QByteArray nativePath(const QString& path) {
    if (path.contains(QChar(u'\0')))
        return {};
    // A folder given by a name that is no UTF-8 is reached by its own bytes.
    return office::nativeName(path);
}

std::string reasonOf(int code) {
    return std::generic_category().message(code);
}

[[noreturn]] void fail(const char* what, const QString& path, int code) {
    throw std::runtime_error(std::string(what) + " '" + path.toStdString() + "': " + reasonOf(code));
}

// A name read from a folder as text, or nothing when its bytes are not valid UTF-8. The decoder keeps
// a leading U+FEFF, so the text turns back into exactly the same bytes.
std::optional<QString> decodeName(QByteArrayView raw) {
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(raw);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool isDotName(QByteArrayView raw) {
    return raw == "." || raw == "..";
}

// The length of the valid UTF-8 sequence that bytes start with, or 0.
int utf8Length(QByteArrayView bytes) {
    const auto at = [&bytes](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    int length = 0;
    char32_t code = 0, least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1Fu, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0Fu, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (at(i) & 0x3Fu);
    }
    return code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ? 0 : length;
}

// A name that is not valid UTF-8 as text a person can tell apart: each byte that is not part of a
// character as "\xHH".
QString readableName(QByteArrayView raw) {
    static constexpr char16_t Hex[] = u"0123456789ABCDEF";
    QString text;
    for (qsizetype i = 0; i < raw.size();) {
        const int length = utf8Length(raw.sliced(i));
        if (length == 0) {
            const auto byte = static_cast<unsigned char>(raw[i]);
            text += u"\\x"_s;
            text += QChar(Hex[byte >> 4]);
            text += QChar(Hex[byte & 0xF]);
            ++i;
        } else {
            text += QString::fromUtf8(raw.sliced(i, length));
            i += length;
        }
    }
    return text;
}

// An open folder listing; readdir's names as raw bytes, with d_type when the file system gives it.
class FolderReader {
public:
    explicit FolderReader(const QByteArray& path) : m_dir(::opendir(path.constData())) {
        if (!m_dir)
            m_error = errno;
    }
    ~FolderReader() {
        if (m_dir)
            ::closedir(m_dir);
    }
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // 0 when the folder is open, otherwise the errno of opening it.
    int openError() const { return m_error; }
    int fd() const { return ::dirfd(m_dir); }

    struct Entry {
        QByteArray name;
        unsigned char type;
    };
    // Reads every remaining entry but "." and ".."; returns the errno of a listing that failed
    // part-way (the entries read before the failure are kept), or 0.
    int readAll(std::vector<Entry>& entries) {
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(m_dir);
            if (!entry)
                return errno;
            const QByteArray name(entry->d_name);
            if (!isDotName(name))
                entries.push_back({name, entry->d_type});
        }
    }

private:
    DIR* m_dir;
    int m_error = 0;
};

// A folder's identity, so the walk enters each folder once however many links lead to it.
using FolderId = std::pair<dev_t, ino_t>;

// Raised inside the walk when this user may not list a folder; the walk absorbs it.
struct PermissionDenied {};
// Raised inside the walk when a folder cannot be listed for another reason (errno); the walk skips
// the folder and records it.
struct ListingFailed {
    int error;
};

bool isPermissionError(int code) {
    return code == EACCES || code == EPERM;
}

QString lastComponent(const QString& path) {
    QStringView view(path);
    while (view.endsWith(u'/'))
        view.chop(1);
    const qsizetype slash = view.lastIndexOf(u'/');
    return view.mid(slash + 1).toString();
}

// The immediate subfolders of folder (ending in "/") that the walk may enter, in natural order; each
// found one is recorded in known. Throws PermissionDenied when this user may not list folder (or
// examine its entries), ListingFailed when it cannot be listed otherwise.
QStringList subfoldersOf(const QString& folder, std::set<FolderId>& known, shell::EventPump& events, ScanSkips& skips) {
    FolderReader reader(nativePath(folder));
    if (const int error = reader.openError()) {
        if (isPermissionError(error))
            throw PermissionDenied{};
        throw ListingFailed{error};
    }
    std::vector<FolderReader::Entry> entries;
    const int readError = reader.readAll(entries);
    if (readError != 0 && !isPermissionError(readError))
        throw ListingFailed{readError};
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
                throw PermissionDenied{};
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
        throw PermissionDenied{};
    return found;
}

// The attribute value of path, or -1 with the errno in error when it cannot be examined.
int attributesOrFailure(const QString& path, int& error);

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
        } catch (const PermissionDenied&) {
            list.removeOne(folder);
        } catch (const ListingFailed& failure) {
            leaveOut(folder, failure.error);
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

namespace {

int attributesOrFailure(const QString& path, int& error) {
    const QByteArray native = nativePath(path);
    struct stat info{};
    if (native.isEmpty() || ::lstat(native.constData(), &info) != 0) {
        error = native.isEmpty() ? ENOENT : errno;
        return -1;
    }
    int value = 0;
    // The permission bits that count: those of the file itself, or of what a link names.
    mode_t mode = info.st_mode;
    if (S_ISLNK(info.st_mode)) {
        value |= AttributeAlias;
        struct stat target{};
        // A dangling link is an alias and nothing more.
        if (::stat(native.constData(), &target) == 0) {
            mode = target.st_mode;
            if (S_ISDIR(target.st_mode))
                value |= AttributeDirectory;
            else if (S_ISREG(target.st_mode))
                value |= AttributeArchive;
        }
    } else if (S_ISDIR(info.st_mode)) {
        value |= AttributeDirectory;
    } else if (S_ISREG(info.st_mode)) {
        value |= AttributeArchive;
    } else {
        value |= AttributeSystem;
    }
    const QString name = lastComponent(path);
    if (name.startsWith(u'.') && name != u"." && name != u"..")
        value |= AttributeHidden;
    // Read-only is a property of the file, not of who looks: no write permission for its owner. (Who
    // may write decides nothing, or a lock file in someone else's folder would count as read-only and
    // escape the rule that skips hidden files.)
    if ((mode & S_IWUSR) == 0)
        value |= AttributeReadOnly;
    return value;
}

} // namespace

int attributesOf(const QString& path) {
    int error = 0;
    const int value = attributesOrFailure(path, error);
    if (value < 0)
        fail("Cannot read the attributes of", path, error);
    return value;
}

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

bool HasUnsafeChar(QByteArrayView name) {
    const std::optional<QString> text = decodeName(name);
    return !text || HasUnsafeChar(*text);
}

bool HasUnsafeChar(const QString& name) {
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == u'?')
            return true;
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && QChar::isLowSurrogate(name.at(i + 1).unicode())) {
            ++i;
            continue;
        }
        if (QChar::isSurrogate(c))
            return true;
    }
    return false;
}

namespace {

// "*" and "?" over code points; both sides arrive case-folded.
bool globMatch(const QList<uint>& name, const QList<uint>& pattern) {
    qsizetype n = 0, p = 0;
    qsizetype starAt = -1, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || (pattern[p] != u'*' && pattern[p] == name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt >= 0) {
            // Let the last star take one more character and try again from there.
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool matchesWildcard(const QString& name, const QString& pattern) {
    const QList<uint> foldedName = name.toCaseFolded().toUcs4();
    const QString foldedPattern = pattern.toCaseFolded();
    if (globMatch(foldedName, foldedPattern.toUcs4()))
        return true;
    // "name.*" also stands for the bare name, the way "*.*" stands for every name.
    return foldedPattern.endsWith(u".*") && globMatch(foldedName, foldedPattern.chopped(2).toUcs4());
}

int naturalCompare(const QString& a, const QString& b) {
    const QString x = a.toCaseFolded();
    const QString y = b.toCaseFolded();
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    qsizetype i = 0, j = 0;
    while (i < x.size() && j < y.size()) {
        if (isDigit(x[i]) && isDigit(y[j])) {
            // Compare the digit runs as numbers: without leading zeros, the longer run is larger.
            qsizetype endX = i, endY = j;
            while (endX < x.size() && isDigit(x[endX]))
                ++endX;
            while (endY < y.size() && isDigit(y[endY]))
                ++endY;
            qsizetype startX = i, startY = j;
            while (startX < endX && x[startX] == u'0')
                ++startX;
            while (startY < endY && y[startY] == u'0')
                ++startY;
            if (endX - startX != endY - startY)
                return endX - startX < endY - startY ? -1 : 1;
            const int digits =
                QStringView(x).sliced(startX, endX - startX).compare(QStringView(y).sliced(startY, endY - startY));
            if (digits != 0)
                return digits;
            i = endX;
            j = endY;
            continue;
        }
        if (x[i] != y[j])
            return x[i].unicode() < y[j].unicode() ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < x.size() || j < y.size())
        return i < x.size() ? 1 : -1;
    const int exact = QString::compare(a, b);
    return exact < 0 ? -1 : (exact > 0 ? 1 : 0);
}

bool FileIsPresent(const QString& path) {
    const QByteArray native = nativePath(path);
    if (native.isEmpty())
        return false;
    // The type first: opening a FIFO for reading would wait for a writer, and a device is no file.
    struct stat info{};
    if (::stat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // Non-blocking all the same, should the path have been swapped for a FIFO since the look.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular;
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
        fail("Cannot list the folder", folder, error);
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
                fail("Cannot list the folder", path, error);
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
