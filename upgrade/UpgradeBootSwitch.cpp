// What the boot-loader modes (U2, U4, U6) share before their boot loader takes over: the check in the
// printer's own firmware and the wait for the boot device that replaces the printer on the bus.
#include "upgrade/UpgradePrinter.h"

#include "base/Clock.h"
#include "base/Log.h"
#include "comm/CommLayer.h"
#include "transport/ComPortUsbIntPRN.h"

namespace {

constexpr const char* kSendFW = "SendFW";
constexpr uint32_t kReOpenPauseMs = 5000;

std::vector<std::string> ListUsbDevicesOfVendor(const char* vendorId) {
    std::string error;
    std::vector<std::string> names;
    for (const USBDevice& device : ComPortUsbIntPRN::GetDeviceList(error, vendorId, nullptr))
        names.push_back(device.DeviceName());
    return names;
}

} // namespace

UpgradePrinter::Step UpgradePrinter::CheckReleaseInPrinterFirmware(CommLayer& comm,
                                                                   const std::string& packageRelease) {
    if (ReOpenWithRetries(comm, kReOpenAttempts, kReOpenPauseMs, "ReOpen Error. Retry %d",
                          "ReOpen Error. Num max Retry found. Throw Error"))
        WaitScaled(kReOpenPauseMs);
    if (!Handshake(comm)) {
        Log::WriteLog(kSendFW, "Handshake Communication Error");
        return Step::Fail;
    }
    std::string printerRelease;
    if (ReadPrinterRelease(comm, printerRelease, kReleaseReadSize) == 0) {
        Log::WriteLog(kSendFW, "Read FW Release Error");
        comm.Close();
        return Step::Fail;
    }
    return ReleaseCheck(printerRelease, packageRelease) ? Step::Next : Step::Finish;
}

std::string UpgradePrinter::WaitForBootDevice(const char* vendorId, uint32_t waitMs, uint32_t pollMs) const {
    const BootDeviceLister& list = m_listBootDevices ? m_listBootDevices : ListUsbDevicesOfVendor;
    const uint64_t deadline = DeadlineAfter(static_cast<uint64_t>(waitMs) * m_timeMultiplier);
    for (;;) {
        const std::vector<std::string> devices = list(vendorId);
        if (!devices.empty()) {
            Log::WriteLogP(kSendFW, "Boot device found: %s", devices.front().c_str());
            return devices.front();
        }
        if (Clock::MonotonicMs() >= deadline)
            return {};
        WaitFixed(pollMs);
    }
}

bool UpgradePrinter::WriteBootSwitch(CommLayer& comm, const unsigned char* command, size_t length) {
    constexpr const char* kWhere = "EnterUSBBootDirectModeOnUSB";
    Log::WriteLog(kWhere, "Sending command to enter in USB Boot Direct mode...");
    unsigned error = 0;
    if (comm.Write(command, static_cast<unsigned>(length), &error) != length || error != 0) {
        Log::WriteLog(kWhere, "Error USB Boot Direct mode");
        return false;
    }
    return true;
}
