#include "filelist/FolderCommands.h"

#include "filelist/FolderScan.h"
#include "filelist/ListError.h"

#include "office/LocalNames.h"
#include "shell/Guard.h"
#include "shell/Locations.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace quorvane::filelist {

namespace {

QString text(const char16_t* constant) {
    return QStringView(constant).toString();
}

// A drop has no numbered statements: whatever step fails, its failure is told under the drop's own
// location and line 0.
class DropReporter final : public shell::ErrorReporter {
public:
    explicit DropReporter(shell::ErrorReporter& target) : m_target(target) {}
    void report(const QString& description, const QString&, int) override {
        m_target.report(description, text(shell::location::ListView1DragDrop), 0);
    }
    void notice(const QString& description, const QString&, int) override {
        m_target.notice(description, text(shell::location::ListView1DragDrop), 0);
    }

private:
    shell::ErrorReporter& m_target;
};

class NoYield final : public shell::EventPump {
public:
    void yield() override {}
    void poll() override {}
};

// A dropped path is walked when it names a folder, hidden ones included (a folder entry in the list
// could never be imported).
bool isFolder(const QString& path) {
    const QFileInfo info(path);
    return !path.isEmpty() && info.isDir();
}

} // namespace

void PushButton4_Click(shell::Services& services, shell::PointerHost& window, FileList& list) {
    shell::Guard g(services.errors, text(shell::location::PushButton4Click));
    QString answer;
    g.assign(100, answer, [&] {
        return services.prompts.inputBox(text(ExtensionPrompt), services.applicationTitle, text(ExtensionDefault));
    });
    if (g.test(102, [&] { return answer.isEmpty(); }))
        return;
    g.run(104, [&] { services.settings.write(text(ExtensionKey), answer); });
    QString path;
    g.assign(106, path, [&] { return PickFolder(services.dialogs, text(FolderPrompt)); });
    if (g.test(108, [&] { return path.isEmpty(); }))
        return;
    g.run(110, [&] { window.setPointer(shell::PointerShape::Busy); });
    // The root "/" enters as "//"; the appending step makes every doubled separator single again.
    QStringList folders;
    g.run(112, [&] { folders.append(path + u'/'); });
    ScanSkips skips;
    g.run(114, [&] { CollectSubfolders(folders, true, services.events, skips); });
    // The appending does not yield, so nothing else changes the list meanwhile.
    const int before = list.Count();
    AppendFolderFiles(folders, u"*."_s + answer, list, &g, &skips); // statements 116 to 130
    const bool added = list.Count() > before;
    // What the scan left out is told once, under the walk's number, after everything else was added.
    if (!skips.empty())
        g.report(114, skips.description());
    g.run(132, [&] { window.setPointer(shell::PointerShape::Default); });
    // A scan that found nothing says what it looked for and where, rather than nothing at all.
    if (!added)
        g.run(134, [&] {
            services.prompts.messageBox(noFilesFoundMessage(answer, path), shell::MessageStyle::Information,
                                        services.applicationTitle);
        });
}

QString noFilesFoundMessage(const QString& extension, const QString& folder) {
    return u"No files with the extension %1 were found in %2 or below it."_s.arg(extension, office::shownName(folder));
}

void appendDroppedItems(const QStringList& paths, FileList& list, shell::EventPump& events,
                        shell::ErrorReporter& errors) {
    DropReporter reporter(errors);
    shell::Guard guard(reporter, text(shell::location::ListView1DragDrop));
    ScanSkips skips; // one report for the whole drop
    for (const QString& path : paths) {
        if (!isFolder(path)) {
            list.Add(path);
            continue;
        }
        QStringList folders{path + u'/'};
        guard.run(0, [&] { CollectSubfolders(folders, true, events, skips); });
        AppendFolderFiles(folders, u"*.*"_s, list, &guard, &skips);
    }
    if (!skips.empty())
        guard.report(0, skips.description());
}

QString samplesFolder(const QString& programFolder) {
    const QString beside = programFolder + u"/Samples"_s;
    const QString candidates[] = {
        beside,
        QDir::cleanPath(programFolder + u'/' + QStringLiteral(QUORVANE_SAMPLES_FROM_PROGRAM)),
    };
    for (const QString& folder : candidates) {
        if (QFileInfo(folder).isDir())
            return folder;
    }
    return beside;
}

QString noFolderProgramMessage(const QString& samplesFolder) {
    return u"No program to show folders is set up on this computer.\r\rThe sample files are in this folder:\r"_s +
           samplesFolder;
}

void PushButton9_Click(shell::Services& services, FileList& list) {
    shell::Guard g(services.errors, text(shell::location::PushButton9Click));
    const QString folder = samplesFolder(services.programFolder);
    QStringList names;
    g.assign(100, names, [&] { return ListMatchingFiles(folder, u"*.*"_s); });
    for (const QString& name : std::as_const(names)) // 102
        g.run(104, [&] { list.Add(folder + u'/' + name); });
    shell::MessageAnswer answer = shell::MessageAnswer::No;
    g.assign(106, answer, [&] {
        return services.prompts.messageBox(text(SamplesQuestion), shell::MessageStyle::YesNo,
                                           services.applicationTitle);
    });
    if (answer == shell::MessageAnswer::Yes) {
        g.run(108, [&] {
            // A desktop without a file manager must not leave the user waiting for a window that
            // never comes. That is no failure of the program: the user is told where the samples are.
            // Any other failure is this step's report.
            const shell::OpenResult result = services.desktop.openFolder(folder);
            if (result.noProgram)
                services.prompts.messageBox(noFolderProgramMessage(folder), shell::MessageStyle::Information,
                                            services.applicationTitle);
            else if (!result.opened())
                throw ListError(u"The folder \"%1\" could not be opened: %2."_s.arg(folder, result.failure));
        });
    }
}

QStringList filesBelow(const QString& folder, const QString& pattern, QStringList& problems) {
    // Every failure is told, and what could be read is kept.
    class Collector final : public shell::ErrorReporter {
    public:
        explicit Collector(QStringList& into) : m_into(into) {}
        void report(const QString& description, const QString&, int) override { m_into.append(description); }
        void notice(const QString& description, const QString&, int) override { m_into.append(description); }

    private:
        QStringList& m_into;
    } collector(problems);
    shell::Guard guard(collector, QString());
    NoYield events;
    QStringList folders{folder + u'/'};
    ScanSkips skips;
    CollectSubfolders(folders, true, events, skips);
    FileList list;
    AppendFolderFiles(folders, pattern, list, &guard, &skips);
    if (!skips.empty())
        problems.append(skips.description());
    return list.entries();
}

} // namespace quorvane::filelist
