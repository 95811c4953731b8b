#include "office/presentation/PasswordTrial.h"

using namespace Qt::StringLiterals;

namespace quorvane::office {

void failUnsupportedEncryption(const QString& fileName, const QString& method) {
    throw ReadError(fileName + u": encrypted with "_s + method + u", which this program cannot open"_s);
}

void failEncryptionData(const QString& fileName, const QString& what) {
    throw ReadError(fileName + u": damaged encryption data: "_s + what);
}

void requireRounds(const QString& fileName, const char* what, std::uint64_t rounds) {
    if (rounds > MaxKeyRounds)
        failEncryptionData(fileName, u"the %1 %2 is far beyond what producers write (over 10,000,000)"_s.arg(
                                         QString::fromLatin1(what), QString::number(rounds)));
}

} // namespace quorvane::office
