#pragma once

// The pure name rules of the folder scan: the wildcard match and the natural order of names.

#include <QString>

namespace quorvane::filelist {

// Wildcard match of a file name: "*" any run of characters, "?" any one character, letters compared
// without regard to case; a pattern ending in ".*" also matches the name without that dot and
// extension, so "*.*" matches every name, names without a dot included.
bool matchesWildcard(const QString& name, const QString& pattern);

// Natural order of names: case-insensitive, runs of digits compared as numbers ("Lecture 2" before
// "Lecture 10"), ties broken by exact comparison. Negative, zero or positive like QString::compare.
int naturalCompare(const QString& a, const QString& b);

} // namespace quorvane::filelist
