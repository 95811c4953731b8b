#include "office/spreadsheet/CsvParts.h"

#include "office/spreadsheet/WorkbookExport.h"

#include <QDir>
#include <QFileInfo>

namespace quorvane::office {

using namespace Qt::StringLiterals;

std::vector<CsvPart> csvParts(const Workbook& workbook) {
    std::vector<CsvPart> parts;
    for (int index = 0; index < workbook.sheetCount();) {
        const auto [first, last] = continuedSheets(workbook, index);
        bool content = false;
        for (int i = first; i <= last; ++i)
            content = content || !workbook.sheet(i).isEmpty();
        if (content)
            parts.emplace_back(first, last);
        index = last + 1;
    }
    return parts;
}

QString csvPartPath(const QString& path, const QString& sheetName) {
    const QFileInfo file(path);
    QString base = file.fileName();
    if (file.suffix().compare(u"csv"_s, Qt::CaseInsensitive) == 0)
        base.chop(file.suffix().size() + 1);
    QString sheet = sheetName;
    sheet.replace(u'/', u'_');
    return file.dir().filePath(base + u'-' + sheet + u".csv"_s);
}

} // namespace quorvane::office
