#include "Commands.h"

namespace quorvane::cli {

int runImport(const QStringList&, std::FILE*, std::FILE* err) {
    std::fputs("quorvane-cli import: not available yet\n", err);
    return 1;
}

} // namespace quorvane::cli
