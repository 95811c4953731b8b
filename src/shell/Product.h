#pragma once

#include <QString>

#include <cstdio>
#include <string_view>

namespace quorvane::shell {

// The product title: the main window's caption and the source of the application title.
QString productTitle();

// The application title: the title cut at its last space, again while longer than 40 characters (at
// least once; a title without a space stays whole).
QString applicationTitleFrom(const QString& title);

// Build-time configuration: the support address of the error report and the home page opened on
// the start-up chance (empty: never opened).
QString supportEmail();
QString homePageUrl();

// Answers the options every front end takes, needing no display: --version ("<program> <version>" and
// the licence on a line of its own) and -h or --help (usage), on out. True when argument was one of them.
bool answeredStandardOption(std::string_view argument, const char* program, const char* usage, std::FILE* out);

} // namespace quorvane::shell
