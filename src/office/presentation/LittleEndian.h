#pragma once

// The numbers of the binary formats (the compound-file container and the records of binary
// presentations) are stored least significant byte first. These read one at a place the caller has
// already checked lies inside its data; they do no bounds checking of their own.

#include <QByteArrayView>
#include <QtEndian>

#include <cstddef>
#include <cstdint>

namespace quorvane::office::le {

inline std::uint16_t u16(const void* at) {
    return qFromLittleEndian<std::uint16_t>(at);
}
inline std::uint32_t u32(const void* at) {
    return qFromLittleEndian<std::uint32_t>(at);
}

inline std::uint16_t u16(QByteArrayView data, std::size_t at) {
    return u16(data.data() + at);
}
inline std::uint32_t u32(QByteArrayView data, std::size_t at) {
    return u32(data.data() + at);
}

} // namespace quorvane::office::le
