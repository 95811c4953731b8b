// Reads a presentation file and a copy of it cut short, and holds the copy to what a damaged file
// promises: it never invents text. The input is two bytes, the share of the file that the copy keeps
// (little-endian, in 65536ths), followed by the file. The copy is read like any file (ReadEverySlide.h);
// then, when the file as its local headers give it (its zip directory taken off) reads without losing
// anything, every slide of the copy that is not lost must give exactly the shapes of that reading's
// slide of the same number, and a lost slide none: cutting a file short only ever loses slides. (A zip
// whose local headers and directory disagree reads otherwise with its directory, which a copy cut short
// has lost; and a copy that lost its slide list numbers the surviving slides anew, so only their bounds
// are checked.)
#include "MemoryFile.h"
#include "ReadEverySlide.h"

#include "office/AutomationError.h"
#include "office/presentation/OpenPresentation.h"
#include "office/presentation/PresentationDocument.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace {

using quorvane::office::ShapeInfo;

bool same(const ShapeInfo& a, const ShapeInfo& b) {
    return a.hasTextFrame == b.hasTextFrame && a.kind == b.kind && a.columns == b.columns && a.text == b.text &&
           a.name == b.name && a.cells == b.cells && a.items.size() == b.items.size() &&
           std::equal(a.items.begin(), a.items.end(), b.items.begin(), same);
}

bool same(const std::vector<ShapeInfo>& a, const std::vector<ShapeInfo>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) { return same(x, y); });
}

// How many bytes of the file come before its zip directory, by the offset its end record gives; the
// whole file when it has none.
std::size_t beforeDirectory(const std::uint8_t* data, std::size_t length) {
    for (std::size_t at = length >= 22 ? length - 22 + 1 : 0; at-- > 0;)
        if (data[at] == 'P' && data[at + 1] == 'K' && data[at + 2] == 5 && data[at + 3] == 6) {
            const std::size_t start = data[at + 16] | data[at + 17] << 8 | data[at + 18] << 16 |
                                      static_cast<std::size_t>(data[at + 19]) << 24;
            return start <= at ? start : length;
        }
    return length;
}

// Every slide's shapes of the file at path, or nothing when any of it fails or is lost.
std::optional<std::vector<std::vector<ShapeInfo>>> readWhole(const QString& path) {
    try {
        const auto document = quorvane::office::openPresentationDocument(path);
        if (const auto* damage = document->damage();
            damage != nullptr && (damage->slideListLost || !damage->lostSlides.empty()))
            return std::nullopt;
        std::vector<std::vector<ShapeInfo>> slides;
        for (int slide = 1; slide <= document->slideCount(); ++slide)
            slides.push_back(document->shapes(slide));
        return slides;
    } catch (const quorvane::office::AutomationError&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvane;
    if (size < 2)
        return 0;
    static fuzz::MemoryFile wholeFile;
    static fuzz::MemoryFile cutFile;
    const std::size_t length = size - 2;
    const std::size_t kept = length * (data[0] | static_cast<std::size_t>(data[1]) << 8) / 65536;
    const auto whole = readWhole(wholeFile.hold(data + 2, beforeDirectory(data + 2, length)));
    const QString& path = cutFile.hold(data + 2, kept);

    // Read as any file is, with the sanitizers watching.
    fuzz::readEverySlide([&] { return office::openPresentationDocument(path); });
    if (!whole)
        return 0;
    std::unique_ptr<office::PresentationDocument> copy;
    try {
        copy = office::openPresentationDocument(path);
    } catch (const office::AutomationError&) {
        return 0; // cut where nothing that tells a presentation survives
    }
    const office::DocumentDamage* damage = copy->damage();
    if (damage != nullptr && damage->slideListLost)
        return 0;
    if (static_cast<std::size_t>(copy->slideCount()) != whole->size())
        std::abort(); // the slide list came whole, so it lists what the whole file lists
    // A slide whose part survived reads as in the whole file, which read without a failure: a failure
    // here leaves the target as an uncaught exception.
    for (int slide = 1; slide <= copy->slideCount(); ++slide) {
        const bool lost =
            damage != nullptr && std::binary_search(damage->lostSlides.begin(), damage->lostSlides.end(), slide);
        const std::vector<ShapeInfo>& shapes = copy->shapes(slide);
        if (lost ? !shapes.empty() : !same(shapes, (*whole)[static_cast<std::size_t>(slide - 1)]))
            std::abort(); // text the whole file does not give for that slide
    }
    return 0;
}
