#pragma once

// The shapes of the OpenDocument reader: a page's drawing elements as shapes, their text by ODF's
// whitespace rules, tables, groups and pictures, each held to the read budget while it grows.

#include "office/presentation/PresentationDocument.h"
#include "office/presentation/XmlHelpers.h"

namespace quorvane::office::odp {

enum Namespace {
    nsOffice = 1,
    nsDraw,
    nsText,
    nsPresentation,
    nsTable,
    nsDr3d,
    nsSvg,
    nsStyle,
    nsXlink,
    nsChart,
    nsDc,
    nsOfficeExtension
};

const xml::NamespaceTable& namespaces();

inline constexpr char16_t kParagraphBreak = u'\r';

// The slide whose shapes are being read: its number (for page-number fields) and what the shapes read
// before on it hold, so that a shape's text is held to the budget while it grows.
struct SlideContext {
    int number;
    const ReadBudget& budget;
    qsizetype text = 0;
    qsizetype shapes = 0;
};

// One top-level element of a page (or of a group) as a shape, or false when the element is no shape
// at all.
bool readShape(const xml::Scope& page, pugi::xml_node element, SlideContext& slide, ShapeInfo& shape, int depth = 0);

// The text of the paragraphs among the children of element.
QString textOf(const xml::Scope& scope, pugi::xml_node element, const SlideContext& slide);

} // namespace quorvane::office::odp
