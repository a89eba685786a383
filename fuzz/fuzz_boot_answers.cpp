// The HID boot loader's answers reach the upgrade from a device: send an image (the input's first
// bytes) to a scripted boot device whose answers the fuzzer chooses, and check that a record goes out
// only after every earlier one was acknowledged exactly, that success means every record was, and
// that the boot device's port is closed however it ends.
// Input: image length (2 bytes, low first), the image, then answers as a length byte and its bytes.
#include "comm/CommLayer.h"
#include "firmware/PSWFile.h"
#include "tests/support/ScriptedHidPort.h"
#include "tools/Fixtures.h"
#include "upgrade/UpgradeModeU6.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool Acknowledges(const UpgradePrinter_ModeU6::Frame& frame, HidScript::Bytes answer) {
    constexpr size_t kReadSize = UpgradePrinter_ModeU6::kAnswerSize;
    if (answer.size() > kReadSize)
        answer.resize(kReadSize); // what one read takes
    return frame.size() > 2 && frame[2] >= 0x30 && frame[2] <= 0x36 && answer == HidScript::kAck;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t length = std::min<size_t>(data[0] | (data[1] << 8), size - 2);
    fixtures::PackageDescription desc = fixtures::StandardPackage(true, {});
    fixtures::ModuleSlot software;
    software.kind = 's';
    software.image.assign(data + 2, data + 2 + length);
    desc.slots.push_back(software);
    const std::vector<uint8_t> package = fixtures::WritePackage(desc);
    PSWFile psw;
    if (!psw.LoadPSWFromMemory(package.data(), static_cast<int>(package.size()), true))
        return 0;

    auto hid = std::make_shared<HidScript>();
    hid->ackWhenDrained = false;
    for (size_t at = 2 + length; at < size;) {
        const size_t declared = data[at++];
        const size_t n = std::min(declared, size - at);
        hid->answers.emplace_back(data + at, data + at + n);
        at += n;
    }
    const std::deque<HidScript::Bytes> answers = hid->answers;

    UpgradePrinter_ModeU6 driver(UpgradePrinter::kScopeFirmware, 1);
    driver.SetHidPortMaker([hid](int) { return std::make_unique<ScriptedHidPort>(hid); });
    CommLayer layer([](CommPortType) { return std::unique_ptr<ComPort>(); });
    const bool ok = driver.StartUpgradeUsb(layer, "10c4|eac9|SL", psw);

    const auto frames = UpgradePrinter_ModeU6::SplitBuffer(software.image.data(), static_cast<int>(length));
    const size_t sent = hid->writes.size();
    if (!frames) {
        if (ok || sent != 0)
            abort(); // a cut image sends nothing
        return 0;
    }
    if (hid->closes != 1 || sent > frames->size())
        abort();
    for (size_t i = 0; i < sent; ++i) {
        const HidScript::Bytes answer = i < answers.size() ? answers[i] : HidScript::Bytes{};
        const bool acknowledged = Acknowledges((*frames)[i], answer);
        if (hid->writes[i] != (*frames)[i] || (i + 1 < sent && !acknowledged))
            abort();
        if (i + 1 == sent && acknowledged != (ok && sent == frames->size()))
            abort();
    }
    if (frames->empty() ? !ok || sent != 0 : sent == 0)
        abort(); // no records: nothing to do; otherwise the first one always goes out
    return 0;
}
