#include "WorkbookReaders.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quorvane::test {

namespace {

// Runs script in Debian's own interpreter (another python3 may come first on PATH and lack the
// readers) with path as its argument, and takes what it prints as JSON.
QJsonArray runReader(const QString& script, const QString& path, const char* reader) {
    QProcess python;
    python.start(u"/usr/bin/python3"_s, {u"-c"_s, script, path});
    if (!python.waitForFinished(600000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        ADD_FAILURE() << reader << " could not read " << path.toStdString() << ": "
                      << python.readAllStandardError().toStdString();
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(python.readAllStandardOutput(), &error);
    if (error.error != QJsonParseError::NoError)
        ADD_FAILURE() << "reader output is not JSON: " << error.errorString().toStdString();
    return document.array();
}

} // namespace

QJsonArray readXlsx(const QString& path) {
    static const QString script = uR"(
import json, sys, openpyxl
from openpyxl.utils.escape import unescape
book = openpyxl.load_workbook(sys.argv[1])
out = []
for sheet in book.worksheets:
    cells, wrapped = {}, []
    for row in sheet.iter_rows():
        for cell in row:
            value = cell.value
            if value is None:
                continue
            # The file format writes some characters as _xHHHH_; openpyxl leaves them to the caller.
            if isinstance(value, str):
                value = unescape(value)
            cells[cell.coordinate] = [type(value).__name__, value]
            if cell.alignment.wrap_text:
                wrapped.append(cell.coordinate)
    widths = {}
    for letter, column in sheet.column_dimensions.items():
        if column.customWidth:
            for index in range(column.min, column.max + 1):
                widths[openpyxl.utils.get_column_letter(index)] = column.width
    out.append({"name": sheet.title, "active": sheet == book.active, "cells": cells, "wrapped": wrapped,
                "widths": widths})
sys.stdout.write(json.dumps(out))
)"_s;
    return runReader(script, path, "openpyxl");
}

QJsonArray readOds(const QString& path) {
    static const QString script = uR"(
import json, sys
from odf.opendocument import load
from odf import config, style, table, teletype, text
from odf.namespaces import FONS, OFFICENS, STYLENS, TABLENS
from openpyxl.utils import get_column_letter
document = load(sys.argv[1])
active = None
for item in document.settings.getElementsByType(config.ConfigItem):
    if item.getAttribute("name") == "ActiveTable":
        active = teletype.extractText(item)
wrapping = set()
for cellStyle in document.automaticstyles.getElementsByType(style.Style):
    for properties in cellStyle.getElementsByType(style.TableCellProperties):
        if properties.attributes.get((FONS, "wrap-option")) == "wrap":
            wrapping.add(cellStyle.getAttribute("name"))
out = []
for sheet in document.spreadsheet.getElementsByType(table.Table):
    cells, wrapped = {}, []
    r = 0
    for row in sheet.getElementsByType(table.TableRow):
        rows = int(row.attributes.get((TABLENS, "number-rows-repeated"), 1))
        c = 0
        for cell in row.getElementsByType(table.TableCell):
            columns = int(cell.attributes.get((TABLENS, "number-columns-repeated"), 1))
            kind = cell.attributes.get((OFFICENS, "value-type"))
            if kind == "float":
                raw = cell.attributes[(OFFICENS, "value")]
                value = ["int", int(raw)] if raw.lstrip("-").isdigit() else ["float", float(raw)]
            elif kind == "string":
                value = ["str", "\n".join(teletype.extractText(p) for p in cell.getElementsByType(text.P))]
            else:
                value = None
            if value is not None:
                for dr in range(rows):
                    for dc in range(columns):
                        name = get_column_letter(c + dc + 1) + str(r + dr + 1)
                        cells[name] = value
                        if cell.attributes.get((TABLENS, "style-name")) in wrapping:
                            wrapped.append(name)
            c += columns
        r += rows
    name = sheet.getAttribute("name")
    out.append({"name": name, "active": name == active, "cells": cells, "wrapped": wrapped})
sys.stdout.write(json.dumps(out))
)"_s;
    return runReader(script, path, "odfpy");
}

QJsonArray summarizeSheets(const QString& path) {
    static const QString script = uR"(
import json, sys, zipfile
import xml.etree.ElementTree as ET
S = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
R = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"
P = "{http://schemas.openxmlformats.org/package/2006/relationships}"
T = "{urn:oasis:names:tc:opendocument:xmlns:table:1.0}"
O = "{urn:oasis:names:tc:opendocument:xmlns:office:1.0}"
package = zipfile.ZipFile(sys.argv[1])
out = []
def add(sheet, text, count):
    if sheet["filled"] == 0:
        sheet["first"] = text
    sheet["last"] = text
    sheet["filled"] += count
if sys.argv[1].endswith(".ods"):
    for event, element in ET.iterparse(package.open("content.xml"), events=("start", "end")):
        if event == "start" and element.tag == T + "table":
            out.append({"name": element.get(T + "name"), "filled": 0, "first": None, "last": None})
        elif event == "end" and element.tag == T + "table-row":
            rows = int(element.get(T + "number-rows-repeated", "1"))
            for cell in element.iter(T + "table-cell"):
                if cell.get(O + "value-type"):
                    text = "\n".join("".join(p.itertext()) for p in cell)
                    add(out[-1], text, rows * int(cell.get(T + "number-columns-repeated", "1")))
            element.clear()
else:
    targets = {r.get("Id"): r.get("Target") for r in ET.parse(package.open("xl/_rels/workbook.xml.rels")).getroot()}
    for sheet in ET.parse(package.open("xl/workbook.xml")).getroot().iter(S + "sheet"):
        summary = {"name": sheet.get("name"), "filled": 0, "first": None, "last": None}
        out.append(summary)
        for event, element in ET.iterparse(package.open("xl/" + targets[sheet.get(R + "id")])):
            if element.tag == S + "c":
                add(summary, "".join(element.itertext()), 1)
                element.clear()
sys.stdout.write(json.dumps(out))
)"_s;
    return runReader(script, path, "Python's XML parser");
}

bool haveCalc() {
    return !QStandardPaths::findExecutable(u"soffice"_s).isEmpty();
}

QJsonArray readWithCalc(const QString& path, const QString& folder) {
    // A profile of its own, so that no running instance of the user's takes the conversion.
    QTemporaryDir profile;
    QProcess calc;
    calc.start(u"soffice"_s, {u"-env:UserInstallation="_s + QUrl::fromLocalFile(profile.path()).toString(),
                              u"--headless"_s, u"--convert-to"_s, u"ods"_s, u"--outdir"_s, folder, path});
    if (!calc.waitForFinished(600000) || calc.exitCode() != 0) {
        ADD_FAILURE() << "LibreOffice could not convert " << path.toStdString() << ": "
                      << calc.readAllStandardError().toStdString();
        return {};
    }
    return readOds(folder + u'/' + QFileInfo(path).completeBaseName() + u".ods"_s);
}

} // namespace quorvane::test
