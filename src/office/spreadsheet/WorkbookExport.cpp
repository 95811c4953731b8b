#include "office/spreadsheet/WorkbookExport.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <sys/stat.h>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

bool isHexDigit(char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

std::runtime_error saveError(const QString& path, const QString& reason) {
    return std::runtime_error((u"%1: the workbook could not be saved: %2"_s.arg(path, reason)).toStdString());
}

QString libraryError(lxw_error error) {
    return QString::fromUtf8(lxw_strerror(error));
}

} // namespace

void xlsxCellText(std::string_view text, std::string& out) {
    out.clear();
    static constexpr std::string_view Replacement = "\xEF\xBF\xBD";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\0') {
            out += Replacement;
        } else if (ch == '\xEF' && i + 2 < text.size() && text[i + 1] == '\xBF' &&
                   (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
            out += Replacement; // U+FFFE, U+FFFF are not characters of XML
            i += 2;
        } else if (ch == '_' && i + 6 < text.size() && text[i + 1] == 'x' && isHexDigit(text[i + 2]) &&
                   isHexDigit(text[i + 3]) && isHexDigit(text[i + 4]) && isHexDigit(text[i + 5]) &&
                   text[i + 6] == '_') {
            // Readers decode "_xHHHH_" as one character; its underscore, escaped, keeps the text as written.
            out += "_x005F";
            out += ch;
        } else {
            out += ch;
        }
    }
}

void saveWorkbookXlsx(const Workbook& workbook, const QString& path) {
    // Names are checked here as the spreadsheet checks them: the library's own checks are looser.
    std::vector<QString> names;
    for (int i = 0; i < workbook.sheetCount(); ++i) {
        const QString problem = sheetNameProblem(workbook.sheet(i).name(), names);
        if (!problem.isEmpty())
            throw saveError(path, problem);
        names.push_back(workbook.sheet(i).name());
    }

    const QFileInfo target(path);
    QTemporaryFile partial(target.absolutePath() + u"/."_s + target.fileName() + u".XXXXXX"_s);
    if (!partial.open())
        throw saveError(path, partial.errorString());
    const QByteArray partialName = QFile::encodeName(partial.fileName());
    partial.close();

    std::size_t textBytes = 0;
    for (int i = 0; i < workbook.sheetCount(); ++i) {
        const CellRect used = workbook.sheet(i).usedRange();
        textBytes += static_cast<std::size_t>(used.rows * used.columns) * 16;
    }
    lxw_workbook_options options{};
    // Rows are written in order, so the library need not hold a sheet in memory.
    options.constant_memory = LXW_TRUE;
    options.tmpdir = nullptr;
    options.use_zip64 = textBytes > (std::size_t{1} << 31) ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(partialName.constData(), &options);
    if (!book)
        throw saveError(path, u"the writer could not start (out of memory)"_s);

    QString failure;
    std::string buffer;
    for (int i = 0; i < workbook.sheetCount() && failure.isEmpty(); ++i) {
        const Worksheet& sheet = workbook.sheet(i);
        const QByteArray name = sheet.name().toUtf8();
        if (const lxw_error check = workbook_validate_sheet_name(book, name.constData()); check != LXW_NO_ERROR) {
            failure = u"sheet \"%1\": %2"_s.arg(sheet.name(), libraryError(check));
            break;
        }
        lxw_worksheet* out = workbook_add_worksheet(book, name.constData());
        if (!out) {
            failure = u"sheet \"%1\" could not be added"_s.arg(sheet.name());
            break;
        }
        const CellRect used = sheet.usedRange();
        for (std::int64_t r = used.row; r < used.bottom() && failure.isEmpty(); ++r) {
            for (std::int64_t c = used.column; c < used.right(); ++c) {
                const CellView cell = sheet.cell(r, c);
                if (cell.text.empty())
                    continue;
                lxw_error error;
                const auto row = static_cast<lxw_row_t>(r);
                const auto column = static_cast<lxw_col_t>(c);
                double value = 0;
                if (cell.number &&
                    std::from_chars(cell.text.data(), cell.text.data() + cell.text.size(), value).ec == std::errc{}) {
                    error = worksheet_write_number(out, row, column, value, nullptr);
                } else {
                    xlsxCellText(cell.text, buffer);
                    error = worksheet_write_string(out, row, column, buffer.c_str(), nullptr);
                }
                if (error != LXW_NO_ERROR) {
                    failure = u"sheet \"%1\", cell %2: %3"_s.arg(sheet.name(), cellName(r, c), libraryError(error));
                    break;
                }
            }
        }
    }
    // workbook_close writes the file and frees the workbook on every path.
    const lxw_error closed = workbook_close(book);
    if (failure.isEmpty() && closed != LXW_NO_ERROR)
        failure = libraryError(closed);
    if (!failure.isEmpty())
        throw saveError(path, failure);
    // The partial file was created private (0600); the saved workbook gets the permissions a newly
    // created file would get, or keeps those of the file it replaces.
    const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());
    struct stat existing {};
    mode_t mode = 0;
    if (::stat(targetName.constData(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::chmod(partialName.constData(), mode);
    if (std::rename(partialName.constData(), targetName.constData()) != 0)
        throw saveError(path, QString::fromLocal8Bit(std::strerror(errno)));
}

void saveSheetsCsv(const std::vector<const Worksheet*>& sheets, const QString& path, CsvStyle style) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error(
            (u"%1: the sheet could not be saved: %2"_s.arg(path, file.errorString())).toStdString());
    // An empty sheet adds no row, not one empty line.
    std::int64_t columns = 0;
    for (const Worksheet* sheet : sheets)
        if (!sheet->isEmpty())
            columns = std::max(columns, sheet->usedRange().right());
    std::string line;
    if (style == CsvStyle::ForSpreadsheets)
        line = "\xEF\xBB\xBF";
    for (const Worksheet* sheet : sheets) {
        const std::int64_t rows = sheet->isEmpty() ? 0 : sheet->usedRange().bottom();
        for (std::int64_t r = 0; r < rows; ++r) {
            for (std::int64_t c = 0; c < columns; ++c) {
                if (c > 0)
                    line += ',';
                const CellView cell = sheet->cell(r, c);
                const std::string_view text = cell.text;
                // What a spreadsheet program would take for a formula keeps its text behind an apostrophe.
                const bool guard = style == CsvStyle::ForSpreadsheets && !cell.number && !text.empty() &&
                                   std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
                if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
                    if (guard)
                        line += '\'';
                    line += text;
                    continue;
                }
                line += '"';
                if (guard)
                    line += '\'';
                for (const char ch : text) {
                    if (ch == '"')
                        line += '"';
                    line += ch;
                }
                line += '"';
            }
            line += "\r\n";
            if (file.write(line.data(), static_cast<qint64>(line.size())) != static_cast<qint64>(line.size()))
                break;
            line.clear();
        }
    }
    if (!line.empty())
        file.write(line.data(), static_cast<qint64>(line.size()));
    if (!file.commit())
        throw std::runtime_error(
            (u"%1: the sheet could not be saved: %2"_s.arg(path, file.errorString())).toStdString());
}

void saveSheetCsv(const Worksheet& sheet, const QString& path, CsvStyle style) {
    saveSheetsCsv({&sheet}, path, style);
}

} // namespace quorvane::office
