#include "import/ImportFailures.h"

#include "import/ColumnSeparation.h"
#include "import/ShapeTexts.h"
#include "import/SheetNaming.h"
#include "import/StagingText.h"

#include "office/CellNames.h"
#include "office/LocalNames.h"

#include <QSet>

#include <algorithm>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::import {

namespace {

// The most failures the box lists itself when the sheet could not be added.
constexpr int FailuresListed = 20;

// A path as one cell of a row: a line end in it would end the row.
QString pathCell(const QString& path) {
    QString shown = office::shownName(path);
    for (QChar& c : shown)
        if (c == u'\r' || c == u'\n')
            c = QChar(QChar::ReplacementCharacter);
    return protectSplitMarks(shown);
}

// The staged rows of the sheet: path, statement, description.
QString failureRows(const std::vector<ImportFailure>& failures) {
    QString rows;
    for (const ImportFailure& failure : failures)
        rows += pathCell(failure.path) + SplitMark + QString::number(failure.statement) + SplitMark +
                protectSplitMarks(cellOnOneLine(failure.description)) + u"\r\n"_s;
    return rows;
}

// The first of "Failures", "Failures (2)", ... that no sheet of the target's workbook has.
QString freeSheetName(office::SpreadsheetApplication& target) {
    const QString base = QString::fromUtf16(FailuresSheet);
    QString name = base;
    for (int n = 2; SheetExists(target, name); ++n)
        name = u"%1 (%2)"_s.arg(base).arg(n);
    return name;
}

// Copies the used range of the staging file at path to the clipboard through an instance of its own,
// which is gone afterwards whatever failed.
void copyStagingFile(office::SpreadsheetServer& server, const QString& path) {
    const std::shared_ptr<office::SpreadsheetApplication> reading = server.create();
    struct Quit {
        office::SpreadsheetApplication& instance;
        ~Quit() {
            try {
                instance.quit();
            } catch (const std::exception&) {
                // An instance that cannot quit is dropped with the last reference.
            }
        }
    } quit{*reading};
    reading->setDisplayAlerts(false);
    reading->workbooksOpen(path, {}, {}, 6, {}, {}, {}, {}, QString(SplitMark));
    reading->copyUsedRange();
}

} // namespace

void FailureLog::clear() {
    m_failures.clear();
    m_notices.clear();
}

int FailureLog::presentationsFailed() const {
    QSet<QString> paths;
    for (const ImportFailure& failure : m_failures)
        if (!failure.path.isEmpty())
            paths.insert(failure.path);
    return static_cast<int>(paths.size());
}

QString withoutPresentationName(const QString& description, const QString& path) {
    if (path.isEmpty())
        return description;
    // The readers name a file by its full path as shownName shows it; other steps by the path as given.
    for (const QString& name : {office::shownName(office::absoluteName(path)), office::shownName(path)}) {
        const QString prefix = name + u": "_s;
        if (description.startsWith(prefix))
            return description.mid(prefix.size());
    }
    return description;
}

QString addFailuresSheet(office::SpreadsheetServer& server, office::SpreadsheetApplication& target,
                         StagingFolder& folder, const std::vector<ImportFailure>& failures) {
    StagingText text;
    text.append(QString(), failureRows(failures));
    text.fit();
    QString first;
    for (int pass = 0; pass < text.passCount(); ++pass) {
        StagingFile staging(folder);
        const QString path = staging.create();
        struct Remove {
            const QString& path;
            ~Remove() { ::unlink(office::nativeName(path).constData()); }
        } remove{path};
        staging.open(path);
        staging.write(text.pass(pass));
        staging.close();
        text.release(pass);
        copyStagingFile(server, path);

        const QString name = freeSheetName(target);
        target.sheetsAdd();
        target.setActiveSheetName(name);
        target.paste();
        target.selectRange(u"A1"_s);
        if (first.isEmpty())
            first = name;
    }
    return first;
}

QString failuresSummary(const FailureLog& log, int presentations, const QString& sheet, const QString& sheetProblem) {
    QStringList paragraphs;
    const std::vector<ImportFailure>& failures = log.failures();
    if (!failures.empty()) {
        const int failed = log.presentationsFailed();
        // A run whose only failure concerned no presentation (its staging file) does not say "0 of".
        QStringList counts;
        if (failed > 0)
            counts.append(u"%1 of %2 presentations %3 read only in part."_s.arg(
                office::groupedNumber(failed), office::groupedNumber(presentations),
                failed == 1 ? u"failed or was"_s : u"failed or were"_s));
        const auto unattached = std::count_if(failures.begin(), failures.end(),
                                              [](const ImportFailure& failure) { return failure.path.isEmpty(); });
        if (unattached > 0)
            counts.append(u"%1 %2 no single presentation."_s.arg(
                office::groupedNumber(unattached), unattached == 1 ? u"failure concerned"_s : u"failures concerned"_s));
        paragraphs.append(counts.join(u' '));
        const QString every =
            failures.size() == 1
                ? u"the failure"_s
                : u"every failure: %1 in all"_s.arg(office::groupedNumber(static_cast<std::int64_t>(failures.size())));
        if (!sheet.isEmpty()) {
            paragraphs.append(u"The sheet \"%1\" at the end of the workbook lists %2."_s.arg(sheet, every));
        } else if (log.addsSheet()) {
            // Without the sheet the box is the only place left that says what failed.
            QStringList lines;
            for (std::size_t i = 0; i < failures.size() && i < FailuresListed; ++i) {
                const ImportFailure& failure = failures[i];
                const QString where = failure.path.isEmpty() ? QString() : office::shownName(failure.path) + u": "_s;
                lines.append(u"%1%2 (statement %3)"_s.arg(where, failure.description).arg(failure.statement));
            }
            if (failures.size() > FailuresListed)
                lines.append(u"… and %1 more."_s.arg(
                    office::groupedNumber(static_cast<std::int64_t>(failures.size() - FailuresListed))));
            paragraphs.append(u"The sheet of failures could not be added: %1"_s.arg(sheetProblem));
            paragraphs.append(lines.join(u'\r'));
        }
    }
    paragraphs += log.notices();
    return paragraphs.join(u"\r\r"_s);
}

} // namespace quorvane::import
