// Shared set-up of the USB port tests: a umockdev testbed per case and the maker's devices in it.
#pragma once

#include "base/Clock.h"
#include "sim/usb/UsbTestbed.h"
#include "transport/ComPortUsbIntPRN.h"
#include "transport/ProductIds.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

using sim::EmulatedUsbDevice;
using sim::UsbDeviceSetup;
using sim::UsbTestbed;

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
