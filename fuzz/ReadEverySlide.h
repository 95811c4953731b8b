#pragma once

// What each reader target does with the document its input opens as: read every slide's shapes and,
// apart from them, its notes, whether it is hidden, its comments, and the texts of every diagram and
// chart among its shapes. An AutomationError (a damaged file or slide) is an ordinary outcome;
// anything else is a fault, and so is a shape that breaks what the readers promise (the target aborts,
// and libFuzzer keeps the input). The sanitizers report the rest.

#include "office/AutomationError.h"
#include "office/presentation/PresentationDocument.h"

#include <cstddef>
#include <cstdlib>
#include <vector>

namespace quorvane::fuzz {

// open() returns the opened document (a std::unique_ptr<PresentationDocument>) or throws AutomationError.
template <typename Open> void readEverySlide(Open&& open) {
    using namespace quorvane::office;
    try {
        const auto document = open();
        for (int slide = 1; slide <= document->slideCount(); ++slide) {
            try {
                const std::vector<ShapeInfo>& shapes = document->shapes(slide);
                const auto check = [&](const auto& self, const ShapeInfo& shape) -> void {
                    if ((!shape.hasTextFrame && !shape.text.isEmpty()) ||
                        (shape.columns > 0 ? shape.cells.size() % static_cast<std::size_t>(shape.columns) != 0
                                           : !shape.cells.empty()))
                        std::abort(); // a shape without a text frame never has text; a table is a grid
                    for (const QString& text : document->graphicTexts(slide, shape))
                        if (text.isEmpty())
                            std::abort(); // a graphic's empty texts are left out
                    for (const ShapeInfo& item : shape.items)
                        self(self, item);
                };
                for (const ShapeInfo& shape : shapes)
                    check(check, shape);
                document->hidden(slide);
                document->notes(slide);
                document->comments(slide);
            } catch (const AutomationError&) {
                // one damaged slide; the others must still read
            }
        }
    } catch (const AutomationError&) {
    }
}

} // namespace quorvane::fuzz
