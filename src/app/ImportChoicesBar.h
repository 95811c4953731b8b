#pragma once

#include "import/ImportChoices.h"
#include "shell/SettingsStore.h"

#include <QHash>
#include <QMenuBar>

#include <vector>

class QAction;
class QMenu;

namespace quorvane::app {

// The menu bar above the main window's controls: the choices of an import beyond the option frames.
// "&Include" has a checkable entry per kind of text of the kinds table and "Leave out hidden
// slides"; "C&olumns" one per column of the columns table, each chosen one showing its place, in the
// order the user picked them, and the header row (offered once a column is chosen); "Failu&res" the
// choice to collect failures. Every entry has a
// mnemonic and a check mark, and each change is stored in the SettingsStore at once (ImportChoices).
class ImportChoicesBar final : public QMenuBar {
    Q_OBJECT
public:
    // settings must outlive the bar.
    ImportChoicesBar(shell::SettingsStore& settings, QWidget* parent);

    // Checks the entries as the settings say (readImportChoices); stores nothing.
    void restore();
    // What the entries say now.
    import::ImportChoices choices() const;

private:
    // A checkable entry of menu stored under key as "1" or "0": a choice of its own, not a kind or
    // a column (hidden slides left out, failures collected).
    QAction* addFlag(QMenu* menu, const QString& name, const QString& caption, const char16_t* key);
    bool flag(const char16_t* key) const;
    // Shows each chosen column's place beside its entry.
    void showColumnPlaces();

    shell::SettingsStore& m_settings;
    QHash<QString, QAction*> m_flags; // by settings key
    std::vector<std::pair<QAction*, bool import::TextChoice::*>> m_kinds;
    std::vector<std::pair<QAction*, import::Column>> m_columnEntries;
    std::vector<import::Column> m_columns; // in the order picked
};

} // namespace quorvane::app
