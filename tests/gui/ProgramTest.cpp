// The desktop program itself, run as a process: what it answers without a display, and how a
// termination request ends it while a box is up.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <signal.h>

using namespace Qt::StringLiterals;

namespace {

const QString Program = QStringLiteral(QUORVANE_PROGRAM);

// An environment with no display of any kind and settings of its own.
QProcessEnvironment withoutDisplay(const QString& home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(u"HOME"_s, home);
    environment.insert(u"XDG_CONFIG_HOME"_s, home + u"/config"_s);
    return environment;
}

// Whether the process with this id handles SIGTERM itself (Linux: the mask of caught signals).
bool catchesTermination(qint64 pid) {
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

TEST(ProgramTest, VersionAndHelpNeedNoDisplay) {
    QTemporaryDir home;
    QProcess program;
    program.setProcessEnvironment(withoutDisplay(home.path()));
    program.start(Program, {u"--version"_s});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardOutput(),
              "quorvane " QUORVANE_VERSION
              "\nLicensed under the Apache License, Version 2.0: https://www.apache.org/licenses/LICENSE-2.0\n");

    for (const QString& help : {u"--help"_s, u"-h"_s}) {
        program.start(Program, {help});
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitCode(), 0) << help.toStdString();
        EXPECT_TRUE(program.readAllStandardOutput().startsWith("Usage: quorvane ")) << help.toStdString();
    }
}

TEST(ProgramTest, ATerminationRequestWhileStartUpShowsABoxEndsTheProgram) {
    // A copy of the program beside a damaged skin: start-up reports it in a box and waits for it.
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::copy(Program, folder.filePath(u"quorvane"_s)));
    ASSERT_TRUE(QDir(folder.path()).mkpath(u"x"_s));
    QFile skin(folder.filePath(u"x/o.cjs"_s));
    ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
    skin.write("\xff\xfe not UTF-8");
    skin.close();

    QProcess program;
    QProcessEnvironment environment = withoutDisplay(folder.path());
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    program.setProcessEnvironment(environment);
    program.start(folder.filePath(u"quorvane"_s), {});
    ASSERT_TRUE(program.waitForStarted(30000));
    ASSERT_TRUE(QTest::qWaitFor([&program] { return catchesTermination(program.processId()); }, 30000));
    QTest::qWait(500); // the box is up by now; were it not, the request would be taken as it comes up
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    const bool ended = program.waitForFinished(20000);
    if (!ended)
        program.kill();
    ASSERT_TRUE(ended) << "the program went on after the box";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 128 + SIGTERM);
}

} // namespace
