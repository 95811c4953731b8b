#pragma once

// Reading a zip archive whose directory is missing (a file cut short) or damaged: the parts that its
// local file headers give, in file order, as libarchive's streaming zip reader finds them.

#include "office/presentation/ZipPackage.h"

#include <QString>

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
    std::vector<RecoveredPart> parts; // in file order
    // Where the entries end: at a record of the directory, at the end of the file, or at an entry that
    // is cut or damaged (failure then says which and how: "cut short in ppt/slides/slide4.xml",
    // "ppt/slides/slide4.xml is damaged (...)").
    enum class End { Directory, FileEnd, Failure };
    End end = End::FileEnd;
    QString failure;
};

// Reads the archive in the open regular file fd, of size bytes, from its local file headers in file
// order; bytes, when given, holds the whole file already and is read instead. Every entry up to the
// first one that is cut, fails its CRC or passes a limit of one part (limits.maxPartSize for a kept
// entry, limits.maxRatio beyond limits.ratioGrace for any entry inflated) is taken; keep(name) says
// which entries are held in memory (limits.maxTotalSize bytes in all). The work is linear in the size
// of the file. Throws ReadError "<reason>" (without the file's name) when the archive has more entries
// than limits.maxEntries, an entry name twice, or more to keep than limits.maxTotalSize.
RecoveredArchive recoverZip(int fd, const std::string* bytes, std::uint64_t size, const ZipLimits& limits,
                            const std::function<bool(std::string_view name)>& keep);

} // namespace quorvane::office
