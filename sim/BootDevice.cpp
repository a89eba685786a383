// The boot loaders the simulator plays; see BootDevice.h.
#include "sim/BootDevice.h"

#include "sim/RenesasBoot.h"
#include "sim/SilabsBoot.h"

namespace sim {

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
