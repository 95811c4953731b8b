#include "XlsxReader.h"

#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quorvane::test {

QJsonArray readXlsx(const QString& path) {
    // Debian's own interpreter: another python3 may come first on PATH and lack openpyxl.
    static const QString script = uR"(
import json, sys, openpyxl
from openpyxl.utils.escape import unescape
book = openpyxl.load_workbook(sys.argv[1])
out = []
for sheet in book.worksheets:
    cells = {}
    for row in sheet.iter_rows():
        for cell in row:
            value = cell.value
            if value is None:
                continue
            # The file format writes some characters as _xHHHH_; openpyxl leaves them to the caller.
            if isinstance(value, str):
                value = unescape(value)
            cells[cell.coordinate] = [type(value).__name__, value]
    out.append({"name": sheet.title, "active": sheet == book.active, "cells": cells})
sys.stdout.write(json.dumps(out))
)"_s;
    QProcess python;
    python.start(u"/usr/bin/python3"_s, {u"-c"_s, script, path});
    if (!python.waitForFinished(120000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        ADD_FAILURE() << "openpyxl could not read " << path.toStdString() << ": "
                      << python.readAllStandardError().toStdString();
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(python.readAllStandardOutput(), &error);
    if (error.error != QJsonParseError::NoError)
        ADD_FAILURE() << "reader output is not JSON: " << error.errorString().toStdString();
    return document.array();
}

} // namespace quorvane::test
