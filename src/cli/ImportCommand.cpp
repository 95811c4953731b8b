// quorvane-cli import: the import run without a window. The command line plays the window's part
// (file list, options, progress), prints every error report, and saves the workbook that the run
// hands to the user instead of showing it.
#include "cli/Commands.h"

#include "filelist/FolderCommands.h"
#include "import/ColumnSeparation.h"
#include "import/ImportRun.h"
#include "import/ShapeTexts.h"
#include "import/SheetNaming.h"
#include "import/StagingFile.h"
#include "office/LocalNames.h"
#include "office/presentation/LocalPresentationServer.h"
#include "office/spreadsheet/SpreadsheetEngine.h"
#include "office/spreadsheet/WorkbookExport.h"
#include "shell/ClockRandom.h"
#include "shell/ErrorReport.h"
#include "shell/Services.h"

#include <QFileInfo>
#include <QMap>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::cli {

namespace {

const char* const ImportUsage =
    "Usage: quorvane-cli import [OPTIONS] FILE... -o OUT\n"
    "\n"
    "Imports the text of the presentations, in the order given, into one workbook and saves it to OUT\n"
    "(.xlsx, or .csv for a one-sheet result). Rows that do not fit one sheet (1,048,576) go on in\n"
    "sheets added after it, and a .csv holds them all in order; where they go on is told on standard\n"
    "error, as no failure. A FILE that is a folder stands for every file in it and below it, as when it\n"
    "is dropped on the program's list; with --ext, for those the folder scan finds.\n"
    "Every failure is reported on standard error with its statement number, and the import goes on;\n"
    "the exit status is 0 only when no failure was reported. When nothing was imported, OUT is not\n"
    "written (an existing one is left as it was). An OUT whose folder is missing or not writable is\n"
    "refused before anything is read. OUT is never one of the inputs: a folder given leaves it out,\n"
    "and a file given that is OUT is refused. When OUT is a link, the file it leads to is replaced.\n"
    "Ctrl+C, SIGTERM and SIGHUP stop the import and save nothing.\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT          the workbook to write (.xlsx or .csv)\n"
    "  --per-file-sheets         a sheet per presentation, named after its file (default: one sheet)\n"
    "  --split MODE              start a new column at every: none (default), space, comma, tab, or\n"
    "                            text (the text of --split-text)\n"
    "  --split-text TEXT         the text that --split text splits at\n"
    "  --ext EXT                 take from folders only the files whose names match *.EXT, letters in\n"
    "                            any case (ppt* for .ppt, .pptx and .pptm; * for every file; a\n"
    "                            leading dot is allowed: .pptx)\n"
    "  --csv STYLE               how a .csv is written: spreadsheets (default: a byte-order mark, and\n"
    "                            text that would read as a formula gets a leading apostrophe) or\n"
    "                            exact (the text as it is)\n"
    "  --columns LIST            put columns saying where each row came from before its text, in the\n"
    "                            order given, from: path (the presentation's full path), file (its\n"
    "                            file name), slide (from 1), shape (its place on the slide, from 1,\n"
    "                            counting the shapes that give text), name (the shape's stored name),\n"
    "                            kind (title, body, text, table, notes, group, smartart, chart,\n"
    "                            comment or alt), hidden (1 for a slide hidden in the slide show)\n"
    "                            e.g. --columns file,slide,shape\n"
    "  --include LIST            read more than the slides' text shapes, from: notes (the speaker\n"
    "                            notes, after the slide's shapes), tables (a row per table row, a\n"
    "                            column per cell), groups (the shapes inside groups, at the\n"
    "                            group's place), smartart (the texts of a SmartArt graphic's nodes),\n"
    "                            charts (a chart's title, series names and axis titles), comments\n"
    "                            (review comments and their replies, after the notes) and alt (every\n"
    "                            picture's alternative text, empty or not)\n"
    "                            e.g. --include notes,tables,groups,alt\n"
    "  --skip-hidden             leave out the slides hidden in the slide show (the others keep\n"
    "                            their numbers)\n"
    "  --files-from LIST         also import the files that LIST names, one a line; - reads the list\n"
    "                            from standard input   e.g. find . -name '*.pptx' | quorvane-cli\n"
    "                            import --files-from - -o all.xlsx\n"
    "  -0, --null                the --files-from list is separated by NUL characters (find -print0)\n"
    "  -j, --jobs N              read N presentations at a time, 1 to 256 (default: one for each\n"
    "                            processor core, at most 256; fewer when the system gives fewer\n"
    "                            threads; 1 reads one after the other); the result is the same\n"
    "  --timings                 tell on standard error how long the reading, the spreadsheet passes\n"
    "                            and the saving took\n"
    "  -h, --help                show this help and exit\n"
    "\n"
    "With --columns or --include every paragraph of a shape is a row that repeats where it came from;\n"
    "a table's row is one row, its cells' paragraphs joined by line breaks; --split separates only the\n"
    "text, never these columns. A line end in a path or a name shows as U+FFFD.\n";

// Exit statuses; a run stopped by a signal ends with 128 plus the signal's number (130 for Ctrl+C).
constexpr int ExitReported = 1; // the import ran and something was reported, or the output failed
constexpr int ExitUsage = 2;
constexpr int ExitSignalled = 128;

// What the command line asks for.
struct ImportRequest : SharedRequest {
    QString output;
    bool perFileSheets = false;
    // The column-separation button it stands for.
    quorvane::import::OptionButton splitOption = import::OptionButton::Option1;
    std::optional<QString> splitText;
    std::optional<QString> extension; // --ext: folders are scanned for "*." + extension
    office::CsvStyle csvStyle = office::CsvStyle::ForSpreadsheets;
    QStringList columns; // --columns: the provenance columns before the text, in order
    bool timings = false;

    // Whether the rows are laid out here rather than taken as the presentations' text.
    bool ownRows() const { return !columns.isEmpty() || choice.beyondShapes(); }
};

// One option of import's own (not shared with text) into request; returns the problem.
std::optional<QString> parseOption(const QString& argument, const std::function<std::optional<QString>()>& value,
                                   ImportRequest& request) {
    using import::OptionButton;
    static const QMap<QString, OptionButton> splitModes{{u"none"_s, OptionButton::Option1},
                                                        {u"space"_s, OptionButton::Option2},
                                                        {u"comma"_s, OptionButton::Option3},
                                                        {u"text"_s, OptionButton::Option4},
                                                        {u"tab"_s, OptionButton::Option7}};
    if (argument == u"--per-file-sheets") {
        request.perFileSheets = true;
    } else if (argument == u"-o" || argument == u"--output") {
        const auto output = value();
        if (!output || output->isEmpty())
            return u"%1 needs a file name"_s.arg(argument);
        request.output = *output;
    } else if (argument == u"--split") {
        const auto mode = value();
        if (!mode || !splitModes.contains(*mode))
            return u"--split takes none, space, comma, tab or text"_s;
        request.splitOption = splitModes.value(*mode);
    } else if (argument == u"--ext") {
        request.extension = value();
        // ".pptx", as users type it, means pptx.
        if (request.extension && request.extension->startsWith(u'.'))
            request.extension->remove(0, 1);
        if (!request.extension || request.extension->isEmpty())
            return u"--ext needs an extension (ppt*, txt, *)"_s;
    } else if (argument == u"--csv") {
        const auto style = value();
        if (style == u"spreadsheets")
            request.csvStyle = office::CsvStyle::ForSpreadsheets;
        else if (style == u"exact")
            request.csvStyle = office::CsvStyle::Exact;
        else
            return u"--csv takes spreadsheets or exact"_s;
    } else if (argument == u"--columns") {
        static const QStringList known{u"path"_s, u"file"_s, u"slide"_s, u"shape"_s, u"name"_s, u"kind"_s, u"hidden"_s};
        const auto list = value();
        request.columns = list ? list->split(u',') : QStringList();
        for (const QString& column : std::as_const(request.columns))
            if (!known.contains(column))
                return u"--columns takes a list of path, file, slide, shape, name, kind and hidden, separated by "
                       u"commas"_s;
        if (request.columns.isEmpty())
            return u"--columns takes a list of path, file, slide, shape, name, kind and hidden, separated by "
                   u"commas"_s;
        request.choice.markHidden = request.columns.contains(u"hidden"_s);
    } else if (argument == u"--split-text") {
        request.splitText = value();
        if (!request.splitText)
            return u"--split-text needs a text"_s;
    } else if (argument == u"--timings") {
        request.timings = true;
    } else {
        return unknownOption(argument);
    }
    return std::nullopt;
}

// Parses the arguments after "import". Returns the problem, or nothing when the request is complete.
std::optional<QString> parseRequest(const QStringList& arguments, ImportRequest& request) {
    if (const auto problem = parseArguments(arguments, request, [&](const QString& option, const auto& value) {
            return parseOption(option, value, request);
        }))
        return problem;
    if (request.help)
        return std::nullopt;
    if (request.output.isEmpty())
        return u"no output file given (-o OUT)"_s;
    const QString suffix = QFileInfo(request.output).suffix().toLower();
    if (suffix != u"xlsx" && suffix != u"csv")
        return u"the output file must end in .xlsx or .csv"_s;
    if (suffix == u"csv" && request.perFileSheets)
        return u"a .csv file holds one sheet: use .xlsx with --per-file-sheets"_s;
    if (request.splitOption == import::OptionButton::Option4 && !request.splitText)
        return u"--split text needs --split-text TEXT"_s;
    if (request.splitOption != import::OptionButton::Option4 && request.splitText)
        return u"--split-text goes with --split text"_s;
    return std::nullopt;
}

// The output file, to tell it from the inputs: its absolute path, and the device and inode of the
// file it names (through links) when that exists.
class OutputFile {
public:
    explicit OutputFile(const QString& path) : m_path(office::absoluteName(path)) {
        struct stat info{};
        if (::stat(office::nativeName(m_path).constData(), &info) == 0)
            m_identity = {info.st_dev, info.st_ino};
    }
    // Whether path (absolute) names the output file, by its name or through a link or another name.
    bool is(const QString& path) const {
        if (path == m_path)
            return true;
        struct stat info{};
        return m_identity && ::stat(office::nativeName(path).constData(), &info) == 0 &&
               std::pair(info.st_dev, info.st_ino) == *m_identity;
    }

private:
    QString m_path;
    std::optional<std::pair<dev_t, ino_t>> m_identity;
};

// Adds the presentations that one path argument names to the file list, as full paths. A file is
// taken as it is, whatever its name. A folder is walked like a drop on the list (every file below
// it), or like the folder scan when an extension is given, leaving out the output file; whatever
// could not be walked or listed is appended to problems, and the rest of the folder is added all the
// same.
void addInputPath(const QString& path, const std::optional<QString>& extension, const OutputFile& output,
                  QStringList& files, QStringList& problems) {
    struct stat status{};
    // By the name's own bytes, which Qt's file functions would not keep when they are no UTF-8.
    if (::stat(office::nativeName(path).constData(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        files.append(office::absoluteName(path));
        return;
    }
    QStringList found =
        filelist::filesBelow(office::absoluteName(path), extension ? u"*."_s + *extension : u"*.*"_s, problems);
    // A workbook saved into the folder by an earlier run is no input of the next.
    found.removeIf([&output](const QString& file) { return output.is(file); });
    files += found;
}

// Adds the time from its construction to its end to seconds.
class Stopwatch {
public:
    explicit Stopwatch(double& seconds) : m_seconds(seconds) {}
    Stopwatch(const Stopwatch&) = delete;
    Stopwatch& operator=(const Stopwatch&) = delete;
    ~Stopwatch() { m_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count(); }

private:
    double& m_seconds;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// Line ends as the terminal shows them: each CR LF or lone CR of a report becomes LF.
QString forTerminal(QString text) {
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    return text;
}

// The progress line, drawn over itself on a terminal and never written elsewhere.
class ProgressLine {
public:
    explicit ProgressLine(std::FILE* err) : m_err(err), m_enabled(::isatty(::fileno(err)) == 1) {}
    void show(const QString& text) {
        if (!m_enabled)
            return;
        writeUtf8(m_err, u"\r\x1b[K"_s + text);
        std::fflush(m_err);
        m_shown = true;
    }
    void clear() {
        if (m_shown)
            std::fputs("\r\x1b[K", m_err);
        m_shown = false;
    }

private:
    std::FILE* m_err;
    bool m_enabled;
    bool m_shown = false;
};

// The window's part: the list is the files given, the options are fixed, progress goes to the
// progress line ("Processing: name (i of n)").
class CommandLineWindow final : public import::ImportWindow {
public:
    CommandLineWindow(const ImportRequest& request, QStringList files, ProgressLine& progress)
        : m_request(request), m_files(std::move(files)), m_progress(progress) {}

    shell::PointerShape pointer() const override { return m_pointer; }
    void setPointer(shell::PointerShape shape) override { m_pointer = shape; }
    int entryCount() override { return static_cast<int>(m_files.size()); }
    QString entryText(int position) override {
        if (position < 1 || position > m_files.size())
            throw std::out_of_range("Index out of bounds");
        m_position = position;
        return m_files.at(position - 1);
    }
    QStringList entriesAfter(int position, int count) override { return m_files.mid(position, count); }
    bool optionChecked(import::OptionButton option) override {
        using import::OptionButton;
        if (option == OptionButton::Option5 || option == OptionButton::Option6)
            return (option == OptionButton::Option6) == m_request.perFileSheets;
        // Rows laid out here are separated here, their text only: the run separates nothing more.
        if (m_request.ownRows())
            return option == OptionButton::Option1;
        return option == m_request.splitOption;
    }
    QString presentationText(office::PresentationServer& server, const QString& path) override {
        const Stopwatch stopwatch(readingSeconds);
        if (!m_request.ownRows() && !m_request.choice.skipHidden)
            return import::ImportWindow::presentationText(server, path);
        if (!m_request.ownRows())
            return shownSlidesText(server, path);
        return laidOutRows(server, path);
    }
    QString text1() override { return m_request.splitText.value_or(QString()); }
    void setProgressValue(double) override {}
    void setProgressText(const QString& text) override {
        if (text.startsWith(u"Processing: "))
            m_progress.show(text + u" (%1 of %2)"_s.arg(m_position).arg(m_files.size()));
        else
            m_progress.clear();
    }
    // The time spent getting the presentations' text: reading them, or waiting for those read ahead.
    double readingSeconds = 0;

private:
    // The rows of one presentation: for each shape that gives text, a row for each of its paragraphs
    // (or of a table's rows), each led by the columns asked for.
    QString laidOutRows(office::PresentationServer& server, const QString& path) const {
        QString separator;
        switch (m_request.splitOption) {
        case import::OptionButton::Option2:
            separator = u" "_s;
            break;
        case import::OptionButton::Option3:
            separator = u","_s;
            break;
        case import::OptionButton::Option4:
            separator = m_request.splitText.value_or(QString());
            break;
        case import::OptionButton::Option7:
            separator = u"\t"_s;
            break;
        default:
            break;
        }
        const auto separated = [&](const QString& text) {
            return import::separateColumns(import::protectSplitMarks(text), separator);
        };
        const QString fileName = path.mid(path.lastIndexOf(u'/') + 1);
        QString rows;
        const auto layOut = [&](const import::ShapeText& shape) {
            QString lead;
            for (const QString& column : m_request.columns) {
                if (column == u"path")
                    lead += asColumn(office::shownName(path));
                else if (column == u"file")
                    lead += asColumn(office::shownName(fileName));
                else if (column == u"slide")
                    lead += QString::number(shape.slide);
                else if (column == u"shape")
                    lead += QString::number(shape.shape);
                else if (column == u"name")
                    lead += asColumn(shape.name);
                else if (column == u"kind")
                    lead += shape.kind;
                else if (column == u"hidden" && shape.hidden)
                    lead += u"1"_s;
                lead += import::SplitMark;
            }
            if (shape.columns > 0) {
                for (int row = 0; row < shape.rows(); ++row) {
                    rows += lead;
                    for (int column = 0; column < shape.columns; ++column) {
                        if (column > 0)
                            rows += import::SplitMark;
                        QString cell = shape.cells[static_cast<size_t>(row * shape.columns + column)];
                        cell.replace(u"\r\n"_s, u"\v"_s);
                        cell.replace(u'\r', u'\v');
                        cell.replace(u'\n', u'\v');
                        rows += separated(cell);
                    }
                    rows += u"\r\n"_s;
                }
                return;
            }
            // Every row end the staging file knows (CR LF, LF, CR) starts a row that repeats the lead.
            const QStringList paragraphs =
                QString(shape.text).replace(u"\r\n"_s, u"\r"_s).replace(u'\n', u'\r').split(u'\r');
            for (const QString& paragraph : paragraphs)
                rows += lead + separated(paragraph) + u"\r\n"_s;
        };
        try {
            // Qualified in full: a statement that begins with "import" reads as a module import to the
            // formatter.
            quorvane::import::ForEachShapeText(server, path, m_request.choice, layOut);
        } catch (const office::PartialReadError& damaged) {
            // What survived of a damaged file goes in like any other text, with its report.
            throw office::PartialReadError(damaged.damage(), rows);
        }
        return rows;
    }

    // The presentation's text as presentationText gives it, without the hidden slides: the run
    // separates it as usual.
    QString shownSlidesText(office::PresentationServer& server, const QString& path) const {
        QString text;
        const auto take = [&](const import::ShapeText& shape) { text += shape.text + u"\r\n"_s; };
        try {
            quorvane::import::ForEachShapeText(server, path, m_request.choice, take);
        } catch (const office::PartialReadError& damaged) {
            throw office::PartialReadError(damaged.damage(), import::protectSplitMarks(text));
        }
        return import::protectSplitMarks(text);
    }

    // A path or a name as one cell: a row end in it would start another, and its column marks are
    // text.
    static QString asColumn(QString value) {
        for (QChar& c : value)
            if (c == u'\r' || c == u'\n')
                c = QChar(QChar::ReplacementCharacter);
        return import::protectSplitMarks(value);
    }

    const ImportRequest& m_request;
    QStringList m_files;
    ProgressLine& m_progress;
    shell::PointerShape m_pointer = shell::PointerShape::Default;
    int m_position = 0;
};

// Every error report goes to standard error with its whole text; so does a notice, which is no
// failure and leaves the exit status alone.
class StderrReporter final : public shell::ErrorReporter {
public:
    StderrReporter(std::FILE* err, ProgressLine& progress) : m_err(err), m_progress(progress) {}
    void report(const QString& description, const QString& location, int line) override {
        notice(description, location, line);
        ++reports;
    }
    void notice(const QString& description, const QString& location, int line) override {
        m_progress.clear();
        writeUtf8(m_err, forTerminal(shell::errorReportText(description, location, line)) + u"\n\n"_s);
        std::fflush(m_err);
    }
    int reports = 0;

private:
    std::FILE* m_err;
    ProgressLine& m_progress;
};

// Message boxes become lines on standard error. Nobody can answer a question: the answer is No.
class StderrPrompts final : public shell::Prompts {
public:
    StderrPrompts(std::FILE* err, ProgressLine& progress) : m_err(err), m_progress(progress) {}
    shell::MessageAnswer messageBox(const QString& text, shell::MessageStyle style, const QString&) override {
        m_progress.clear();
        writeUtf8(m_err, u"quorvane-cli: "_s + forTerminal(text) + u"\n"_s);
        ++messages;
        return style == shell::MessageStyle::YesNo ? shell::MessageAnswer::No : shell::MessageAnswer::Ok;
    }
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
    int messages = 0;

private:
    std::FILE* m_err;
    ProgressLine& m_progress;
};

// Ctrl+C, a termination request (SIGTERM) and a closed terminal (SIGHUP) stop the run at its next
// yield, as closing the window does, or the save at its next row: no staging file or partial output
// is left behind.
std::atomic<bool> g_interrupted{false};
std::atomic<int> g_signal{0};

extern "C" void onInterrupt(int signal) {
    g_signal = signal;
    g_interrupted = true;
}

// Handles the three signals for its lifetime, then puts back what was there.
class StopSignals {
public:
    StopSignals() {
        g_interrupted = false;
        g_signal = 0;
        struct sigaction action{};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(Signals); ++i)
            ::sigaction(Signals[i], &action, &m_previous[i]);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals() {
        for (std::size_t i = 0; i < std::size(Signals); ++i)
            ::sigaction(Signals[i], &m_previous[i], nullptr);
    }

private:
    static constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction m_previous[std::size(Signals)]{};
};

class InterruptibleEvents final : public shell::EventPump {
public:
    void yield() override {
        if (g_interrupted)
            throw shell::OperationAborted{};
    }
};

// The services the run does not use on the command line.
class NoDialogs final : public shell::Dialogs {
public:
    QString showOpen(const shell::OpenFileRequest&) override { return {}; }
    QString pickFolder(const QString&) override { return {}; }
};
class NoSettings final : public shell::SettingsStore {
public:
    QString read(const QString&, const QString& defaultValue) override { return defaultValue; }
    void write(const QString&, const QString&) override {}
};
class NoDesktop final : public shell::Desktop {
public:
    void openUrl(const QString&) override {}
    shell::OpenResult openFolder(const QString&) override { return {}; }
    shell::OpenResult openFile(const QString&) override { return {}; }
};

// Saves the active workbook of the instance handed to the user: as .csv every sheet one after the
// other (a one-sheet run goes on in further sheets when its rows do not fit one), otherwise as .xlsx.
// A signal stops it; jobs threads deflate and check an .xlsx package. Throws office::SaveError with
// the reason (office::SaveStopped when stopped).
void saveResult(const office::SpreadsheetInstance& instance, const QString& path, office::CsvStyle csvStyle, int jobs) {
    const std::shared_ptr<office::Workbook> workbook = instance.activeWorkbook();
    if (!workbook)
        throw office::SaveError(path + u": nothing to save: the result has no workbook"_s);
    const office::SaveOptions options{&g_interrupted, jobs};
    if (QFileInfo(path).suffix().toLower() == u"csv") {
        std::vector<const office::Worksheet*> sheets;
        for (int i = 0; i < workbook->sheetCount(); ++i)
            sheets.push_back(&workbook->sheet(i));
        office::saveSheetsCsv(sheets, path, csvStyle, options);
    } else {
        office::saveWorkbookXlsx(*workbook, path, options);
    }
}

// Whether the result holds no cell at all (or there is none).
bool holdsNothing(const office::SpreadsheetInstance* instance) {
    const std::shared_ptr<office::Workbook> workbook = instance ? instance->activeWorkbook() : nullptr;
    if (!workbook)
        return true;
    for (int i = 0; i < workbook->sheetCount(); ++i)
        if (!workbook->sheet(i).isEmpty())
            return false;
    return true;
}

// Why the output cannot be written where it goes (its folder, or the folder of the file a link leads
// to, is missing or not writable), as saving it would say; empty when nothing stands in the way.
QString outputFolderProblem(const QString& output) {
    QByteArray target = office::nativeName(office::absoluteName(output));
    if (char* resolved = ::realpath(target.constData(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray("/") : target.left(slash);
    if (::access(folder.constData(), W_OK | X_OK) == 0)
        return {};
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    return QFileInfo(output).suffix().toLower() == u"csv"
               ? u"%1: the sheet could not be saved: %2"_s.arg(output, reason)
               : u"%1: the workbook could not be saved: %2"_s.arg(output, reason);
}

// Says why the command line cannot go on (usage), with the hint that follows every such message.
int usageError(std::FILE* err, const QString& problem) {
    writeUtf8(err, u"quorvane-cli import: "_s + problem + u"\n"_s);
    std::fputs("Try 'quorvane-cli import --help'.\n", err);
    return ExitUsage;
}

} // namespace

int runImport(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    ImportRequest request;
    if (const auto problem = parseRequest(arguments, request))
        return usageError(err, *problem);
    if (request.help) {
        std::fputs(ImportUsage, out);
        return 0;
    }
    // What the output cannot be is told before anything is read: a folder, a link that leads
    // nowhere, one of the presentations given.
    if (const QString problem = office::saveTargetProblem(request.output); !problem.isEmpty())
        return usageError(err, request.output + u": "_s + problem);
    // Nor is anything read for an output that cannot be written.
    if (const QString problem = outputFolderProblem(request.output); !problem.isEmpty()) {
        writeUtf8(err, u"quorvane-cli import: "_s + problem + u"\n"_s);
        return ExitReported;
    }
    QStringList listed;
    if (request.filesFrom) {
        if (const auto problem = readFileList(*request.filesFrom, request.nulSeparated, listed)) {
            writeUtf8(err, u"quorvane-cli import: "_s + *problem + u"\n"_s);
            return ExitReported;
        }
    }
    // The paths given, then those of the file list, in order.
    const QStringList inputs = request.paths + listed;
    const OutputFile output(request.output);
    for (const QString& path : inputs) {
        struct stat status{};
        const bool folder = ::stat(office::nativeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
        if (!folder && output.is(office::absoluteName(path)))
            return usageError(err, u"%1 is one of the inputs; it cannot be the output too"_s.arg(request.output));
    }
    prepareForManyFiles();
    QStringList files;
    bool walkFailed = false;
    for (const QString& path : inputs) {
        QStringList problems;
        addInputPath(path, request.extension, output, files, problems);
        for (const QString& problem : std::as_const(problems))
            writeUtf8(err, u"quorvane-cli import: "_s + problem + u"\n"_s);
        walkFailed = walkFailed || !problems.isEmpty();
    }
    if (files.isEmpty()) {
        std::fputs(request.filesFrom
                       ? "quorvane-cli import: the folders and the file list given hold no file to import\n"
                       : "quorvane-cli import: the folders given hold no file to import\n",
                   err);
        return ExitReported;
    }

    ProgressLine progress(err);
    StderrReporter reporter(err, progress);
    StderrPrompts prompts(err, progress);
    InterruptibleEvents events;
    NoDialogs dialogs;
    NoSettings settings;
    NoDesktop desktop;
    shell::ClockRandom random;
    office::LocalPresentationServer presentations(jobsOf(request));
    if (presentations.readAheadRefused())
        std::fputs("quorvane-cli import: no thread could be started to read ahead; reading one presentation at a "
                   "time\n",
                   err);
    office::SpreadsheetEngine spreadsheets;
    // The instance made visible is the result the desktop would show; here it is saved instead.
    std::shared_ptr<office::SpreadsheetInstance> result;
    spreadsheets.setHandOverHook(
        [&](const std::shared_ptr<office::SpreadsheetInstance>& instance) { result = instance; });

    shell::Services services{prompts, reporter,      dialogs,      settings,          desktop,  random,
                             events,  presentations, spreadsheets, u"quorvane-cli"_s, QString()};
    CommandLineWindow window(request, files, progress);
    quorvane::import::ImportRun run(services, window);

    const StopSignals stopSignals;
    double runSeconds = 0, savingSeconds = 0;
    {
        const Stopwatch stopwatch(runSeconds);
        run.PushButton2_Click();
    }
    progress.clear();

    int status = reporter.reports == 0 && prompts.messages == 0 && !walkFailed ? 0 : ExitReported;
    bool stopped = g_interrupted;
    if (!stopped && (run.presentationsRead() == 0 || (status != 0 && holdsNothing(result.get())))) {
        // Every presentation failed, or whatever was read failed to reach the sheet: an empty result
        // must not take the place of an earlier one, nor be a file of its own.
        struct stat existing{};
        const bool exists = ::lstat(office::nativeName(request.output).constData(), &existing) == 0;
        writeUtf8(err, exists
                           ? u"quorvane-cli import: nothing was imported; %1 is left as it was\n"_s.arg(request.output)
                           : u"quorvane-cli import: nothing was imported; %1 was not written\n"_s.arg(request.output));
        status = ExitReported;
    } else if (!stopped) {
        try {
            if (!result)
                throw office::SaveError(request.output + u": nothing to save: no workbook was made"_s);
            const Stopwatch stopwatch(savingSeconds);
            saveResult(*result, request.output, request.csvStyle, jobsOf(request));
        } catch (const office::SaveStopped&) {
            stopped = true;
        } catch (const std::exception& failure) {
            writeUtf8(err, u"quorvane-cli import: "_s + QString::fromUtf8(failure.what()) + u"\n"_s);
            status = ExitReported;
        }
    }
    if (stopped) {
        std::fputs("quorvane-cli import: interrupted; nothing saved\n", err);
        status = ExitSignalled + g_signal;
    }
    if (request.timings)
        writeUtf8(err, u"quorvane-cli import: %1 s reading the presentations, %2 s in the spreadsheet passes, %3 s "
                       u"saving (%4 at a time)\n"_s.arg(window.readingSeconds, 0, 'f', 3)
                           .arg(runSeconds - window.readingSeconds, 0, 'f', 3)
                           .arg(savingSeconds, 0, 'f', 3)
                           .arg(presentations.jobs()));
    // The user is done with the result, as when its window closes: the instance quits.
    if (result)
        result->quit();
    return status;
}

} // namespace quorvane::cli
