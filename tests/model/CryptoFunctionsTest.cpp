// Encryption of confidential archive values: known vectors, round trips and refusal of damaged values.
#include "model/CryptoFunctions.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string EncryptItem(const std::string& text) {
    return CryptoFunctions::EncryptStringAES(text, CryptoFunctions::kPassword,
                                             CryptoFunctions::kSaltStringItem);
}

std::string DecryptItem(const std::string& base64) {
    return CryptoFunctions::DecryptStringAES(base64, CryptoFunctions::kPassword,
                                             CryptoFunctions::kSaltStringItem);
}

// Computed once with the OpenSSL command-line tool, independently of this code:
//   dk=$(openssl kdf -keylen 48 -kdfopt digest:SHA1 -kdfopt pass:Qvm47203tyk -kdfopt "salt:$salt"
//        -kdfopt iter:1000 PBKDF2)    # key = bytes 0..31, iv = bytes 32..47
//   ct=$(printf '%s' "$text" | openssl enc -aes-256-cbc -K $key -iv $iv | xxd -p)
//   printf '10000000%s%s' $iv $ct | xxd -r -p | base64 -w0
struct Vector {
    const char* salt;
    const char* text;
    const char* base64;
};
constexpr Vector kVectors[] = {
    {CryptoFunctions::kSaltStringItem, "", "EAAAAAFH7S5Xe0Ek04ZJrwaV4AJqpIshFrhH2qKNuDjr6sab"},
    {CryptoFunctions::kSaltStringItem, "secret", "EAAAAAFH7S5Xe0Ek04ZJrwaV4AI8OgfYaSP7efcoYXjRf78g"},
    {CryptoFunctions::kSaltStringItem, "Printer life: 12345 cuts",
     "EAAAAAFH7S5Xe0Ek04ZJrwaV4AJx9ZbddaJqkVbZO8USINuLVNMH5P1OaX65lTxP1YH5hA=="},
    {CryptoFunctions::kSaltLifeInfo, "", "EAAAAL5ZlJDSA6c4kNIb8f5RgICCR0MvOqPuE1V1y0SG7B3e"},
    {CryptoFunctions::kSaltLifeInfo, "secret", "EAAAAL5ZlJDSA6c4kNIb8f5RgICsrj14DPB/UO1DAMPnEVa/"},
    {CryptoFunctions::kSaltLifeInfo, "Printer life: 12345 cuts",
     "EAAAAL5ZlJDSA6c4kNIb8f5RgIDQ5RaUaLdkUJFwAaxiMu/Ej8G7Gczzm83HAxLml1C8KQ=="},
};

} // namespace

TEST(CryptoFunctionsTest, MatchesVectorsComputedWithTheOpensslTool) {
    for (const Vector& v : kVectors) {
        EXPECT_EQ(CryptoFunctions::EncryptStringAES(v.text, CryptoFunctions::kPassword, v.salt), v.base64)
            << v.text;
        EXPECT_EQ(CryptoFunctions::DecryptStringAES(v.base64, CryptoFunctions::kPassword, v.salt), v.text);
    }
    EXPECT_EQ(std::string(kVectors[0].base64).size(), 48u); // 4 + 16 + one block of padding
}

TEST(CryptoFunctionsTest, RoundTripUpToTheItemLimit) {
    std::string text;
    for (int i = 0; i < 511; ++i) {
        text.push_back(static_cast<char>(1 + (i * 37) % 255));
        ASSERT_EQ(DecryptItem(EncryptItem(text)), text) << "length " << text.size();
    }
}

TEST(CryptoFunctionsTest, DamagedValuesAreRefusedOrCut) {
    const std::string good = kVectors[1].base64;
    for (const std::string& bad :
         {std::string("not base64!"), good.substr(1), good + "=", std::string("=AAA"), std::string("AA=A"),
          std::string("AAA"), std::string("")}) {
        EXPECT_EQ(CryptoFunctions::TryDecryptStringAES(bad, CryptoFunctions::kPassword,
                                                       CryptoFunctions::kSaltStringItem),
                  std::nullopt)
            << bad;
        EXPECT_EQ(DecryptItem(bad), "");
    }
    // Valid Base64 whose blob is shorter than its declared IV, or declares an impossible IV length.
    const uint8_t shortBlob[] = {16, 0, 0, 0, 1, 2, 3};
    const uint8_t hugeIv[] = {0xff, 0xff, 0xff, 0xff, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const uint8_t tinyIv[] = {2, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    for (const auto& [bytes, size] : {std::pair{shortBlob, sizeof shortBlob},
                                      std::pair{hugeIv, sizeof hugeIv}, std::pair{tinyIv, sizeof tinyIv}}) {
        EXPECT_EQ(CryptoFunctions::TryDecryptStringAES(CryptoFunctions::base64_encode(bytes, size),
                                                       CryptoFunctions::kPassword,
                                                       CryptoFunctions::kSaltStringItem),
                  std::nullopt);
    }
    // Wrong salt: the padding check fails; the result is whatever came out, and never crashes.
    const std::string wrong = CryptoFunctions::DecryptStringAES(
        kVectors[2].base64, CryptoFunctions::kPassword, CryptoFunctions::kSaltLifeInfo);
    EXPECT_NE(wrong, "Printer life: 12345 cuts");
    // A ciphertext cut to a partial block decrypts the complete blocks before it.
    std::vector<uint8_t> blob = *CryptoFunctions::base64_decode(kVectors[2].base64);
    blob.resize(blob.size() - 5);
    EXPECT_EQ(DecryptItem(CryptoFunctions::base64_encode(blob.data(), blob.size())), "Printer life: 12");
}
