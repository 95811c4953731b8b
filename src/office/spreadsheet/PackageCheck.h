#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quorvane::office {

// What a part holds, besides what every part must: to inflate whole, to its size, with its checksum.
enum class PartContent {
    Xml,    // well-formed XML to its end; with rows, a worksheet whose <sheetData> holds that many <row>s
    Tables, // the content of a spreadsheet document: well-formed XML whose tables hold rows rows in all
    Bytes,  // exactly the bytes given, stored as they are (a document's mimetype)
};

// A part a package must hold.
struct ExpectedPart {
    ExpectedPart(std::string partName, std::int64_t partRows, QString partLabel,
                 PartContent partContent = PartContent::Xml, std::string partBytes = {})
        : name(std::move(partName)), rows(partRows), label(std::move(partLabel)), content(partContent),
          bytes(std::move(partBytes)) {}

    std::string name;
    // For a part of rows (a sheet's, or the tables of a spreadsheet document), the rows written; -1
    // for the other parts.
    std::int64_t rows = -1;
    // How a message names the part ("xl/worksheets/sheet2.xml (the sheet "Q3")").
    QString label;
    PartContent content = PartContent::Xml;
    std::string bytes; // what a part of PartContent::Bytes holds
};

// Opens the package at path again and checks that it holds exactly parts: each one inflates whole with
// the right CRC-32 and to the size its directory records, and each holds what its content says (so a
// part of rows holds as many rows as were written). The parts are checked on up to threads threads (the
// caller's among them). Throws SaveError naming the first part that fails (SaveStopped once stop is set).
void checkPackage(const QByteArray& path, const std::vector<ExpectedPart>& parts, int threads,
                  const std::atomic<bool>* stop = nullptr);

} // namespace quorvane::office
