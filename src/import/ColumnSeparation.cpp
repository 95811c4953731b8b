#include "import/ColumnSeparation.h"

#include "office/SpreadsheetServer.h"

#include <algorithm>

namespace quorvane::import {

QString protectSplitMarks(QString text) {
    // Slide text hardly ever holds either character: two quick searches find that, and only a text
    // that holds one is written to, from the first one on.
    const qsizetype mark = text.indexOf(SplitMark);
    const qsizetype asText = text.indexOf(QChar(office::ColumnMarkAsText));
    if (mark < 0 && asText < 0)
        return text;
    QChar* chars = text.data();
    for (qsizetype i = mark < 0 ? asText : asText < 0 ? mark : std::min(mark, asText); i < text.size(); ++i) {
        if (chars[i] == SplitMark)
            chars[i] = QChar(office::ColumnMarkAsText);
        else if (chars[i] == QChar(office::ColumnMarkAsText))
            chars[i] = QChar(QChar::ReplacementCharacter);
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
