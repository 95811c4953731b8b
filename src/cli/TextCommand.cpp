#include "Commands.h"

namespace quorvane::cli {

int runText(const QStringList&, std::FILE*, std::FILE* err) {
    std::fputs("quorvane-cli text: not available yet\n", err);
    return 1;
}

} // namespace quorvane::cli
