#include "office/spreadsheet/PackageCheck.h"

#include "office/ZipErrorText.h"
#include "office/ZipWholeInflate.h"
#include "office/spreadsheet/SaveError.h"

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <memory>
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

// Checks what one part holds as it is read. Both functions throw the problem as a SaveError with the
// reason alone.
class ContentCheck {
public:
    virtual ~ContentCheck() = default;
    virtual void feed(std::string_view data) = 0;
    // The rows of a part of rows.
    virtual std::int64_t finish() = 0;
};

// Parses a fragment of whole elements; every element at its top must be one of names, and those named
// first are counted.
std::int64_t parseElements(std::string& text, std::size_t length, std::uint64_t offset,
                           std::initializer_list<std::string_view> names, const char* what) {
    pugi::xml_document elements;
    const pugi::xml_parse_result result =
        elements.load_buffer_inplace(text.data(), length, ParseOptions | pugi::parse_fragment);
    if (!result)
        throw SaveError(parseProblem(result, offset));
    std::int64_t counted = 0;
    for (const pugi::xml_node element : elements.children()) {
        const std::string_view name = element.name();
        if (element.type() != pugi::node_element || std::find(names.begin(), names.end(), name) == names.end())
            throw SaveError(u"%1 (near byte %2)"_s.arg(QString::fromLatin1(what)).arg(offset));
        counted += name == *names.begin() ? 1 : 0;
    }
    return counted;
}

// A part other than a sheet's is parsed whole once read (they are small); a sheet's part is parsed a
// batch of whole rows at a time, so that no sheet is held whole, and then its frame (everything but the
// rows) on its own.
class PartCheck final : public ContentCheck {
public:
    explicit PartCheck(bool sheet) : m_sheet(sheet) {}

    void feed(std::string_view data) override {
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

    std::int64_t finish() override {
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
        m_rows += parseElements(m_pending, end, m_offset, {"row"}, "its sheet data holds something other than rows");
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

// The content of a spreadsheet document: the columns and rows of each table are parsed a batch of whole
// rows at a time, so that no sheet is held whole, and the rest (the frame, with each table's start and
// end but nothing between them) on its own at the end.
class TablesCheck final : public ContentCheck {
public:
    void feed(std::string_view data) override {
        if (m_inTable) {
            m_pending.append(data);
            takeRows();
        } else {
            m_frame.append(data);
            findTable();
        }
    }

    std::int64_t finish() override {
        if (m_inTable)
            throw SaveError(u"a table is not closed"_s);
        pugi::xml_document document;
        const pugi::xml_parse_result result =
            document.load_buffer_inplace(m_frame.data(), m_frame.size(), ParseOptions);
        if (!result)
            throw SaveError(parseProblem(result, 0));
        const pugi::xml_node spreadsheet =
            document.child("office:document-content").child("office:body").child("office:spreadsheet");
        if (!spreadsheet)
            throw SaveError(u"it is not the content of a spreadsheet document"_s);
        if (std::distance(spreadsheet.children("table:table").begin(), spreadsheet.children("table:table").end()) !=
            m_tables)
            throw SaveError(u"its tables are not where a spreadsheet document has them"_s);
        return m_rows;
    }

private:
    static constexpr std::string_view TableStart = "<table:table";
    static constexpr std::string_view TableEnd = "</table:table>";
    static constexpr std::string_view TableRowEnd = "</table:table-row>";

    // Looks for the start tag of the next table in the frame; what follows it is the table's.
    void findTable() {
        for (;;) {
            const std::size_t start = m_frame.find(TableStart, m_scanned);
            if (start == std::string::npos) {
                m_scanned = m_frame.size() >= TableStart.size() ? m_frame.size() - TableStart.size() + 1 : 0;
                return;
            }
            const std::size_t after = start + TableStart.size();
            if (after == m_frame.size()) {
                m_scanned = start;
                return;
            }
            if (m_frame[after] != ' ' && m_frame[after] != '>') {
                m_scanned = after; // another element of the table namespace
                continue;
            }
            const std::size_t close = m_frame.find('>', after);
            if (close == std::string::npos) {
                m_scanned = start;
                return;
            }
            ++m_tables;
            m_inTable = true;
            m_offset = close + 1 + m_removed;
            m_pending = m_frame.substr(close + 1);
            m_frame.resize(close + 1);
            m_scanned = 0;
            takeRows();
            return;
        }
    }

    // Parses what is pending of the table: up to its end when that has come (and the frame goes on after
    // it), else its whole rows once a batch of them is there.
    void takeRows() {
        const std::size_t end = m_pending.find(TableEnd, m_scanned);
        if (end != std::string::npos) {
            parse(end);
            m_frame += TableEnd;
            std::string rest = m_pending.substr(TableEnd.size());
            m_pending.clear();
            m_inTable = false;
            m_scanned = m_frame.size();
            m_frame += rest;
            findTable();
            return;
        }
        m_scanned = m_pending.size() >= TableEnd.size() ? m_pending.size() - TableEnd.size() + 1 : 0;
        if (m_pending.size() < RowBatch)
            return;
        const std::size_t rows = m_pending.rfind(TableRowEnd);
        if (rows != std::string::npos) {
            parse(rows + TableRowEnd.size());
            m_scanned = 0;
        }
    }

    // Parses the first length bytes pending and drops them.
    void parse(std::size_t length) {
        m_rows += parseElements(m_pending, length, m_offset, {"table:table-row", "table:table-column"},
                                "a table holds something other than columns and rows");
        m_offset += length;
        m_removed += length;
        m_pending.erase(0, length);
    }

    std::string m_frame;   // what is read outside the tables, with each table's start and end tags
    std::string m_pending; // what is read of the table under way and not yet parsed
    std::size_t m_scanned = 0;
    bool m_inTable = false;
    std::int64_t m_tables = 0;
    std::int64_t m_rows = 0;
    std::uint64_t m_offset = 0;  // of the first byte pending in the part
    std::uint64_t m_removed = 0; // the bytes of the tables taken out of the frame
};

// Exactly the bytes wanted.
class BytesCheck final : public ContentCheck {
public:
    explicit BytesCheck(std::string_view wanted) : m_wanted(wanted) {}
    void feed(std::string_view data) override {
        if (m_got.size() + data.size() > m_wanted.size())
            throw SaveError(u"it does not hold what was written"_s);
        m_got.append(data);
    }
    std::int64_t finish() override {
        if (m_got != m_wanted)
            throw SaveError(u"it does not hold what was written"_s);
        return -1;
    }

private:
    std::string_view m_wanted;
    std::string m_got;
};

std::unique_ptr<ContentCheck> checkOf(const ExpectedPart& part) {
    switch (part.content) {
    case PartContent::Tables:
        return std::make_unique<TablesCheck>();
    case PartContent::Bytes:
        return std::make_unique<BytesCheck>(part.bytes);
    case PartContent::Xml:
        break;
    }
    return std::make_unique<PartCheck>(part.rows >= 0);
}

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
    const std::unique_ptr<ContentCheck> check = checkOf(part);
    try {
        const std::optional<std::uint64_t> size = feed(*check);
        if (!size)
            return std::nullopt; // stopped
        if ((stat.valid & ZIP_STAT_SIZE) && *size != stat.size)
            return u"it holds %1 bytes, not %2"_s.arg(*size).arg(stat.size);
        const std::int64_t rows = check->finish();
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
    if (part.content == PartContent::Bytes && (stat.valid & ZIP_STAT_COMP_METHOD) && stat.comp_method != ZIP_CM_STORE)
        return u"it is compressed, not stored as it is"_s;
    const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    if (std::string inflated; whole && inflateWhole(archive, index, stat, inflated)) {
        return checkContent(part, stat, [&](ContentCheck& check) -> std::optional<std::uint64_t> {
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
    std::optional<QString> problem = checkContent(part, stat, [&](ContentCheck& check) -> std::optional<std::uint64_t> {
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
