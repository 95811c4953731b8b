#pragma once

// Builds small presentation packages by hand: the decks that import tests read, and for the reader
// tests the cases real producers do not write (Strict namespaces, other prefixes, alternate content,
// damage), spelled out as XML here and zipped with libzip.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

namespace quorvane::test {

struct PackagePart {
    std::string name;
    std::string content;
    bool stored = false; // written uncompressed (to damage its bytes in place)
};

// Writes a zip archive holding the parts in order, deflated unless stored. Fails the calling test on an error.
void writeZip(const QString& path, const std::vector<PackagePart>& parts);

// Where an entry lies in the bytes of a zip archive: from its local header to the next entry's header
// (or the directory), so its data and any data descriptor after it end before `end`.
struct ZipEntrySpan {
    std::string name;
    qsizetype start = 0;
    qsizetype end = 0;
};
// The entries of the archive in file order, and where its directory starts, read from the directory
// itself (no Zip64). Fails the calling test when the archive has no directory.
std::vector<ZipEntrySpan> zipEntrySpans(const QByteArray& zip, qsizetype* directory = nullptr);

// The Transitional namespace declarations of a slide or presentation part (p, a, r, mc and p14).
extern const char* const TransitionalNamespaces;

// A slide part whose p:spTree holds shapes (XML written with the prefixes p, a, r, mc, p14).
std::string slideXml(std::string_view shapes);
// A p:sp text box whose p:txBody holds paragraphs (a:p elements).
std::string textBox(std::string_view paragraphs);
// A p:sp text box of one paragraph with one run of text (already XML-escaped).
std::string textBoxOf(std::string_view text);

// A p:graphicFrame named name showing a chart or a SmartArt graphic whose part the slide's relationship
// id names.
std::string chartFrame(std::string_view name, std::string_view id);
std::string diagramFrame(std::string_view name, std::string_view id);

// The relationship types of the parts that slides show besides their shapes.
extern const char* const ChartType;
extern const char* const DiagramDataType;
extern const char* const CommentsType;
extern const char* const CommentAuthorsType;
// One Relationship element, and a relationships part holding some.
std::string relationship(std::string_view id, std::string_view type, std::string_view target);
std::string relationshipsPart(std::string_view relationships);

// A chart part whose title is title, a diagram data part whose one node says text, a comments part of
// one comment by the author of id 0 that says text, and the comment authors part naming that author.
std::string chartPart(std::string_view title);
std::string diagramDataPart(std::string_view text);
std::string commentsPart(std::string_view text);
std::string commentAuthorsPart(std::string_view author);

// A deck of one slide that shows a chart ("Chart": "Revenue"), a SmartArt graphic ("Diagram": "Plan"),
// a text box ("Kept") and one comment by Ann ("Check this"), in parts of their own.
std::vector<PackagePart> reviewedDeckParts();

// The parts of a Transitional presentation package with the given slide parts, named
// ppt/slides/slideN.xml in list order and listed in p:sldIdLst in that order. contentType is the main
// part's content type.
std::vector<PackagePart>
deckParts(const std::vector<std::string>& slides,
          std::string_view contentType =
              "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml");

// Writes a deck of the given slides to path (see deckParts).
void writeDeck(const QString& path, const std::vector<std::string>& slides);

// Writes a deck of one slide to path, creating its folder: a text box of one paragraph per text, in
// order (an empty list gives an empty slide). Returns path.
QString writeTextDeck(const QString& path, const QStringList& texts);

} // namespace quorvane::test
