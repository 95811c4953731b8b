// Placeholders for the readers of OpenDocument presentations until they are built.
#include "AutomationError.h"
#include "PresentationDocument.h"

#include <QFileInfo>

namespace quorvane::office {

namespace {
[[noreturn]] void unsupported(const QString& path, const char* kind) {
    throw AutomationError(QFileInfo(path).fileName() + QStringLiteral(": ") + QString::fromLatin1(kind) +
                          QStringLiteral(" files are not supported yet"));
}
} // namespace

std::unique_ptr<PresentationDocument> openOpenDocumentPresentation(const QString& path) {
    unsupported(path, "OpenDocument presentation");
}
std::unique_ptr<PresentationDocument> openFlatOpenDocumentPresentation(const QString& path) {
    unsupported(path, "OpenDocument presentation");
}

} // namespace quorvane::office
