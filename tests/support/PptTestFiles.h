#pragma once

// Builders for binary-presentation test files: a writer of compound files, and helpers that edit the
// records of a "PowerPoint Document" stream the way an incremental save does (append new copies of
// records, a persist directory and an edit record, then point "Current User" at the new edit).

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace quorvane::test {

using Streams = std::vector<std::pair<QString, QByteArray>>;

// A compound file (version 3 with 512-byte sectors, or 4 with 4096-byte ones) holding streams in its
// root storage; streams under 4096 bytes go to the mini stream as the format requires.
QByteArray writeCompoundFile(const Streams& streams, int version = 3);

// All root streams of the compound file at path (read with the program's own reader).
Streams readCompoundFile(const QString& path);
// The stream called name, to read or change in place; throws when there is none. The name is a view,
// so that a reference kept from a call with a temporary name is plainly not one into that temporary.
QByteArray& streamNamed(Streams& streams, QStringView name);

std::uint32_t readU32(const QByteArray& data, qsizetype at);
void writeU32(QByteArray& data, qsizetype at, std::uint32_t value);

// One record of the stream with its children parsed when it is a container.
struct PptRecord {
    std::uint16_t verInstance = 0;
    std::uint16_t type = 0;
    QByteArray atom;                 // body of an atom
    std::vector<PptRecord> children; // of a container
    bool container() const { return (verInstance & 0xF) == 0xF; }
    QByteArray bytes() const;
    // The first descendant of type (depth first), or nullptr.
    PptRecord* find(std::uint16_t wanted);
};

PptRecord parseRecord(const QByteArray& stream, std::uint32_t offset);
PptRecord atom(std::uint16_t type, QByteArray body, std::uint16_t instance = 0);
PptRecord textChars(const QString& text);
PptRecord textBytes(const QByteArray& latin1);

// The edit state of a presentation: the newest edit's offset and the merged persist directory.
struct PptEdits {
    std::uint32_t currentEdit = 0;
    std::uint32_t documentId = 0;
    std::map<std::uint32_t, std::uint32_t> persist; // id -> offset, newest wins
};
PptEdits readEdits(const Streams& file);

// Appends an incremental save: each record of replaced is written at the stream's end under its persist
// id, followed by a persist directory for them and an edit record that chains to the previous edit.
void appendEdit(Streams& file, const std::map<std::uint32_t, QByteArray>& replaced);

} // namespace quorvane::test
