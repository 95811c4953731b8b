#pragma once

// The OOXML presentation reader's document, for the files that make it up: the slide list and the
// slides (OoxmlPresentation.cpp), the shape walk and its text (OoxmlShapes.cpp), the diagrams and
// charts (OoxmlGraphics.cpp) and the review comments (OoxmlComments.cpp).

#include "office/presentation/OoxmlPackage.h"
#include "office/presentation/PresentationDocument.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

namespace quorvane::office::ooxml {

using namespace Qt::StringLiterals;

using xml::childNamed;
using xml::ChildScope;
using xml::childWhere;
using xml::forEachChildNamed;

// The placeholder type of a shape (p:nvPr/p:ph/@type, "obj" when not given), or "" for no placeholder.
std::string_view placeholderType(const xml::Scope& scope, pugi::xml_node shape);

class OoxmlDocument final : public PresentationDocument {
public:
    explicit OoxmlDocument(std::unique_ptr<ZipPackage> package);

    int slideCount() const override { return static_cast<int>(m_slideParts.size()); }
    const DocumentDamage* readDamage() const override { return m_damage ? &*m_damage : nullptr; }

private:
    // Reads the slide list of the presentation part. False when the package was read without its
    // directory and a part the list needs is lost.
    bool readSlideList();
    // The main part that the package relationships name; fails when there is none.
    std::string findMainPart();
    // The slides that p:sldIdLst of the main part (root) lists, through its relationships.
    void listSlides(const xml::Scope& rootScope, pugi::xml_node root, const std::vector<Relationship>& relationships,
                    bool recovered);
    // The slide part that the main part's relationship id names, for slide number; fails when none.
    std::string slidePartOf(std::string_view id, int number, const std::vector<Relationship>& relationships) const;
    // The slides of a package whose slide list is lost: the slide parts that survived.
    void readSurvivingSlides();
    bool lost(int slide) const {
        return m_damage && std::binary_search(m_damage->lostSlides.begin(), m_damage->lostSlides.end(), slide);
    }
    const std::vector<ShapeInfo>& readShapes(int slide) override;
    QString readNotes(int slide) override;
    bool readHidden(int slide) override;
    std::vector<QString> readGraphicTexts(int slide, const ShapeInfo& shape) override;
    std::vector<SlideComment> readComments(int slide) override;

    // Parses an XML part into document (buffer holds its bytes); returns the document element. A
    // failure names the part, after "slide N is damaged: " for a slide (slide > 0), else after
    // "damaged part ".
    pugi::xml_node parsePart(std::string_view part, int slide, std::string& buffer, pugi::xml_document& document);
    pugi::xml_node parsePart(std::string_view part, int slide = 0) {
        return parsePart(part, slide, m_buffer, m_document);
    }
    // The relationships of sourcePart, viewing buffer (which document parses).
    std::vector<Relationship> readRelationships(std::string_view sourcePart, bool required, std::string& buffer,
                                                pugi::xml_document& document) {
        return ooxml::readRelationships(*m_package, sourcePart, required, buffer, document);
    }
    // Whether a package read with damage lost the slide's relationships part. Every sound slide
    // refers at least to its layout, so only damage is taken to explain a missing one.
    bool relationshipsLost(int slide) const;
    // The relationships of the slide's part. Lost ones lose what they refer to (notes, comments,
    // charts, diagrams): none are given, the loss is reported once as a lost item, and the slide reads
    // on without them.
    std::vector<Relationship> slideRelationships(int slide, std::string& buffer, pugi::xml_document& document);
    [[noreturn]] void fail(const QString& reason) const { m_package->fail(reason); }
    [[noreturn]] void failSlide(int slide, const QString& reason) const {
        fail(u"slide %1 is damaged: "_s.arg(slide) + fromUtf8(m_slideParts[static_cast<size_t>(slide - 1)]) + reason);
    }

    void collectShapes(const xml::Scope& parent, pugi::xml_node container, std::vector<ShapeInfo>& out);
    ShapeInfo textShape(const xml::Scope& scope, pugi::xml_node shape);
    void readTable(const xml::Scope& scope, pugi::xml_node frame, ShapeInfo& info);
    void readGraphicReference(const xml::Scope& scope, pugi::xml_node frame, ShapeInfo& info);
    std::vector<QString> diagramTexts(const xml::Scope& rootScope, pugi::xml_node root);
    std::vector<QString> chartTexts(const xml::Scope& rootScope, pugi::xml_node root);
    // The text of a text body (a:p children of container), by the rules of a shape's text.
    QString bodyText(const xml::Scope& scope, pugi::xml_node container);
    // The names of the comment authors by id, legacy and threaded, read once.
    void readAuthors();
    void readLegacyComment(const xml::Scope& scope, pugi::xml_node comment, std::vector<SlideComment>& found);
    void readThreadedComment(const xml::Scope& scope, pugi::xml_node comment, std::vector<SlideComment>& found);
    void collectParagraphs(const xml::Scope& parent, pugi::xml_node container, bool& first);
    void collectRuns(const xml::Scope& parent, pugi::xml_node container);

    std::unique_ptr<ZipPackage> m_package;
    std::string m_mainPart; // "" when the slide list is lost
    std::vector<std::string> m_slideParts;
    // Whether each slide part read so far is hidden in the slide show (p:sld/@show).
    std::unordered_map<std::string, bool> m_hiddenParts;
    // The comment authors' names by id: legacy (numbers) and threaded (GUIDs); read once asked for.
    bool m_authorsRead = false;
    std::unordered_map<std::string, QString> m_legacyAuthors, m_threadAuthors;
    std::optional<DocumentDamage> m_damage;
    // One slide at a time: the buffers and the document are reused for every part.
    std::string m_buffer;
    pugi::xml_document m_document;
    xml::TextCollector m_text; // the text of the shape being read
    // The slide read last and its shapes: m_shapes, or the entry of m_repeatedParts.
    int m_cachedSlide = 0;
    const std::vector<ShapeInfo>* m_cached = nullptr;
    std::vector<ShapeInfo> m_shapes;
    // The texts of each diagram data or chart part read so far, or why it could not be read.
    PartTexts m_graphicParts;
    // The shapes of each slide part that p:sldIdLst lists more than once, once it is read: a part is
    // parsed once however often it is listed.
    std::unordered_map<std::string, std::optional<std::vector<ShapeInfo>>> m_repeatedParts;
};

} // namespace quorvane::office::ooxml
