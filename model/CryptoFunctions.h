// Encryption of the confidential archive values (passwords of string setup items, life counter lines):
// PBKDF2-HMAC-SHA1 derives an AES-256-CBC key and IV from a fixed password and a per-use salt; the
// stored form is Base64 of {IV length (LE32), IV, ciphertext}. Deterministic by design, so that the
// same setup always gives the same archive; it hides values from casual reading, nothing more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CryptoFunctions {
public:
    static constexpr const char* kPassword = "Qvm47203tyk";
    static constexpr const char* kSaltStringItem = "k35wlpzqe81;2?";
    static constexpr const char* kSaltLifeInfo = "t2951370hnR4v8";

    CryptoFunctions() = delete;

    // The Base64 text of the blob; empty when the cipher cannot be set up.
    static std::string EncryptStringAES(std::string_view text, std::string_view password,
                                        std::string_view salt);
    // The plain text up to its first NUL. A value that is not strict Base64, or whose blob is shorter
    // than its header and IV, is never decrypted: the result is empty and the refusal is logged.
    static std::string DecryptStringAES(std::string_view base64, std::string_view password,
                                        std::string_view salt);
    // As DecryptStringAES, but tells a refused value (nullopt) from one that decrypts to empty text.
    static std::optional<std::string> TryDecryptStringAES(std::string_view base64, std::string_view password,
                                                          std::string_view salt);

    // Standard alphabet, "=" padding, no line breaks.
    static std::string base64_encode(const uint8_t* bytes, size_t n);
    // Strict: length a multiple of 4, alphabet characters only, at most two "=" and only at the end.
    static std::optional<std::vector<uint8_t>> base64_decode(std::string_view text);
};
