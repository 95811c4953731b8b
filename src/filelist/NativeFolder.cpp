#include "filelist/NativeFolder.h"

#include "filelist/FolderScan.h"
#include "filelist/ListError.h"

#include "office/LocalNames.h"

#include <QStringDecoder>

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::filelist {

QByteArray nativePath(const QString& path) {
    if (path.contains(QChar(u'\0')))
        return {};
    // A folder given by a name that is no UTF-8 is reached by its own bytes.
    return office::nativeName(path);
}

std::optional<QString> decodeName(QByteArrayView raw) {
    // The decoder keeps a leading U+FEFF, so the text turns back into exactly the same bytes.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(raw);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString readableName(QByteArrayView raw) {
    static constexpr char16_t Hex[] = u"0123456789ABCDEF";
    QString text;
    for (qsizetype i = 0; i < raw.size();) {
        const int length = office::names::utf8SequenceAt(raw, i);
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

std::string reasonOf(int code) {
    return std::generic_category().message(code);
}

bool isPermissionError(int code) {
    return code == EACCES || code == EPERM;
}

void failScan(const char* what, const QString& path, int code) {
    throw ScanError(std::string(what) + " '" + path.toStdString() + "': " + reasonOf(code), code);
}

FolderReader::FolderReader(const QByteArray& path) : m_dir(::opendir(path.constData())) {
    if (!m_dir)
        m_error = errno;
}

FolderReader::~FolderReader() {
    if (m_dir)
        ::closedir(m_dir);
}

int FolderReader::readAll(std::vector<Entry>& entries) {
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(m_dir);
        if (!entry)
            return errno;
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            entries.push_back({name, entry->d_type});
    }
}

namespace {

QString lastComponent(const QString& path) {
    QStringView view(path);
    while (view.endsWith(u'/'))
        view.chop(1);
    const qsizetype slash = view.lastIndexOf(u'/');
    return view.mid(slash + 1).toString();
}

// The type bits of a file's mode as attribute values.
int typeAttributes(mode_t mode) {
    if (S_ISDIR(mode))
        return AttributeDirectory;
    if (S_ISREG(mode))
        return AttributeArchive;
    return 0;
}

} // namespace

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
            value |= typeAttributes(target.st_mode);
        }
    } else {
        const int type = typeAttributes(info.st_mode);
        value |= type != 0 ? type : AttributeSystem;
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

int attributesOf(const QString& path) {
    int error = 0;
    const int value = attributesOrFailure(path, error);
    if (value < 0)
        failScan("Cannot read the attributes of", path, error);
    return value;
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

} // namespace quorvane::filelist
