// The firmware image an upgrade sends, taken from a loaded package: a format-2 package carries it in
// its software module, a format-1 package in its binary data. The image is cut into banks of one
// size; the release text is the one the printer will report once it runs the image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PSWFile;

struct FirmwareImage {
    // The transfer commands number banks with one byte each.
    static constexpr int kMaxBanks = 255;

    const uint8_t* data = nullptr;
    size_t length = 0;
    int bankCount = 0;
    uint32_t bankSize = 0;
    std::string packageRelease; // "1.23" for the stored "123"

    [[nodiscard]] const uint8_t* Bank(int index) const {
        return data + static_cast<size_t>(index) * bankSize;
    }
    // The bank buffers first..first+count-1.
    [[nodiscard]] std::vector<const uint8_t*> Banks(int first, int count) const;
};

// The image of the package; false with `refusal` set when the package has none.
[[nodiscard]] bool TakeFirmwareImage(const PSWFile& psw, FirmwareImage& image, std::string& refusal);

// The release as the printer writes it: first character, a point, the rest ("123" -> "1.23").
[[nodiscard]] std::string PackageReleaseText(const std::string& stored);
