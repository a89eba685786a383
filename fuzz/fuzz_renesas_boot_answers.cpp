// The Renesas boot-loader dialogue of modes U2 and U4 over a port whose answers the fuzzer chooses:
// the first byte picks the mode, then each chunk (a length byte, 0 an empty read, and that many
// bytes) answers one command. Whatever the loader says, no frame may leave unless the image is a whole
// number of frames, and every frame must carry its checksum.
#include "base/Clock.h"
#include "comm/CommLayer.h"
#include "firmware/PSWFile.h"
#include "model/InfoRecords.h"
#include "tests/support/ScriptedPort.h"
#include "tools/Fixtures.h"
#include "transport/CommPortSettings.h"
#include "upgrade/UpgradeModeU2U4.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <numeric>

namespace {

constexpr size_t kImageSize = 512;

class AnsweringPort : public ScriptedPort {
public:
    AnsweringPort(std::shared_ptr<PortScript> script, std::shared_ptr<std::deque<Bytes>> answers)
        : ScriptedPort(std::move(script)), m_answers(std::move(answers)) {}
    int InitWithVid(const char*, const char*, const char*) override { return 1; }
    int Open() override { return 1; }
    unsigned Write(const unsigned char* buf, unsigned len, unsigned* error) override {
        const unsigned written = ScriptedPort::Write(buf, len, error);
        if (!m_answers->empty()) {
            QueueRead(m_answers->front());
            m_answers->pop_front();
        }
        return written;
    }

private:
    std::shared_ptr<std::deque<Bytes>> m_answers;
};

PSWFile& Package() {
    static PSWFile psw = [] {
        fixtures::PackageDescription desc = fixtures::StandardPackage(true, {0x11});
        fixtures::ModuleSlot software;
        software.kind = 's';
        software.image = fixtures::PatternBytes(kImageSize, 5);
        software.numBank = 1;
        software.bankDim = kImageSize;
        desc.slots.push_back(software);
        const std::vector<uint8_t> bytes = fixtures::WritePackage(desc);
        PSWFile file;
        if (!file.LoadPSWFromMemory(bytes.data(), static_cast<int>(bytes.size()), true))
            __builtin_trap();
        return file;
    }();
    return psw;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    Clock::SetScaleForTesting(0.00001);
    auto answers = std::make_shared<std::deque<PortScript::Bytes>>();
    for (size_t at = 1; at < size;) {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        ++at;
        answers->emplace_back(data + at, data + at + length);
        at += length;
    }
    auto script = std::make_shared<PortScript>();
    CommLayer layer([&](CommPortType) { return std::make_unique<AnsweringPort>(script, answers); });
    layer.Open(COMM_USB_PRN, "1|2|3", 0, 0, 0);
    script->writes.clear();
    std::unique_ptr<UpgradePrinter_RenesasBoot> driver;
    if (data[0] & 1)
        driver = std::make_unique<UpgradePrinter_ModeU4>(UpgradePrinter::kScopeFirmware, 1);
    else
        driver = std::make_unique<UpgradePrinter_ModeU2>(UpgradePrinter::kScopeFirmware, 1);
    BTPRGERROR error = BTPRGERROR_CONNECTION;
    int programmingSize = 0;
    const char* device = "045b|0b5a|RB1";
    if (!driver->InitConnectRenesasDevice(layer, device, error, programmingSize))
        return 0;
    UpgradeDataInfo info;
    CommPortSettings settings;
    const bool programmed =
        driver->StartUpgradeUsb(info, layer, device, Package(), settings, nullptr, nullptr, programmingSize);
    size_t frames = 0;
    for (const PortScript::Bytes& w : script->writes) {
        if (w.empty() || w[0] != 0x50 || w.size() <= 6)
            continue;
        ++frames;
        if (programmingSize <= 0 || kImageSize % static_cast<size_t>(programmingSize) != 0 ||
            w.size() != static_cast<size_t>(programmingSize) + 6 ||
            std::accumulate(w.begin(), w.end(), 0u) % 256 != 0)
            __builtin_trap();
    }
    if (programmed && frames < kImageSize / static_cast<size_t>(programmingSize))
        __builtin_trap();
    return 0;
}
