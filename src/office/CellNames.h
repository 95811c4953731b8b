#pragma once

#include <QString>

#include <cstdint>

namespace quorvane::office {

// n with thousands separated by commas ("1,048,576"), for descriptions.
inline QString groupedNumber(std::int64_t n) {
    QString digits = QString::number(n < 0 ? -n : n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u',');
    return n < 0 ? u'-' + digits : digits;
}

// "A", "B", ... "XFD" for the 0-based column, as a sheet names its columns.
inline QString columnLetters(std::int64_t column) {
    QString letters;
    for (std::int64_t n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + static_cast<char16_t>((n - 1) % 26)));
    return letters;
}

} // namespace quorvane::office
