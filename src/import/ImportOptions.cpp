#include "import/ImportOptions.h"

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace quorvane::import {

namespace {

constexpr std::array Modes{
    SplitMode{u"none", OptionButton::Option1},  SplitMode{u"space", OptionButton::Option2},
    SplitMode{u"comma", OptionButton::Option3}, SplitMode{u"tab", OptionButton::Option7},
    SplitMode{u"text", OptionButton::Option4},
};

} // namespace

std::span<const SplitMode> splitModes() {
    return Modes;
}

std::optional<OptionButton> splitOptionNamed(QStringView name) {
    const auto mode = std::find_if(Modes.begin(), Modes.end(), [&](const SplitMode& m) { return m.name == name; });
    return mode == Modes.end() ? std::nullopt : std::optional(mode->option);
}

QString separatorOf(OptionButton option, const QString& text1) {
    switch (option) {
    case OptionButton::Option2:
        return u" "_s;
    case OptionButton::Option3:
        return u","_s;
    case OptionButton::Option4:
        return text1;
    case OptionButton::Option7:
        return u"\t"_s;
    case OptionButton::Option1:
    case OptionButton::Option5:
    case OptionButton::Option6:
        break;
    }
    return {};
}

QString listInWords(QStringList names, QStringView conjunction) {
    if (names.size() < 2)
        return names.join(QString());
    const QString last = names.takeLast();
    return names.join(u", "_s) + u' ' + conjunction.toString() + u' ' + last;
}

} // namespace quorvane::import
