#include "import/ColumnSeparation.h"

#include "office/SpreadsheetServer.h"

namespace quorvane::import {

QString protectSplitMarks(QString text) {
    for (QChar& c : text) {
        if (c == SplitMark)
            c = QChar(office::ColumnMarkAsText);
        else if (c == QChar(office::ColumnMarkAsText))
            c = QChar(QChar::ReplacementCharacter);
    }
    return text;
}

QString separateColumns(const QString& text, const QString& separator) {
    if (separator.isEmpty())
        return text;
    QString result = text;
    result.replace(protectSplitMarks(separator), QString(SplitMark), Qt::CaseSensitive);
    return result;
}

} // namespace quorvane::import
