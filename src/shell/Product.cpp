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

} // namespace quorvane::shell
