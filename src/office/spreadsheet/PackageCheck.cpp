#include "office/spreadsheet/PackageCheck.h"

#include "office/ZipErrorText.h"
#include "office/ZipWholeInflate.h"
#include "office/spreadsheet/SaveError.h"

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

constexpr unsigned ParseOptions = pugi::parse_default;
constexpr std::size_t RowBatch = std::size_t{1} << 20;
// Parts up to this size are inflated whole, in one call; larger ones (a sheet of many rows) are read
// as a stream, so that memory does not grow with a sheet, and no fresh memory is touched page by page
// for it, which costs more than the faster inflate saves.
constexpr std::uint64_t WholeUpTo = std::uint64_t{1} << 20;
constexpr std::string_view SheetDataStart = "<sheetData>";
constexpr std::string_view RowEnd = "</row>";

QString parseProblem(const pugi::xml_parse_result& result, std::uint64_t offset) {
    return u"it is not well-formed XML (%1 at byte %2)"_s.arg(QString::fromUtf8(result.description()))
        .arg(offset + static_cast<std::uint64_t>(result.offset));
}

// Checks one part as it is read: a part other than a sheet's is parsed whole once read (they are small);
// a sheet's part is parsed a batch of whole rows at a time, so that no sheet is held whole, and then its
// frame (everything but the rows) on its own.
class PartCheck {
public:
    explicit PartCheck(bool sheet) : m_sheet(sheet) {}

    // Throws the problem as a SaveError with the reason alone.
    void feed(std::string_view data) {
        if (!m_sheet || m_inRows) {
            m_pending.append(data);
            if (m_inRows && m_pending.size() >= RowBatch)
                parseRows();
            return;
        }
        m_frame.append(data);
        const std::size_t start = m_frame.find(SheetDataStart);
        if (start != std::string::npos) {
            m_inRows = true;
            m_pending = m_frame.substr(start + SheetDataStart.size());
            m_frame.resize(start + SheetDataStart.size());
            m_offset = m_frame.size();
        }
    }

    // The rows of a sheet's part.
    std::int64_t finish() {
        if (m_inRows)
            parseRows();
        std::string whole = m_sheet ? m_frame + m_pending : std::move(m_pending);
        pugi::xml_document document;
        const pugi::xml_parse_result result = document.load_buffer_inplace(whole.data(), whole.size(), ParseOptions);
        if (!result)
            throw SaveError(parseProblem(result, 0));
        if (!document.document_element())
            throw SaveError(u"it holds no XML element"_s);
        if (m_sheet) {
            const pugi::xml_node data = document.document_element().child("sheetData");
            if (std::string_view(document.document_element().name()) != "worksheet" || !data)
                throw SaveError(u"it is not a worksheet"_s);
            m_rows += std::distance(data.children("row").begin(), data.children("row").end());
        }
        return m_rows;
    }

private:
    // Parses the whole rows at the front of what is pending.
    void parseRows() {
        std::size_t end = m_pending.rfind(RowEnd);
        if (end == std::string::npos)
            return;
        end += RowEnd.size();
        pugi::xml_document rows;
        const pugi::xml_parse_result result =
            rows.load_buffer_inplace(m_pending.data(), end, ParseOptions | pugi::parse_fragment);
        if (!result)
            throw SaveError(parseProblem(result, m_offset));
        for (const pugi::xml_node row : rows.children()) {
            if (row.type() != pugi::node_element || std::string_view(row.name()) != "row")
                throw SaveError(u"its sheet data holds something other than rows (near byte %1)"_s.arg(m_offset));
            ++m_rows;
        }
        m_offset += end;
        m_pending.erase(0, end);
    }

    bool m_sheet;
    bool m_inRows = false;
    std::string m_frame;   // a sheet's part up to and with <sheetData>
    std::string m_pending; // what is read and not yet parsed
    std::uint64_t m_offset = 0;
    std::int64_t m_rows = 0;
};

QString zipProblem(zip_t* archive) {
    return QString::fromUtf8(zip_strerror(archive));
}

class Archive {
public:
    explicit Archive(const QByteArray& path, int flags) {
        int code = 0;
        m_archive = zip_open(path.constData(), flags, &code);
        if (m_archive == nullptr)
            throw SaveError(u"the file written cannot be read back: %1"_s.arg(libzipReason(code)));
    }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;
    ~Archive() { zip_discard(m_archive); }
    zip_t* get() const { return m_archive; }

private:
    zip_t* m_archive = nullptr;
};

// Checks what a part holds, given piece by piece to feed, and its rows; the reason when it fails.
template <typename Feed>
std::optional<QString> checkContent(const ExpectedPart& part, const zip_stat_t& stat, Feed&& feed) {
    PartCheck check(part.rows >= 0);
    try {
        const std::optional<std::uint64_t> size = feed(check);
        if (!size)
            return std::nullopt; // stopped
        if ((stat.valid & ZIP_STAT_SIZE) && *size != stat.size)
            return u"it holds %1 bytes, not %2"_s.arg(*size).arg(stat.size);
        const std::int64_t rows = check.finish();
        if (part.rows >= 0 && rows != part.rows)
            return u"it holds %1 rows, not the %2 written"_s.arg(rows).arg(part.rows);
    } catch (const SaveError& error) {
        return error.description();
    }
    return std::nullopt;
}

// Reads the part at index of archive to its end and checks it; the reason when it fails. With whole,
// the part is inflated in one call first and checked from memory, in the pieces a stream would give;
// a part that does not inflate so is read as a stream, which tells what is wrong.
std::optional<QString> checkPart(zip_t* archive, zip_uint64_t index, const ExpectedPart& part, std::string& buffer,
                                 bool whole, const std::atomic<bool>* stop) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0)
        return zipProblem(archive);
    const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    if (std::string inflated; whole && inflateWhole(archive, index, stat, inflated)) {
        return checkContent(part, stat, [&](PartCheck& check) -> std::optional<std::uint64_t> {
            for (std::size_t at = 0; at < inflated.size(); at += buffer.size()) {
                if (stopped())
                    return std::nullopt;
                check.feed(std::string_view(inflated).substr(at, buffer.size()));
            }
            return inflated.size();
        });
    }
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (file == nullptr)
        return zipProblem(archive);
    struct Close {
        zip_file_t* file;
        ~Close() { zip_fclose(file); }
    } close{file};
    std::optional<QString> failure;
    std::optional<QString> problem = checkContent(part, stat, [&](PartCheck& check) -> std::optional<std::uint64_t> {
        std::uint64_t size = 0;
        for (;;) {
            if (stopped())
                return std::nullopt;
            const zip_int64_t got = zip_fread(file, buffer.data(), buffer.size());
            if (got < 0) {
                failure = QString::fromUtf8(zip_file_strerror(file));
                return std::nullopt;
            }
            if (got == 0)
                return size;
            size += static_cast<std::uint64_t>(got);
            check.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        }
    });
    return failure ? failure : problem;
}

} // namespace

void checkPackage(const QByteArray& path, const std::vector<ExpectedPart>& parts, int threads,
                  const std::atomic<bool>* stop) {
    const Archive archive(path, ZIP_RDONLY | ZIP_CHECKCONS);
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count != static_cast<zip_int64_t>(parts.size()))
        throw SaveError(u"the file written holds %1 parts, not the %2 written"_s.arg(count).arg(parts.size()));
    std::map<std::string_view, std::size_t> wanted;
    for (std::size_t i = 0; i < parts.size(); ++i)
        wanted.emplace(parts[i].name, i);
    // Where each expected part is, and the largest first, so that the threads end together.
    std::vector<std::pair<zip_uint64_t, std::size_t>> work(parts.size(), {0, parts.size()});
    std::vector<std::uint64_t> sizes(parts.size(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive.get(), static_cast<zip_uint64_t>(i), 0);
        const auto found = name ? wanted.find(name) : wanted.end();
        if (found == wanted.end())
            throw SaveError(u"the file written holds a part it should not: %1"_s.arg(QString::fromUtf8(name)));
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &stat) == 0)
            sizes[found->second] = stat.size;
        work[found->second] = {static_cast<zip_uint64_t>(i), found->second};
    }
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (work[i].second == parts.size())
            throw SaveError(u"the file written has no part %1"_s.arg(parts[i].label));
    std::sort(work.begin(), work.end(),
              [&](const auto& a, const auto& b) { return sizes[a.second] > sizes[b.second]; });

    std::mutex mutex;
    std::size_t next = 0;
    std::optional<std::pair<std::size_t, QString>> failure; // the first part in package order that failed
    const auto run = [&](zip_t* reader) {
        std::string buffer(std::size_t{1} << 18, '\0');
        for (;;) {
            std::size_t item = 0;
            {
                const std::lock_guard lock(mutex);
                if (next == work.size() || failure)
                    return;
                item = next++;
            }
            const auto [index, part] = work[item];
            if (const auto problem = checkPart(reader, index, parts[part], buffer, sizes[part] <= WholeUpTo, stop)) {
                const std::lock_guard lock(mutex);
                if (!failure || failure->first > part)
                    failure = {part, *problem};
            }
        }
    };
    std::vector<std::thread> helpers;
    std::vector<std::unique_ptr<Archive>> readers;
    try {
        for (int i = 1; i < threads && static_cast<std::size_t>(i) < work.size(); ++i) {
            readers.push_back(std::make_unique<Archive>(path, ZIP_RDONLY));
            helpers.emplace_back(run, readers.back()->get());
        }
    } catch (const std::exception&) {
        // No more threads or readers to be had: the ones started, and this one, do the work.
    }
    run(archive.get());
    for (std::thread& helper : helpers)
        helper.join();
    if (stop && stop->load(std::memory_order_relaxed))
        throw SaveStopped(u"the save was stopped"_s);
    if (failure)
        throw SaveError(
            u"the file written is damaged: its part %1: %2"_s.arg(parts[failure->first].label, failure->second));
}

} // namespace quorvane::office
