#include "office/spreadsheet/ZipWriter.h"

#include "office/spreadsheet/SaveError.h"

// The only file that includes minizip, and by its folder: minizip's zip.h would shadow libzip's, which
// the package check uses.
#include <minizip/zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::office {

// The file minizip writes through: the caller's descriptor, with the first error kept for the message.
struct ZipWriter::Output {
    int fd = -1;
    int error = 0;

    static Output& of(voidpf stream) { return *static_cast<Output*>(stream); }
    void failed(int code) {
        if (error == 0)
            error = code;
    }

    static voidpf open(voidpf, const void* target, int) { return const_cast<void*>(target); }
    static uLong read(voidpf, voidpf stream, void* buffer, uLong size) {
        Output& output = of(stream);
        for (;;) {
            const ssize_t got = ::read(output.fd, buffer, size);
            if (got >= 0)
                return static_cast<uLong>(got);
            if (errno != EINTR) {
                output.failed(errno);
                return 0;
            }
        }
    }
    static uLong write(voidpf, voidpf stream, const void* buffer, uLong size) {
        Output& output = of(stream);
        uLong done = 0;
        while (done < size) {
            const ssize_t written = ::write(output.fd, static_cast<const char*>(buffer) + done, size - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                output.failed(written < 0 ? errno : EIO);
                break;
            }
            done += static_cast<uLong>(written);
        }
        return done;
    }
    static ZPOS64_T tell(voidpf, voidpf stream) {
        Output& output = of(stream);
        const off_t at = ::lseek(output.fd, 0, SEEK_CUR);
        if (at < 0) {
            output.failed(errno);
            return static_cast<ZPOS64_T>(-1);
        }
        return static_cast<ZPOS64_T>(at);
    }
    static long seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
        Output& output = of(stream);
        const int whence = origin == ZLIB_FILEFUNC_SEEK_SET   ? SEEK_SET
                           : origin == ZLIB_FILEFUNC_SEEK_CUR ? SEEK_CUR
                                                              : SEEK_END;
        if (::lseek(output.fd, static_cast<off_t>(offset), whence) < 0) {
            output.failed(errno);
            return -1;
        }
        return 0;
    }
    static int close(voidpf, voidpf) { return 0; } // the descriptor is the caller's
    static int testError(voidpf, voidpf stream) { return of(stream).error; }
};

namespace {

zipFile zip(void* handle) {
    return static_cast<zipFile>(handle);
}

} // namespace

ZipWriter::ZipWriter(int fd, std::time_t time) : m_output(std::make_unique<Output>()), m_time(time) {
    m_output->fd = fd;
    zlib_filefunc64_def io{};
    io.zopen64_file = &Output::open;
    io.zread_file = &Output::read;
    io.zwrite_file = &Output::write;
    io.ztell64_file = &Output::tell;
    io.zseek64_file = &Output::seek;
    io.zclose_file = &Output::close;
    io.zerror_file = &Output::testError;
    m_zip = zipOpen2_64(m_output.get(), APPEND_STATUS_CREATE, nullptr, &io);
    if (m_zip == nullptr)
        fail(ZIP_ERRNO, u"the package cannot be started"_s);
}

ZipWriter::~ZipWriter() {
    if (m_zip != nullptr)
        zipClose(zip(m_zip), nullptr); // frees the writer of a save that failed; its file goes anyway
}

void ZipWriter::fail(int result, const QString& what) const {
    if (m_output->error != 0)
        throw SaveError(QString::fromLocal8Bit(std::strerror(m_output->error)));
    throw SaveError(u"%1 (zip error %2)"_s.arg(what).arg(result));
}

void ZipWriter::beginEntry(const std::string& name, bool zip64, int level) {
    open(name, zip64, Z_DEFLATED, level);
}

void ZipWriter::beginStoredEntry(const std::string& name) {
    open(name, false, 0, 0);
}

void ZipWriter::open(const std::string& name, bool zip64, int method, int level) {
    std::tm local{};
    ::localtime_r(&m_time, &local);
    zip_fileinfo info{};
    info.tmz_date.tm_sec = static_cast<uInt>(local.tm_sec);
    info.tmz_date.tm_min = static_cast<uInt>(local.tm_min);
    info.tmz_date.tm_hour = static_cast<uInt>(local.tm_hour);
    info.tmz_date.tm_mday = static_cast<uInt>(local.tm_mday);
    info.tmz_date.tm_mon = static_cast<uInt>(local.tm_mon);
    info.tmz_date.tm_year = static_cast<uInt>(local.tm_year + 1900);
    const int result = zipOpenNewFileInZip4_64(zip(m_zip), name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                                               level, 1 /* raw */, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                               0 /* made on MS-DOS */, 0, zip64 ? 1 : 0);
    if (result != ZIP_OK)
        fail(result, u"the part %1 cannot be started"_s.arg(QString::fromStdString(name)));
}

void ZipWriter::write(std::string_view deflated) {
    while (!deflated.empty()) {
        const auto chunk = static_cast<unsigned>(std::min<std::size_t>(deflated.size(), 1u << 30));
        const int result = zipWriteInFileInZip(zip(m_zip), deflated.data(), chunk);
        if (result != ZIP_OK)
            fail(result, u"a part cannot be written"_s);
        deflated.remove_prefix(chunk);
    }
}

void ZipWriter::endEntry(std::uint64_t size, std::uint32_t crc) {
    const int result = zipCloseFileInZipRaw64(zip(m_zip), size, crc);
    if (result != ZIP_OK)
        fail(result, u"a part cannot be finished"_s);
}

void ZipWriter::close() {
    const int result = zipClose(zip(m_zip), nullptr);
    m_zip = nullptr;
    if (result != ZIP_OK)
        fail(result, u"the package's directory cannot be written"_s);
}

} // namespace quorvane::office
