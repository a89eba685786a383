// The testbed and its sysfs records; see UsbTestbed.h.
#include "sim/usb/UsbTestbed.h"

#include "sim/usb/UsbDescriptors.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace sim {
namespace {
std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t b : bytes) {
        snprintf(digits, sizeof digits, "%02X", b);
        text += digits;
    }
    return text;
}

std::string Format(const char* format, int value) {
    char text[32];
    snprintf(text, sizeof text, format, value);
    return text;
}

// A text attribute in umockdev's record format ("A: name=value"), ending in a newline as the kernel
// writes every text attribute; the record escapes backslashes and newlines.
std::string Attribute(const std::string& name, const std::string& value) {
    std::string line = "A: " + name + "=";
    for (char c : value) {
        if (c == '\\')
            line += "\\\\";
        else if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    return line + "\\n\n";
}

// One device in umockdev's record format: udev properties (E), text (A) and binary (H) attributes.
std::string DeviceRecord(const std::string& sysPath, const EmulatedUsbDevice& device) {
    const UsbDeviceSetup& setup = device.Setup();
    std::string r = "P: " + sysPath + "\n";
    r += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
    r += "E: DEVNAME=" + device.DevNode() + "\n";
    r += "E: BUSNUM=" + Format("%03d", setup.bus) + "\nE: DEVNUM=" + Format("%03d", device.Devnum()) + "\n";
    r +=
        Attribute("busnum", std::to_string(setup.bus)) + Attribute("devnum", std::to_string(device.Devnum()));
    r += Attribute("devpath", std::to_string(setup.port));
    r += Attribute("idVendor", Format("%04x", setup.vid)) + Attribute("idProduct", Format("%04x", setup.pid));
    r += Attribute("bcdDevice", "0100") + Attribute("version", " 2.00");
    r += Attribute("bDeviceClass", Format("%02x", setup.deviceClass));
    r += Attribute("bDeviceSubClass", "00") + Attribute("bDeviceProtocol", "00");
    r += Attribute("bMaxPacketSize0", "64") + Attribute("bNumConfigurations", "1");
    r += Attribute("speed", "12") + Attribute("maxchild", "0");
    r += Attribute("bmAttributes", "80") + Attribute("bMaxPower", "100mA");
    // An unconfigured device's configuration attributes are empty, without even a newline.
    if (setup.configured) {
        r += Attribute("bConfigurationValue", "1");
        r += Attribute("bNumInterfaces", Format("%2d", static_cast<int>(setup.interfaceClasses.size())));
    } else {
        r += "A: bConfigurationValue=\nA: bNumInterfaces=\n";
    }
    // The kernel shows the strings as the device's descriptors give them.
    if (setup.manufacturer)
        r += Attribute("manufacturer", usbdesc::DescriptorText(*setup.manufacturer));
    if (setup.product)
        r += Attribute("product", usbdesc::DescriptorText(*setup.product));
    if (setup.serial)
        r += Attribute("serial", usbdesc::DescriptorText(*setup.serial));
    r += "H: descriptors=" + Hex(device.Descriptors()) + "\n";
    return r;
}
} // namespace

bool UsbTestbed::InMockEnvironment() {
    // umockdev_in_mock_environment() answers false under umockdev-wrapper in this umockdev release, so
    // look for the preload itself.
    const char* preload = getenv("LD_PRELOAD");
    return preload != nullptr && strstr(preload, "libumockdev-preload") != nullptr;
}

UsbTestbed::UsbTestbed() : m_testbed(umockdev_testbed_new()) {
    gchar* root = umockdev_testbed_get_root_dir(m_testbed);
    m_root = root;
    g_free(root);
    std::filesystem::create_directories(m_root + "/dev/bus/usb");
}

UsbTestbed::~UsbTestbed() {
    g_object_unref(m_testbed);
    m_devices.clear();
}

EmulatedUsbDevice& UsbTestbed::Plug(const UsbDeviceSetup& setup, UsbHostObserver* observer) {
    if (std::find(m_busesWithHub.begin(), m_busesWithHub.end(), setup.bus) == m_busesWithHub.end())
        AddRootHub(setup.bus);
    auto device = std::make_unique<EmulatedUsbDevice>(setup, m_nextDevnum++);
    device->Observe(observer);
    const std::string node = m_root + device->DevNode();
    std::filesystem::create_directories(std::filesystem::path(node).parent_path());
    std::ofstream{node};
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(m_testbed, device->DevNode().c_str(), device->Handler(), &error)) {
        std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot attach the usb request handler: " + message);
    }
    const std::string sysPath = "/sys/devices/usb" + std::to_string(setup.bus) + "/" + device->SysName();
    if (!umockdev_testbed_add_from_string(m_testbed, DeviceRecord(sysPath.substr(4), *device).c_str(),
                                          &error)) {
        std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot add the emulated usb device: " + message);
    }
    m_sysPaths.push_back(sysPath);
    m_devices.push_back(std::move(device));
    return *m_devices.back();
}

void UsbTestbed::Unplug(EmulatedUsbDevice& device) {
    device.Disconnect();
    const std::string sysPath = SysPath(device);
    // umockdev builds the uevent with libudev, which finds the device in the testbed only under the
    // preload. Elsewhere (the simulator itself) it looks at the machine's own sysfs, prints "No such
    // device" and sends nothing; the simulator's hosts find the devices by listing the mocked sysfs.
    if (InMockEnvironment())
        umockdev_testbed_uevent(m_testbed, sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(m_testbed, sysPath.c_str());
    std::error_code ignored;
    std::filesystem::remove(m_root + device.DevNode(), ignored);
    // The request handler stays attached: a port may still hold the old file descriptor.
}

std::string UsbTestbed::SysPath(const EmulatedUsbDevice& device) const {
    for (size_t i = 0; i < m_devices.size(); ++i)
        if (m_devices[i].get() == &device)
            return m_sysPaths[i];
    throw std::logic_error("device not plugged in this testbed");
}

void UsbTestbed::AddRootHub(int bus) {
    const std::string name = "usb" + std::to_string(bus);
    // Linux Foundation root hub: another vendor, hub class; never matches the printer filters.
    const std::vector<uint8_t> descriptors = {
        18, 1, 0x00, 0x02, 9, 0, 1, 64, 0x6b, 0x1d, 0x02, 0x00, 0x00, 0x01, 0, 0, 0,    1, 9, 2, 25, 0,
        1,  1, 0,    0xE0, 0, 9, 4, 0,  0,    1,    9,    0,    0,    0,    7, 5, 0x81, 3, 4, 0, 12};
    std::string r = "P: /devices/" + name + "\n";
    r += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
    r += "E: DEVNAME=/dev/bus/usb/" + Format("%03d", bus) + "/001\n";
    r += Attribute("busnum", std::to_string(bus)) + Attribute("devnum", "1") + Attribute("devpath", "0");
    r += Attribute("idVendor", "1d6b") + Attribute("idProduct", "0002") + Attribute("bDeviceClass", "09");
    r += Attribute("bConfigurationValue", "1") + Attribute("speed", "480");
    r += "H: descriptors=" + Hex(descriptors) + "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(m_testbed, r.c_str(), &error)) {
        std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot add the root hub: " + message);
    }
    m_busesWithHub.push_back(bus);
}

} // namespace sim
