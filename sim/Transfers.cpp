// Sums, module checks and digests of upgrade transfers; see Transfers.h.
#include "sim/Transfers.h"

#include <algorithm>
#include <cstring>
#include <openssl/evp.h>

namespace sim {
namespace {

uint16_t BigEndian16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

// The value of KEY in the header area when KEY occurs exactly once and a line feed ends its value.
std::optional<std::string> HeaderValue(const Bytes& image, const std::string& key) {
    const auto end = image.begin() + static_cast<std::ptrdiff_t>(std::min(image.size(), kModuleHeaderBytes));
    const auto found = std::search(image.begin(), end, key.begin(), key.end());
    if (found == end || std::search(found + 1, end, key.begin(), key.end()) != end)
        return std::nullopt;
    const auto valueBegin = found + static_cast<std::ptrdiff_t>(key.size());
    const auto lineEnd = std::find(valueBegin, end, '\n');
    if (lineEnd == end)
        return std::nullopt;
    return std::string(valueBegin, lineEnd);
}

} // namespace

Sums ImageSums(const uint8_t* data, size_t length, size_t bankSize) {
    uint32_t sum1 = 0, sum2 = 0;
    for (size_t i = 0; i < length; ++i) {
        const size_t index = bankSize == 0 ? i : i % bankSize;
        sum1 += data[i];
        sum2 += static_cast<uint32_t>(data[i] ^ (index & 0xFFFF));
    }
    return {static_cast<uint16_t>(sum1), static_cast<uint16_t>(sum2)};
}

int ModuleTypeOf(char id) {
    switch (id) {
    case 'D':
        return 2;
    case 'F':
        return 1;
    case 'H':
        return 4;
    case 'I':
        return 8;
    case 'E':
        return 16;
    case 'L':
        return 64;
    case 'N':
    case 'O':
        return 128;
    default:
        return 0x8000;
    }
}

ModuleCheck CheckModule(const Bytes& image) {
    ModuleCheck check;
    if (image.size() < kModuleFrameBytes)
        return check;
    const size_t n = image.size();
    check.stored = {BigEndian16(&image[n - 4]), BigEndian16(&image[n - 2])};
    check.computed = ImageSums(image.data() + 6, n - kModuleFrameBytes);
    if (const auto id = HeaderValue(image, "MOD_ID:"); id && id->size() == 1) {
        check.moduleId = (*id)[0];
        check.moduleType = ModuleTypeOf((*id)[0]);
    }
    return check;
}

std::string Sha256Hex(const Bytes& bytes) {
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (::EVP_Digest(bytes.data(), bytes.size(), digest, &length, ::EVP_sha256(), nullptr) != 1)
        return {};
    return ToHex(digest, length);
}

} // namespace sim
