#include "cli/Commands.h"

#include "office/Utf8.h"

#include <QByteArray>
#include <QString>

namespace quorvane::cli {

void writeUtf8(std::FILE* stream, const QString& text) {
    const QByteArray bytes = office::toUtf8(text);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

} // namespace quorvane::cli
