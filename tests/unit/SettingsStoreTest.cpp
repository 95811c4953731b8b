// The desktop settings store: where it keeps its values and that they come back exactly.
#include "shell/QtSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace {

TEST(QtSettingsStoreTest, ValuesRoundTripExactly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(u"settings.ini"_s);
    const QStringList values{
        u""_s,
        u"   "_s,
        u" x "_s,
        u"a, b"_s,
        u"a,b,c"_s,
        u"semi;colon"_s,
        u"#hash"_s,
        u"=1+1"_s,
        u"@Variant(x)"_s,
        u"@@"_s,
        u"true"_s,
        u"42"_s,
        u"\"q\""_s,
        u"back\\s"_s,
        u"tab\there"_s,
        u"line\nbreak\r"_s,
        u"Grüße ✓ 漢字 🙂"_s,
        u"[Quorvane]"_s,
    };
    for (const QString& value : values) {
        {
            shell::QtSettingsStore store(file);
            store.write(u"Text1"_s, value);
        }
        // A fresh store reads what the file holds, not what one object remembers.
        shell::QtSettingsStore reread(file);
        EXPECT_EQ(reread.read(u"Text1"_s, u"default"_s), value) << value.toStdString();
    }
}

TEST(QtSettingsStoreTest, AnAbsentKeyGivesTheDefaultAndKeysLiveInTheQuorvaneGroup) {
    QTemporaryDir dir;
    const QString file = dir.filePath(u"settings.ini"_s);
    shell::QtSettingsStore store(file);
    EXPECT_EQ(store.read(u"Text1"_s, u"fallback"_s), u"fallback"_s);
    EXPECT_EQ(store.read(u"Text1"_s, QString()), QString());
    store.write(u"Extension"_s, u"ppt*"_s);
    // Written through at once: another reader of the file sees it without any further call.
    QSettings raw(file, QSettings::IniFormat);
    EXPECT_EQ(raw.childGroups(), QStringList{u"Quorvane"_s});
    EXPECT_EQ(raw.value(u"Quorvane/Extension"_s).toString(), u"ppt*"_s);
}

TEST(QtSettingsStoreTest, TheUserStoreIsKestrelinInTheConfigurationFolder) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    {
        shell::QtSettingsStore store;
        store.write(u"Text1"_s, u"x"_s);
    }
    const QString expected = home.filePath(u"Kestrelin/Kestrelin.ini"_s);
    ASSERT_TRUE(QFile::exists(expected)) << expected.toStdString();
    QSettings raw(expected, QSettings::IniFormat);
    EXPECT_EQ(raw.value(u"Quorvane/Text1"_s).toString(), u"x"_s);
}

} // namespace
