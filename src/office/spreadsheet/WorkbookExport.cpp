#include "office/spreadsheet/WorkbookExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

bool isHexDigit(char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

std::runtime_error saveError(const QString& path, const QString& reason) {
    return std::runtime_error((u"%1: the workbook could not be saved: %2"_s.arg(path, reason)).toStdString());
}

QString libraryError(lxw_error error) {
    return QString::fromUtf8(lxw_strerror(error));
}

QString reasonOf(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A failure inside a save, without the file: the public functions name the file and what was saved.
struct Problem {
    QString reason;
};

[[noreturn]] void failWith(int error) {
    throw Problem{reasonOf(error)};
}

void stopIfAsked(const SaveOptions& options) {
    if (options.stop && options.stop->load(std::memory_order_relaxed))
        throw SaveStopped("the save was stopped");
}

// Closes a descriptor when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// A folder of this user's alone (mode 0700, made with mkdtemp, so nobody else can add, swap or read
// an entry in it), removed when the object goes, with the one file that may be left in it.
class PrivateFolder {
public:
    PrivateFolder(const QByteArray& parent, const QByteArray& prefix) {
        QByteArray pattern = parent + (parent.endsWith('/') ? "" : "/") + prefix + "XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            failWith(errno);
        m_path = pattern;
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder() {
        if (!m_file.isEmpty())
            ::unlink(m_file.constData());
        if (::rmdir(m_path.constData()) != 0)
            QDir(QFile::decodeName(m_path)).removeRecursively();
    }
    const QByteArray& path() const { return m_path; }
    // The file in the folder to remove with it, unless it has been moved away (empty).
    void setFile(const QByteArray& file) { m_file = file; }

private:
    QByteArray m_path;
    QByteArray m_file;
};

// The text a symbolic link holds, for messages.
QString linkText(const QByteArray& link) {
    QByteArray text(4096, '\0');
    const ssize_t length = ::readlink(link.constData(), text.data(), static_cast<size_t>(text.size()));
    return length < 0 ? QString() : QFile::decodeName(text.left(length));
}

// The file a save replaces or creates: path itself, or the file a link at path leads to. Throws
// Problem when that is no regular file, or when the link leads nowhere.
QByteArray targetOf(const QString& path) {
    const QByteArray native = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    struct stat info{};
    if (::lstat(native.constData(), &info) != 0) {
        if (errno == ENOENT)
            return native; // a new file
        failWith(errno);
    }
    QByteArray target = native;
    if (S_ISLNK(info.st_mode)) {
        char* resolved = ::realpath(native.constData(), nullptr);
        if (resolved == nullptr) {
            const int error = errno;
            if (error == ENOENT)
                throw Problem{u"it is a link to \"%1\", which does not exist"_s.arg(linkText(native))};
            failWith(error);
        }
        target = resolved;
        std::free(resolved);
        if (::stat(target.constData(), &info) != 0)
            failWith(errno);
    }
    if (S_ISDIR(info.st_mode))
        throw Problem{u"it is a folder"_s};
    if (!S_ISREG(info.st_mode))
        throw Problem{u"it is not a regular file"_s};
    return target;
}

// The way a save reaches its target: the new file is written in a private folder made next to the
// target, then renamed over it in one step.
class Replacement {
public:
    explicit Replacement(const QString& path) : m_target(targetOf(path)) {
        const qsizetype slash = m_target.lastIndexOf('/');
        const QByteArray folder = slash == 0 ? QByteArray("/") : m_target.left(slash);
        const QByteArray name = m_target.mid(slash + 1);
        // A hidden folder that says whose partial file it holds, if a crash should leave it.
        m_folder.emplace(folder, "." + QFile::encodeName(QFile::decodeName(name).left(40)) + ".");
        m_partial = m_folder->path() + '/' + name;
        m_folder->setFile(m_partial);
    }
    // The partial file's path, inside the private folder.
    const QByteArray& partial() const { return m_partial; }
    // Creates the partial file for writing and returns its descriptor.
    int create() const {
        const int fd = ::open(m_partial.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            failWith(errno);
        return fd;
    }
    // Makes the partial file, open at fd, the target: on the disk, with the permissions of the file
    // it replaces (or those of a new file), renamed over it.
    void commit(int fd) {
        // A full disk or a failing device may only show here.
        if (::fsync(fd) != 0)
            failWith(errno);
        struct stat existing{};
        mode_t mode = 0;
        if (::stat(m_target.constData(), &existing) == 0) {
            mode = existing.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        if (::fchmod(fd, mode) != 0)
            failWith(errno);
        if (::rename(m_partial.constData(), m_target.constData()) != 0)
            failWith(errno);
        m_folder->setFile({});
    }

private:
    QByteArray m_target;
    std::optional<PrivateFolder> m_folder;
    QByteArray m_partial;
};

// Writes all of data to fd. Throws Problem with the reason.
void writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            failWith(errno);
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
}

// One temporary file for the cell data of every sheet, one region after the other. In its
// constant-memory mode the library keeps a temporary file open per sheet until the workbook is
// packed, which a workbook of many sheets cannot afford (the open files of a process are commonly
// limited to 1,024); here each sheet writes its rows through a stream of its own into this one file
// instead, and the library reads them back from that stream when it packs the sheet. The library
// ignores failed writes to its temporary files; these streams record them, so they fail the save.
class SheetSpool {
public:
    explicit SheetSpool(const QByteArray& folder) {
        m_fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
            // A file system without unnamed files: a named one, removed at once.
            QByteArray pattern = folder + "/sheets-XXXXXX";
            m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
            if (m_fd >= 0)
                ::unlink(pattern.constData());
        }
        if (m_fd < 0)
            failWith(errno);
    }
    SheetSpool(const SheetSpool&) = delete;
    SheetSpool& operator=(const SheetSpool&) = delete;
    ~SheetSpool() {
        // The library closes the stream of a sheet it packs, but not that of an empty sheet, nor any
        // when the save failed before packing.
        for (Region& region : m_regions)
            if (region.stream)
                std::fclose(region.stream);
        ::close(m_fd);
    }

    // Gives sheet, just added in constant-memory mode, a region of its own at the end of the file in
    // place of the temporary file the library opened for it. A sheet not set up as expected keeps
    // the library's file.
    void adopt(lxw_worksheet* sheet) {
        m_sizes.push_back(0);
        if (sheet->optimize_tmpfile == nullptr || sheet->file != sheet->optimize_tmpfile)
            return;
        Region& region = m_regions.emplace_back();
        region.spool = this;
        region.start = m_end;
        region.sheet = m_sizes.size() - 1;
        const cookie_io_functions_t io{readRegion, writeRegion, seekRegion, closeRegion};
        std::FILE* stream = ::fopencookie(&region, "w+", io);
        if (stream == nullptr)
            failWith(errno);
        // Written through a buffer that each sheet has in turn while its rows are written.
        std::setvbuf(stream, m_writeBuffer.data(), _IOFBF, m_writeBuffer.size());
        region.stream = stream;
        std::fclose(sheet->optimize_tmpfile);
        sheet->optimize_tmpfile = stream;
        sheet->file = stream;
    }
    // After the last row of sheet: that row goes out now, so that the next sheet's region follows
    // this one's.
    void finish(lxw_worksheet* sheet) {
        if (sheet->optimize_row)
            lxw_worksheet_write_single_row(sheet);
        if (sheet->file)
            std::fflush(sheet->file);
        // The row's cells, kept in an array as wide as a sheet (128 KiB) that the library holds for
        // every sheet until it packs the workbook; with the last row written it is empty for good.
        if (sheet->optimize && sheet->array) {
            std::free(sheet->array);
            sheet->array = nullptr;
        }
        // From here on the stream only reads, through one buffer that every finished sheet shares:
        // a buffer of its own would stay with each sheet until the library packs it. The library
        // reads the sheets one after the other, each to its end, and closes it before the next.
        if (!m_regions.empty() && m_regions.back().stream == sheet->file)
            std::setvbuf(sheet->file, m_readBuffer.data(), _IOFBF, m_readBuffer.size());
    }
    // The errno of the first write or read that failed, or 0.
    int error() const { return m_error; }
    // The bytes of cell data written for each sheet, in the order they were adopted.
    const std::vector<std::int64_t>& sizes() const { return m_sizes; }

private:
    struct Region {
        SheetSpool* spool = nullptr;
        std::size_t sheet = 0;
        off64_t start = 0, size = 0, position = 0;
        std::FILE* stream = nullptr;
    };

    void failed(int error) {
        if (m_error == 0)
            m_error = error;
    }

    static ssize_t writeRegion(void* cookie, const char* data, size_t size) {
        Region& region = *static_cast<Region*>(cookie);
        SheetSpool& spool = *region.spool;
        // Only the last region can grow; the sheets are written one after the other.
        if (region.start + region.size != spool.m_end && region.position + static_cast<off64_t>(size) > region.size) {
            spool.failed(EIO);
            return 0;
        }
        for (size_t done = 0; done < size;) {
            const ssize_t written = ::pwrite64(spool.m_fd, data + done, size - done,
                                               region.start + region.position + static_cast<off64_t>(done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                spool.failed(written < 0 ? errno : EIO);
                return 0;
            }
            done += static_cast<size_t>(written);
        }
        region.position += static_cast<off64_t>(size);
        if (region.position > region.size) {
            spool.m_end += region.position - region.size;
            region.size = region.position;
            spool.m_sizes[region.sheet] = region.size;
        }
        return static_cast<ssize_t>(size);
    }
    static ssize_t readRegion(void* cookie, char* data, size_t size) {
        Region& region = *static_cast<Region*>(cookie);
        const auto wanted =
            static_cast<size_t>(std::min<off64_t>(static_cast<off64_t>(size), region.size - region.position));
        for (;;) {
            const ssize_t got = ::pread64(region.spool->m_fd, data, wanted, region.start + region.position);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                region.spool->failed(errno);
                return -1;
            }
            region.position += got;
            return got;
        }
    }
    static int seekRegion(void* cookie, off64_t* offset, int whence) {
        Region& region = *static_cast<Region*>(cookie);
        const off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? region.position : region.size;
        const off64_t position = base + *offset;
        if (position < 0 || position > region.size) {
            errno = EINVAL;
            return -1;
        }
        region.position = *offset = position;
        return 0;
    }
    static int closeRegion(void* cookie) {
        static_cast<Region*>(cookie)->stream = nullptr;
        return 0;
    }

    int m_fd = -1;
    off64_t m_end = 0;
    int m_error = 0;
    std::deque<Region> m_regions; // the streams point at their region: it must never move
    std::vector<std::int64_t> m_sizes;
    std::vector<char> m_writeBuffer = std::vector<char>(std::size_t{1} << 16);
    std::vector<char> m_readBuffer = std::vector<char>(std::size_t{1} << 16);
};

// The name of the root element of an XML text that starts with head.
std::string_view rootElement(std::string_view head) {
    std::size_t at = 0;
    if (head.substr(0, 5) == "<?xml") {
        at = head.find("?>");
        if (at == std::string_view::npos)
            return {};
        at += 2;
    }
    at = head.find('<', at);
    if (at == std::string_view::npos)
        return {};
    const std::size_t end = head.find_first_of(" \t\r\n/>", at + 1);
    return end == std::string_view::npos ? std::string_view() : head.substr(at + 1, end - at - 1);
}

// Whether an XML part holding size bytes that start with head and end with tail is whole: it ends
// with the end tag of its root element (or is that element alone, empty).
bool xmlPartIsWhole(std::string_view head, std::string_view tail, std::int64_t size) {
    const std::string_view root = rootElement(head);
    if (root.empty())
        return false;
    while (!tail.empty() && std::string_view(" \t\r\n").find(tail.back()) != std::string_view::npos)
        tail.remove_suffix(1);
    const std::string end = "</" + std::string(root) + ">";
    if (tail.size() >= end.size() && tail.substr(tail.size() - end.size()) == end)
        return true;
    return size <= static_cast<std::int64_t>(head.size()) && tail.ends_with("/>") &&
           std::count(head.begin(), head.end(), '<') == (head.substr(0, 5) == "<?xml" ? 2 : 1);
}

QString zipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

// Reads the package at fd back and checks that every part of it is whole: each one inflates with the
// right checksum, each XML part ends with the end tag of its root element, and each sheet has its
// part, holding at least the cell data written for it (sheetData, in sheet order). Throws Problem
// naming the first part that is not.
void checkPackage(int fd, const std::vector<QString>& sheetNames, const std::vector<std::int64_t>& sheetData,
                  const QString& temporaryFolder) {
    const auto incomplete = [&](const QString& part) {
        return Problem{u"the file written came out incomplete: its part %1 is cut short; is the temporary "
                       u"folder %2 or the output's folder full?"_s.arg(part, temporaryFolder)};
    };
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        failWith(errno);
    int code = 0;
    zip_t* archive = zip_fdopen(copy, ZIP_CHECKCONS, &code);
    if (archive == nullptr) {
        ::close(copy);
        throw Problem{u"the file written cannot be read back: %1"_s.arg(zipErrorText(code))};
    }
    struct Discard {
        zip_t* archive;
        ~Discard() { zip_discard(archive); }
    } discard{archive};

    std::vector<bool> seen(sheetNames.size(), false);
    std::vector<char> buffer(1 << 16);
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const QString name = QString::fromUtf8(zip_get_name(archive, index, 0));
        zip_file_t* file = zip_fopen_index(archive, index, 0);
        if (file == nullptr)
            throw Problem{
                u"the file written cannot be read back: %1: %2"_s.arg(name, QString::fromUtf8(zip_strerror(archive)))};
        std::string head, tail;
        std::int64_t size = 0;
        for (;;) {
            const zip_int64_t got = zip_fread(file, buffer.data(), buffer.size());
            if (got < 0) {
                const QString reason = QString::fromUtf8(zip_file_strerror(file));
                zip_fclose(file);
                throw Problem{u"the file written is damaged: %1: %2"_s.arg(name, reason)};
            }
            if (got == 0)
                break;
            const std::string_view chunk(buffer.data(), static_cast<std::size_t>(got));
            if (head.size() < 512)
                head += chunk.substr(0, 512 - head.size());
            tail += chunk.substr(chunk.size() > 64 ? chunk.size() - 64 : 0);
            if (tail.size() > 64)
                tail.erase(0, tail.size() - 64);
            size += got;
        }
        zip_fclose(file);
        // A sheet's part is named with its sheet, and holds at least the cell data written for it.
        QString label = name;
        std::int64_t least = 0;
        static const QString SheetPart = u"xl/worksheets/sheet"_s;
        if (name.startsWith(SheetPart) && name.endsWith(u".xml"_s)) {
            bool isNumber = false;
            const qsizetype number =
                name.mid(SheetPart.size(), name.size() - SheetPart.size() - 4).toLongLong(&isNumber);
            if (isNumber && number >= 1 && number <= static_cast<qsizetype>(seen.size())) {
                const auto sheet = static_cast<std::size_t>(number - 1);
                seen[sheet] = true;
                label = u"%1 (the sheet \"%2\")"_s.arg(name, sheetNames[sheet]);
                least = sheet < sheetData.size() ? sheetData[sheet] : 0;
            }
        }
        if (size < least ||
            ((name.endsWith(u".xml"_s) || name.endsWith(u".rels"_s)) && !xmlPartIsWhole(head, tail, size)))
            throw incomplete(label);
    }
    for (std::size_t sheet = 0; sheet < seen.size(); ++sheet)
        if (!seen[sheet])
            throw Problem{u"the file written has no part for the sheet \"%1\""_s.arg(sheetNames[sheet])};
}

} // namespace

void xlsxCellText(std::string_view text, std::string& out) {
    out.clear();
    static constexpr std::string_view Replacement = "\xEF\xBF\xBD";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\0') {
            out += Replacement;
        } else if (ch == '\xEF' && i + 2 < text.size() && text[i + 1] == '\xBF' &&
                   (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
            out += Replacement; // U+FFFE, U+FFFF are not characters of XML
            i += 2;
        } else if (ch == '_' && i + 6 < text.size() && text[i + 1] == 'x' && isHexDigit(text[i + 2]) &&
                   isHexDigit(text[i + 3]) && isHexDigit(text[i + 4]) && isHexDigit(text[i + 5]) &&
                   text[i + 6] == '_') {
            // Readers decode "_xHHHH_" as one character; its underscore, escaped, keeps the text as written.
            out += "_x005F";
            out += ch;
        } else {
            out += ch;
        }
    }
}

namespace {

// Frees a workbook of the library that was not closed (a save that failed or was stopped).
struct BookGuard {
    lxw_workbook* book;
    ~BookGuard() {
        if (book)
            lxw_workbook_free(book);
    }
};

// Writes the sheets of workbook with the library, reading what it wrote back before replacing the
// target. Throws Problem or SaveStopped.
void writeXlsx(const Workbook& workbook, const QString& path, const SaveOptions& options) {
    Replacement replacement(path);
    const QString temporaryFolder = options.temporaryFolder.isEmpty() ? QDir::tempPath() : options.temporaryFolder;
    // The library's working files and the sheets' cell data go to a private folder of this save's own.
    std::optional<PrivateFolder> work;
    std::optional<SheetSpool> spool;
    try {
        work.emplace(QFile::encodeName(temporaryFolder), "quorvane-");
        spool.emplace(work->path());
    } catch (const Problem& problem) {
        throw Problem{
            u"no working file can be made in the temporary folder %1: %2"_s.arg(temporaryFolder, problem.reason)};
    }

    std::size_t textBytes = 0;
    for (int i = 0; i < workbook.sheetCount(); ++i) {
        const CellRect used = workbook.sheet(i).usedRange();
        textBytes += static_cast<std::size_t>(used.rows * used.columns) * 16;
    }
    QByteArray tmpdir = work->path();
    lxw_workbook_options settings{};
    // Rows are written in order, so the library need not hold a sheet in memory.
    settings.constant_memory = LXW_TRUE;
    settings.tmpdir = tmpdir.data();
    settings.use_zip64 = textBytes > (std::size_t{1} << 31) ? LXW_TRUE : LXW_FALSE;
    BookGuard book{workbook_new_opt(replacement.partial().constData(), &settings)};
    if (!book.book)
        throw Problem{u"the writer could not start (out of memory)"_s};

    std::vector<QString> names;
    std::string buffer;
    for (int i = 0; i < workbook.sheetCount(); ++i) {
        const Worksheet& sheet = workbook.sheet(i);
        names.push_back(sheet.name());
        const QByteArray name = sheet.name().toUtf8();
        if (const lxw_error check = workbook_validate_sheet_name(book.book, name.constData()); check != LXW_NO_ERROR)
            throw Problem{u"sheet \"%1\": %2"_s.arg(sheet.name(), libraryError(check))};
        lxw_worksheet* out = workbook_add_worksheet(book.book, name.constData());
        if (!out)
            throw Problem{u"sheet \"%1\" could not be added"_s.arg(sheet.name())};
        spool->adopt(out);
        const CellRect used = sheet.usedRange();
        for (std::int64_t r = used.row; r < used.bottom(); ++r) {
            if ((r & 1023) == 0)
                stopIfAsked(options);
            for (std::int64_t c = used.column; c < used.right(); ++c) {
                const CellView cell = sheet.cell(r, c);
                if (cell.text.empty())
                    continue;
                lxw_error error;
                const auto row = static_cast<lxw_row_t>(r);
                const auto column = static_cast<lxw_col_t>(c);
                double value = 0;
                if (cell.number &&
                    std::from_chars(cell.text.data(), cell.text.data() + cell.text.size(), value).ec == std::errc{}) {
                    error = worksheet_write_number(out, row, column, value, nullptr);
                } else {
                    xlsxCellText(cell.text, buffer);
                    error = worksheet_write_string(out, row, column, buffer.c_str(), nullptr);
                }
                if (error != LXW_NO_ERROR)
                    throw Problem{
                        u"sheet \"%1\", cell %2: %3"_s.arg(sheet.name(), cellName(r, c), libraryError(error))};
            }
        }
        spool->finish(out);
        if (spool->error() != 0)
            break;
    }
    const auto spoolFailure = [&] {
        return Problem{u"cannot write the working file in the temporary folder %1: %2"_s.arg(temporaryFolder,
                                                                                             reasonOf(spool->error()))};
    };
    if (spool->error() != 0)
        throw spoolFailure();
    stopIfAsked(options);
    // workbook_close writes the package and frees the workbook, whatever it answers.
    const lxw_error closed = workbook_close(book.book);
    book.book = nullptr;
    if (closed != LXW_NO_ERROR)
        throw Problem{libraryError(closed)};
    if (spool->error() != 0)
        throw spoolFailure();
    stopIfAsked(options);

    const Descriptor written(::open(replacement.partial().constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (written.get() < 0)
        failWith(errno);
    checkPackage(written.get(), names, spool->sizes(), temporaryFolder);
    stopIfAsked(options);
    replacement.commit(written.get());
}

} // namespace

QString saveTargetProblem(const QString& path) {
    try {
        targetOf(path);
    } catch (const Problem& problem) {
        return problem.reason;
    }
    return {};
}

void saveWorkbookXlsx(const Workbook& workbook, const QString& path, const SaveOptions& options) {
    // Names are checked here as the spreadsheet checks them: the library's own checks are looser.
    std::vector<QString> names;
    for (int i = 0; i < workbook.sheetCount(); ++i) {
        const QString problem = sheetNameProblem(workbook.sheet(i).name(), names);
        if (!problem.isEmpty())
            throw saveError(path, problem);
        names.push_back(workbook.sheet(i).name());
    }
    try {
        writeXlsx(workbook, path, options);
    } catch (const Problem& problem) {
        throw saveError(path, problem.reason);
    } catch (const SaveStopped&) {
        throw SaveStopped((u"%1: the workbook was not saved: the save was stopped"_s.arg(path)).toStdString());
    }
}

void saveSheetsCsv(const std::vector<const Worksheet*>& sheets, const QString& path, CsvStyle style,
                   const SaveOptions& options) {
    try {
        Replacement replacement(path);
        const Descriptor file(replacement.create());
        // An empty sheet adds no row, not one empty line.
        std::int64_t columns = 0;
        for (const Worksheet* sheet : sheets)
            if (!sheet->isEmpty())
                columns = std::max(columns, sheet->usedRange().right());
        std::string text;
        if (style == CsvStyle::ForSpreadsheets)
            text = "\xEF\xBB\xBF";
        for (const Worksheet* sheet : sheets) {
            const std::int64_t rows = sheet->isEmpty() ? 0 : sheet->usedRange().bottom();
            for (std::int64_t r = 0; r < rows; ++r) {
                if ((r & 4095) == 0)
                    stopIfAsked(options);
                for (std::int64_t c = 0; c < columns; ++c) {
                    if (c > 0)
                        text += ',';
                    const CellView cell = sheet->cell(r, c);
                    const std::string_view value = cell.text;
                    // What a spreadsheet program would take for a formula keeps its text behind an apostrophe.
                    const bool guard = style == CsvStyle::ForSpreadsheets && !cell.number && !value.empty() &&
                                       std::string_view("=+-@\t\r").find(value.front()) != std::string_view::npos;
                    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
                        if (guard)
                            text += '\'';
                        text += value;
                        continue;
                    }
                    text += '"';
                    if (guard)
                        text += '\'';
                    for (const char ch : value) {
                        if (ch == '"')
                            text += '"';
                        text += ch;
                    }
                    text += '"';
                }
                text += "\r\n";
                if (text.size() >= (std::size_t{1} << 20)) {
                    writeAll(file.get(), text);
                    text.clear();
                }
            }
        }
        writeAll(file.get(), text);
        stopIfAsked(options);
        replacement.commit(file.get());
    } catch (const Problem& problem) {
        throw std::runtime_error((u"%1: the sheet could not be saved: %2"_s.arg(path, problem.reason)).toStdString());
    } catch (const SaveStopped&) {
        throw SaveStopped((u"%1: the sheet was not saved: the save was stopped"_s.arg(path)).toStdString());
    }
}

std::pair<int, int> continuedSheets(const Workbook& workbook, int index) {
    const auto full = [&workbook](int i) {
        const Worksheet& sheet = workbook.sheet(i);
        return !sheet.isEmpty() && sheet.usedRange().bottom() == MaxRows;
    };
    int first = index, last = index;
    while (first > 0 && full(first - 1))
        --first;
    while (last + 1 < workbook.sheetCount() && full(last))
        ++last;
    return {first, last};
}

void saveSheetCsv(const Worksheet& sheet, const QString& path, CsvStyle style, const SaveOptions& options) {
    saveSheetsCsv({&sheet}, path, style, options);
}

} // namespace quorvane::office
