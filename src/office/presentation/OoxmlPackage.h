#pragma once

// The package layer of the OOXML reader: the namespaces and relationship types it understands, part
// names and relationship targets, and the relationships and content types parts of a package.

#include "office/presentation/XmlHelpers.h"
#include "office/presentation/ZipPackage.h"

#include <QString>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::office::ooxml {

// The namespaces the reader understands; Transitional and Strict forms share an id.
enum Ns : int { P = 1, A, R, MC, Rels, Types, Dgm, C, P188, P15 };

const xml::NamespaceTable& namespaces();

inline constexpr std::array<std::string_view, 2> OfficeDocumentTypes = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument"};
inline constexpr std::array<std::string_view, 2> NotesSlideTypes = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/notesSlide",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/notesSlide"};
inline constexpr std::string_view TableUri = "http://schemas.openxmlformats.org/drawingml/2006/table";
inline constexpr std::array<std::string_view, 2> DiagramUris = {
    "http://schemas.openxmlformats.org/drawingml/2006/diagram", "http://purl.oclc.org/ooxml/drawingml/diagram"};
inline constexpr std::array<std::string_view, 2> ChartUris = {"http://schemas.openxmlformats.org/drawingml/2006/chart",
                                                              "http://purl.oclc.org/ooxml/drawingml/chart"};
// Review comments: the comment list of a slide and the authors of the presentation, in the form
// every version writes and in the threaded form of later ones.
inline constexpr std::array<std::string_view, 2> CommentsTypes = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/comments"};
inline constexpr std::array<std::string_view, 2> CommentAuthorsTypes = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/commentAuthors",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/commentAuthors"};
inline constexpr std::array<std::string_view, 1> ThreadedCommentsTypes = {
    "http://schemas.microsoft.com/office/2018/10/relationships/comments"};
inline constexpr std::array<std::string_view, 1> AuthorsTypes = {
    "http://schemas.microsoft.com/office/2018/10/relationships/authors"};
inline constexpr std::array<std::string_view, 2> SlideTypes = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/slide"};
// The content types of a presentation's main part: presentation, slide show and template, each
// with and without macros. The file's extension says nothing reliable; these do.
inline constexpr std::array<std::string_view, 6> MainContentTypes = {
    "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml",
    "application/vnd.openxmlformats-officedocument.presentationml.slideshow.main+xml",
    "application/vnd.openxmlformats-officedocument.presentationml.template.main+xml",
    "application/vnd.ms-powerpoint.presentation.macroEnabled.main+xml",
    "application/vnd.ms-powerpoint.slideshow.macroEnabled.main+xml",
    "application/vnd.ms-powerpoint.template.macroEnabled.main+xml"};

template <size_t N> bool oneOf(std::string_view value, const std::array<std::string_view, N>& set) {
    for (std::string_view item : set)
        if (item == value)
            return true;
    return false;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

inline QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// One relationship as written, its strings viewing the parsed relationships part.
struct Relationship {
    std::string_view id;
    std::string_view type;
    std::string_view target; // as written: resolve it against the source part (resolveTarget)
    bool external = false;
};

// The folder of a part ("ppt/presentation.xml" → "ppt/"), "" for the package root.
std::string_view folderOf(std::string_view part);

// The relationships part of a source part ("ppt/presentation.xml" → "ppt/_rels/presentation.xml.rels";
// "" (the package itself) → "_rels/.rels").
std::string relationshipsPartOf(std::string_view part);

std::string percentDecoded(std::string_view text);

// Resolves a relationship target against the folder of its source part, as a URI reference: an
// absolute target starts at the package root, "." and ".." segments are applied, and a target that
// climbs above the root is refused (returns "").
std::string resolveTarget(std::string_view sourcePart, std::string_view target);

// Compares part names as a person orders them: runs of digits by their value ("slide2.xml" before
// "slide10.xml"), everything else by its bytes, ignoring ASCII case.
bool naturallyBefore(std::string_view a, std::string_view b);

// Parses an XML part of package into document (buffer holds its bytes). Returns the problem, or ""
// when the part is well-formed.
QString parsePartProblem(const ZipPackage& package, std::string_view part, std::string& buffer,
                         pugi::xml_document& document);

// The same, failing with "damaged part <part>: <problem>"; returns the document element.
pugi::xml_node parsePart(const ZipPackage& package, std::string_view part, std::string& buffer,
                         pugi::xml_document& document);

// The relationships of sourcePart, viewing buffer (which document parses). A missing relationships
// part is no relationship, or a failure when required.
std::vector<Relationship> readRelationships(const ZipPackage& package, std::string_view sourcePart, bool required,
                                            std::string& buffer, pugi::xml_document& document);

// The content type of part by [Content_Types].xml: its Override, else the Default for its extension.
std::string contentTypeOf(const ZipPackage& package, std::string_view part, std::string& buffer,
                          pugi::xml_document& document);

} // namespace quorvane::office::ooxml
