// Encryption of confidential archive values on OpenSSL libcrypto (EVP interfaces).
#include "model/CryptoFunctions.h"

#include "base/Log.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <openssl/evp.h>
#include <vector>

namespace {

constexpr int kIterations = 1000;
constexpr size_t kKeyLength = 32;
constexpr size_t kIvLength = 16;
constexpr size_t kHeaderLength = 4;

struct CipherContextDeleter {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

struct KeyMaterial {
    std::array<uint8_t, kKeyLength + kIvLength> bytes{};
    const uint8_t* key() const { return bytes.data(); }
    const uint8_t* iv() const { return bytes.data() + kKeyLength; }
};

std::optional<KeyMaterial> DeriveKey(std::string_view password, std::string_view salt) {
    // The derivation is deterministic and costs 1000 HMAC rounds; an archive asks for the same couple of
    // keys for every confidential value, so the last few are kept (per thread: no locking needed).
    struct Cached {
        std::string password;
        std::string salt;
        KeyMaterial material;
    };
    thread_local std::vector<Cached> cache;
    for (const Cached& entry : cache) {
        if (entry.password == password && entry.salt == salt) {
            return entry.material;
        }
    }
    KeyMaterial material;
    if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()),
                               reinterpret_cast<const unsigned char*>(salt.data()),
                               static_cast<int>(salt.size()), kIterations,
                               static_cast<int>(material.bytes.size()), material.bytes.data()) != 1) {
        return std::nullopt;
    }
    constexpr size_t kCacheSize = 4;
    if (cache.size() >= kCacheSize) {
        cache.erase(cache.begin());
    }
    cache.push_back({std::string(password), std::string(salt), material});
    return material;
}

bool IsBase64Character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

uint32_t ReadLittleEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The cipher's output; when the padding turns out wrong, what came out before it.
std::string RunDecryption(const KeyMaterial& material, const uint8_t* iv, const uint8_t* data, size_t size) {
    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context || EVP_DecryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, material.key(), iv) != 1) {
        return {};
    }
    std::vector<uint8_t> plain(size + kIvLength + 1, 0);
    int produced = 0;
    if (EVP_DecryptUpdate(context.get(), plain.data(), &produced, data, static_cast<int>(size)) != 1) {
        return {};
    }
    int tail = 0;
    if (EVP_DecryptFinal_ex(context.get(), plain.data() + produced, &tail) == 1) {
        produced += tail;
    }
    const auto end = std::find(plain.begin(), plain.begin() + produced, uint8_t{0});
    return std::string(plain.begin(), end);
}

} // namespace

std::string CryptoFunctions::base64_encode(const uint8_t* bytes, size_t n) {
    const size_t expected = 4 * ((n + 2) / 3);
    std::string text(expected + 1, '\0');
    const int written =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes, static_cast<int>(n));
    if (written < 0 || static_cast<size_t>(written) != expected) {
        return {};
    }
    text.resize(expected);
    return text;
}

std::optional<std::vector<uint8_t>> CryptoFunctions::base64_decode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    if (!std::all_of(text.begin(), text.end() - static_cast<std::ptrdiff_t>(padding), IsBase64Character)) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(text.size() / 4 * 3);
    const int decoded = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                        static_cast<int>(text.size()));
    if (decoded < 0 || static_cast<size_t>(decoded) != bytes.size()) {
        return std::nullopt;
    }
    bytes.resize(bytes.size() - padding);
    return bytes;
}

std::string CryptoFunctions::EncryptStringAES(std::string_view text, std::string_view password,
                                              std::string_view salt) {
    const std::optional<KeyMaterial> material = DeriveKey(password, salt);
    CipherContext context(EVP_CIPHER_CTX_new());
    if (!material || !context ||
        EVP_EncryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, material->key(), material->iv()) != 1) {
        Log::WriteLog("CryptoFunctions::EncryptStringAES", "Key setup failed");
        return {};
    }
    std::vector<uint8_t> blob(kHeaderLength + kIvLength + text.size() + kIvLength);
    blob[0] = static_cast<uint8_t>(kIvLength);
    std::copy(material->iv(), material->iv() + kIvLength, blob.begin() + kHeaderLength);
    uint8_t* out = blob.data() + kHeaderLength + kIvLength;
    int produced = 0;
    int tail = 0;
    if (EVP_EncryptUpdate(context.get(), out, &produced, reinterpret_cast<const unsigned char*>(text.data()),
                          static_cast<int>(text.size())) != 1 ||
        EVP_EncryptFinal_ex(context.get(), out + produced, &tail) != 1) {
        Log::WriteLog("CryptoFunctions::EncryptStringAES", "Encryption failed");
        return {};
    }
    blob.resize(kHeaderLength + kIvLength + static_cast<size_t>(produced + tail));
    return base64_encode(blob.data(), blob.size());
}

std::optional<std::string> CryptoFunctions::TryDecryptStringAES(std::string_view base64,
                                                                std::string_view password,
                                                                std::string_view salt) {
    static constexpr const char* kWhere = "CryptoFunctions::DecryptStringAES";
    const std::optional<std::vector<uint8_t>> blob = base64_decode(base64);
    if (!blob) {
        Log::WriteLog(kWhere, "Stored value is not Base64: not decrypted");
        return std::nullopt;
    }
    // A stored IV shorter than the cipher's block would leave part of the IV undefined.
    const size_t ivLength = blob->size() >= kHeaderLength ? ReadLittleEndian32(blob->data()) : 0;
    if (blob->size() < kHeaderLength || ivLength < kIvLength || blob->size() - kHeaderLength < ivLength) {
        Log::WriteLogP(kWhere, "Stored value too short (%zu bytes): not decrypted", blob->size());
        return std::nullopt;
    }
    const std::optional<KeyMaterial> material = DeriveKey(password, salt);
    if (!material) {
        Log::WriteLog(kWhere, "Key setup failed");
        return std::string();
    }
    const uint8_t* iv = blob->data() + kHeaderLength;
    const size_t offset = kHeaderLength + ivLength;
    return RunDecryption(*material, iv, blob->data() + offset, blob->size() - offset);
}

std::string CryptoFunctions::DecryptStringAES(std::string_view base64, std::string_view password,
                                              std::string_view salt) {
    return TryDecryptStringAES(base64, password, salt).value_or(std::string());
}
