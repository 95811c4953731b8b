// quorvane-cli import: the import run without a window. The command line plays the window's part
// (file list, options, progress), prints every error report, and saves the workbook that the run
// hands to the user instead of showing it.
#include "cli/Commands.h"

#include "cli/CommandLineWindow.h"
#include "cli/ConsoleServices.h"
#include "cli/ImportRequest.h"
#include "import/ImportRun.h"
#include "office/LocalNames.h"
#include "office/presentation/LocalPresentationServer.h"
#include "office/spreadsheet/OutputFormat.h"
#include "office/spreadsheet/SpreadsheetEngine.h"
#include "shell/ClockRandom.h"
#include "shell/Services.h"

#include <cerrno>
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

// ".xlsx, .ods or .csv": the suffixes of the output formats, from their table.
QString suffixesInWords() {
    QStringList suffixes;
    for (const office::OutputFormatInfo& format : office::outputFormats())
        if (const QString suffix = u'.' + format.suffix.toString(); !suffixes.contains(suffix))
            suffixes.append(suffix);
    return import::listInWords(suffixes, u"or");
}

// The usage text; the lists of output formats, splits, columns and text kinds come from their tables.
QString importUsage() {
    return u"Usage: quorvane-cli import [OPTIONS] FILE... -o OUT\n"
           u"\n"
           u"Imports the text of the presentations, in the order given, into one workbook and saves it to OUT\n"
           u"(.xlsx or .ods, or .csv for a one-sheet result). Rows that do not fit one sheet (1,048,576) go on\n"
           u"in sheets added after it, and a .csv holds them all in order; where they go on is told on\n"
           u"standard error, as no failure. A FILE that is a folder stands for every file in it and below it,\n"
           u"as when it is dropped on the program's list; with --ext, for those the folder scan finds.\n"
           u"Every failure is reported on a line of standard error (quorvane-cli: PATH: DESCRIPTION\n"
           u"(statement N)), and the import goes on; the exit status is 0 only when no failure was\n"
           u"reported. When nothing was imported, OUT is not written (an existing one is left as it was). An\n"
           u"OUT whose folder is missing or not writable is refused before anything is read. OUT is never one\n"
           u"of the inputs: a folder given leaves it out, and a file given that is OUT is refused. When OUT is\n"
           u"a link, the file it leads to is replaced.\n"
           u"Ctrl+C, SIGTERM and SIGHUP stop the import and save nothing.\n"
           u"\n"
           u"Options:\n"
           u"  -o, --output OUT          the workbook to write ("_s +
           suffixesInWords() +
           u")\n"
           u"  --per-file-sheets         a sheet per presentation, named after its file (default: one sheet)\n"_s +
           splitUsage() +
           u"  --split-text TEXT         the text that --split text splits at\n"
           u"  --ext EXT                 take from folders only the files whose names match *.EXT, letters in\n"
           u"                            any case (ppt* for .ppt, .pptx and .pptm; * for every file; a\n"
           u"                            leading dot is allowed: .pptx)\n"
           u"  --csv STYLE               how a .csv is written: spreadsheets (default: a byte-order mark, a\n"
           u"                            line break in a cell as LF, and text that would read as a formula\n"
           u"                            gets a leading apostrophe) or exact (the text as it is)\n"_s +
           columnsUsage() +
           u"  --header                  start each sheet with a row naming its columns: the --columns\n"
           u"                            chosen, then text (text 2, text 3 ... for the further columns a\n"
           u"                            split makes)\n"_s +
           includeUsage() +
           u"  --skip-hidden             leave out the slides hidden in the slide show (the others keep\n"
           u"                            their numbers)\n"
           u"  --files-from LIST         also import the files that LIST names, one a line; - reads the list\n"
           u"                            from standard input   e.g. find . -name '*.pptx' | quorvane-cli\n"
           u"                            import --files-from - -o all.xlsx\n"
           u"  -0, --null                the --files-from list is separated by NUL characters (find -print0)\n"
           u"  --password-file FILE      open protected presentations with the passwords in FILE, one a line,\n"
           u"                            each tried in turn; - reads them from standard input\n"
           u"  -j, --jobs N              read N presentations at a time, 1 to 256 (default: one for each\n"
           u"                            processor core, at most 256; fewer when the system gives fewer\n"
           u"                            threads; 1 reads one after the other); the result is the same\n"
           u"  --failures-sheet          add a last sheet \"Failures\" to the workbook: a row per failure with\n"
           u"                            the presentation's path, the statement number and the description\n"
           u"  --timings                 tell on standard error how long the reading, the spreadsheet passes\n"
           u"                            and the saving took\n"
           u"  -h, --help                show this help and exit\n"
           u"\n"
           u"With --columns or --include every paragraph of a shape is a row that repeats where it came from;\n"
           u"a table's row is one row, its cells' paragraphs joined by line breaks; --split separates only the\n"
           u"text, never these columns. A line end in a path or a name shows as U+FFFD.\n"_s;
}

// Exit statuses; a run stopped by a signal ends with 128 plus the signal's number (130 for Ctrl+C).
constexpr int ExitReported = 1; // the import ran and something was reported, or the output failed
constexpr int ExitUsage = 2;
constexpr int ExitSignalled = 128;

// One option of import's own (not shared with text) into request; returns the problem.
std::optional<QString> parseOption(const QString& argument, const std::function<std::optional<QString>()>& value,
                                   ImportRequest& request) {
    if (argument == u"--per-file-sheets") {
        request.perFileSheets = true;
    } else if (argument == u"-o" || argument == u"--output") {
        const auto output = value();
        if (!output || output->isEmpty())
            return u"%1 needs a file name"_s.arg(argument);
        request.output = *output;
    } else if (argument == u"--split") {
        const std::optional<import::OptionButton> option = import::splitOptionNamed(value().value_or(QString()));
        if (!option) {
            QStringList names;
            for (const import::SplitMode& mode : import::splitModes())
                names.append(mode.name.toString());
            return u"--split takes %1"_s.arg(import::listInWords(names, u"or"));
        }
        request.splitOption = *option;
    } else if (argument == u"--csv") {
        const auto style = value();
        if (style == u"spreadsheets")
            request.csvStyle = office::CsvStyle::ForSpreadsheets;
        else if (style == u"exact")
            request.csvStyle = office::CsvStyle::Exact;
        else
            return u"--csv takes spreadsheets or exact"_s;
    } else if (argument == u"--columns") {
        request.columns.clear();
        for (const QString& name : value().value_or(QString()).split(u',')) {
            const std::optional<import::Column> column = import::columnNamed(name);
            if (!column)
                return u"--columns takes a list of %1, separated by commas"_s.arg(import::columnNamesInWords());
            request.columns.push_back(*column);
        }
    } else if (argument == u"--split-text") {
        request.splitText = value();
        if (!request.splitText)
            return u"--split-text needs a text"_s;
    } else if (argument == u"--header") {
        request.header = true;
    } else if (argument == u"--timings") {
        request.timings = true;
    } else if (argument == u"--failures-sheet") {
        request.failuresSheet = true;
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
    const std::optional<office::OutputFormat> format = office::formatOfName(request.output, request.csvStyle);
    if (!format)
        return u"the output file must end in %1"_s.arg(suffixesInWords());
    request.format = *format;
    if (office::infoOf(*format).oneSheet && request.perFileSheets)
        return u"a .csv file holds one sheet: use .xlsx or .ods with --per-file-sheets"_s;
    if (office::infoOf(*format).oneSheet && request.failuresSheet)
        return u"a .csv file holds one sheet: use .xlsx or .ods with --failures-sheet"_s;
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

// Saves the active workbook of the instance handed to the user in format: a .csv holds every sheet
// one after the other (a one-sheet run goes on in further sheets when its rows do not fit one, under
// the first one's header row when headerRows). A signal stops it; jobs threads deflate and check a
// package. Throws office::SaveError with the reason (office::SaveStopped when stopped).
void saveResult(const office::SpreadsheetInstance& instance, const QString& path, office::OutputFormat format, int jobs,
                bool headerRows) {
    const std::shared_ptr<office::Workbook> workbook = instance.activeWorkbook();
    if (!workbook)
        throw office::SaveError(path + u": nothing to save: the result has no workbook"_s);
    office::saveWorkbookAs(*workbook, path, format, {&interruptRequested(), jobs, headerRows});
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
QString outputFolderProblem(const QString& output, office::OutputFormat format) {
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
    return office::infoOf(format).oneSheet ? u"%1: the sheet could not be saved: %2"_s.arg(output, reason)
                                           : u"%1: the workbook could not be saved: %2"_s.arg(output, reason);
}

// Says why the command line cannot go on (usage), with the hint that follows every such message.
int usageError(std::FILE* err, const QString& problem) {
    writeMessage(err, u"quorvane-cli import: "_s + problem + u"\n"_s);
    std::fputs("Try 'quorvane-cli import --help'.\n", err);
    return ExitUsage;
}

// Whether the output may be written and where the presentations to import are: the paths given,
// then those of the file list, folders walked, the output left out. Returns the exit status when the
// command stops here; walkFailed tells whether a folder could not be walked whole.
std::optional<int> collectInputs(const ImportRequest& request, std::FILE* err, QStringList& files, bool& walkFailed) {
    // What the output cannot be is told before anything is read: a folder, a link that leads
    // nowhere, one of the presentations given.
    if (const QString problem = office::saveTargetProblem(request.output); !problem.isEmpty())
        return usageError(err, request.output + u": "_s + problem);
    // Nor is anything read for an output that cannot be written.
    if (const QString problem = outputFolderProblem(request.output, request.format); !problem.isEmpty()) {
        writeMessage(err, u"quorvane-cli import: "_s + problem + u"\n"_s);
        return ExitReported;
    }
    QStringList listed;
    if (request.filesFrom) {
        if (const auto problem = readFileList(*request.filesFrom, request.nulSeparated, listed)) {
            writeMessage(err, u"quorvane-cli import: "_s + *problem + u"\n"_s);
            return ExitReported;
        }
    }
    // The paths given, then those of the file list, in order.
    const QStringList inputs = request.paths + listed;
    const OutputFile output(request.output);
    for (const QString& path : inputs) {
        if (!isFolder(path) && output.is(office::absoluteName(path)))
            return usageError(err, u"%1 is one of the inputs; it cannot be the output too"_s.arg(request.output));
    }
    prepareForManyFiles();
    for (const QString& path : inputs) {
        QStringList problems;
        // A workbook saved into the folder by an earlier run is no input of the next.
        addInputPath(
            path, request.extension, [&output](const QString& file) { return output.is(file); }, files, problems);
        for (const QString& problem : std::as_const(problems))
            writeMessage(err, u"quorvane-cli import: "_s + problem + u"\n"_s);
        walkFailed = walkFailed || !problems.isEmpty();
    }
    if (files.isEmpty()) {
        std::fputs(request.filesFrom
                       ? "quorvane-cli import: the folders and the file list given hold no file to import\n"
                       : "quorvane-cli import: the folders given hold no file to import\n",
                   err);
        return ExitReported;
    }
    return std::nullopt;
}

// One import run on the command line, with the services it uses, from the run to the saved output.
class ConsoleImport {
public:
    ConsoleImport(const ImportRequest& request, const QStringList& files, std::FILE* err,
                  std::shared_ptr<office::PasswordSource> passwords)
        : m_request(request), m_err(err), m_progress(err), m_reporter(err, m_progress), m_prompts(err, m_progress),
          m_presentations(jobsOf(request)),
          m_services{m_prompts, m_reporter,      m_dialogs,      m_settings,        m_desktop, m_random,
                     m_events,  m_presentations, m_spreadsheets, u"quorvane-cli"_s, QString()},
          m_failures(err, m_progress, request.failuresSheet), m_window(request, files, m_progress, m_failures),
          m_run(m_services, m_window) {
        m_presentations.usePasswords(std::move(passwords));
        if (m_presentations.readAheadRefused())
            std::fputs("quorvane-cli import: no thread could be started to read ahead; reading one presentation "
                       "at a time\n",
                       err);
        // The instance made visible is the result the desktop would show; here it is saved instead.
        m_spreadsheets.setHandOverHook(
            [this](const std::shared_ptr<office::SpreadsheetInstance>& instance) { m_result = instance; });
    }

    void run() {
        {
            const Stopwatch stopwatch(m_runSeconds);
            m_run.PushButton2_Click();
        }
        m_progress.clear();
    }

    // Saves the result unless nothing was imported or a signal stopped the run, tells the timings
    // when asked, and lets the result go. Returns the exit status.
    int finish(bool walkFailed) {
        int status = m_failures.failures().empty() && m_reporter.reports == 0 && m_prompts.messages == 0 && !walkFailed
                         ? 0
                         : ExitReported;
        bool stopped = interruptRequested();
        if (!stopped && m_run.stagingFailed()) {
            // The machine failed, not a presentation: what was imported is no result to save.
            reportNotSaved(u"the import stopped"_s);
            status = ExitReported;
        } else if (!stopped && (m_run.presentationsRead() == 0 || (status != 0 && holdsNothing(m_result.get())))) {
            reportNotSaved(u"nothing was imported"_s);
            status = ExitReported;
        } else if (!stopped) {
            save(status, stopped);
        }
        if (stopped) {
            std::fputs("quorvane-cli import: interrupted; nothing saved\n", m_err);
            status = ExitSignalled + stopSignal();
        }
        if (m_request.timings)
            writeMessage(m_err,
                         u"quorvane-cli import: %1 s reading the presentations, %2 s in the spreadsheet passes, %3 s "
                         u"saving (%4 at a time)\n"_s.arg(m_window.readingSeconds, 0, 'f', 3)
                             .arg(m_runSeconds - m_window.readingSeconds, 0, 'f', 3)
                             .arg(m_savingSeconds, 0, 'f', 3)
                             .arg(m_presentations.jobs()));
        // The user is done with the result, as when its window closes: the instance quits.
        if (m_result)
            m_result->quit();
        return status;
    }

private:
    // Every presentation failed, or whatever was read failed to reach the sheet, or the run stopped:
    // an empty or partial result must not take the place of an earlier one, nor be a file of its own.
    void reportNotSaved(const QString& why) {
        struct stat existing{};
        const bool exists = ::lstat(office::nativeName(m_request.output).constData(), &existing) == 0;
        writeMessage(m_err, (exists ? u"quorvane-cli import: %1; %2 is left as it was\n"_s
                                    : u"quorvane-cli import: %1; %2 was not written\n"_s)
                                .arg(why, m_request.output));
    }

    void save(int& status, bool& stopped) {
        try {
            if (!m_result)
                throw office::SaveError(m_request.output + u": nothing to save: no workbook was made"_s);
            const Stopwatch stopwatch(m_savingSeconds);
            saveResult(*m_result, m_request.output, m_request.format, jobsOf(m_request), m_request.header);
        } catch (const office::SaveStopped&) {
            stopped = true;
        } catch (const std::exception& failure) {
            writeMessage(m_err, u"quorvane-cli import: "_s + QString::fromUtf8(failure.what()) + u"\n"_s);
            status = ExitReported;
        }
    }

    const ImportRequest& m_request;
    std::FILE* m_err;
    ProgressLine m_progress;
    StderrReporter m_reporter;
    StderrPrompts m_prompts;
    InterruptibleEvents m_events;
    NoDialogs m_dialogs;
    NoSettings m_settings;
    NoDesktop m_desktop;
    shell::ClockRandom m_random;
    office::LocalPresentationServer m_presentations;
    office::SpreadsheetEngine m_spreadsheets;
    std::shared_ptr<office::SpreadsheetInstance> m_result;
    shell::Services m_services;
    StderrFailureLog m_failures;
    CommandLineWindow m_window;
    quorvane::import::ImportRun m_run;
    double m_runSeconds = 0, m_savingSeconds = 0;
};

} // namespace

int runImport(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    const WriteSignalsIgnored writeSignals;
    ImportRequest request;
    if (const auto problem = parseRequest(arguments, request))
        return usageError(err, *problem);
    if (request.help) {
        writeUtf8(out, importUsage());
        return 0;
    }
    QStringList files;
    bool walkFailed = false;
    if (const std::optional<int> stop = collectInputs(request, err, files, walkFailed))
        return *stop;
    std::shared_ptr<office::PasswordSource> passwords;
    if (const auto problem = readPasswords(request, passwords)) {
        writeUtf8(err, u"quorvane-cli import: "_s + *problem + u"\n"_s);
        return ExitReported;
    }
    ConsoleImport command(request, files, err, passwords);
    const StopSignals stopSignals;
    command.run();
    const int status = command.finish(walkFailed);
    passwords->forget();
    return status;
}

} // namespace quorvane::cli
