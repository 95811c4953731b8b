#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::office {

// A part a package must hold.
struct ExpectedPart {
    std::string name;
    // For a sheet's part, the <row> elements written; -1 for the other parts.
    std::int64_t rows = -1;
    // How a message names the part ("xl/worksheets/sheet2.xml (the sheet "Q3")").
    QString label;
};

// Opens the package at path again and checks that it holds exactly parts: each one inflates whole with
// the right CRC-32 and to the size its directory records, each is well-formed XML to its end, and each
// sheet's part holds as many rows as were written. The parts are checked on up to threads threads (the
// caller's among them). Throws SaveError naming the first part that fails (SaveStopped once stop is set).
void checkPackage(const QByteArray& path, const std::vector<ExpectedPart>& parts, int threads,
                  const std::atomic<bool>* stop = nullptr);

} // namespace quorvane::office
