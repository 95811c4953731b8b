#pragma once

// File names as the system gives them. A name is a string of bytes, usually UTF-8 but not always (a
// name written under a Latin-1 locale, a copied archive). As text, a name keeps each byte that is
// not part of valid UTF-8 as one lone surrogate, U+DC80 to U+DCFF, so that it turns back into
// exactly the bytes it came from, and a file given by such a name is opened as it is.

#include "office/Utf8.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDir>
#include <QString>
#include <QStringView>

#include <cerrno>

#include <unistd.h>

namespace quorvane::office {

namespace names {

// The length of the valid UTF-8 sequence bytes start with at at (no overlong form, no surrogate,
// nothing past U+10FFFF), or 0.
inline int utf8SequenceAt(QByteArrayView bytes, qsizetype at) {
    char32_t code = 0;
    return utf8Sequence(std::string_view(bytes.data() + at, static_cast<std::size_t>(bytes.size() - at)), code);
}

inline bool isEscapedByte(char16_t c) {
    return c >= 0xDC80 && c <= 0xDCFF;
}

} // namespace names

// The text of a name the system gave: its UTF-8 decoded, every other byte kept as a lone surrogate.
inline QString nameFromNative(QByteArrayView bytes) {
    QString name;
    name.reserve(bytes.size());
    qsizetype at = 0;
    while (at < bytes.size()) {
        const int length = names::utf8SequenceAt(bytes, at);
        if (length == 0) {
            name.append(QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[at]))));
            ++at;
            continue;
        }
        name.append(QString::fromUtf8(bytes.sliced(at, length)));
        at += length;
    }
    return name;
}

// The bytes of a name for the system: the exact bytes nameFromNative had for it. Text from anywhere
// else is UTF-8; a lone surrogate that stands for no byte becomes U+FFFD.
inline QByteArray nativeName(QStringView name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype from = 0;
    const auto flush = [&](qsizetype to) {
        if (to > from)
            bytes.append(name.sliced(from, to - from).toUtf8());
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode())) {
            ++i;
            continue;
        }
        if (!QChar::isSurrogate(c))
            continue;
        flush(i);
        if (names::isEscapedByte(c))
            bytes.append(static_cast<char>(c - 0xDC00));
        else
            bytes.append("\xEF\xBF\xBD");
        from = i + 1;
    }
    flush(name.size());
    return bytes;
}

// The name made absolute against the current folder, with "." and ".." steps and doubled slashes
// taken out, as QFileInfo::absoluteFilePath does, but keeping every byte (QFileInfo does not).
inline QString absoluteName(const QString& name) {
    if (name.startsWith(u'/'))
        return QDir::cleanPath(name);
    QByteArray current(4096, '\0');
    while (::getcwd(current.data(), static_cast<std::size_t>(current.size())) == nullptr && errno == ERANGE)
        current.resize(current.size() * 2);
    return QDir::cleanPath(nameFromNative(current.constData()) + u'/' + name);
}

// A name as messages and output show it: each byte that is no UTF-8 written as \xE4, so that the
// text is valid and tells the byte.
inline QString shownName(QStringView name) {
    QString shown;
    shown.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode())) {
            shown.append(name.sliced(i, 2));
            ++i;
        } else if (names::isEscapedByte(c)) {
            shown.append(QStringLiteral("\\x") + QString::number(c - 0xDC00, 16).toUpper());
        } else if (QChar::isSurrogate(c)) {
            shown.append(QChar(QChar::ReplacementCharacter));
        } else {
            shown.append(name[i]);
        }
    }
    return shown;
}

} // namespace quorvane::office
