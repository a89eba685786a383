// USB device listing of the printer-class port: the vendor, product and class filters, the device
// names the enumerations produce, and opening a port by such a name.
#include "transport/ComPortUsbIntPRN.h"

#include "base/Log.h"
#include "transport/ProductIds.h"
#include "transport/UsbPermission.h"

#include <cstdio>

namespace {
bool AnyInterfaceHasClass(libusb_device* device, uint8_t numConfigurations, unsigned char deviceClass) {
    for (uint8_t index = 0; index < numConfigurations; ++index) {
        libusb_config_descriptor* raw = nullptr;
        if (libusb_get_config_descriptor(device, index, &raw) != LIBUSB_SUCCESS) {
            printf("  Couldn't retrieve descriptors\n");
            Log::WriteLogP("applyFilterByDeviceClass", "Couldn't retrieve descriptors of configuration %u",
                           index);
            continue;
        }
        const UsbConfigDescriptor config(raw);
        for (int i = 0; i < config->bNumInterfaces; ++i) {
            const libusb_interface& interface = config->interface[i];
            for (int alt = 0; alt < interface.num_altsetting; ++alt)
                if (interface.altsetting[alt].bInterfaceClass == deviceClass)
                    return true;
        }
    }
    return false;
}

bool MatchesIds(const libusb_device_descriptor& descriptor, const std::string& vid, const char* pid) {
    const bool vidMatches = SameUsbIdText(UsbIdText(descriptor.idVendor), vid);
    if (pid == nullptr || pid[0] == '\0')
        return vidMatches;
    return vidMatches && SameUsbIdText(UsbIdText(descriptor.idProduct), pid);
}

void SetError(std::string& error, const char* text) {
    error = CutIdentityText(text);
}

// Opens the device to read its serial string; nullopt (error set) when it cannot be opened.
std::optional<USBDevice> DescribeDevice(libusb_device* device, const libusb_device_descriptor& descriptor,
                                        std::string& error) {
    libusb_device_handle* raw = nullptr;
    const int opened = libusb_open(device, &raw);
    if (opened != LIBUSB_SUCCESS) {
        const char* text = opened == LIBUSB_ERROR_ACCESS
                               ? "Couldn't open device(Access denied (insufficient permissions))"
                               : "Couldn't open device";
        Log::WriteLogP("GetDeviceListBase", "%s", text);
        if (opened == LIBUSB_ERROR_ACCESS)
            ReportUsbPermission("GetDeviceListBase", UsbDevNode(device));
        SetError(error, text);
        return std::nullopt;
    }
    const UsbHandle handle(raw);
    USBDevice record;
    record.vid = UsbIdText(descriptor.idVendor);
    record.pid = UsbIdText(descriptor.idProduct);
    const std::optional<std::string> serial = ReadSerialString(handle.get(), descriptor.iSerialNumber);
    if (!serial)
        Log::WriteLog("GetDeviceListBase", "Coudn't get serial string");
    record.serial = CutIdentityText(serial.value_or(std::string()).c_str());
    return record;
}
} // namespace

bool ComPortUsbIntPRN::applyFilterByDeviceClass(libusb_device* device,
                                                const libusb_device_descriptor& descriptor,
                                                bool filterByClass, unsigned char deviceClass) {
    Log::WriteLog("applyFilterByDeviceClass", "Begin");
    bool passes = true;
    if (filterByClass && descriptor.bDeviceClass != 0)
        passes = descriptor.bDeviceClass == deviceClass;
    else if (filterByClass)
        passes = AnyInterfaceHasClass(device, descriptor.bNumConfigurations, deviceClass);
    Log::WriteLog("applyFilterByDeviceClass", "End");
    return passes;
}

std::vector<USBDevice> ComPortUsbIntPRN::GetDeviceListBase(std::string& error, const char* vid,
                                                           const char* pid, bool filterByClass,
                                                           unsigned char deviceClass) {
    Log::WriteLog("GetDeviceListBase", "Begin");
    error.clear();
    std::vector<USBDevice> found;
    int code = 0;
    const UsbContext context = StartUsb(&code);
    if (!context) {
        Log::WriteLogP("GetDeviceListBase", "libusb_init error (%s)", UsbErrorText(code));
        SetError(error, "libusb_init error");
        return found;
    }
    const UsbDeviceList list = TakeDeviceList(context.get(), &code);
    if (!list.Held()) {
        Log::WriteLogP("GetDeviceListBase", "libusb_get_device_list error (%s)", UsbErrorText(code));
        SetError(error, "libusb_get_device_list error");
        return found;
    }
    const std::string vidFilter = vid != nullptr && vid[0] != '\0' ? vid : UsbIdText(ProductIds::kVendorId);
    for (libusb_device* device : list.Devices()) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) {
            Log::WriteLog("GetDeviceListBase", "failed to get device descriptor");
            continue;
        }
        if (!MatchesIds(descriptor, vidFilter, pid) ||
            !applyFilterByDeviceClass(device, descriptor, filterByClass, deviceClass))
            continue;
        if (std::optional<USBDevice> record = DescribeDevice(device, descriptor, error))
            found.push_back(std::move(*record));
    }
    Log::WriteLog("GetDeviceListBase", "End");
    return found;
}

std::vector<USBDevice> ComPortUsbIntPRN::GetDeviceList(std::string& error, const char* vid, const char* pid) {
    Log::WriteLog("GetDeviceList", "Begin");
    std::vector<USBDevice> found = GetDeviceListBase(error, vid, pid, false, 0);
    Log::WriteLog("GetDeviceList", "End");
    return found;
}

std::vector<USBDevice> ComPortUsbIntPRN::GetDeviceListFilterByClass(std::string& error, const char* vid,
                                                                    const char* pid,
                                                                    unsigned char deviceClass) {
    Log::WriteLog("GetDeviceListFilterByClass", "Begin");
    std::vector<USBDevice> found = GetDeviceListBase(error, vid, pid, true, deviceClass);
    Log::WriteLog("GetDeviceListFilterByClass", "End");
    return found;
}

std::vector<USBDevice> ComPortUsbIntPRN::GetVCOMVmCdcVUCList(std::string& error, const char* vid,
                                                             const char* pid) {
    Log::WriteLog("GetVCOMVmCdcVUCList", "Begin");
    std::vector<USBDevice> found = GetDeviceList(error, vid, pid);
    Log::WriteLog("GetVCOMVmCdcVUCList", "End");
    return found;
}

std::vector<std::string> ComPortUsbIntPRN::EnumUsbDevices(std::string& error, bool filterByClass,
                                                          unsigned char deviceClass) {
    Log::WriteLog("EnumUsbDevices", "Begin");
    std::vector<std::string> names;
    const std::vector<USBDevice> devices = GetDeviceListBase(error, UsbIdText(ProductIds::kVendorId).c_str(),
                                                             nullptr, filterByClass, deviceClass);
    if (!error.empty()) {
        Log::WriteLogP("EnumUsbDevices", "Error in enumerating usb devices: %s", error.c_str());
        Log::WriteLog("EnumUsbDevices", "End");
        return names;
    }
    Log::WriteLogP("EnumUsbDevices", "Found %zu USB Devices", devices.size());
    for (const USBDevice& device : devices) {
        names.push_back(device.DeviceName());
        Log::WriteLogP("EnumUsbDevices", "Device %zu : %s", names.size(), names.back().c_str());
    }
    Log::WriteLog("EnumUsbDevices", "End");
    return names;
}

int ComPortUsbIntPRN::OpenUsb(const char* vid, const char* pid, const char* serial, bool matchPid) {
    Log::WriteLog("OpenUsb", "Begin");
    const std::string wantedVid = CutIdentityText(vid);
    const std::string wantedPid = CutIdentityText(pid);
    const std::string wantedSerial = CutIdentityText(serial);
    Log::WriteLogP("OpenUsb", "Opening device VID: %s Pid: %s SN: %s ...", wantedVid.c_str(),
                   wantedPid.c_str(), wantedSerial.c_str());
    m_virtualPort = false;
    std::string error;
    const std::vector<USBDevice> devices =
        GetDeviceList(error, wantedVid.c_str(), matchPid ? wantedPid.c_str() : nullptr);
    // A device that could not be read is reported, but only fails the open when it may be the one
    // asked for: the others of the same kind stay usable.
    if (!error.empty()) {
        Log::WriteLogP("OpenUsb", "Error in open usb device: %s", error.c_str());
        SetLastErrorText("%s", error.c_str());
    }
    const USBDevice* target = nullptr;
    for (const USBDevice& device : devices)
        if (SameUsbIdText(device.vid, wantedVid) && SameUsbIdText(device.pid, wantedPid) &&
            UpperCase(device.serial) == UpperCase(wantedSerial))
            target = &device; // the last one listed wins
    if (target == nullptr) {
        Log::WriteLogP("OpenUsb", "Device VID: %s Pid: %s SN: %s NOT FOUND!", wantedVid.c_str(),
                       wantedPid.c_str(), wantedSerial.c_str());
        Log::WriteLog("OpenUsb", "End");
        return -1;
    }
    Log::WriteLogP("OpenUsb", "Device VID: %s Pid: %s SN: %s FOUND", wantedVid.c_str(), wantedPid.c_str(),
                   wantedSerial.c_str());
    const std::string address =
        target->serial.empty() ? std::string() : target->serial.substr(target->serial.size() - 1);
    // The address search runs under the listed device's own vendor id, not always the maker's.
    const bool opened = InitByAddress(target->vid, target->pid.c_str(), address.c_str()) && Open() != 0;
    Log::WriteLog("OpenUsb", opened ? "Succesfully Open Device!" : "Open Device ERROR!!!");
    Log::WriteLog("OpenUsb", "End");
    return opened ? 0 : -1;
}
