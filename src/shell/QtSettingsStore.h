#pragma once

#include "shell/SettingsStore.h"

#include <QSettings>

#include <memory>

namespace quorvane::shell {

// The SettingsStore in the user's configuration folder: organization and application "Kestrelin",
// every key in the group "Quorvane". Each write reaches the file at once.
class QtSettingsStore final : public SettingsStore {
public:
    QtSettingsStore();
    explicit QtSettingsStore(const QString& fileName);

    QString read(const QString& key, const QString& defaultValue) override;
    void write(const QString& key, const QString& value) override;

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace quorvane::shell
