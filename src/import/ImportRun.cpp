#include "import/ImportRun.h"

#include "import/ColumnSeparation.h"
#include "import/ImportError.h"
#include "import/RowLayout.h"
#include "import/SheetNaming.h"
#include "import/SpreadsheetChecks.h"
#include "import/StagingFile.h"
#include "import/StagingText.h"

#include "office/AutomationError.h"
#include "office/CellNames.h"
#include "office/LocalNames.h"
#include "office/Utf8.h"
#include "shell/Guard.h"
#include "shell/Locations.h"

#include <QScopeGuard>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvane::import {

namespace {

using Instance = std::shared_ptr<office::SpreadsheetApplication>;

// The step numbers of one column separation: for each option in the order it is tested, the number
// of its test and of its replacement.
struct SeparationSteps {
    int space[2];
    int comma[2];
    int text[2];
    int tab[2];
};

// Thrown through the run once its staging file could not be made or written: the machine failed
// (no space, no temporary folder), not a presentation, so no later file would fare better.
struct StagingFailed {};

// A step that uses an instance that was never obtained fails like a member call on nothing.
office::SpreadsheetApplication& use(const Instance& instance) {
    if (!instance)
        throw office::AutomationError(u"No spreadsheet instance to use: it could not be started or reached"_s);
    return *instance;
}

// The run's failures go to the error report, or, when the window collects them, to its FailureLog
// with the presentation they concern.
class RunReporter final : public shell::ErrorReporter {
public:
    RunReporter(shell::ErrorReporter& errors, FailureLog* log) : m_errors(errors), m_log(log) {}

    // The presentation the statements from now on work for; empty for none.
    void setPath(const QString& path) { m_path = path; }
    const QString& path() const { return m_path; }

    void report(const QString& description, const QString& location, int line) override {
        if (m_log)
            m_log->failed({m_path, line, withoutPresentationName(description, m_path)});
        else
            m_errors.report(description, location, line);
    }
    void notice(const QString& description, const QString& location, int line) override {
        if (m_log)
            m_log->noticed(description);
        else
            m_errors.notice(description, location, line);
    }

private:
    shell::ErrorReporter& m_errors;
    FailureLog* m_log;
    QString m_path;
};

// One run of the import: the working state and its numbered steps. The numbers are the ones the
// error report shows; they follow the handler's statements in text order, not in execution order.
class Run {
public:
    Run(shell::Services& services, ImportWindow& window)
        : m_services(services), m_window(window), m_log(window.failureLog()), m_reporter(services.errors, m_log),
          m_guard(m_reporter, shell::location::PushButton2Click) {
        if (m_log)
            m_log->clear();
    }

    // The whole run, from the start checks to the end steps. OperationAborted passes through.
    void execute();
    // The number of presentations whose text was read.
    int presentationsRead() const { return m_presentationsRead; }
    // Whether the run stopped because its staging file could not be made or written.
    bool stagingFailed() const { return m_stagingFailed; }
    // Whether the run passed its start checks (and told the window so).
    bool started() const { return m_started; }

private:
    void singleSheetMode();
    void singleSheetPass(int pass);
    void perFileSheetMode();
    void perFileSheetPass(int pass);
    void applySeparation(StagingText& text, const SeparationSteps& steps);
    void fitToSheets(int step, StagingText& text);
    void writeStagingFile(int createStep, int openStep, StagingText& text, int pass);
    void deleteStagingFile(int step);
    void copyUsedRange(int step);
    void pasteCopy(int step);
    void tellWhatDidNotFit(int step, const StagingText& text, int pass);
    QString activeSheetName();
    void showProgress(int step, int i);
    bool readEntry(int step, int i);
    void hintWhatComesNext(int i);
    void readPresentation(int step);

    void finishCollecting();

    shell::Services& m_services;
    ImportWindow& m_window;
    FailureLog* m_log;
    RunReporter m_reporter;
    shell::Guard m_guard;

    int m_n = 0;
    QString m_path;
    QString m_fileText;
    StagingText m_allText;  // single sheet: every file's text, in list order
    StagingText m_thisFile; // per file: the current file's text
    // The run's staging files live in a private folder of its own, which goes with the run, with a
    // file still in it when the run was stopped before its quiet delete.
    StagingFolder m_stagingFolder;
    QString m_stagingPath;
    int m_presentationsRead = 0;
    Instance m_reading;
    Instance m_target;
    QString m_sheetName;
    QByteArray m_header; // the header row that starts each sheet of the text under way, in UTF-8; or none
    QString m_fileSheet; // per file: the name the current file's first sheet got
    bool m_copied = false;
    bool m_sheetAdded = false; // a further pass of one text got a sheet of its own to paste into
    bool m_toldWhereTextGoesOn = false;
    bool m_targetStarted = false; // this run started its target instance, rather than attached to one
    bool m_stagingFailed = false;
    bool m_started = false;
};

void Run::execute() {
    shell::Guard& g = m_guard;
    // An empty list: the message, and nothing else changes.
    if (g.test(104, [&] { return m_window.entryCount() == 0; })) {
        g.run(262, [&] {
            m_services.prompts.messageBox(u"No files added."_s, shell::MessageStyle::OkOnly,
                                          m_services.applicationTitle);
        });
        return;
    }
    // A spreadsheet instance is already running and the user did not say Yes: end silently.
    if (g.test(106, [&] {
            return WarnIfExcelOpen(m_services.spreadsheets, m_services.prompts, m_services.applicationTitle);
        }))
        return;
    m_window.setImportRunning(true);
    m_started = true;
    g.run(108, [&] { m_window.setPointer(shell::PointerShape::Busy); });
    // The sheet mode is read once, here; a failing test counts as passed (single sheet).
    try {
        if (g.test(112, [&] { return m_window.optionChecked(OptionButton::Option5); }))
            singleSheetMode();
        else
            perFileSheetMode();
    } catch (const StagingFailed&) {
        // Reported once where it failed. Nothing is handed over: a target this run started goes.
        m_stagingFailed = true;
        if (m_target && m_targetStarted) {
            try {
                m_target->quit();
            } catch (const std::exception&) {
            }
        }
    }
    m_reporter.setPath({});
    // A run without failures but with notices still tells them, in the one box.
    if (m_log && (!m_log->failures().empty() || !m_log->notices().empty()))
        finishCollecting();

    // End steps of both modes; no completion message.
    g.run(260, [&] { m_window.setPointer(shell::PointerShape::Default); });
    g.run(258, [&] {
        m_window.setProgressValue(0);
        m_window.setProgressText(u"Progress Bar"_s);
    });
}

void Run::singleSheetMode() {
    shell::Guard& g = m_guard;
    // Gather the text of every file; the bound n is read once, the count for the progress each time.
    g.assign(114, m_n, [&] { return m_window.entryCount(); });
    for (int i = 1; i <= m_n; ++i) {
        m_reporter.setPath({});
        g.run(116, [&] { m_services.events.yield(); });
        showProgress(124, i);
        if (!readEntry(118, i))
            continue; // the entry is gone: nothing to read at this position
        hintWhatComesNext(i);
        readPresentation(120);
        // Kept per file, in UTF-8: a text cut to fit a cell names the presentation it came from.
        g.run(122, [&] { m_allText.append(m_path, m_fileText); });
    } // 126: Next i
    m_fileText = QString();
    // The passes through the spreadsheet work for the presentations together.
    m_reporter.setPath({});

    applySeparation(m_allText, {{128, 130}, {132, 134}, {136, 138}, {140, 142}});
    fitToSheets(148, m_allText);
    // One pass through the spreadsheet per sheet's worth of rows, each with the same steps: the first
    // fills the first sheet of a new workbook, every further one a sheet added after the one before.
    const int passes = m_allText.passCount();
    for (int pass = 0; pass < passes; ++pass)
        singleSheetPass(pass);
    m_allText = StagingText();
}

void Run::singleSheetPass(int pass) {
    shell::Guard& g = m_guard;
    const bool first = pass == 0, last = pass + 1 == m_allText.passCount();
    writeStagingFile(144, 146, m_allText, pass);

    // A reading pass over the staging file, copied to the clipboard.
    g.assign(152, m_reading, [&] { return m_services.spreadsheets.create(); });
    g.run(154, [&] { use(m_reading).setDisplayAlerts(false); });
    g.run(156, [&] { use(m_reading).workbooksOpen(m_stagingPath, {}, {}, 6, {}, {}, {}, {}, QString(SplitMark)); });
    copyUsedRange(158);

    if (first) {
        // One paste into the first sheet of a new workbook in a fresh target instance.
        g.assign(160, m_target, [&] {
            Instance started = m_services.spreadsheets.create();
            m_targetStarted = true;
            return started;
        });
        g.run(162, [&] { use(m_target).workbooksAdd(); });
    } else {
        // The rows that did not fit go on in a sheet added after the last one filled.
        m_sheetAdded = false;
        g.run(162, [&] {
            use(m_target).sheetsAdd();
            m_sheetAdded = true;
        });
    }
    if (first || m_sheetAdded)
        pasteCopy(164);
    tellWhatDidNotFit(164, m_allText, pass);
    g.run(166, [&] { use(m_target).selectRange(u"A1"_s); });
    if (last)
        g.run(168, [&] { use(m_target).setVisible(true); });

    // The reading instance takes the staging workbook with it; its alerts are switched back after the quit.
    g.run(170, [&] { use(m_reading).quit(); });
    g.run(172, [&] { use(m_reading).setDisplayAlerts(true); });
    deleteStagingFile(176);
}

void Run::perFileSheetMode() {
    shell::Guard& g = m_guard;
    g.assign(178, m_n, [&] { return m_window.entryCount(); });
    for (int i = 1; i <= m_n; ++i) {
        m_reporter.setPath({});
        g.run(180, [&] {
            m_services.events.yield();
            m_window.setPointer(shell::PointerShape::Busy);
        });
        showProgress(248, i);
        if (!readEntry(182, i))
            continue; // the entry is gone: no sheet for a file that is not in the list
        hintWhatComesNext(i);
        readPresentation(184);
        m_thisFile = StagingText();
        m_thisFile.append(m_path, m_fileText);
        // The separation options and Text1 are read again for every file.
        applySeparation(m_thisFile, {{186, 188}, {190, 192}, {194, 196}, {198, 200}});
        fitToSheets(206, m_thisFile);
        // A text longer than a sheet goes on in sheets of its own right after the file's sheet, and
        // each such file tells where.
        m_toldWhereTextGoesOn = false;
        const int passes = m_thisFile.passCount();
        for (int pass = 0; pass < passes; ++pass)
            perFileSheetPass(pass);
    } // 250: Next i
    m_thisFile = StagingText();
    m_reporter.setPath({});
    g.run(252, [&] { use(m_target).setVisible(true); });
}

void Run::perFileSheetPass(int pass) {
    shell::Guard& g = m_guard;
    const bool first = pass == 0;
    writeStagingFile(202, 204, m_thisFile, pass);

    // A reading instance of this pass's own: open, copy, quit, release. The copy outlives it.
    g.assign(210, m_reading, [&] { return m_services.spreadsheets.create(); });
    g.run(212, [&] { use(m_reading).setDisplayAlerts(false); });
    g.run(214, [&] { use(m_reading).workbooksOpen(m_stagingPath, {}, {}, 6, {}, {}, {}, {}, QString(SplitMark)); });
    copyUsedRange(216);
    g.run(218, [&] { use(m_reading).quit(); });
    g.run(220, [&] { m_reading.reset(); });

    if (first) {
        // The target is whatever instance runs now: for later files the one started for the first,
        // or the user's own when the user chose to go on.
        if (g.test(222, [&] { return ExcelIsRunning(m_services.spreadsheets); })) {
            g.assign(224, m_target, [&] { return m_services.spreadsheets.attach(); });
        } else {
            g.assign(226, m_target, [&] {
                Instance started = m_services.spreadsheets.create();
                m_targetStarted = true;
                return started;
            });
            g.run(228, [&] { use(m_target).workbooksAdd(); });
        }
        g.run(230, [&] { use(m_target).sheetsAdd(); });

        // The sheet's name: the file name's letters and numbers, of any script, and spaces. When a
        // sheet already has the name as it would be assigned (cut to 30 UTF-16 units), in any case,
        // random digits make it distinct; the name gives way to them, so that the cut cannot take
        // them away again.
        g.assign(232, m_sheetName, [&] { return FilterChars(FileNameOf(m_path), SheetNameAlphabet); });
        if (g.test(234, [&] { return SheetExists(use(m_target), CleanSheetName(m_sheetName)); }))
            g.assign(236, m_sheetName,
                     [&] { return numberedName(CleanSheetName(m_sheetName), RandomUpTo(m_services.random, 8000)); });
        g.run(238, [&] { use(m_target).setActiveSheetName(CleanSheetName(m_sheetName)); });
        // A refused name was reported above; the paste still lands on the new sheet.
        pasteCopy(240);
        if (m_thisFile.passCount() > 1)
            m_fileSheet = activeSheetName();
    } else {
        // A further sheet for the same file, right after the one before, named after the file's own
        // sheet with the number of its part: "Q3 Reviewpptx (2)".
        m_sheetAdded = false;
        g.run(230, [&] {
            use(m_target).sheetsAdd();
            m_sheetAdded = true;
        });
        g.run(238, [&] {
            const QString part = u" (%1)"_s.arg(pass + 1);
            use(m_target).setActiveSheetName(leftUnits(CleanSheetName(m_fileSheet), MaxSheetNameLength - part.size()) +
                                             part);
        });
        if (m_sheetAdded)
            pasteCopy(240);
    }
    tellWhatDidNotFit(240, m_thisFile, pass);
    g.run(242, [&] { use(m_target).selectRange(u"A1"_s); });
    deleteStagingFile(246);
}

// Copies the used range of the reading instance's sheet to the clipboard.
void Run::copyUsedRange(int step) {
    m_copied = false;
    m_guard.run(step, [&] {
        use(m_reading).copyUsedRange();
        m_copied = true;
    });
}

// Pastes this pass's copy into the target. When the copy failed (reported), whatever the clipboard
// still holds belongs to another file or an earlier run, so nothing is pasted.
void Run::pasteCopy(int step) {
    m_guard.run(step, [&] {
        if (m_copied)
            use(m_target).paste();
    });
}

// Progress while file i is processed: i / count * 100, the count read afresh (the list may change
// during a yield). Not rounded, so it reads 100 while the last file is still being read.
void Run::showProgress(int step, int i) {
    m_guard.run(step, [&] {
        const int count = m_window.entryCount();
        if (count == 0)
            throw ImportError(u"Division by zero"_s);
        m_window.setProgressValue(static_cast<double>(i) / static_cast<double>(count) * 100.0);
    });
}

// Reads entry i into path and shows its name, then yields. False when the entry could not be read
// (the list was shortened during the run); the failure is reported and path keeps its old value,
// which the caller must not process a second time.
bool Run::readEntry(int step, int i) {
    bool read = false;
    m_guard.run(step, [&] {
        m_path = m_window.entryText(i);
        read = true;
        m_reporter.setPath(m_path);
        m_window.setProgressText(u"Processing: "_s + FileNameOf(office::shownName(m_path)));
        m_services.events.yield();
    });
    return read;
}

// Tells the presentation server that entry i, just read into path, is opened now and which entries
// follow it, so that it may read them ahead. The entries are read afresh for every file, as the list
// may change during a yield; the loop's bound n is not passed. Never a failure of its own.
void Run::hintWhatComesNext(int i) {
    office::PresentationServer& server = m_services.presentations;
    const int ahead = server.lookahead();
    if (ahead <= 0)
        return;
    try {
        QStringList paths{m_path};
        paths += m_window.entriesAfter(i, std::min(ahead - 1, m_n - i));
        server.prepare(paths);
    } catch (const std::exception&) {
        // Without a hint the server reads each presentation when it is opened.
    }
}

// fileText = the presentation's text. A presentation that cannot be read contributes no text,
// never the text of the file before it. A damaged one that gives what survived of it contributes
// that, and its damage is reported as the step's failure.
void Run::readPresentation(int step) {
    m_guard.run(step, [&] {
        m_fileText.clear();
        try {
            m_fileText = m_window.presentationText(m_services.presentations, m_path);
        } catch (const office::PartialReadError& damaged) {
            m_fileText = damaged.text();
            ++m_presentationsRead;
            throw;
        }
        ++m_presentationsRead;
    });
}

// The column separation of the options checked now; the first checked option wins. A failing test
// counts as passed, so its replacement runs.
void Run::applySeparation(StagingText& text, const SeparationSteps& steps) {
    shell::Guard& g = m_guard;
    // Text1 is read only by the replacement that uses it, when it runs.
    auto replace = [&](int step, OptionButton option) {
        g.run(step, [&] {
            text.separateColumns(separatorOf(option, option == OptionButton::Option4 ? m_window.text1() : QString()));
        });
    };
    if (g.test(steps.space[0], [&] { return m_window.optionChecked(OptionButton::Option2); }))
        replace(steps.space[1], OptionButton::Option2);
    else if (g.test(steps.comma[0], [&] { return m_window.optionChecked(OptionButton::Option3); }))
        replace(steps.comma[1], OptionButton::Option3);
    else if (g.test(steps.text[0], [&] { return m_window.optionChecked(OptionButton::Option4); }))
        replace(steps.text[1], OptionButton::Option4);
    else if (g.test(steps.tab[0], [&] { return m_window.optionChecked(OptionButton::Option7); }))
        replace(steps.tab[1], OptionButton::Option7);
}

// Cuts the cells too long for a cell and splits the text into a sheet's worth of rows per pass, as a
// part of writing the staging file (step). When the window asks for a header row, every sheet of the
// text starts with the same one, as wide as the text's widest row, so that sheets that continue one
// another read as one table. Should that fail, the text goes out in one pass, as it is.
void Run::fitToSheets(int step, StagingText& text) {
    m_header.clear();
    m_guard.run(step, [&] {
        const std::optional<std::vector<Column>> header = m_window.headerColumns();
        text.fit(header ? 1 : 0);
        if (header)
            m_header = office::toUtf8(headerRow(*header, text.widestRow()).join(SplitMark) + u"\r\n"_s);
    });
}

// stagingPath = a new staging file (createStep), then its three writing steps: open, write the header
// row (if any) and the pass's text and its line end, close (openStep and the two numbers after it). The
// text written is freed.
void Run::writeStagingFile(int createStep, int openStep, StagingText& text, int pass) {
    shell::Guard& g = m_guard;
    StagingFile staging(m_stagingFolder);
    // This pass's own file. One that cannot be made leaves the empty path, and opening it is the
    // step that fails and says why.
    QString created;
    g.run(createStep, [&] {
        created = staging.tryCreate();
        m_stagingPath = created;
    });
    // The staging file is the run's own: when it cannot be opened, written or closed, the first
    // failing step says why and the run stops, rather than pasting what a later pass might fit.
    const int failures = g.failures();
    g.run(openStep, [&] { staging.open(created); });
    if (g.failures() == failures)
        g.run(openStep + 2, [&] {
            std::vector<QByteArrayView> parts = text.pass(pass);
            if (!m_header.isEmpty())
                parts.insert(parts.begin(), QByteArrayView(m_header));
            staging.write(parts);
        });
    if (g.failures() == failures)
        g.run(openStep + 4, [&] { staging.close(); });
    if (g.failures() != failures)
        throw StagingFailed{};
    text.release(pass);
}

// The name of the target's active sheet as the user sees it; empty when it cannot be told.
QString Run::activeSheetName() {
    try {
        return use(m_target).activeSheetName();
    } catch (const std::exception&) {
        return {};
    }
}

// After the paste of a pass: tells once per text where rows that did not fit on one sheet go on, and
// reports every cell of the pass whose text was cut and every row that lost the cells past the last
// column, naming the presentation, the place and the cut.
void Run::tellWhatDidNotFit(int step, const StagingText& text, int pass) {
    // The rows of the text on this pass's sheet, and the rows above them there (a header row).
    const std::int64_t firstRow = pass * text.rowsPerPass() + 1, lastRow = firstRow + text.rowsPerPass() - 1;
    const std::int64_t above = m_header.isEmpty() ? 0 : 1;
    std::vector<const CutCell*> cuts;
    for (const CutCell& cut : text.cuts())
        if (cut.row >= firstRow && cut.row <= lastRow)
            cuts.push_back(&cut);
    std::vector<const CutRow*> cutRows;
    for (const CutRow& cut : text.cutRows())
        if (cut.row >= firstRow && cut.row <= lastRow)
            cutRows.push_back(&cut);
    // A further pass whose sheet could not be added was pasted nowhere: there is no sheet to name.
    const bool pasted = pass == 0 || m_sheetAdded;
    const bool goesOn = pass > 0 && pasted && !m_toldWhereTextGoesOn;
    if (!goesOn && cuts.empty() && cutRows.empty())
        return;
    const QString sheet = pasted ? activeSheetName() : QString();
    const QString onSheet = sheet.isEmpty() ? QString() : u" of the sheet \"%1\""_s.arg(sheet);
    if (goesOn) {
        m_toldWhereTextGoesOn = true;
        const QString of = &text == &m_thisFile ? u"The text of "_s + office::shownName(m_path) : u"The text"_s;
        m_guard.notice(step,
                       u"%1 has %2 rows; a sheet holds %3. The rows from %4 on continue on %5."_s.arg(
                           of, office::groupedNumber(text.rows()), office::groupedNumber(office::MaxRows),
                           office::groupedNumber(firstRow),
                           sheet.isEmpty()               ? u"the sheets after it"_s
                           : pass + 1 < text.passCount() ? u"the sheet \"%1\" and the sheets after it"_s.arg(sheet)
                                                         : u"the sheet \"%1\""_s.arg(sheet)));
    }
    // Each cut concerns the presentation its text came from.
    const QString working = m_reporter.path();
    const auto restorePath = qScopeGuard([&] { m_reporter.setPath(working); });
    for (const CutRow* cut : cutRows) {
        m_reporter.setPath(cut->path);
        m_guard.report(step, u"%1: row %2%3 has %4 cells; a sheet holds %5 columns, so its last %6 were cut."_s.arg(
                                 office::shownName(cut->path), office::groupedNumber(cut->row - firstRow + 1 + above),
                                 onSheet, office::groupedNumber(cut->cells), office::groupedNumber(office::MaxColumns),
                                 office::groupedNumber(cut->cells - office::MaxColumns)));
    }
    // A cell's limit is in UTF-16 units, which differ from characters past U+FFFF: the message counts
    // characters and says the units where they differ.
    for (const CutCell* cut : cuts) {
        const QString units =
            cut->units == cut->characters ? QString() : u" (%1 UTF-16 units)"_s.arg(office::groupedNumber(cut->units));
        m_reporter.setPath(cut->path);
        m_guard.report(
            step, u"%1: the text for row %2, column %3%4 has %5 characters%6; a cell holds %7 UTF-16 "
                  u"units, so its last %8 characters were cut."_s.arg(
                      office::shownName(cut->path), office::groupedNumber(cut->row - firstRow + 1 + above),
                      office::columnLetters(cut->column - 1), onSheet, office::groupedNumber(cut->characters), units,
                      office::groupedNumber(office::MaxCellUnits), office::groupedNumber(cut->characters - cut->kept)));
    }
}

// The end of a run that collected its failures: the sheet that lists them after the last sheet the
// run filled, handed over again so that the result shows it, and the one box that tells about them.
void Run::finishCollecting() {
    shell::Guard& g = m_guard;
    const std::vector<ImportFailure> failures = m_log->failures();
    QString sheet, sheetProblem;
    if (m_stagingFailed && !failures.empty()) {
        // The target went with the failed staging: the box is the only place left for the list.
        sheetProblem = failures.back().description;
    } else if (m_log->addsSheet() && !failures.empty()) {
        g.assign(254, sheet,
                 [&] { return addFailuresSheet(m_services.spreadsheets, use(m_target), m_stagingFolder, failures); });
        if (sheet.isEmpty())
            sheetProblem = m_log->failures().back().description;
        else
            g.run(254, [&] { use(m_target).setVisible(true); });
    }
    g.run(256, [&] {
        m_services.prompts.messageBox(failuresSummary(*m_log, m_n, sheet, sheetProblem),
                                      shell::MessageStyle::Information, m_services.applicationTitle);
    });
}

// DeleteQuietly yields first; if the window closes there, the file goes with the run's folder.
void Run::deleteStagingFile(int step) {
    m_guard.run(step, [&] { DeleteQuietly(m_services.events, m_stagingPath); });
}

} // namespace

QString ImportWindow::presentationText(office::PresentationServer& server, const QString& path) {
    return laidOutText(server, path, {}, {});
}

QStringList ImportWindow::entriesAfter(int position, int count) {
    QStringList texts;
    try {
        for (int at = position + 1; at <= position + count && at <= entryCount(); ++at)
            texts.append(entryText(at));
    } catch (const std::exception&) {
    }
    return texts;
}

void ImportRun::PushButton2_Click() {
    // A start from inside a yield of the run under way would share its target and the clipboard.
    if (m_running)
        return;
    m_running = true;
    struct Finished {
        bool& running;
        ~Finished() { running = false; }
    } finished{m_running};

    m_presentationsRead = 0;
    m_stagingFailed = false;
    // Waiting for a presentation read ahead, and a long read, handle the events as the run's yields
    // do, so that a stop (the window closed, a termination signal) ends the run even while the read
    // does not answer or takes long.
    office::PresentationServer& presentations = m_services.presentations;
    presentations.whileWaiting([&events = m_services.events] { events.poll(); });
    struct NoLongerWaiting {
        office::PresentationServer& server;
        ~NoLongerWaiting() { server.whileWaiting({}); }
    } noLongerWaiting{presentations};
    Run run(m_services, m_window);
    try {
        run.execute();
    } catch (const shell::OperationAborted&) {
        // The window closed during a yield: stop here and show nothing more. A staging file the quiet
        // delete did not reach goes with the run's folder.
    }
    if (run.started())
        m_window.setImportRunning(false);
    // Whatever the server read ahead and nobody opened goes now.
    m_services.presentations.prepare({});
    m_presentationsRead = run.presentationsRead();
    m_stagingFailed = run.stagingFailed();
}

} // namespace quorvane::import
