#include "office/spreadsheet/Workbook.h"

#include "office/AutomationError.h"

using namespace Qt::StringLiterals;

namespace quorvane::office {

QString sheetNameProblem(const QString& name, const std::vector<QString>& others) {
    if (name.isEmpty())
        return u"A sheet name cannot be empty."_s;
    if (name.size() > MaxSheetNameLength)
        return u"The sheet name \"%1\" is too long: it has %2 characters, a sheet name at most %3."_s.arg(
            name, QString::number(name.size()), QString::number(MaxSheetNameLength));
    for (const QChar ch : name) {
        if (QStringView(u":\\/?*[]").contains(ch))
            return u"The sheet name \"%1\" holds \"%2\"; a sheet name cannot hold any of : \\ / ? * [ ]."_s.arg(name,
                                                                                                                ch);
        // Control characters and non-characters cannot be written into the workbook file.
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7F || ch.unicode() == 0xFFFE || ch.unicode() == 0xFFFF)
            return u"The sheet name \"%1\" holds the control character U+%2; a sheet name cannot hold it."_s.arg(
                name, QString::number(ch.unicode(), 16).toUpper().rightJustified(4, u'0'));
    }
    for (qsizetype i = 0; i < name.size(); ++i) {
        const bool high = name[i].isHighSurrogate(), low = name[i].isLowSurrogate();
        if ((high && (i + 1 == name.size() || !name[i + 1].isLowSurrogate())) ||
            (low && (i == 0 || !name[i - 1].isHighSurrogate())))
            return u"The sheet name \"%1\" holds a broken character (an unpaired surrogate)."_s.arg(name);
    }
    if (name.startsWith(u'\'') || name.endsWith(u'\''))
        return u"The sheet name \"%1\" begins or ends with an apostrophe, which a sheet name cannot."_s.arg(name);
    if (name.compare(u"History"_s, Qt::CaseInsensitive) == 0)
        return u"\"%1\" cannot name a sheet: the spreadsheet keeps the name \"History\" for itself."_s.arg(name);
    for (const QString& other : others)
        if (name.compare(other, Qt::CaseInsensitive) == 0)
            return u"The sheet name \"%1\" is already taken by the sheet \"%2\" (names are compared without "
                   u"regard to case)."_s.arg(name, other);
    return {};
}

Workbook::Workbook(QString name, const QString& firstSheet) : m_name(std::move(name)) {
    m_sheets.push_back(std::make_unique<Worksheet>(firstSheet));
}

Worksheet& Workbook::addSheet() {
    QString name;
    // The counter only grows, as in the spreadsheet: a renamed "Sheet2" does not bring "Sheet2" back.
    auto taken = [&](const QString& candidate) {
        for (const auto& sheet : m_sheets)
            if (sheet->name().compare(candidate, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    do {
        name = u"Sheet"_s + QString::number(++m_sheetCounter);
    } while (taken(name));
    const auto position = m_sheets.begin() + m_active + 1;
    m_sheets.insert(position, std::make_unique<Worksheet>(name));
    ++m_active;
    touch();
    return activeSheet();
}

void Workbook::renameSheet(int index, const QString& name) {
    std::vector<QString> others;
    for (int i = 0; i < sheetCount(); ++i)
        if (i != index)
            others.push_back(sheet(i).name());
    const QString problem = sheetNameProblem(name, others);
    if (!problem.isEmpty())
        throw AutomationError(problem);
    sheet(index).setName(name);
    touch();
}

} // namespace quorvane::office
