#include "office/spreadsheet/PackageWriter.h"

#include "office/LocalNames.h"
#include "office/spreadsheet/SaveTarget.h"

#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <thread>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

// Level 5 deflates the sheets of slide text in well under half the time of level 6 (zlib's default),
// to a package about 9 % larger (bench/cores-bench.sh).
constexpr int Level = 5;
constexpr std::uint64_t Zip64Threshold = 0xFFFF'FFFFull;

} // namespace

void stopIfAsked(const SaveOptions& options) {
    if (options.stop && options.stop->load(std::memory_order_relaxed))
        throw SaveStopped(u"the save was stopped"_s);
}

int jobsOf(const SaveOptions& options) {
    if (options.jobs > 0)
        return options.jobs;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

PackageWriter::PackageWriter(int fd, int jobs) : m_deflate(Level, jobs), m_zip(fd, std::time(nullptr)) {}

void PackageWriter::part(const std::string& name, bool zip64, const Make& make) {
    m_zip.beginEntry(name, zip64, Level);
    m_deflate.begin([this](std::string_view deflated) { m_zip.write(deflated); });
    make([this](std::string&& piece) { m_deflate.push(std::move(piece)); });
    const BlockDeflate::Summary summary = m_deflate.finish();
    m_zip.endEntry(summary.size, summary.crc);
}

void PackageWriter::storedPart(const std::string& name, std::string_view data) {
    m_zip.beginStoredEntry(name);
    m_zip.write(data);
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    m_zip.endEntry(data.size(), crc);
}

void PackageWriter::close() {
    m_zip.close();
}

bool PackageWriter::needsZip64(std::uint64_t bound, const Make& make) {
    if (bound < Zip64Threshold)
        return false;
    std::uint64_t size = 0;
    make([&size](std::string&& piece) { size += piece.size(); });
    return size >= Zip64Threshold;
}

void savePackage(const Workbook& workbook, const QString& path, const SaveOptions& options,
                 const std::function<void(PackageWriter& package, std::vector<ExpectedPart>& expected)>& write) {
    try {
        // Names are checked here as the spreadsheet checks them, before anything is written.
        std::vector<QString> names;
        for (int i = 0; i < workbook.sheetCount(); ++i) {
            const QString problem = sheetNameProblem(workbook.sheet(i).name(), names);
            if (!problem.isEmpty())
                throw SaveError(problem);
            names.push_back(workbook.sheet(i).name());
        }
        SaveTarget target(path);
        const int fd = target.create();
        const int jobs = jobsOf(options);
        std::vector<ExpectedPart> expected;
        {
            PackageWriter package(fd, jobs);
            write(package, expected);
            stopIfAsked(options);
            package.close();
        }
        stopIfAsked(options);
        checkPackage(target.partial(), expected, jobs, options.stop);
        stopIfAsked(options);
        target.commit();
    } catch (const SaveStopped&) {
        throw SaveStopped(u"%1: the workbook was not saved: the save was stopped"_s.arg(shownName(path)));
    } catch (const SaveError& error) {
        throw SaveError(u"%1: the workbook could not be saved: %2"_s.arg(shownName(path), error.description()));
    } catch (const std::bad_alloc&) {
        throw SaveError(u"%1: the workbook could not be saved: there is not enough memory"_s.arg(shownName(path)));
    }
}

} // namespace quorvane::office
