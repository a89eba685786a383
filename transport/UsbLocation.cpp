// Remembering where on the bus the current USB printer sits (its port path), and finding it there
// again after it restarted with a new serial number.
#include "transport/ComPortUsbIntPRN.h"

#include "base/Log.h"
#include "transport/UsbPermission.h"

#include <cstring>

namespace {
std::string LocationText(const uint8_t* ports, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += std::to_string(ports[i]);
    return text;
}
} // namespace

template <typename Visit>
bool ComPortUsbIntPRN::ForEachIdentifiedDevice(const char* where, const std::string& vid,
                                               const std::string& pid, Visit visit) {
    int code = 0;
    const UsbContext context = StartUsb(&code);
    if (!context) {
        Log::WriteLogP(where, "libusb_init error (%s)", UsbErrorText(code));
        return false;
    }
    const UsbDeviceList list = TakeDeviceList(context.get(), &code);
    if (!list.Held()) {
        Log::WriteLogP(where, "libusb_get_device_list error (%s)", UsbErrorText(code));
        return false;
    }
    for (libusb_device* device : list.Devices()) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS ||
            descriptor.iSerialNumber == 0)
            continue;
        if (!SameUsbIdText(UsbIdText(descriptor.idVendor), vid) ||
            !SameUsbIdText(UsbIdText(descriptor.idProduct), pid))
            continue;
        libusb_device_handle* raw = nullptr;
        const int opened = libusb_open(device, &raw);
        if (opened != LIBUSB_SUCCESS) {
            Log::WriteLog(where, opened == LIBUSB_ERROR_ACCESS
                                     ? "Couldn't open device(Access denied (insufficient permissions))"
                                     : "Couldn't open device");
            if (opened == LIBUSB_ERROR_ACCESS)
                ReportUsbPermission(where, UsbDevNode(device));
            continue;
        }
        std::optional<std::string> serial;
        {
            const UsbHandle handle(raw);
            serial = ReadSerialString(handle.get(), descriptor.iSerialNumber);
        }
        if (!serial) {
            Log::WriteLog(where, "Coudn't get serial string");
            continue;
        }
        uint8_t ports[kLocationSize] = {};
        const int count = libusb_get_port_numbers(device, ports, static_cast<int>(kLocationSize));
        if (serial->empty() || count < 0)
            continue;
        visit(*serial, ports, static_cast<size_t>(count));
    }
    return true;
}

int ComPortUsbIntPRN::SaveLocationCurrentDevice() {
    Log::WriteLog("SaveLocationCurrentDevice", "SaveLocationCurrentDevice Begin");
    if (m_pid.empty() || m_vid.empty() || m_address.empty()) {
        Log::WriteLog("SaveLocationCurrentDevice", "No Pid, Vid or AddrNumber Error ");
        return 0;
    }
    // A failed save must not leave an older location for the restore to follow.
    m_location = UsbLocation{};
    bool found = false;
    const bool walked = ForEachIdentifiedDevice(
        "SaveLocationCurrentDevice", m_vid, m_pid,
        [this, &found](const std::string& serial, const uint8_t* ports, size_t count) {
            if (serial.back() != m_address.back())
                return;
            found = true;
            m_location = UsbLocation{m_vid, m_pid, serial, {}, count};
            memcpy(m_location.ports.data(), ports, count);
            Log::WriteLogP("SaveLocationCurrentDevice", "Vid:%s, Pid:%s, AddrNum:%s, Location: %s",
                           m_vid.c_str(), m_pid.c_str(), m_address.c_str(),
                           LocationText(ports, count).c_str());
        });
    // Reporting success without a location would send the upgrade looking in the wrong place later.
    if (walked && !found)
        Log::WriteLogP("SaveLocationCurrentDevice", "Device Vid:%s, Pid:%s, AddrNum:%s not found",
                       m_vid.c_str(), m_pid.c_str(), m_address.c_str());
    Log::WriteLog("SaveLocationCurrentDevice", "SaveLocationCurrentDevice End");
    return walked && found ? 1 : 0;
}

int ComPortUsbIntPRN::RestoreAddrNumFrmLocatio() {
    Log::WriteLog("RestoreAddrNumFrmLocatio", "RestoreAddrNumFrmLocatio Begin");
    if (m_location.Empty()) {
        Log::WriteLog("RestoreAddrNumFrmLocatio", "No location saved : Error.");
        return 0;
    }
    bool found = false;
    // The location carries the identity it was saved under: this port may never have opened the device.
    const bool walked = ForEachIdentifiedDevice(
        "RestoreAddrNumFrmLocatio", m_location.vid, m_location.pid,
        [this, &found](const std::string& serial, const uint8_t* ports, size_t count) {
            if (count != m_location.length || memcmp(ports, m_location.ports.data(), count) != 0)
                return;
            found = true;
            m_vid = m_location.vid;
            m_pid = m_location.pid;
            m_address = serial.substr(serial.size() - 1);
            m_location.serial = serial;
            Log::WriteLogP("RestoreAddrNumFrmLocatio", "New info Vid:%s, Pid:%s, AddrNum:%s, Location: %s",
                           m_vid.c_str(), m_pid.c_str(), m_address.c_str(),
                           LocationText(ports, count).c_str());
        });
    if (walked && !found)
        Log::WriteLogP("RestoreAddrNumFrmLocatio", "No device Vid:%s, Pid:%s at the saved location",
                       m_location.vid.c_str(), m_location.pid.c_str());
    Log::WriteLog("RestoreAddrNumFrmLocatio", "RestoreAddrNumFrmLocatio End");
    return walked && found ? 1 : 0;
}
