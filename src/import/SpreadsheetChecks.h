#pragma once

#include "office/SpreadsheetServer.h"
#include "shell/Prompts.h"

#include <QString>

namespace quorvane::import {

// The genuine spreadsheet server's application name.
QString spreadsheetApplicationName();

// Tries to create a spreadsheet instance and drops it at once. Returns true when that worked;
// otherwise shows the five-paragraph message (style 0, caption applicationTitle) and returns false,
// and the caller ends the program.
bool CheckExcelCreatable(office::SpreadsheetServer& server, shell::Prompts& prompts, const QString& applicationTitle);
// True when a genuine spreadsheet instance is running; never fails.
bool ExcelIsRunning(office::SpreadsheetServer& server);
// When an instance runs, asks whether to proceed (style 4). True when the import must stop.
bool WarnIfExcelOpen(office::SpreadsheetServer& server, shell::Prompts& prompts, const QString& applicationTitle);

} // namespace quorvane::import
