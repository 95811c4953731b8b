// The desktop service's answer for a file or folder, with a stand-in for xdg-open on the PATH.
#include "app/QtDesktop.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace {

TEST(QtDesktopTest, TellsWhetherXdgOpenOpenedThePath) {
    QTemporaryDir bin;
    ASSERT_TRUE(bin.isValid());
    const QString opener = bin.filePath(u"xdg-open"_s);
    const auto answerWith = [&opener](const QByteArray& body) {
        QFile script(opener);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n" + body + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
    const auto restore = qScopeGuard([&path] { qputenv("PATH", path); });

    app::QtDesktop desktop;
    answerWith("exit 0");
    EXPECT_TRUE(desktop.openFolder(bin.path()).opened());
    EXPECT_EQ(desktop.openFile(bin.filePath(u"gone.xlsx"_s)).failure, u"it does not exist"_s);
    answerWith("echo \"xdg-open: no method available for opening '$1'\" >&2; exit 3");
    const shell::OpenResult none = desktop.openFolder(bin.path());
    EXPECT_EQ(none.failure, u"no program on this computer is set up to open it"_s);
    EXPECT_TRUE(none.noProgram);
    answerWith("exit 4");
    EXPECT_FALSE(desktop.openFolder(bin.path()).noProgram);
    answerWith("echo 'the handler said no' >&2; exit 5");
    EXPECT_EQ(desktop.openFolder(bin.path()).failure, u"the handler said no"_s);
}

} // namespace
