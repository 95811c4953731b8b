// Reads every presentation in each folder given, the way the import does (all slides, all shapes, the
// text of each text frame), and prints per folder the files, slides, shapes and characters read, the
// seconds taken, the cost per file and the peak memory. Run it on the same presentations saved as
// .pptx, .ppt and .odp to compare the readers (bench/legacy-bench.sh does that).
//
//   bench_presentation_formats --generate FOLDER COUNT     writes COUNT flat decks (.fodp) to convert
//   bench_presentation_formats FOLDER...                   reads and times

#include "office/AutomationError.h"
#include "office/presentation/OpenPresentation.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sys/resource.h>

#include <cstdio>
#include <string>

using namespace Qt::StringLiterals;
using namespace quorvane::office;

namespace {

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string words(unsigned& seed, unsigned count) {
    // clang-format off
    static const char* vocabulary[] = {"Quarterly", "review", "of", "the", "northern", "region", "sales", "growth",
                                       "2024", "targets", "Überblick", "résumé", "team", "plan", "next", "steps",
                                       "Ελλάδα", "市場", "budget", "&amp;", "risks"};
    // clang-format on
    std::string text;
    for (unsigned i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        if (i)
            text += ' ';
        text += vocabulary[(seed >> 16) % (sizeof vocabulary / sizeof *vocabulary)];
    }
    return text;
}

// A deck of 30 slides, each with a title, a bulleted body, two text boxes, a shape with text, a line and
// a group: a typical mix for text extraction.
std::string deck(unsigned seed) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document"
        " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
        " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
        " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
        " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
        " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
        " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
        " xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\""
        " office:version=\"1.3\" office:mimetype=\"application/vnd.oasis.opendocument.presentation\">\n"
        "<office:automatic-styles><style:page-layout style:name=\"PM1\">"
        "<style:page-layout-properties fo:page-width=\"28cm\" fo:page-height=\"15.75cm\"/>"
        "</style:page-layout></office:automatic-styles>\n<office:master-styles>"
        "<style:master-page style:name=\"Default\" style:page-layout-name=\"PM1\"/></office:master-styles>\n"
        "<office:body><office:presentation>\n";
    auto box = [](const std::string& where, const std::string& content) {
        return "<draw:frame " + where + "><draw:text-box>" + content + "</draw:text-box></draw:frame>";
    };
    const std::string geometry = R"(<draw:enhanced-geometry svg:viewBox="0 0 21600 21600" draw:type="rectangle"/>)";
    for (int slide = 0; slide < 30; ++slide) {
        xml += R"(<draw:page draw:master-page-name="Default">)";
        xml += box(R"(presentation:class="title" svg:x="1cm" svg:y="1cm" svg:width="26cm" svg:height="2cm")",
                   "<text:p>" + words(seed, 5) + "</text:p>");
        std::string list = "<text:list>";
        for (int item = 0; item < 5; ++item)
            list += "<text:list-item><text:p>" + words(seed, 8) + "</text:p></text:list-item>";
        xml += box(R"(presentation:class="outline" svg:x="1cm" svg:y="3.5cm" svg:width="16cm" svg:height="8cm")",
                   list + "</text:list>");
        for (int k = 0; k < 2; ++k)
            xml +=
                box(R"(svg:x="18cm" svg:y=")" + std::to_string(4 + 3 * k) + R"(cm" svg:width="9cm" svg:height="2cm")",
                    "<text:p>" + words(seed, 6) + "<text:line-break/>" + words(seed, 4) + "</text:p>");
        xml += R"(<draw:custom-shape svg:x="1cm" svg:y="12cm" svg:width="6cm" svg:height="2cm"><text:p>)" +
               words(seed, 3) + "</text:p>" + geometry + "</draw:custom-shape>";
        xml += R"(<draw:line svg:x1="8cm" svg:y1="13cm" svg:x2="14cm" svg:y2="13cm"/>)";
        xml += R"(<draw:g><draw:rect svg:x="15cm" svg:y="12cm" svg:width="3cm" svg:height="2cm"><text:p>)" +
               words(seed, 2) + "</text:p></draw:rect>";
        xml += R"(<draw:rect svg:x="19cm" svg:y="12cm" svg:width="3cm" svg:height="2cm"/></draw:g>)";
        xml += "</draw:page>\n";
    }
    return xml + "</office:presentation></office:body></office:document>\n";
}

int generate(const QString& folder, int count) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QFile file(QDir(folder).filePath(u"deck%1.fodp"_s.arg(i + 1, 3, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        const std::string xml = deck(static_cast<unsigned>(i) * 7919u + 1u);
        file.write(xml.data(), static_cast<qint64>(xml.size()));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--generate")
        return generate(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER... | --generate FOLDER COUNT\n", argv[0]);
        return 2;
    }
    for (int a = 1; a < argc; ++a) {
        const QDir folder(QString::fromLocal8Bit(argv[a]));
        const QFileInfoList files = folder.entryInfoList(QDir::Files, QDir::Name);
        long long slides = 0, shapes = 0, characters = 0, failures = 0;
        QElapsedTimer timer;
        timer.start();
        for (const QFileInfo& info : files) {
            try {
                auto document = openPresentationDocument(info.filePath());
                for (int s = 1; s <= document->slideCount(); ++s) {
                    ++slides;
                    for (const ShapeInfo& shape : document->shapes(s)) {
                        ++shapes;
                        characters += shape.text.size();
                    }
                }
            } catch (const AutomationError& e) {
                ++failures;
                std::fprintf(stderr, "%s\n", e.what());
            }
        }
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        std::printf("%-28s files %4lld  slides %6lld  shapes %7lld  chars %9lld  failed %lld  %.3f s  %.2f ms/file  "
                    "peak %ld KiB\n",
                    argv[a], static_cast<long long>(files.size()), slides, shapes, characters, failures, seconds,
                    files.isEmpty() ? 0.0 : seconds * 1000.0 / static_cast<double>(files.size()), peakKiB());
    }
    return 0;
}
