#include "cli/Commands.h"

#include "office/Utf8.h"

#include <QByteArray>
#include <QString>

using namespace Qt::StringLiterals;

namespace quorvane::cli {

void writeUtf8(std::FILE* stream, const QString& text) {
    const QByteArray bytes = office::toUtf8(text);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

QString escapedControls(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        const bool control = unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
        if (!control || unit == u'\n' || unit == u'\t') {
            escaped += c;
            continue;
        }
        // C0 and DEL as the byte they are; C1 (U+0080 to U+009F) as the character.
        const QString digits = QString::number(unit, 16).toUpper();
        escaped += unit < 0x80 ? u"\\x"_s + digits.rightJustified(2, u'0') : u"\\u"_s + digits.rightJustified(4, u'0');
    }
    return escaped;
}

void writeMessage(std::FILE* stream, const QString& text) {
    writeUtf8(stream, escapedControls(text));
}

} // namespace quorvane::cli
