#pragma once

#include "import/ShapeTexts.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <span>

namespace quorvane::import {

// The presentation formats that can carry a kind of text.
enum PresentationFormat : unsigned {
    OoxmlFormat = 1,        // .pptx and its kin
    OpenDocumentFormat = 2, // .odp, .otp, .fodp
    BinaryFormat = 4,       // .ppt, .pps, .pot
    EveryFormat = OoxmlFormat | OpenDocumentFormat | BinaryFormat,
};

// One kind of text that can be read besides the text frames of the slides: the one definition that
// the option parsers, the usage texts, the settings and the window's choices read, and that the
// manual pages and the completion are checked against.
struct TextKind {
    QStringView name;         // as --include and the settings spell it
    bool TextChoice::* field; // the choice it sets
    QStringView help;         // one line: what it reads and where its rows go
    unsigned formats;         // the PresentationFormat flags of the formats that carry it
    QStringView caption;      // its entry in the main window's menu, with the mnemonic marked by &
};

// Every kind, in the order the usage texts list them.
std::span<const TextKind> textKinds();

// The kinds that choice asks for, by name, in table order.
QStringList kindNames(const TextChoice& choice);

// Sets in choice the kinds that list names (comma-separated, as --include and the settings spell
// them). False when it names anything else (an empty list too); the kinds it knows are set all the
// same, so a stored setting that names a kind of a later version loses only that one.
bool chooseKinds(const QString& list, TextChoice& choice);

// "notes, tables, groups, smartart, charts, comments and alt": the names for a message.
QString kindNamesInWords();

} // namespace quorvane::import
