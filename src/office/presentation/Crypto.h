#pragma once

// The cryptographic primitives the decryption of protected presentations needs, over nettle's public
// API: hashes, HMAC, PBKDF2, AES (ECB and CBC), RC4 and Blowfish (CFB-8). Nothing here is written by
// hand but the plumbing; keys and decrypted bytes are held in SecretBytes, which wipe themselves.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace quorvane::office::crypto {

// Bytes that are wiped when they go (keys, verifiers, decrypted data).
class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(std::size_t size) : m_bytes(size, '\0') {}
    explicit SecretBytes(std::string_view bytes) : m_bytes(bytes) {}
    ~SecretBytes();
    SecretBytes(SecretBytes&& other) noexcept : m_bytes(std::move(other.m_bytes)) { other.m_bytes.clear(); }
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    std::size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }
    unsigned char* data() { return reinterpret_cast<unsigned char*>(m_bytes.data()); }
    const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(m_bytes.data()); }
    std::string_view view() const { return m_bytes; }
    // Wipes what is past size, then shortens to it.
    void truncate(std::size_t size);
    // Hands the bytes over to a caller that takes care of them (an in-memory package); this is empty then.
    std::string release() { return std::exchange(m_bytes, std::string()); }

private:
    std::string m_bytes;
};

// The hashes the formats name.
enum class Hash { Md5, Sha1, Sha256, Sha384, Sha512 };

// The digest size of hash in bytes.
std::size_t digestSize(Hash hash);

// An incremental hash.
class Hasher {
public:
    explicit Hasher(Hash hash);
    ~Hasher();
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;
    Hasher& add(std::string_view bytes);
    Hasher& add(const SecretBytes& bytes) { return add(bytes.view()); }
    Hasher& addLe32(std::uint32_t value);
    // The digest; the hasher starts again empty.
    SecretBytes digest();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// HMAC of data with key.
SecretBytes hmac(Hash hash, std::string_view key, std::string_view data);

// PBKDF2 with HMAC-SHA1 of password and salt, iterations rounds, keySize bytes.
SecretBytes pbkdf2HmacSha1(std::string_view password, std::string_view salt, unsigned iterations, std::size_t keySize);

// AES with a key of 16, 24 or 32 bytes (false for another size). data's size must be a multiple of
// 16; it is decrypted in place. iv (16 bytes) is the chaining start for CBC.
bool aesEcbDecrypt(std::string_view key, unsigned char* data, std::size_t size);
bool aesCbcDecrypt(std::string_view key, std::string_view iv, unsigned char* data, std::size_t size);

// Blowfish in CFB mode with 8-bit feedback, the key 1 to 56 bytes and an 8-byte iv (false for other
// sizes); data decrypted in place.
bool blowfishCfb8Decrypt(std::string_view key, std::string_view iv, unsigned char* data, std::size_t size);

// An RC4 key stream.
class Rc4 {
public:
    // key: 1 to 256 bytes.
    explicit Rc4(std::string_view key);
    ~Rc4();
    Rc4(Rc4&&) noexcept = default;
    Rc4(const Rc4&) = delete;
    Rc4& operator=(const Rc4&) = delete;
    // Decrypts (or encrypts) size bytes in place, going on in the stream.
    void apply(unsigned char* data, std::size_t size);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Compares two byte strings in a time that does not depend on where they differ.
bool sameBytes(std::string_view a, std::string_view b);

} // namespace quorvane::office::crypto
