#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

namespace quorvane::office {

// n with thousands separated by commas ("1,048,576"), for descriptions: always in English digits and
// groups, whatever the user's locale, as the program's messages are English.
inline QString groupedNumber(std::int64_t n) {
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(static_cast<qlonglong>(n));
}

// "A", "B", ... "XFD" for the 0-based column, as a sheet names its columns.
inline QString columnLetters(std::int64_t column) {
    QString letters;
    for (std::int64_t n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + static_cast<char16_t>((n - 1) % 26)));
    return letters;
}

} // namespace quorvane::office
