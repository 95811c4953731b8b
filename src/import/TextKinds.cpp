#include "import/TextKinds.h"

#include "import/ImportOptions.h"

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace quorvane::import {

namespace {

constexpr std::array Kinds{
    TextKind{u"notes", &TextChoice::notes, u"the speaker notes, after the slide's shapes", EveryFormat,
             u"Speaker &notes"},
    TextKind{u"tables", &TextChoice::tables, u"a row per table row, a column per cell", EveryFormat, u"&Tables"},
    TextKind{u"groups", &TextChoice::groups, u"the shapes inside groups, at the group's place", EveryFormat,
             u"Shapes inside &groups"},
    TextKind{u"smartart", &TextChoice::smartart, u"the texts of a SmartArt graphic's nodes", OoxmlFormat,
             u"&SmartArt graphics"},
    TextKind{u"charts", &TextChoice::charts, u"a chart's title, series names and axis titles",
             OoxmlFormat | OpenDocumentFormat, u"Cha&rt titles and series names"},
    TextKind{u"comments", &TextChoice::comments, u"review comments and their replies, after the notes", EveryFormat,
             u"Review &comments"},
    TextKind{u"alt", &TextChoice::alt, u"every picture's alternative text, empty or not", EveryFormat,
             u"&Alternative text of pictures"},
};

} // namespace

std::span<const TextKind> textKinds() {
    return Kinds;
}

QStringList kindNames(const TextChoice& choice) {
    QStringList names;
    for (const TextKind& kind : Kinds)
        if (choice.*kind.field)
            names.append(kind.name.toString());
    return names;
}

bool chooseKinds(const QString& list, TextChoice& choice) {
    bool known = true;
    for (const QString& item : list.split(u',')) {
        const auto kind = std::find_if(Kinds.begin(), Kinds.end(), [&](const TextKind& k) { return k.name == item; });
        if (kind != Kinds.end())
            choice.*kind->field = true;
        else
            known = false;
    }
    return known;
}

QString kindNamesInWords() {
    QStringList names;
    for (const TextKind& kind : Kinds)
        names.append(kind.name.toString());
    return listInWords(names, u"and");
}

} // namespace quorvane::import
