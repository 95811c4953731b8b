#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace quorvane::office {

// The text as UTF-8, every lone surrogate (text that is no valid UTF-16, as a damaged presentation can
// hold) as U+FFFD. QString::toUtf8 would write a question mark, which reads as part of the text.
inline QByteArray toUtf8(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
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

} // namespace quorvane::office
