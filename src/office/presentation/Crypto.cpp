#include "office/presentation/Crypto.h"

#include <nettle/aes.h>
#include <nettle/arcfour.h>
#include <nettle/blowfish.h>
#include <nettle/cbc.h>
#include <nettle/cfb.h>
#include <nettle/hmac.h>
#include <nettle/md5.h>
#include <nettle/memops.h>
#include <nettle/nettle-meta.h>
#include <nettle/pbkdf2.h>
#include <nettle/sha1.h>
#include <nettle/sha2.h>

#include <cstring>
#include <vector>

#include <string.h> // explicit_bzero

namespace quorvane::office::crypto {

namespace {

const nettle_hash& algorithm(Hash hash) {
    switch (hash) {
    case Hash::Md5:
        return nettle_md5;
    case Hash::Sha1:
        return nettle_sha1;
    case Hash::Sha256:
        return nettle_sha256;
    case Hash::Sha384:
        return nettle_sha384;
    case Hash::Sha512:
        break;
    }
    return nettle_sha512;
}

const std::uint8_t* bytesOf(std::string_view bytes) {
    return reinterpret_cast<const std::uint8_t*>(bytes.data());
}

// A context of any of nettle's algorithms, wiped when it goes: it holds key material.
class Context {
public:
    explicit Context(std::size_t size) : m_bytes(size) {}
    ~Context() { ::explicit_bzero(m_bytes.data(), m_bytes.size()); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    void* get() { return m_bytes.data(); }

private:
    std::vector<unsigned char> m_bytes; // operator new aligns it for any context struct
};

} // namespace

SecretBytes::~SecretBytes() {
    if (!m_bytes.empty())
        ::explicit_bzero(m_bytes.data(), m_bytes.size());
}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        if (!m_bytes.empty())
            ::explicit_bzero(m_bytes.data(), m_bytes.size());
        m_bytes = std::move(other.m_bytes);
        other.m_bytes.clear();
    }
    return *this;
}

void SecretBytes::truncate(std::size_t size) {
    if (size >= m_bytes.size())
        return;
    ::explicit_bzero(m_bytes.data() + size, m_bytes.size() - size);
    m_bytes.resize(size);
}

std::size_t digestSize(Hash hash) {
    return algorithm(hash).digest_size;
}

struct Hasher::State {
    const nettle_hash& hash;
    Context context;
};

Hasher::Hasher(Hash hash) : m_state(new State{algorithm(hash), Context(algorithm(hash).context_size)}) {
    m_state->hash.init(m_state->context.get());
}

Hasher::~Hasher() = default;

Hasher& Hasher::add(std::string_view bytes) {
    m_state->hash.update(m_state->context.get(), bytes.size(), bytesOf(bytes));
    return *this;
}

Hasher& Hasher::addLe32(std::uint32_t value) {
    const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                           static_cast<char>((value >> 16) & 0xFF), static_cast<char>(value >> 24)};
    return add(std::string_view(bytes, 4));
}

SecretBytes Hasher::digest() {
    SecretBytes out(m_state->hash.digest_size);
    // nettle's digest resets the context for the next message.
    m_state->hash.digest(m_state->context.get(), out.size(), out.data());
    return out;
}

SecretBytes hmac(Hash hash, std::string_view key, std::string_view data) {
    const nettle_hash& h = algorithm(hash);
    Context outer(h.context_size), inner(h.context_size), state(h.context_size);
    hmac_set_key(outer.get(), inner.get(), state.get(), &h, key.size(), bytesOf(key));
    hmac_update(state.get(), &h, data.size(), bytesOf(data));
    SecretBytes out(h.digest_size);
    hmac_digest(outer.get(), inner.get(), state.get(), &h, out.size(), out.data());
    return out;
}

SecretBytes pbkdf2HmacSha1(std::string_view password, std::string_view salt, unsigned iterations, std::size_t keySize) {
    SecretBytes out(keySize);
    pbkdf2_hmac_sha1(password.size(), bytesOf(password), iterations, salt.size(), bytesOf(salt), out.size(),
                     out.data());
    return out;
}

namespace {

const nettle_cipher* aesOf(std::size_t keySize) {
    switch (keySize) {
    case 16:
        return &nettle_aes128;
    case 24:
        return &nettle_aes192;
    case 32:
        return &nettle_aes256;
    default:
        return nullptr;
    }
}

} // namespace

bool aesEcbDecrypt(std::string_view key, unsigned char* data, std::size_t size) {
    const nettle_cipher* aes = aesOf(key.size());
    if (aes == nullptr || size % AES_BLOCK_SIZE != 0)
        return false;
    Context context(aes->context_size);
    aes->set_decrypt_key(context.get(), bytesOf(key));
    // ECB is the block cipher applied to each block on its own, which nettle's function does.
    aes->decrypt(context.get(), size, data, data);
    return true;
}

bool aesCbcDecrypt(std::string_view key, std::string_view iv, unsigned char* data, std::size_t size) {
    const nettle_cipher* aes = aesOf(key.size());
    if (aes == nullptr || iv.size() != AES_BLOCK_SIZE || size % AES_BLOCK_SIZE != 0)
        return false;
    Context context(aes->context_size);
    aes->set_decrypt_key(context.get(), bytesOf(key));
    std::uint8_t chain[AES_BLOCK_SIZE];
    std::memcpy(chain, iv.data(), sizeof chain);
    cbc_decrypt(context.get(), aes->decrypt, AES_BLOCK_SIZE, chain, size, data, data);
    return true;
}

bool blowfishCfb8Decrypt(std::string_view key, std::string_view iv, unsigned char* data, std::size_t size) {
    if (key.empty() || key.size() > BLOWFISH_MAX_KEY_SIZE || iv.size() != BLOWFISH_BLOCK_SIZE)
        return false;
    blowfish_ctx context;
    // A weak key is still a key: the file was encrypted with it.
    static_cast<void>(blowfish_set_key(&context, key.size(), bytesOf(key)));
    std::uint8_t chain[BLOWFISH_BLOCK_SIZE];
    std::memcpy(chain, iv.data(), sizeof chain);
    // CFB decrypts with the block cipher's encryption.
    cfb8_decrypt(&context, reinterpret_cast<nettle_cipher_func*>(blowfish_encrypt), BLOWFISH_BLOCK_SIZE, chain, size,
                 data, data);
    ::explicit_bzero(&context, sizeof context);
    return true;
}

struct Rc4::State {
    arcfour_ctx context;
};

Rc4::Rc4(std::string_view key) : m_state(new State) {
    arcfour_set_key(&m_state->context, key.size(), bytesOf(key));
}

Rc4::~Rc4() {
    if (m_state)
        ::explicit_bzero(&m_state->context, sizeof m_state->context);
}

void Rc4::apply(unsigned char* data, std::size_t size) {
    arcfour_crypt(&m_state->context, size, data, data);
}

bool sameBytes(std::string_view a, std::string_view b) {
    return a.size() == b.size() && nettle_memeql_sec(a.data(), b.data(), a.size()) != 0;
}

} // namespace quorvane::office::crypto
