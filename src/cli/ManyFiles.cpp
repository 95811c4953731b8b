#include "cli/Commands.h"

#include <QtGlobal>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace quorvane::cli {

// Reading many files in a row, the C library's defaults cost more than the reading itself.
void prepareForManyFiles() {
#ifdef __GLIBC__
    // Reading a presentation allocates and frees a few hundred KiB. By default that is handed back
    // to the system after each file and faulted in again, page by page, for the next one; keep it
    // instead. Peak memory stays what the largest file needs (big blocks are mapped and unmapped
    // on their own either way).
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    // Each thread that allocates gets an arena of its own, up to eight for each core, and each arena
    // reserves 64 MiB of address space: with many read-ahead threads under a limit on address space
    // (ulimit -v) that alone runs out. A few arenas serve the readers as well.
    mallopt(M_ARENA_MAX, 4);
    // libzip converts each entry's DOS time with mktime, and with TZ unset the C library checks
    // /etc/localtime again on every call: one system call per entry of every file. An unset TZ
    // means ":/etc/localtime", so naming it changes no time zone and lets the zone be read once.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
#endif
}

} // namespace quorvane::cli
