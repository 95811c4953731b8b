#include "app/ImportChoicesBar.h"

#include "import/TextKinds.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quorvane::app {

namespace {

QString key(const char16_t* name) {
    return QString::fromUtf16(name);
}

// The text of a column's entry: its caption, and its place among the chosen columns (0: not chosen)
// where a menu shows an entry's keys.
QString columnEntryText(QStringView caption, int place) {
    return place == 0 ? caption.toString() : u"%1\tcolumn %2"_s.arg(caption).arg(place);
}

} // namespace

ImportChoicesBar::ImportChoicesBar(shell::SettingsStore& settings, QWidget* parent)
    : QMenuBar(parent), m_settings(settings) {
    setObjectName(u"MenuBar"_s);
    // The desktop's face, not the bold captions of the window's controls.
    setFont(QApplication::font(this));
    // The menus' letters (I, O, R) are none of the push buttons' mnemonics.
    QMenu* include = addMenu(u"&Include"_s);
    include->setObjectName(u"IncludeMenu"_s);
    for (const import::TextKind& kind : import::textKinds()) {
        QAction* entry = include->addAction(kind.caption.toString());
        entry->setObjectName(u"Include_"_s + kind.name.toString());
        entry->setCheckable(true);
        entry->setStatusTip(kind.help.toString());
        m_kinds.emplace_back(entry, kind.field);
        connect(entry, &QAction::triggered, this,
                [this] { m_settings.write(key(import::IncludeKey), import::includeValue(choices().layout.choice)); });
    }
    include->addSeparator();
    addFlag(include, u"SkipHidden"_s, u"Leave out &hidden slides"_s, import::SkipHiddenKey);

    QMenu* columns = addMenu(u"C&olumns"_s);
    columns->setObjectName(u"ColumnsMenu"_s);
    for (const import::LayoutColumn& column : import::layoutColumns()) {
        QAction* entry = columns->addAction(column.caption.toString());
        entry->setObjectName(u"Column_"_s + column.name.toString());
        entry->setCheckable(true);
        entry->setStatusTip(column.help.toString());
        m_columnEntries.emplace_back(entry, column.column);
        connect(entry, &QAction::triggered, this, [this, which = column.column](bool checked) {
            // A column goes after those picked before it; unchecking it closes the gap.
            std::erase(m_columns, which);
            if (checked)
                m_columns.push_back(which);
            showColumnPlaces();
            m_settings.write(key(import::ColumnsKey), import::columnsValue(m_columns));
        });
    }

    columns->addSeparator();
    addFlag(columns, u"Header"_s, u"A header &row naming the columns"_s, import::HeaderKey);
    showColumnPlaces();

    QMenu* failures = addMenu(u"Failu&res"_s);
    failures->setObjectName(u"FailuresMenu"_s);
    addFlag(failures, u"CollectFailures"_s, u"&Collect failures instead of showing each one"_s,
            import::CollectFailuresKey);
}

QAction* ImportChoicesBar::addFlag(QMenu* menu, const QString& name, const QString& caption, const char16_t* key) {
    QAction* entry = menu->addAction(caption);
    entry->setObjectName(name);
    entry->setCheckable(true);
    m_flags.insert(QString::fromUtf16(key), entry);
    connect(entry, &QAction::triggered, this,
            [this, key](bool checked) { m_settings.write(QString::fromUtf16(key), import::flagValue(checked)); });
    return entry;
}

bool ImportChoicesBar::flag(const char16_t* key) const {
    const QAction* entry = m_flags.value(QString::fromUtf16(key));
    return entry && entry->isChecked();
}

void ImportChoicesBar::restore() {
    const import::ImportChoices stored = import::readImportChoices(m_settings);
    for (const auto& [entry, field] : m_kinds)
        entry->setChecked(stored.layout.choice.*field);
    m_columns = stored.layout.columns;
    for (const auto& [entry, column] : m_columnEntries)
        entry->setChecked(std::find(m_columns.begin(), m_columns.end(), column) != m_columns.end());
    showColumnPlaces();
    m_flags.value(key(import::SkipHiddenKey))->setChecked(stored.layout.choice.skipHidden);
    m_flags.value(key(import::CollectFailuresKey))->setChecked(stored.collectFailures);
    m_flags.value(key(import::HeaderKey))->setChecked(stored.header);
}

import::ImportChoices ImportChoicesBar::choices() const {
    import::ImportChoices chosen;
    for (const auto& [entry, field] : m_kinds)
        chosen.layout.choice.*field = entry->isChecked();
    chosen.layout.choice.skipHidden = flag(import::SkipHiddenKey);
    chosen.layout.columns = m_columns;
    chosen.collectFailures = flag(import::CollectFailuresKey);
    chosen.header = flag(import::HeaderKey);
    return chosen;
}

void ImportChoicesBar::showColumnPlaces() {
    for (std::size_t i = 0; i < m_columnEntries.size(); ++i) {
        const auto& [entry, column] = m_columnEntries[i];
        const auto place = std::find(m_columns.begin(), m_columns.end(), column);
        entry->setText(columnEntryText(import::layoutColumns()[i].caption,
                                       place == m_columns.end() ? 0 : static_cast<int>(place - m_columns.begin()) + 1));
    }
    // A header names the chosen columns: without one there is nothing to name.
    if (QAction* header = m_flags.value(key(import::HeaderKey)))
        header->setEnabled(!m_columns.empty());
}

} // namespace quorvane::app
