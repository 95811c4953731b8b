// Feeds arbitrary bytes to the flat OpenDocument presentation reader and reads every slide. The reader
// takes a path, so each input goes through one scratch file.
#include "office/AutomationError.h"
#include "office/presentation/OdpReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvane::office;
    static const QString path =
        QDir::temp().filePath(QStringLiteral("quorvane-fuzz-%1.fodp").arg(QCoreApplication::applicationPid()));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    try {
        auto document = openFlatOpenDocumentPresentation(path);
        for (int slide = 1; slide <= document->slideCount(); ++slide) {
            try {
                document->shapes(slide);
            } catch (const AutomationError&) {
            }
        }
    } catch (const AutomationError&) {
    }
    return 0;
}
