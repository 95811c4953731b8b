#include "import/ColumnSeparation.h"

namespace quorvane::import {

QString separateColumns(const QString& text, const QString& separator) {
    if (separator.isEmpty())
        return text;
    QString result = text;
    result.replace(separator, QString(SplitMark), Qt::CaseSensitive);
    return result;
}

} // namespace quorvane::import
