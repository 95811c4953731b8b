#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <string_view>

namespace quorvane::office {

// The text as UTF-8, every lone surrogate (text that is no valid UTF-16, as a damaged presentation can
// hold) as U+FFFD. QString::toUtf8 would write a question mark, which reads as part of the text.
inline QByteArray toUtf8(QStringView text) {
    // Most text holds no surrogate at all. It is looked for a block at a time, in a loop the compiler
    // turns into vector instructions, and looked at one character at a time from the first block that
    // holds one (or the short tail) on.
    const char16_t* units = text.utf16();
    constexpr qsizetype Block = 64;
    qsizetype first = 0;
    for (; first + Block <= text.size(); first += Block) {
        char16_t least = 0xFFFF; // 0 for a surrogate
        for (qsizetype k = 0; k < Block; ++k)
            least = std::min<char16_t>(least, (units[first + k] & 0xF800) ^ 0xD800);
        if (least == 0)
            break;
    }
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!QChar::isSurrogate(c))
            continue;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        // A lone one: replace them all in a copy.
        QString valid = text.toString();
        for (qsizetype k = i; k < valid.size(); ++k) {
            const char16_t d = valid[k].unicode();
            if (QChar::isHighSurrogate(d) && k + 1 < valid.size() && QChar::isLowSurrogate(valid[k + 1].unicode()))
                ++k;
            else if (QChar::isSurrogate(d))
                valid[k] = QChar(QChar::ReplacementCharacter);
        }
        return valid.toUtf8();
    }
    return text.toUtf8();
}

// The length of the UTF-8 sequence that bytes begin with, with its code point in codePoint; 0 when
// they begin with no valid one. Strict: no overlong form, no surrogate, nothing past U+10FFFF.
inline int utf8Sequence(std::string_view bytes, char32_t& codePoint) {
    const auto at = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.empty())
        return 0;
    const unsigned char lead = at(0);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t code = 0, least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1Fu, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0Fu, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (at(i) & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    codePoint = code;
    return static_cast<int>(length);
}

} // namespace quorvane::office
