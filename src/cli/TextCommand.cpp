#include "cli/Commands.h"

#include "import/PresentationText.h"
#include "import/ShapeTexts.h"
#include "office/AutomationError.h"
#include "office/presentation/FileAccess.h"
#include "office/presentation/LocalPresentationServer.h"

#include <QFileInfo>

#include <nlohmann/json.hpp>

#include <exception>
#include <string>

using namespace Qt::StringLiterals;

namespace quorvane::cli {

namespace {

const char* const TextUsage =
    "Usage: quorvane-cli text [OPTIONS] FILE...\n"
    "Writes the text of each presentation to standard output: one line (ending in CR LF) per\n"
    "shape with a text frame, paragraphs separated by CR and line breaks as VT, as UTF-8.\n"
    "A table (with --include tables) is one line: its rows separated by CR, its cells by TAB.\n"
    "\n"
    "Options:\n"
    "  --json                    write one JSON object per line for each shape that gives text:\n"
    "                            {\"path\", \"slide\", \"shape\", \"name\", \"kind\", \"text\"} (a table adds\n"
    "                            \"cells\", its rows of cells); a file that cannot be read gives\n"
    "                            {\"path\", \"error\"}   e.g. quorvane-cli text --json deck.pptx\n"
    "  --include LIST            read more than the slides' text shapes, from: notes, tables and\n"
    "                            groups   e.g. --include notes,tables,groups\n"
    "  --files-from LIST         also read the files that LIST names, one a line; - reads the list\n"
    "                            from standard input   e.g. --files-from decks.txt\n"
    "  -0, --null                the --files-from list is separated by NUL characters (find -print0)\n"
    "  -h, --help                show this help and exit\n";

constexpr int ExitReported = 1;
constexpr int ExitUsage = 2;

// The reader names a file by its full path; on the command line the path as typed reads best.
QString withPathAsGiven(const QString& description, const QString& path) {
    const QString prefix = office::displayName(path) + u": "_s;
    if (description.startsWith(prefix))
        return path + u": "_s + description.mid(prefix.size());
    return path + u": "_s + description;
}

struct TextRequest {
    QStringList paths;
    import::TextChoice choice;
    bool json = false;
    std::optional<QString> filesFrom;
    bool nulSeparated = false;
    bool help = false;
};

std::optional<QString> parseRequest(const QStringList& arguments, TextRequest& request) {
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString argument = arguments[i];
        if (optionsEnded || !argument.startsWith(u'-') || argument == u"-") {
            request.paths.append(argument);
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        std::optional<QString> inlineValue;
        if (argument.startsWith(u"--") && argument.contains(u'=')) {
            inlineValue = argument.mid(argument.indexOf(u'=') + 1);
            argument.truncate(argument.indexOf(u'='));
        }
        auto value = [&]() -> std::optional<QString> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        if (argument == u"-h" || argument == u"--help") {
            request.help = true;
        } else if (argument == u"--json") {
            request.json = true;
        } else if (argument == u"--include") {
            if (const auto problem = parseInclude(value().value_or(QString()), request.choice))
                return problem;
        } else if (argument == u"--files-from") {
            request.filesFrom = value();
            if (!request.filesFrom || request.filesFrom->isEmpty())
                return u"--files-from needs a file (- for standard input)"_s;
        } else if (argument == u"-0" || argument == u"--null") {
            request.nulSeparated = true;
        } else {
            return u"unknown option '%1'"_s.arg(argument);
        }
    }
    if (request.help)
        return std::nullopt;
    if (request.paths.isEmpty() && !request.filesFrom)
        return u"no presentation given"_s;
    if (request.nulSeparated && !request.filesFrom)
        return u"-0 goes with --files-from"_s;
    return std::nullopt;
}

std::string utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// One JSON Lines record.
void writeJson(std::FILE* out, const nlohmann::ordered_json& object) {
    // Text that is no valid UTF-16 (a lone surrogate) was made U+FFFD by toUtf8 already; replace
    // keeps the writer from throwing on anything else.
    const std::string line = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
    std::fwrite(line.data(), 1, line.size(), out);
}

} // namespace

int runText(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    if (arguments.isEmpty()) {
        std::fputs(TextUsage, err);
        return ExitUsage;
    }
    TextRequest request;
    if (const auto problem = parseRequest(arguments, request)) {
        writeUtf8(err, u"quorvane-cli text: "_s + *problem + u"\n"_s);
        std::fputs("Try 'quorvane-cli text --help'.\n", err);
        return ExitUsage;
    }
    if (request.help) {
        std::fputs(TextUsage, out);
        return 0;
    }
    QStringList paths = request.paths;
    if (request.filesFrom)
        if (const auto problem = readFileList(*request.filesFrom, request.nulSeparated, paths)) {
            writeUtf8(err, u"quorvane-cli text: "_s + *problem + u"\n"_s);
            return ExitReported;
        }
    const bool plain = !request.json && !request.choice.notes && !request.choice.tables && !request.choice.groups;
    prepareForManyFiles();
    int status = 0;
    for (const QString& path : std::as_const(paths)) {
        const QString fullPath = QFileInfo(path).absoluteFilePath();
        // A server of its own for each file: a failure leaves its server running with the file open.
        office::LocalPresentationServer server;
        QString failure;
        try {
            if (plain) {
                writeUtf8(out, import::PresentationText(server, path));
            } else {
                // A file's output is written whole once it is read: a failure gives only the error.
                QString text;
                std::string lines;
                import::ForEachShapeText(server, path, request.choice, [&](const import::ShapeText& shape) {
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
            lines += object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
            lines += '\n';
        });
        writeUtf8(out, text);
        std::fwrite(lines.data(), 1, lines.size(), out);
    }
    std::fflush(out);
}
catch (const office::AutomationError& error) {
    failure = withPathAsGiven(error.description(), path);
}
catch (const std::exception& error) {
    failure = path + u": "_s + QString::fromUtf8(error.what());
}
if (failure.isNull())
    continue;
status = ExitReported;
writeUtf8(err, u"quorvane-cli: "_s + failure + u"\n"_s);
if (request.json) {
    writeJson(out, nlohmann::ordered_json{{"path", utf8(fullPath)}, {"error", utf8(failure)}});
    std::fflush(out);
}
} // namespace quorvane::cli
return status;
}

} // namespace quorvane::cli
