#pragma once

#include "import/StagingFile.h"
#include "office/SpreadsheetServer.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace quorvane::import {

// One failure of an import run, as the run collects it instead of showing its error report.
struct ImportFailure {
    QString path;        // the presentation it concerns, as the list holds it; empty when none
    int statement = 0;   // the number of the statement that failed
    QString description; // what failed, without the presentation's name in front (path says it)
};

// The name of the sheet that lists the failures of a run.
inline constexpr char16_t FailuresSheet[] = u"Failures";

// Where an import run's failures go when they do not stop a batch (ImportWindow::failureLog): a
// failing statement shows no error report and the run goes on; at its end the run adds the sheet
// FailuresSheet after the last one it filled (when addsSheet()) and tells in one information box how
// many presentations failed or were read only in part. A run starts by clearing the log.
class FailureLog {
public:
    explicit FailureLog(bool addsSheet = true) : m_addsSheet(addsSheet) {}
    virtual ~FailureLog() = default;

    // Each failure as it happens; kept in order.
    virtual void failed(const ImportFailure& failure) { m_failures.push_back(failure); }
    // Something the user must know that is no failure (where the rows of a long text go on), with
    // the text ErrorReporter::notice gives; kept for the box at the end.
    virtual void noticed(const QString& description) { m_notices.append(description); }

    void clear();
    const std::vector<ImportFailure>& failures() const { return m_failures; }
    const QStringList& notices() const { return m_notices; }
    bool addsSheet() const { return m_addsSheet; }
    // How many different presentations the failures concern.
    int presentationsFailed() const;

private:
    bool m_addsSheet;
    std::vector<ImportFailure> m_failures;
    QStringList m_notices;
};

// The description without the name of the presentation at path in front ("<full path>: " as the
// readers name a file, or the path as given), which the failure's path column says already.
QString withoutPresentationName(const QString& description, const QString& path);

// Adds the failures to the target's active workbook as a sheet of their own, after its active sheet:
// named FailuresSheet, or "Failures (2)" and so on when a sheet has that name; a row per failure in
// order with the path, the statement number and the description, each on one line; the sheet's A1
// selected. The rows take the way of the import's text: a staging file in folder, opened split at the
// SplitMark by an instance of server of its own, its used range copied and pasted. Rows that do not
// fit one sheet go on in the sheets after it. Returns the (first) sheet's name; throws the failure
// of the step that failed, and whatever of the sheet was made stays.
QString addFailuresSheet(office::SpreadsheetServer& server, office::SpreadsheetApplication& target,
                         StagingFolder& folder, const std::vector<ImportFailure>& failures);

// The information box at the end of a run that collected its failures: how many of the presentations
// failed or were read only in part and how many failures concerned none of them; where the failures
// are listed (sheet, when it was added), or, when adding it failed (sheetProblem), the failures
// themselves (the first few) and why the sheet is missing; then the notices.
QString failuresSummary(const FailureLog& log, int presentations, const QString& sheet, const QString& sheetProblem);

} // namespace quorvane::import
