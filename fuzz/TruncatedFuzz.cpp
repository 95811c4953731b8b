// Reads a presentation file and a copy of it cut short, and holds the copy to what a damaged file
// promises: it never invents text. The input is two bytes, the share of the file that the copy keeps
// (little-endian, in 65536ths), followed by the file. The copy is read like any file (ReadEverySlide.h);
// then, when the file as its local headers give it (its zip directory taken off) reads without losing
// anything, every slide of the copy that is not lost must give exactly the shapes of that reading's
// slide of the same number, and a lost slide none: cutting a file short only ever loses slides. The
// same holds for what a slide shows besides its shapes: each diagram's and chart's texts, and the
// comments, are the whole reading's, or they are lost and the copy's damage says so (a comment whose
// author's name is lost keeps its text). (A zip whose local headers and directory disagree reads
// otherwise with its directory, which a copy cut short has lost; and a copy that lost its slide list
// numbers the surviving slides anew, so only their bounds are checked.)
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

using quorvane::office::LostItem;
using quorvane::office::PresentationDocument;
using quorvane::office::ShapeInfo;
using quorvane::office::SlideComment;

// What a slide gives: its shapes, the texts of each of its graphics (in the order of a walk through
// its shapes and their items) and its comments.
struct Slide {
    std::vector<ShapeInfo> shapes;
    std::vector<std::vector<QString>> graphics;
    std::vector<SlideComment> comments;
};

// The texts of the slide's graphics, walking its shapes and their items in order.
std::vector<std::vector<QString>> graphicsOf(PresentationDocument& document, int slide,
                                             const std::vector<ShapeInfo>& shapes) {
    std::vector<std::vector<QString>> graphics;
    const auto walk = [&](const auto& self, const ShapeInfo& shape) -> void {
        graphics.push_back(document.graphicTexts(slide, shape));
        for (const ShapeInfo& item : shape.items)
            self(self, item);
    };
    for (const ShapeInfo& shape : shapes)
        walk(walk, shape);
    return graphics;
}

std::size_t lostSoFar(const PresentationDocument& document) {
    const auto* damage = document.damage();
    return damage != nullptr ? damage->lostItems.size() : 0;
}

// Whether the items lost since the first `before` are the slide's graphic, alone or after the slide's
// relationships.
bool graphicLost(const PresentationDocument& document, int slide, std::size_t before) {
    const auto* damage = document.damage();
    if (damage == nullptr || damage->lostItems.size() <= before || damage->lostItems.size() > before + 2)
        return false;
    const auto& items = damage->lostItems;
    const LostItem& graphic = items.back();
    if (graphic.slide != slide || (graphic.kind != LostItem::Kind::Chart && graphic.kind != LostItem::Kind::Diagram))
        return false;
    return items.size() == before + 1 ||
           (items[before].kind == LostItem::Kind::Relationships && items[before].slide == slide);
}

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

// What every slide of the file at path gives, or nothing when any of it fails or is lost.
std::optional<std::vector<Slide>> readWhole(const QString& path) {
    try {
        const auto document = quorvane::office::openPresentationDocument(path);
        if (const auto* damage = document->damage();
            damage != nullptr && (damage->slideListLost || !damage->lostSlides.empty()))
            return std::nullopt;
        std::vector<Slide> slides;
        for (int slide = 1; slide <= document->slideCount(); ++slide) {
            Slide read{document->shapes(slide), {}, {}};
            read.graphics = graphicsOf(*document, slide, read.shapes);
            read.comments = document->comments(slide);
            slides.push_back(std::move(read));
        }
        if (lostSoFar(*document) != 0)
            return std::nullopt;
        return slides;
    } catch (const quorvane::office::AutomationError&) {
        return std::nullopt;
    }
}

// Whether the slide's comments in the copy are the whole reading's, or lost as its damage says.
bool sameComments(const std::vector<SlideComment>& copy, const std::vector<SlideComment>& whole,
                  const PresentationDocument& document, int slide) {
    const auto lost = [&](LostItem::Kind kind) {
        const auto* damage = document.damage();
        return damage != nullptr &&
               std::any_of(damage->lostItems.begin(), damage->lostItems.end(), [&](const LostItem& item) {
                   return item.kind == kind && (kind == LostItem::Kind::Authors || item.slide == slide);
               });
    };
    const bool authorsLost = lost(LostItem::Kind::Authors);
    const auto known = [&](const SlideComment& comment) {
        return std::any_of(whole.begin(), whole.end(), [&](const SlideComment& other) {
            return other.text == comment.text &&
                   (other.author == comment.author || (authorsLost && comment.author.isEmpty()));
        });
    };
    if (!std::all_of(copy.begin(), copy.end(), known))
        return false;
    // Fewer comments must be a loss the copy reports: of the comments, or of the slide's relationships
    // that lead to them (fuzz/findings/truncated-comments-unnamed holds a copy cut through those).
    return copy.size() == whole.size() || lost(LostItem::Kind::Comments) || lost(LostItem::Kind::Relationships);
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
    const std::vector<int> lostSlides = damage != nullptr ? damage->lostSlides : std::vector<int>();
    for (int slide = 1; slide <= copy->slideCount(); ++slide) {
        const bool lost = std::binary_search(lostSlides.begin(), lostSlides.end(), slide);
        const Slide& original = (*whole)[static_cast<std::size_t>(slide - 1)];
        const std::vector<ShapeInfo> shapes = copy->shapes(slide);
        if (lost ? !shapes.empty() : !same(shapes, original.shapes))
            std::abort(); // text the whole file does not give for that slide
        if (lost)
            continue;
        // Each graphic gives the whole file's texts, or nothing and one more item lost: the graphic
        // (after the slide's relationships, when the first graphic finds those lost too).
        std::size_t at = 0;
        const auto walk = [&](const auto& self, const ShapeInfo& shape) -> void {
            const std::size_t before = lostSoFar(*copy);
            const std::vector<QString> texts = copy->graphicTexts(slide, shape);
            if (texts != original.graphics[at++] && !(texts.empty() && graphicLost(*copy, slide, before)))
                std::abort(); // a graphic's texts the whole file does not give
            for (const ShapeInfo& item : shape.items)
                self(self, item);
        };
        for (const ShapeInfo& shape : shapes)
            walk(walk, shape);
        if (!sameComments(copy->comments(slide), original.comments, *copy, slide))
            std::abort(); // comments the whole file does not give
    }
    return 0;
}
