#pragma once

// A zip package made in memory, every part stored: the targets fuzz the readers, not deflate.

#include <zip.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::fuzz {

// The bytes of a zip archive holding parts (name, bytes) in their order. libzip failing here is a
// fault of the target: it aborts.
inline std::string storedZip(const std::vector<std::pair<const char*, std::string_view>>& parts) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = buffer != nullptr ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
    if (archive == nullptr)
        std::abort();
    zip_source_keep(buffer); // its bytes are read after zip_close
    for (const auto& [name, bytes] : parts) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        const zip_int64_t index = source != nullptr ? zip_file_add(archive, name, source, 0) : -1;
        if (index < 0 || zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0) != 0)
            std::abort();
    }
    if (zip_close(archive) != 0)
        std::abort();
    zip_stat_t stat;
    std::string bytes;
    if (zip_source_stat(buffer, &stat) != 0 || zip_source_open(buffer) != 0)
        std::abort();
    bytes.resize(static_cast<std::size_t>(stat.size));
    if (zip_source_read(buffer, bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size))
        std::abort();
    zip_source_close(buffer);
    zip_source_free(buffer);
    zip_error_fini(&error);
    return bytes;
}

} // namespace quorvane::fuzz
