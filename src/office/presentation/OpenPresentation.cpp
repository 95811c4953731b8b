// Chooses the presentation reader by the file's first bytes and, for zip packages, by their entries.
#include "office/presentation/OpenPresentation.h"

#include "office/presentation/FileAccess.h"
#include "office/presentation/OdpReader.h"
#include "office/presentation/OoxmlPresentation.h"
#include "office/presentation/PptReader.h"
#include "office/presentation/ReadError.h"
#include "office/presentation/ZipPackage.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

// Whether the text starts with '<' after an optional byte-order mark and white space, in UTF-8 or UTF-16.
bool looksLikeXml(std::string_view head) {
    size_t step = 1;
    size_t at = 0;
    if (head.substr(0, 3) == "\xEF\xBB\xBF") {
        at = 3;
    } else if (head.substr(0, 2) == "\xFF\xFE" || head.substr(0, 2) == "\xFE\xFF") {
        // UTF-16: look at the byte of each unit that holds the ASCII character.
        at = head[0] == '\xFF' ? 2 : 3;
        step = 2;
    }
    for (; at < head.size(); at += step) {
        const char c = head[at];
        if (c == '<')
            return true;
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return false;
}

// openPresentationDocument, throwing ReadError for what it finds itself (the per-kind openers it
// hands a file to report their own failures).
std::unique_ptr<PresentationDocument> readPresentation(const QString& path, PasswordSource* passwords) {
    const int fd = openRegularFile(path);
    int readError = 0;
    const std::string head = readFileStart(fd, 512, &readError);
    const bool zip = head.starts_with("PK\x03\x04") || head.starts_with("PK\x05\x06");
    if (!zip || readError != 0)
        ::close(fd);
    // A read that fails (a disk error, a file on a network that went away) is no empty file.
    if (readError != 0)
        throw ReadError(displayName(path) + u": cannot read the file: "_s +
                        QString::fromLocal8Bit(std::strerror(readError)));
    if (head.empty())
        throw ReadError(displayName(path) + u": the file is empty"_s);

    if (zip) {
        // The package takes the descriptor over, so the file is opened once.
        auto package = std::make_unique<ZipPackage>(path, fd);
        if (package->contains("[Content_Types].xml"))
            return openOoxmlPackage(std::move(package));
        if (package->contains("mimetype") || package->contains("content.xml"))
            return openOpenDocumentPackage(std::move(package), passwords);
        // Read without its directory, a package may have lost the part that tells its kind; some
        // producers write the content types last.
        if (package->recovered()) {
            const std::vector<std::string>& names = package->names();
            if (package->contains("_rels/.rels") ||
                std::any_of(names.begin(), names.end(),
                            [](const std::string& name) { return name.starts_with("ppt/"); }))
                return openOoxmlPackage(std::move(package));
            package->fail(
                u"damaged zip archive (%1): no part that tells what it holds survived"_s.arg(package->damage()));
        }
        package->fail(u"not a presentation package: the zip archive holds no presentation"_s);
    }
    // An OLE compound file: a binary .ppt, or an OOXML package that a password encrypted.
    if (head.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return openCompoundFilePresentation(path, passwords);
    if (looksLikeXml(head))
        return openFlatOpenDocumentPresentation(path);
    throw ReadError(displayName(path) + u": not a presentation file (not a zip archive)"_s);
}

} // namespace

std::unique_ptr<PresentationDocument> openPresentationDocument(const QString& path, PasswordSource* passwords) {
    return reportingReadErrors(displayName(path), [&] { return readPresentation(path, passwords); });
}

} // namespace quorvane::office
