#include "import/SheetNaming.h"

#include <algorithm>
#include <cmath>

namespace quorvane::import {

QString FileNameOf(const QString& path) {
    // "/" is the folder separator here; a backslash is an ordinary character of a file name.
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

QString FilterChars(const QString& text, const QString& alphabet) {
    QString result;
    result.reserve(text.size());
    for (const QChar ch : text)
        if (alphabet.contains(ch, Qt::CaseSensitive))
            result.append(ch);
    return result;
}

bool SheetExists(office::SpreadsheetApplication& target, const QString& name) {
    bool found = false;
    const int count = target.sheetsCount();
    // Every sheet is visited, also after a match.
    for (int i = 1; i <= count; ++i)
        if (target.sheetName(i) == name)
            found = true;
    return found;
}

int RandomUpTo(shell::RandomSource& random, int limit) {
    random.seedFromClock();
    const double r = random.nextFraction();
    // std::nearbyint rounds to nearest with ties to even in the default rounding mode.
    return static_cast<int>(std::nearbyint(r * limit)) + 1;
}

QString CleanSheetName(const QString& name) {
    QString result = name;
    result.remove(u'[');
    result.remove(u']');
    return result.left(MaxSheetNameLength);
}

QString numberedName(const QString& name, int number) {
    const QString digits = QString::number(number);
    return name.left(std::max<qsizetype>(MaxSheetNameLength - digits.size(), 0)) + digits;
}

} // namespace quorvane::import
