#pragma once

// For the engines that read zip packages with libzip and libdeflate; include it only where both are
// linked.

#include <libdeflate.h>
#include <zip.h>

#include <cstdint>
#include <memory>
#include <string>

namespace quorvane::office {

// Inflates the entry at index of archive into out, sized to the entry's recorded size, in one call of
// libdeflate on the entry's raw deflate data, and checks the result against the recorded CRC-32. It is
// faster than a streaming inflate but trusts the recorded size for the memory it takes: the caller
// checks that size against its limits first. False (out then holds anything) for whatever it cannot do or
// finds wrong: an entry stored or encrypted or empty, data that does not inflate to exactly the
// recorded size, a checksum that does not match, a read that fails. The caller then reads the entry
// through libzip's streaming inflate, which tells what is wrong.
inline bool inflateWhole(zip_t* archive, zip_uint64_t index, const zip_stat_t& stat, std::string& out) {
    constexpr zip_uint64_t Needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
    if ((stat.valid & Needed) != Needed || stat.comp_method != ZIP_CM_DEFLATE || stat.size == 0 || stat.comp_size == 0)
        return false;
    // Deflate grows nothing by more than a few bytes in a block (stored ones); more raw data than that
    // is a size that lies, and no memory is taken for it.
    if (stat.comp_size > stat.size + stat.size / 64 + 1024)
        return false;
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        return false;
    // A decompressor is not for two threads at once; each thread keeps one.
    struct Free {
        void operator()(libdeflate_decompressor* decompressor) const { libdeflate_free_decompressor(decompressor); }
    };
    thread_local const std::unique_ptr<libdeflate_decompressor, Free> decompressor(libdeflate_alloc_decompressor());
    if (!decompressor)
        return false;

    zip_file_t* file = zip_fopen_index(archive, index, ZIP_FL_COMPRESSED);
    if (file == nullptr)
        return false;
    const auto rawSize = static_cast<std::size_t>(stat.comp_size);
    const auto raw = std::make_unique_for_overwrite<char[]>(rawSize);
    std::size_t got = 0;
    while (got < rawSize) {
        const zip_int64_t read = zip_fread(file, raw.get() + got, rawSize - got);
        if (read <= 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    zip_fclose(file);
    if (got != rawSize)
        return false;
    const auto size = static_cast<std::size_t>(stat.size);
    out.resize(size);
    // Without a place for the size produced, libdeflate fails unless the data inflates to exactly size.
    if (libdeflate_deflate_decompress(decompressor.get(), raw.get(), rawSize, out.data(), size, nullptr) !=
        LIBDEFLATE_SUCCESS)
        return false;
    return libdeflate_crc32(0, out.data(), size) == stat.crc;
}

} // namespace quorvane::office
