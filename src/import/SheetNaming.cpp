#include "import/SheetNaming.h"

#include <algorithm>
#include <cmath>

namespace quorvane::import {

bool SheetNameCharacters::contains(char32_t character) const {
    return character == U' ' || QChar::isLetterOrNumber(character);
}

QString FileNameOf(const QString& path) {
    // "/" is the folder separator here; a backslash is an ordinary character of a file name.
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

QString FilterChars(const QString& text, const SheetNameCharacters& alphabet) {
    QString result;
    result.reserve(text.size());
    bool kept = false; // whether the character before was kept, for the marks that belong to it
    for (qsizetype i = 0; i < text.size();) {
        char32_t character = text[i].unicode();
        qsizetype units = 1;
        if (QChar::isHighSurrogate(character) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            character = QChar::surrogateToUcs4(text[i], text[i + 1]);
            units = 2;
        }
        // An unpaired surrogate is no character: it is neither a letter nor a mark.
        kept = alphabet.contains(character) || (kept && QChar::isMark(character));
        if (kept)
            result.append(QStringView(text).sliced(i, units));
        i += units;
    }
    return result;
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
        if (target.sheetName(i).compare(name, Qt::CaseInsensitive) == 0)
            found = true;
    return found;
}

int RandomUpTo(shell::RandomSource& random, int limit) {
    random.seedFromClock();
    const double r = random.nextFraction();
    // std::nearbyint rounds to nearest with ties to even in the default rounding mode.
    return static_cast<int>(std::nearbyint(r * limit)) + 1;
}

QString leftUnits(const QString& text, qsizetype units) {
    if (units >= text.size())
        return text;
    units = std::max<qsizetype>(units, 0);
    if (units > 0 && text[units - 1].isHighSurrogate() && text[units].isLowSurrogate())
        --units;
    return text.left(units);
}

QString CleanSheetName(const QString& name) {
    QString result = name;
    result.remove(u'[');
    result.remove(u']');
    return leftUnits(result, MaxSheetNameLength);
}

QString numberedName(const QString& name, int number) {
    const QString digits = QString::number(number);
    return leftUnits(name, MaxSheetNameLength - digits.size()) + digits;
}

} // namespace quorvane::import
