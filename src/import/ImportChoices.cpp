#include "import/ImportChoices.h"

#include "import/TextKinds.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quorvane::import {

namespace {

QString key(const char16_t* name) {
    return QString::fromUtf16(name);
}

// The names of a comma list, without the spaces around them: a list edited by hand into the settings
// file comes back with a space after each comma.
QStringList namesOf(const QString& list) {
    QStringList names;
    for (const QString& name : list.split(u',', Qt::SkipEmptyParts))
        if (const QString trimmed = name.trimmed(); !trimmed.isEmpty())
            names.append(trimmed);
    return names;
}

} // namespace

ImportChoices readImportChoices(shell::SettingsStore& settings) {
    ImportChoices choices;
    TextChoice& choice = choices.layout.choice;
    // The kinds it knows are set even when it names others too.
    chooseKinds(namesOf(settings.read(key(IncludeKey), QString())).join(u','), choice);
    for (const QString& name : namesOf(settings.read(key(ColumnsKey), QString()))) {
        const std::optional<Column> column = columnNamed(name);
        std::vector<Column>& columns = choices.layout.columns;
        if (column && std::find(columns.begin(), columns.end(), *column) == columns.end())
            columns.push_back(*column);
    }
    choice.skipHidden = settings.read(key(SkipHiddenKey), QString()) == u"1";
    choices.collectFailures = settings.read(key(CollectFailuresKey), QString()) == u"1";
    choices.header = settings.read(key(HeaderKey), QString()) == u"1";
    return choices;
}

QString includeValue(const TextChoice& choice) {
    return kindNames(choice).join(u',');
}

QString columnsValue(const std::vector<Column>& columns) {
    QStringList names;
    for (const Column column : columns)
        names.append(columnName(column));
    return names.join(u',');
}

QString flagValue(bool on) {
    return on ? u"1"_s : u"0"_s;
}

} // namespace quorvane::import
