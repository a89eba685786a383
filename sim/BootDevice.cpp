// The boot loaders the simulator plays; see BootDevice.h.
#include "sim/BootDevice.h"

#include "sim/RenesasBoot.h"
#include "sim/SilabsBoot.h"

namespace sim {

TransferRecord InstallBootImage(PrinterState& state, const std::string& part, const Bytes& image,
                                unsigned lastBank, size_t bankSize, bool sumsOk, uint8_t answer) {
    TransferRecord t;
    t.kind = "firmware";
    t.part = part;
    t.firstBank = 0;
    t.lastBank = lastBank;
    t.bankSize = bankSize;
    t.bytes = image.size();
    t.computed = ImageSums(image.data(), image.size());
    t.received = t.computed;
    t.sumsOk = sumsOk;
    t.sha256 = Sha256Hex(image);
    t.answer = answer;
    t.installed = true;
    if (const auto& upgrade = state.GetProfile().upgrade; upgrade && upgrade->firmwareAfter)
        state.SetFirmware(*upgrade->firmwareAfter);
    state.Restart();
    t.release = state.Firmware();
    state.AddTransfer(t);
    return t;
}

bool HasBootLoader(const std::string& kind, const std::string& mode) {
    if (kind == "renesas")
        return mode == "U2" || mode == "U4";
    if (kind == "silabs")
        return mode == "U6";
    return false;
}

std::unique_ptr<BootDevice> MakeBootDevice(const std::string& kind, PrinterState& state,
                                           FaultInjector& faults) {
    if (kind == "renesas")
        return std::make_unique<RenesasBootDevice>(state, faults);
    if (kind == "silabs")
        return std::make_unique<SilabsBootDevice>(state, faults);
    return nullptr;
}

} // namespace sim
