// Firmware images for the HID boot loader come from package files: cut arbitrary bytes into records
// and check that every record is whole, in the image, in order, and never read past its end (the
// input buffer is exactly the image, so a read beyond it is AddressSanitizer's to catch).
#include "upgrade/UpgradeModeU6.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT32_MAX)
        return 0;
    const auto frames = UpgradePrinter_ModeU6::SplitBuffer(data, static_cast<int>(size));
    if (!frames)
        return 0;
    size_t at = 0;
    for (const UpgradePrinter_ModeU6::Frame& frame : *frames) {
        if (frame.size() < 2 || frame[0] != UpgradePrinter_ModeU6::kRecordMarker ||
            frame.size() != 2u + frame[1])
            abort();
        // Only bytes other than the marker lie between records.
        while (at < size && data[at] != UpgradePrinter_ModeU6::kRecordMarker)
            ++at;
        if (at + frame.size() > size || std::memcmp(data + at, frame.data(), frame.size()) != 0)
            abort();
        at += frame.size();
    }
    while (at < size && data[at] != UpgradePrinter_ModeU6::kRecordMarker)
        ++at;
    if (at != size)
        abort(); // a record was left out
    return 0;
}
