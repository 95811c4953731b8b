#pragma once

// How a reader of a protected file finds the password that opens it, and the named failures of the
// encryption descriptors that all the protected formats share.

#include "office/Passwords.h"
#include "office/presentation/ReadError.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace quorvane::office {

// Key derivations longer than this (a spin count, an iteration count) are not what any producer
// writes (they write 50,000 to 100,000): a hostile count would hold a run for hours.
constexpr std::uint32_t MaxKeyRounds = 10'000'000;

// Throws ReadError "<file name>: encrypted with <method>, which this program cannot open".
[[noreturn]] void failUnsupportedEncryption(const QString& fileName, const QString& method);
// Throws ReadError "<file name>: damaged encryption data: <what>".
[[noreturn]] void failEncryptionData(const QString& fileName, const QString& what);
// Throws failEncryptionData when rounds (named what) passes MaxKeyRounds.
void requireRounds(const QString& fileName, const char* what, std::uint64_t rounds);

// Tries the passwords of source (null: none) in order on the file fileName: open(password) (a
// SharedPassword) gives the
// key (or whatever opens the file) when the password is right, checked by the format's verifier, and
// nullopt when it is wrong. Returns the first key; the source is told which password opened the file.
// Throws PasswordRefused "<file name>: protected by a password" when there is no password to try,
// "<file name>: the password is wrong (N tried)" when none is right.
template <typename Open>
auto unlockWith(const QString& fileName, PasswordSource* source, Open&& open)
    -> std::remove_reference_t<decltype(*open(std::declval<const SharedPassword&>()))> {
    const std::uint64_t generation = source != nullptr ? source->generation() : 0;
    const std::vector<SharedPassword> passwords =
        source != nullptr ? source->passwords() : std::vector<SharedPassword>();
    if (passwords.empty()) {
        const QString how = source != nullptr ? source->howToGive() : QString();
        throw PasswordRefused(fileName + QStringLiteral(": protected by a password") +
                                  (how.isEmpty() ? QString() : QStringLiteral(" ") + how),
                              0, generation);
    }
    for (const SharedPassword& password : passwords) {
        if (auto key = open(password)) {
            source->opened(password);
            return std::move(*key);
        }
    }
    const int tried = static_cast<int>(passwords.size());
    throw PasswordRefused(fileName + QStringLiteral(": the password is wrong (%1 tried)").arg(tried), tried,
                          generation);
}

} // namespace quorvane::office
