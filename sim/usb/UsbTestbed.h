// A umockdev testbed holding emulated USB devices that libusb finds through the mocked sysfs, udev
// and /dev/bus/usb. libusb sees them in a process that runs under umockdev's preload with
// UMOCKDEV_DIR naming the testbed's root: this one (started by umockdev-wrapper, as the USB port tests
// are) or a child it starts (as the simulator does); the testbed itself needs no preload.
#pragma once

#include "sim/usb/EmulatedUsbDevice.h"

#include <umockdev.h>

#include <memory>
#include <string>
#include <vector>

namespace sim {

class UsbTestbed {
public:
    // True when the umockdev preload is active; without it libusb would see the real machine.
    static bool InMockEnvironment();

    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    // The mocked root: what UMOCKDEV_DIR must name for a program to see these devices.
    const std::string& RootDir() const { return m_root; }

    // Sets the device up completely (node, request handler, observer, sysfs) and then announces it, so
    // a host that finds it at once already reaches the observer.
    EmulatedUsbDevice& Plug(const UsbDeviceSetup& setup, UsbHostObserver* observer = nullptr);
    // Announces the removal (under the preload only, where umockdev can), then takes the device away;
    // the reference is invalid afterwards.
    void Unplug(EmulatedUsbDevice& device);

private:
    void AddRootHub(int bus);
    std::string SysPath(const EmulatedUsbDevice& device) const;

    UMockdevTestbed* m_testbed;
    std::string m_root;
    std::vector<std::unique_ptr<EmulatedUsbDevice>> m_devices;
    std::vector<std::string> m_sysPaths;
    std::vector<int> m_busesWithHub;
    int m_nextDevnum = 2;
};

} // namespace sim
