#pragma once

#include <QString>

namespace quorvane::shell {

// Per-user text values under the application name "Kestrelin" and the section "Quorvane".
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString read(const QString& key, const QString& defaultValue) = 0;
    // Creates or replaces the value of key; the value is stored exactly (spaces, empty, any script).
    virtual void write(const QString& key, const QString& value) = 0;
};

} // namespace quorvane::shell
