#pragma once

#include "import/RowLayout.h"
#include "shell/SettingsStore.h"

#include <QString>

#include <vector>

namespace quorvane::import {

// The choices of an import beyond the option buttons, as the main window offers them in its menus
// and the SettingsStore keeps them.
struct ImportChoices {
    RowLayout layout;             // the kinds of text, hidden slides left out, the columns in order
    bool collectFailures = false; // failures go to a sheet of their own instead of one box each
    bool header = false;          // with columns chosen, each sheet starts with a row naming them
};

// Their keys in the SettingsStore (section Quorvane, as Text1): the kind names as --include spells
// them, comma-separated; the column names as --columns spells them, comma-separated, in order; "1"
// or "0" for the three choices.
inline constexpr char16_t IncludeKey[] = u"Include";
inline constexpr char16_t ColumnsKey[] = u"Columns";
inline constexpr char16_t SkipHiddenKey[] = u"SkipHidden";
inline constexpr char16_t CollectFailuresKey[] = u"CollectFailures";
inline constexpr char16_t HeaderKey[] = u"Header";

// The choices the store holds. A missing key chooses nothing, so a user who never chose anything
// gets the plain import; a name the program does not know (a kind or column of another version) is
// left out, as is a column named twice after its first place. Spaces around a name do not matter.
ImportChoices readImportChoices(shell::SettingsStore& settings);

// The values stored under the keys.
QString includeValue(const TextChoice& choice);
QString columnsValue(const std::vector<Column>& columns);
QString flagValue(bool on);

} // namespace quorvane::import
