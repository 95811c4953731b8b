#include "cli/Commands.h"

#include "import/PresentationText.h"
#include "import/ShapeTexts.h"
#include "office/AutomationError.h"
#include "office/LocalNames.h"
#include "office/Utf8.h"
#include "office/presentation/FileAccess.h"
#include "office/presentation/LocalPresentationServer.h"

#include <nlohmann/json.hpp>

#include <exception>
#include <optional>
#include <string>

using namespace Qt::StringLiterals;

namespace quorvane::cli {

namespace {

// The usage text; the list of text kinds comes from its table.
QString textUsage() {
    return u"Usage: quorvane-cli text [OPTIONS] FILE...\n"
           u"Writes the text of each presentation to standard output: one line (ending in CR LF) per\n"
           u"shape with a text frame, paragraphs separated by CR and line breaks as VT, as UTF-8.\n"
           u"A table (with --include tables) is one line: its rows separated by CR, its cells by TAB.\n"
           u"A FILE that is a folder stands for every file in it and below it; with --ext, for those the\n"
           u"folder scan finds.\n"
           u"\n"
           u"Options:\n"
           u"  --json                    write one JSON object per line for each shape that gives text:\n"
           u"                            {\"path\", \"slide\", \"shape\", \"name\", \"kind\", \"text\"} (a table adds\n"
           u"                            \"cells\", its rows of cells; a comment \"author\", \"date\" as the\n"
           u"                            file stores it (when it does) and \"reply\", true for a reply; with\n"
           u"                            smartart, charts, comments or alt included, a hidden slide's\n"
           u"                            objects say \"hidden\": true); a file that cannot be read gives\n"
           u"                            {\"path\", \"error\"}, a damaged one what survived of it and then\n"
           u"                            {\"path\", \"error\", \"slides_read\", \"slides\"} (null when not known)\n"
           u"                            e.g. quorvane-cli text --json deck.pptx\n"_s +
           includeUsage() +
           u"  --skip-hidden             leave out the slides hidden in the slide show (the others keep\n"
           u"                            their numbers)\n"
           u"  --ext EXT                 take from folders only the files whose names match *.EXT, letters in\n"
           u"                            any case (ppt* for .ppt, .pptx and .pptm; * for every file; a\n"
           u"                            leading dot is allowed: .pptx)\n"
           u"  --files-from LIST         also read the files that LIST names, one a line; - reads the list\n"
           u"                            from standard input   e.g. --files-from decks.txt\n"
           u"  -0, --null                the --files-from list is separated by NUL characters (find -print0)\n"
           u"  --password-file FILE      open protected presentations with the passwords in FILE, one a line,\n"
           u"                            each tried in turn; - reads them from standard input\n"
           u"  -j, --jobs N              read N presentations at a time, 1 to 256 (default: one for each\n"
           u"                            processor core, at most 256; fewer when the system gives fewer\n"
           u"                            threads; 1 reads one after the other); the output is the same\n"
           u"  -h, --help                show this help and exit\n"_s;
}

constexpr int ExitReported = 1;
constexpr int ExitUsage = 2;

// The reader names a file by its full path; on the command line the path as typed reads best.
QString withPathAsGiven(const QString& description, const QString& path) {
    const QString prefix = office::displayName(path) + u": "_s;
    const QString shown = office::shownName(path);
    if (description.startsWith(prefix))
        return shown + u": "_s + description.mid(prefix.size());
    return shown + u": "_s + description;
}

struct TextRequest : SharedRequest {
    bool json = false;
};

std::optional<QString> parseRequest(const QStringList& arguments, TextRequest& request) {
    return parseArguments(arguments, request, [&](const QString& option, const auto&) -> std::optional<QString> {
        if (option != u"--json")
            return unknownOption(option);
        request.json = true;
        return std::nullopt;
    });
}

std::string utf8(const QString& text) {
    const QByteArray bytes = office::toUtf8(text);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// One JSON Lines record.
void writeJson(std::FILE* out, const nlohmann::ordered_json& object) {
    // Text that is no valid UTF-16 (a lone surrogate) was made U+FFFD by utf8() already; replace
    // keeps the writer from throwing on anything else.
    const std::string line = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
    std::fwrite(line.data(), 1, line.size(), out);
}

// The shapes of the presentation at path, one line each, or one JSON object each with --json. A
// file's output is written whole once it is read: a failure gives only the error. A damaged file that
// gives part of its text writes that, and then throws its PartialReadError.
void writeShapes(office::PresentationServer& server, const QString& path, const QString& fullPath,
                 const TextRequest& request, std::FILE* out) {
    QString text;
    std::string lines;
    const auto write = [&] {
        writeUtf8(out, text);
        std::fwrite(lines.data(), 1, lines.size(), out);
    };
    const auto take = [&](const import::ShapeText& shape) {
        if (!request.json) {
            text += shape.joinedText() + u"\r\n"_s;
            return;
        }
        nlohmann::ordered_json object{{"path", utf8(fullPath)},   {"slide", shape.slide},
                                      {"shape", shape.shape},     {"name", utf8(shape.name)},
                                      {"kind", utf8(shape.kind)}, {"text", utf8(shape.joinedText())}};
        if (shape.columns > 0) {
            nlohmann::ordered_json rows = nlohmann::ordered_json::array();
            for (int row = 0; row < shape.rows(); ++row) {
                nlohmann::ordered_json cells = nlohmann::ordered_json::array();
                for (int column = 0; column < shape.columns; ++column)
                    cells.push_back(utf8(shape.cells[static_cast<size_t>(row * shape.columns + column)]));
                rows.push_back(std::move(cells));
            }
            object["cells"] = std::move(rows);
        }
        if (shape.kind == u"comment") {
            object["author"] = utf8(shape.author);
            if (!shape.date.isEmpty())
                object["date"] = utf8(shape.date);
            object["reply"] = shape.reply;
        }
        if (shape.hidden)
            object["hidden"] = true;
        lines += object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        lines += '\n';
    };
    try {
        // Qualified in full: a statement that begins with "import" reads as a module import to the formatter.
        quorvane::import::ForEachShapeText(server, path, request.choice, take);
    } catch (const office::PartialReadError&) {
        write();
        throw;
    }
    write();
}

// Writes the text of the file at path to out; a failure goes to err (and, with --json, to out as an
// object of its own). False when the file failed.
bool writeFileText(office::PresentationServer& server, const QString& path, const TextRequest& request, bool plain,
                   std::FILE* out, std::FILE* err) {
    const QString fullPath = office::shownName(office::absoluteName(path));
    QString failure;
    std::optional<office::PresentationDamage> damage;
    try {
        if (plain)
            writeUtf8(out, import::PresentationText(server, path));
        else
            writeShapes(server, path, fullPath, request, out);
        std::fflush(out);
    } catch (const office::PartialReadError& error) {
        // What survived of a damaged file is written like any other text, and the damage reported.
        if (plain)
            writeUtf8(out, error.text());
        failure = withPathAsGiven(error.description(), path);
        damage = error.damage();
    } catch (const office::AutomationError& error) {
        failure = withPathAsGiven(error.description(), path);
    } catch (const std::exception& error) {
        failure = office::shownName(path) + u": "_s + QString::fromUtf8(error.what());
    }
    if (failure.isNull())
        return true;
    writeMessage(err, u"quorvane-cli: "_s + failure + u"\n"_s);
    if (request.json) {
        nlohmann::ordered_json object{{"path", utf8(fullPath)}, {"error", utf8(failure)}};
        if (damage) {
            object["slides_read"] = damage->slidesRead;
            object["slides"] = damage->slides ? nlohmann::ordered_json(*damage->slides) : nullptr;
        }
        writeJson(out, object);
    }
    std::fflush(out);
    return false;
}

} // namespace

int runText(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    if (arguments.isEmpty()) {
        writeMessage(err, textUsage());
        return ExitUsage;
    }
    TextRequest request;
    if (const auto problem = parseRequest(arguments, request)) {
        writeMessage(err, u"quorvane-cli text: "_s + *problem + u"\n"_s);
        std::fputs("Try 'quorvane-cli text --help'.\n", err);
        return ExitUsage;
    }
    if (request.help) {
        writeUtf8(out, textUsage());
        return 0;
    }
    QStringList given = request.paths;
    if (request.filesFrom)
        if (const auto problem = readFileList(*request.filesFrom, request.nulSeparated, given)) {
            writeMessage(err, u"quorvane-cli text: "_s + *problem + u"\n"_s);
            return ExitReported;
        }
    std::shared_ptr<office::PasswordSource> passwords;
    if (const auto problem = readPasswords(request, passwords)) {
        writeUtf8(err, u"quorvane-cli text: "_s + *problem + u"\n"_s);
        return ExitReported;
    }
    int status = 0;
    // A file is read and named as given; a folder stands for the files below it.
    QStringList paths;
    for (const QString& path : std::as_const(given)) {
        if (!isFolder(path)) {
            paths.append(path);
            continue;
        }
        QStringList problems;
        addInputPath(path, request.extension, {}, paths, problems);
        for (const QString& problem : std::as_const(problems))
            writeMessage(err, u"quorvane-cli text: "_s + problem + u"\n"_s);
        if (!problems.isEmpty())
            status = ExitReported;
    }
    const bool plain = !request.json && !request.choice.beyondShapes() && !request.choice.skipHidden;
    // Hidden slides are marked where the options of what a slide shows are in play; without them the
    // output stays as it always was.
    request.choice.markHidden = request.json && (request.choice.graphics() || request.choice.comments);
    prepareForManyFiles();
    // One server for all the files: a failure leaves it running with that file open, and the next
    // file opened becomes the active presentation.
    office::LocalPresentationServer server(jobsOf(request));
    if (server.readAheadRefused())
        std::fputs("quorvane-cli text: no thread could be started to read ahead; reading one presentation at a time\n",
                   err);
    server.usePasswords(passwords);
    const int ahead = server.lookahead();
    for (qsizetype at = 0; at < paths.size(); ++at) {
        const QString& path = paths[at];
        // The files after this one may be read ahead while this one is written out.
        if (ahead > 0)
            server.prepare(paths.mid(at, ahead));
        if (!writeFileText(server, path, request, plain, out, err))
            status = ExitReported;
    }
    passwords->forget();
    return status;
}

} // namespace quorvane::cli
