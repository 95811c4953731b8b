#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <span>

namespace quorvane::import {

// The main window's seven option buttons, by their number. Column separation: Option1 none (the
// default), Option2 every space, Option3 every comma, Option4 every occurrence of Text1, Option7 every
// tab. Sheet mode: Option5 one sheet (the default), Option6 a sheet per file.
enum class OptionButton { Option1 = 1, Option2, Option3, Option4, Option5, Option6, Option7 };

// One way of splitting text into columns, as the command line names it (--split).
struct SplitMode {
    QStringView name;    // none, space, comma, text, tab
    OptionButton option; // the column-separation button it stands for
};

// The column-separation buttons in the order the usage text lists them.
std::span<const SplitMode> splitModes();

// The button that a --split name stands for; nothing for a name that is none of them.
std::optional<OptionButton> splitOptionNamed(QStringView name);

// The text a column-separation button splits at: " ", ",", text1, TAB; "" for Option1 (and for the
// sheet-mode buttons, which split nothing).
QString separatorOf(OptionButton option, const QString& text1);

// The names as a message lists them: "a, b or c" (or "and", as conjunction says).
QString listInWords(QStringList names, QStringView conjunction);

} // namespace quorvane::import
