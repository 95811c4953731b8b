// The review comments of the OOXML reader: a slide's comment lists, in the form every version writes
// and in the threaded form with replies, and the authors' names of the presentation.
#include "office/presentation/OoxmlDocument.h"

namespace quorvane::office::ooxml {

namespace {

QString authorOf(const std::unordered_map<std::string, QString>& authors, pugi::xml_node comment) {
    const auto found = authors.find(comment.attribute("authorId").value());
    return found == authors.end() ? QString() : found->second;
}

QString attributeText(pugi::xml_node element, const char* name) {
    QString text;
    xml::appendText(text, element.attribute(name).value());
    return text;
}

// Whether a comment of the form every version writes answers another: later versions say so in an
// extension, naming the comment it answers.
bool answersAnother(const xml::Scope& scope, pugi::xml_node comment) {
    bool answers = false;
    if (const auto extensions = childNamed(scope, comment, P, "extLst"))
        forEachChildNamed(extensions->first, extensions->second, P, "ext",
                          [&](const xml::Scope& extScope, pugi::xml_node extension) {
                              if (const auto threading = childNamed(extScope, extension, P15, "threadingInfo"))
                                  answers = answers || childNamed(threading->first, threading->second, P15, "parentCm");
                          });
    return answers;
}

} // namespace

void OoxmlDocument::readAuthors() {
    if (m_authorsRead || m_mainPart.empty())
        return;
    m_authorsRead = true;
    std::string buffer;
    pugi::xml_document document;
    std::vector<std::pair<std::string, bool>> parts; // the part, and whether it is the threaded form
    try {
        for (const Relationship& relationship : readRelationships(m_mainPart, false, buffer, document))
            if (!relationship.external &&
                (oneOf(relationship.type, CommentAuthorsTypes) || oneOf(relationship.type, AuthorsTypes)))
                parts.emplace_back(resolveTarget(m_mainPart, relationship.target),
                                   oneOf(relationship.type, AuthorsTypes));
        for (const auto& [part, threaded] : parts) {
            if (part.empty())
                fail(fromUtf8(m_mainPart) + u": an authors relationship points outside the package"_s);
            if (!m_package->contains(part))
                fail(fromUtf8(part) + u": the part is missing"_s);
            const pugi::xml_node root = parsePart(part, 0, buffer, document);
            const xml::Scope rootScope(namespaces(), root);
            for (pugi::xml_node author = root.first_child(); author; author = author.next_sibling()) {
                if (author.type() != pugi::node_element)
                    continue;
                const ChildScope scope(rootScope, author);
                QString name;
                xml::appendText(name, author.attribute("name").value());
                if (threaded && scope.is(author, P188, "author"))
                    m_threadAuthors.emplace(author.attribute("id").value(), name);
                else if (!threaded && scope.is(author, P, "cmAuthor"))
                    m_legacyAuthors.emplace(author.attribute("id").value(), name);
            }
        }
    } catch (const ReadBudget::Exceeded&) {
        throw;
    } catch (const ReadError& error) {
        // Damaged authors: the comments still come, without names, and the names are lost.
        m_legacyAuthors.clear();
        m_threadAuthors.clear();
        lose(LostItem::Kind::Authors, 0, error);
    }
}

std::vector<SlideComment> OoxmlDocument::readComments(int slide) {
    if (slide < 1 || slide > slideCount() || lost(slide))
        return {};
    const std::string& slidePart = m_slideParts[static_cast<size_t>(slide - 1)];
    std::string buffer;
    pugi::xml_document document;
    std::vector<std::pair<std::string, bool>> parts; // the part, and whether it is the threaded form
    for (const Relationship& relationship : slideRelationships(slide, buffer, document)) {
        if (relationship.external)
            continue;
        if (oneOf(relationship.type, CommentsTypes))
            parts.emplace_back(resolveTarget(slidePart, relationship.target), false);
        else if (oneOf(relationship.type, ThreadedCommentsTypes))
            parts.emplace_back(resolveTarget(slidePart, relationship.target), true);
    }
    if (parts.empty())
        return {};
    readAuthors();
    // The legacy lists come first, then the threaded ones, each kind in the order of the relationships.
    std::stable_partition(parts.begin(), parts.end(), [](const auto& part) { return !part.second; });
    std::vector<SlideComment> comments;
    for (const auto& [part, threaded] : parts) {
        // A missing or damaged comments part gives nothing and is lost; the slide's other comments
        // parts still give theirs.
        std::vector<SlideComment> found;
        try {
            if (part.empty())
                fail(fromUtf8(slidePart) + u": a comments relationship points outside the package"_s);
            if (!m_package->contains(part))
                fail(fromUtf8(part) + u": the part is missing"_s);
            const pugi::xml_node root = parsePart(part, 0, buffer, document);
            const xml::Scope rootScope(namespaces(), root);
            for (pugi::xml_node comment = root.first_child(); comment; comment = comment.next_sibling())
                if (comment.type() == pugi::node_element) {
                    const ChildScope scope(rootScope, comment);
                    if (threaded)
                        readThreadedComment(scope, comment, found);
                    else
                        readLegacyComment(scope, comment, found);
                }
        } catch (const ReadBudget::Exceeded&) {
            throw;
        } catch (const ReadError& error) {
            lose(LostItem::Kind::Comments, slide, error);
            continue;
        }
        std::move(found.begin(), found.end(), std::back_inserter(comments));
    }
    return comments;
}

void OoxmlDocument::readLegacyComment(const xml::Scope& scope, pugi::xml_node comment,
                                      std::vector<SlideComment>& found) {
    if (!scope.is(comment, P, "cm"))
        return;
    SlideComment item{
        authorOf(m_legacyAuthors, comment), {}, attributeText(comment, "dt"), answersAnother(scope, comment)};
    if (const auto text = childNamed(scope, comment, P, "text")) {
        xml::appendElementText(item.text, text->second);
        // Its text is plain: a line end in it parts paragraphs, as CR does in a shape's text.
        item.text.replace(u'\n', u'\r');
    }
    found.push_back(std::move(item));
}

// A threaded comment and its replies, each a comment of its own.
void OoxmlDocument::readThreadedComment(const xml::Scope& scope, pugi::xml_node comment,
                                        std::vector<SlideComment>& found) {
    if (!scope.is(comment, P188, "cm"))
        return;
    const auto add = [&](const xml::Scope& itemScope, pugi::xml_node item, bool reply) {
        const auto body = childNamed(itemScope, item, P188, "txBody");
        found.push_back({authorOf(m_threadAuthors, item), body ? bodyText(body->first, body->second) : QString(),
                         attributeText(item, "created"), reply});
    };
    add(scope, comment, false);
    if (const auto replies = childNamed(scope, comment, P188, "replyLst"))
        forEachChildNamed(replies->first, replies->second, P188, "reply",
                          [&](const xml::Scope& replyScope, pugi::xml_node reply) { add(replyScope, reply, true); });
}

} // namespace quorvane::office::ooxml
