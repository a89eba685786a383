// Shared set-up of the USB port tests: a umockdev testbed per case and the maker's devices in it.
#pragma once

#include "base/Clock.h"
#include "sim/usb/UsbTestbed.h"
#include "transport/ComPortUsbIntPRN.h"
#include "transport/ProductIds.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

using sim::EmulatedUsbDevice;
using sim::UsbDeviceSetup;
using sim::UsbTestbed;

// Runs `work` on a thread that may not override file permissions, as an ordinary user's program: root
// would open a device node whatever its mode. Capabilities belong to each thread; the others keep
// theirs. False, `work` not run, when the right cannot be given up.
inline bool WithoutPermissionOverride(const std::function<void()>& work) {
    bool dropped = false;
    std::thread([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
        if (syscall(SYS_capget, &header, data) != 0)
            return;
        data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH)); // both below 32
        dropped = syscall(SYS_capset, &header, data) == 0;
        if (dropped)
            work();
    }).join();
    return dropped;
}

class UsbTest : public ::testing::Test {
protected:
    static constexpr uint16_t kPrinterPid = 0x0101;

    void SetUp() override {
        if (!UsbTestbed::InMockEnvironment())
            GTEST_SKIP() << "needs umockdev's preload: run under umockdev-wrapper";
        testbed = std::make_unique<UsbTestbed>();
        // The timing cases measure real pauses and time-outs: unscaled, whatever the environment says.
        m_savedScale = Clock::Scale();
        Clock::SetScaleForTesting(1.0);
    }
    void TearDown() override { Clock::SetScaleForTesting(m_savedScale); }

    static UsbDeviceSetup Printer(std::optional<std::string> serial, int port = 1,
                                  uint16_t pid = kPrinterPid) {
        UsbDeviceSetup setup;
        setup.vid = ProductIds::kVendorId;
        setup.pid = pid;
        setup.serial = std::move(serial);
        setup.port = port;
        return setup;
    }
    const std::string vid = UsbIdText(ProductIds::kVendorId); // as device names spell it

    std::unique_ptr<UsbTestbed> testbed;

private:
    double m_savedScale = 1.0;
};
