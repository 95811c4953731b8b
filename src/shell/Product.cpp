#include "shell/Product.h"

namespace quorvane::shell {

QString productTitle() {
    return QStringLiteral("Quorvane");
}

QString applicationTitleFrom(const QString& title) {
    QString result = title;
    do {
        const qsizetype space = result.lastIndexOf(u' ');
        if (space < 0)
            break; // nothing left to remove: keep what there is
        result.truncate(space);
    } while (result.size() > 40);
    return result;
}

QString supportEmail() {
    return QStringLiteral(QUORVANE_SUPPORT_EMAIL);
}
QString homePageUrl() {
    return QStringLiteral(QUORVANE_HOME_PAGE);
}

// The second line of --version: the licence the programs are published under (LICENSE).
constexpr const char* LicenceLine =
    "Licensed under the Apache License, Version 2.0: https://www.apache.org/licenses/LICENSE-2.0";

bool answeredStandardOption(std::string_view argument, const char* program, const char* usage, std::FILE* out) {
    if (argument == "--version") {
        std::fprintf(out, "%s %s\n%s\n", program, QUORVANE_VERSION, LicenceLine);
        return true;
    }
    if (argument == "-h" || argument == "--help") {
        std::fputs(usage, out);
        return true;
    }
    return false;
}

} // namespace quorvane::shell
