#include "shell/QtSettingsStore.h"

namespace quorvane::shell {

using namespace Qt::StringLiterals;

namespace {
const QString Group = u"Quorvane"_s;
}

QtSettingsStore::QtSettingsStore()
    : m_settings(
          std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, u"Kestrelin"_s, u"Kestrelin"_s)) {}

QtSettingsStore::QtSettingsStore(const QString& fileName)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat)) {}

QString QtSettingsStore::read(const QString& key, const QString& defaultValue) {
    const QVariant value = m_settings->value(Group + u'/' + key);
    if (!value.isValid())
        return defaultValue;
    // A value edited by hand into a comma list comes back as a list: give it back whole.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u", "_s);
    return value.toString();
}

void QtSettingsStore::write(const QString& key, const QString& value) {
    m_settings->setValue(Group + u'/' + key, value);
    // Written through at once: the program may end at any moment (closing ends it mid-operation).
    m_settings->sync();
}

} // namespace quorvane::shell
