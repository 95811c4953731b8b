#pragma once

#include "office/spreadsheet/BlockDeflate.h"
#include "office/spreadsheet/PackageCheck.h"
#include "office/spreadsheet/WorkbookExport.h"
#include "office/spreadsheet/ZipWriter.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// What the package formats (.xlsx, .ods) share on their way to the file: the parts deflated in blocks
// on worker threads and zipped as they are made, and one way of saving a package.
namespace quorvane::office {

// A part is made in pieces of at least this size, each deflated as a block of its own: blocks of 256 KiB
// cost the package under 0.1 % against one stream and leave enough blocks to keep every core busy.
inline constexpr std::size_t PackagePieceSize = std::size_t{1} << 18;

// Throws SaveStopped when options say the save is to stop.
void stopIfAsked(const SaveOptions& options);
// The threads a save may use: SaveOptions::jobs, or one per processor core.
int jobsOf(const SaveOptions& options);

// Puts each part of a package into the zip as it is made, deflated in blocks.
class PackageWriter {
public:
    PackageWriter(int fd, int jobs);

    using Push = std::function<void(std::string&&)>;
    using Make = std::function<void(const Push&)>;
    // Writes the part name, whose pieces make gives to the Push it is handed. zip64: the part passes
    // 4 GiB (needsZip64).
    void part(const std::string& name, bool zip64, const Make& make);
    // Writes the part name as it is, stored, not deflated.
    void storedPart(const std::string& name, std::string_view data);
    // Writes the central directory. Nothing may follow.
    void close();

    // Whether the part make gives, at most bound bytes long, passes 4 GiB and so needs the Zip64
    // records. They must be given exactly then: a part that has them without needing them reads as
    // inconsistent. Only a part whose bound passes 4 GiB is measured, by making it once without
    // keeping it.
    static bool needsZip64(std::uint64_t bound, const Make& make);

private:
    BlockDeflate m_deflate;
    ZipWriter m_zip;
};

// Saves a package of workbook to path as every package is saved: the sheets' names checked as the
// spreadsheet checks them, before anything is written; the parts written by write into a new file
// (SaveTarget), with what each must hold added to expected; the file read back (checkPackage) and only
// then put in the place of path. Failures throw SaveError "<path>: the workbook could not be saved:
// <reason>" (SaveStopped when stopped).
void savePackage(const Workbook& workbook, const QString& path, const SaveOptions& options,
                 const std::function<void(PackageWriter& package, std::vector<ExpectedPart>& expected)>& write);

} // namespace quorvane::office
