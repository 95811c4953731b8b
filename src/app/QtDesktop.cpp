#include "app/QtDesktop.h"

#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace quorvane::app {

namespace {

// How long xdg-open gets to answer. Under a desktop environment it hands the path to the desktop
// and ends at once; without one it runs the chosen program itself and ends only when that program
// does. So an xdg-open still running after this long has found a program and is left to it.
constexpr int AnswerMilliseconds = 2000;

// Why xdg-open could not open a path, from its exit code (xdg-utils documents 1 to 4) and what it
// wrote on standard error.
QString reasonOf(int exitCode, const QString& errors) {
    switch (exitCode) {
    case 2:
        return u"it does not exist"_s;
    case 3:
        return u"no program on this computer is set up to open it"_s;
    case 4:
        return u"the program set up to open it failed"_s;
    default:
        break;
    }
    const QString said = errors.trimmed().section(u'\n', -1).trimmed();
    if (!said.isEmpty())
        return said;
    return exitCode < 0 ? u"xdg-open stopped unexpectedly"_s : u"xdg-open ended with code %1"_s.arg(exitCode);
}

} // namespace

void QtDesktop::openUrl(const QString& url) {
    QDesktopServices::openUrl(QUrl(url));
}

shell::OpenResult QtDesktop::openFolder(const QString& path) {
    return open(path);
}

shell::OpenResult QtDesktop::openFile(const QString& path) {
    return open(path);
}

shell::OpenResult QtDesktop::open(const QString& path) {
    if (!QFileInfo::exists(path))
        return {u"it does not exist"_s};
    const QString opener = QStandardPaths::findExecutable(u"xdg-open"_s);
    if (opener.isEmpty()) {
        // Qt may still reach the desktop's own handler (a portal in a sandbox, say), but it cannot
        // tell whether that handler found a program.
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            return {};
        return {u"no program to open it was found (xdg-open, of the package xdg-utils, is not installed)"_s, true};
    }

    // Standard error goes to a file, not a pipe: a program that xdg-open runs keeps it after this
    // process has ended, and writing into a pipe nobody reads would kill it.
    QTemporaryFile errors(QDir::temp().filePath(u"quorvane-open-XXXXXX.txt"_s));
    const bool keepErrors = errors.open();
    // Without a parent, and deleted only once it has ended: a QProcess that is destroyed kills its
    // program, and the program that xdg-open runs must outlive this call (and this process).
    auto* process = new QProcess;
    process->setProgram(opener);
    process->setArguments({path});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(keepErrors ? errors.fileName() : QProcess::nullDevice());
    process->start();
    if (process->state() == QProcess::NotRunning) {
        const QString reason = process->errorString();
        delete process;
        return {u"xdg-open could not be started: %1"_s.arg(reason)};
    }

    // Wait for the answer with the windows painted but the user's input held back.
    QEventLoop wait;
    QObject::connect(process, &QProcess::finished, &wait, &QEventLoop::quit);
    QTimer::singleShot(AnswerMilliseconds, &wait, &QEventLoop::quit);
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    QGuiApplication::restoreOverrideCursor();

    if (process->state() != QProcess::NotRunning) {
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return {};
    }
    const bool opened = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    const int exitCode = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    delete process;
    if (opened)
        return {};
    // xdg-open's code 3: no method available, that is no program set up for such a path.
    return {reasonOf(exitCode, keepErrors ? QString::fromLocal8Bit(errors.readAll()) : QString()), exitCode == 3};
}

} // namespace quorvane::app
