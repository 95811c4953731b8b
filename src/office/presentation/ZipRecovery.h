#pragma once

// Reading a zip archive whose directory is missing (a file cut short) or damaged: the parts that its
// local file headers give, in file order, as libarchive's streaming zip reader finds them.

#include "office/presentation/ZipPackage.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::office {

// One entry that the local headers give whole, with a matching CRC.
struct RecoveredPart {
    std::string name;  // as the header gives it, in UTF-8
    std::string bytes; // its inflated bytes, when it is kept
    bool kept = false; // false: it was only passed over (see recoverZip's keep)
    bool encrypted = false;
};

struct RecoveredArchive {
    std::vector<RecoveredPart> parts; // in file order (in directory order when usedDirectory)
    // Where the entries end: at a record of the directory, at the end of the file, or at an entry that
    // is cut or damaged (failure then says which and how: "cut short in ppt/slides/slide4.xml",
    // "ppt/slides/slide4.xml is damaged (...)").
    enum class End { Directory, FileEnd, Failure };
    End end = End::FileEnd;
    QString failure;
    // The entries passed over as damaged on the way, each with why ("ppt/slides/slide2.xml is
    // damaged (...)"); the entries after them are still read.
    QStringList damaged;
    // The directory was sound but for its end record, and every entry was read as it places it.
    bool usedDirectory = false;
};

// Reads the archive in the open regular file fd, of size bytes, that libzip could not open; bytes,
// when given, holds the whole file already and is read instead.
//
// A directory that is sound but for its end record (its records all agree with the local headers
// they point to, their entries' data lie apart and before it) is read as it is: each entry by its
// record, an entry that cannot be read (a compression method not read, a CRC that does not match)
// being one damaged entry. Otherwise the entries are read from their local headers in file order:
// every entry up to the first one that is cut, fails its CRC or passes a limit of one part
// (limits.maxPartSize for a kept entry, limits.maxRatio beyond limits.ratioGrace for any entry
// inflated) is taken, and one of a method not read whose size is known is passed over as damaged.
// What survives of the directory still decides: an entry it places inside another's data is no
// entry, one that disagrees with its record is read as the record has it (or lost), and those the
// walk did not reach are read by their records. Nothing is taken that a CRC does not vouch for.
//
// keep(name) says which entries are held in memory (limits.maxTotalSize bytes in all). The work is
// linear in the size of the file and its directory. Throws ReadError "<reason>" (without the file's
// name) when a read of the file fails, the archive has more entries than limits.maxEntries, an entry
// name twice, or more to keep than limits.maxTotalSize.
RecoveredArchive recoverZip(int fd, const std::string* bytes, std::uint64_t size, const ZipLimits& limits,
                            const std::function<bool(std::string_view name)>& keep);

} // namespace quorvane::office
