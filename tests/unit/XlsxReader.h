#pragma once

#include <QJsonArray>
#include <QString>

namespace quorvane::test {

// Reads an .xlsx file with an independent reader (the system's python3 with openpyxl) and returns
// its sheets in order: [{"name": ..., "active": true|false, "cells": {"A1": ["str"|"int"|"float", value], ...}},
// ...].
// Fails the calling test (and returns an empty array) when the reader cannot read the file.
QJsonArray readXlsx(const QString& path);

} // namespace quorvane::test
