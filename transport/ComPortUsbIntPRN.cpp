#include "transport/ComPortUsbIntPRN.h"

#include "base/Clock.h"
#include "base/Log.h"
#include "transport/ProductIds.h"
#include "transport/UsbPermission.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr int kInterface = 0;

// A one-character address is the last serial character itself; a longer text is its numeric value
// (the last character minus '0'), which only a digit can match.
bool AddressMatches(const std::string& serial, const std::string& address) {
    if (serial.empty())
        return false;
    const char last = serial.back();
    if (address.size() == 1)
        return last == address[0];
    char* end = nullptr;
    const long value = strtol(address.c_str(), &end, 10);
    return end != address.c_str() && *end == '\0' && last - '0' == value;
}
} // namespace

ComPortUsbIntPRN::ComPortUsbIntPRN() : ComPortUsbIntPRN(1) {}

ComPortUsbIntPRN::ComPortUsbIntPRN(int timeoutMultiplier) : m_timeoutMultiplier(timeoutMultiplier) {
    m_portType = COMM_USB_PRN;
    m_writeTimeoutMs = kDefaultTimeoutMs;
    m_readTimeoutMs = kDefaultTimeoutMs;
    m_packetSize = kPacketSize;
}

ComPortUsbIntPRN::~ComPortUsbIntPRN() {
    ReleaseDevice();
}

unsigned ComPortUsbIntPRN::UsbTimeout(unsigned ms) const {
    const unsigned long long scaled = static_cast<unsigned long long>(ms) *
                                      static_cast<unsigned long long>(std::max(m_timeoutMultiplier, 1));
    return Clock::ScaledMs(static_cast<uint32_t>(std::min<unsigned long long>(scaled, UINT32_MAX)));
}

unsigned ComPortUsbIntPRN::SendTimeout() const {
    // libusb's 0 waits for good: a printer that stopped taking data would hold the writer forever.
    return m_writeTimeoutMs != 0 ? UsbTimeout(m_writeTimeoutMs) : Clock::ScaledMs(kSendStallLimitMs);
}

void ComPortUsbIntPRN::NoteTransferResult(int code) {
    if (code == LIBUSB_ERROR_NO_DEVICE)
        SetDeviceLost(true);
}

int ComPortUsbIntPRN::Init(const char* pid, const char* address) {
    Log::WriteLog("Init", "Begin");
    const bool found = InitByAddress(UsbIdText(ProductIds::kVendorId), pid, address);
    Log::WriteLog("Init", "End");
    return found ? 1 : 0;
}

bool ComPortUsbIntPRN::InitByAddress(const std::string& vid, const char* pid, const char* address) {
    ReleaseDevice();
    m_vid = CutIdentityText(vid.c_str());
    m_pid = CutIdentityText(pid);
    m_address = CutIdentityText(address);
    if (!StartAndTakeList("Init") || !FindDevice(m_vid, m_pid, m_address)) {
        ReleaseDevice();
        return false;
    }
    if (m_identifiedBy == Identification::None)
        m_identifiedBy = Identification::ByAddress;
    return true;
}

int ComPortUsbIntPRN::InitWithVid(const char* vid, const char* pid, const char* serial) {
    Log::WriteLog("InitWithVid", "Begin");
    ReleaseDevice();
    m_vid = CutIdentityText(vid);
    m_pid = CutIdentityText(pid);
    m_address = CutIdentityText(serial);
    bool found = StartAndTakeList("InitWithVid") && FindDeviceWithVid(m_vid, m_pid, m_address);
    if (!found)
        ReleaseDevice();
    else if (m_identifiedBy == Identification::None)
        m_identifiedBy = Identification::BySerial;
    Log::WriteLog("InitWithVid", "End");
    return found ? 1 : 0;
}

bool ComPortUsbIntPRN::StartAndTakeList(const char* where) {
    int code = 0;
    m_context = StartUsb(&code);
    if (!m_context) {
        Log::WriteLogP(where, "libusb_init error (%s)", UsbErrorText(code));
        SetLastErrorText("libusb_init error");
        return false;
    }
    m_list = TakeDeviceList(m_context.get(), &code);
    if (!m_list.Held()) {
        Log::WriteLogP(where, "libusb_get_device_list error (%s)", UsbErrorText(code));
        SetLastErrorText("libusb_get_device_list error");
        return false;
    }
    m_deviceListHeld = true;
    return true;
}

template <typename Match>
bool ComPortUsbIntPRN::FindMatching(const char* where, const std::string& vid, const std::string& pid,
                                    Match isTarget, bool allInterfaces) {
    const char* openFailure = nullptr;
    for (libusb_device* device : m_list.Devices()) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS)
            continue;
        if (!SameUsbIdText(UsbIdText(descriptor.idVendor), vid) ||
            !SameUsbIdText(UsbIdText(descriptor.idProduct), pid))
            continue;
        libusb_device_handle* raw = nullptr;
        const int opened = libusb_open(device, &raw);
        if (opened != LIBUSB_SUCCESS) {
            // Another printer of the same kind that this user may not open must not hide the one
            // asked for: note it and look on.
            openFailure = opened == LIBUSB_ERROR_ACCESS
                              ? "Couldn't open device(Access denied (insufficient permissions))"
                              : "Couldn't open device";
            Log::WriteLogP(where, "%s", openFailure);
            if (opened == LIBUSB_ERROR_ACCESS)
                ReportUsbPermission(where, UsbDevNode(device));
            continue;
        }
        UsbHandle handle(raw);
        const std::optional<std::string> serial = ReadSerialString(handle.get(), descriptor.iSerialNumber);
        if (descriptor.iSerialNumber != 0 && !serial)
            Log::WriteLog(where, "Coudn't get serial string");
        if (descriptor.iSerialNumber != 0 && !isTarget(serial.value_or(std::string())))
            continue;
        m_handle = std::move(handle);
        if (PrepareTarget(where, device, allInterfaces))
            return true;
        m_handle.reset();
        return false;
    }
    Log::WriteLogP(where, "No device Vid:%s Pid:%s matches", vid.c_str(), pid.c_str());
    // The target may be the device that could not be opened: then that is the reason to give.
    if (openFailure != nullptr)
        SetLastErrorText("%s", openFailure);
    else
        SetLastErrorText("Device Vid:%s Pid:%s not found", vid.c_str(), pid.c_str());
    return false;
}

bool ComPortUsbIntPRN::FindDevice(const std::string& vid, const std::string& pid,
                                  const std::string& address) {
    Log::WriteLog("FindDevice", "Begin");
    const bool found = FindMatching(
        "FindDevice", vid, pid,
        [&address](const std::string& serial) { return AddressMatches(serial, address); }, true);
    Log::WriteLog("FindDevice", "End");
    return found;
}

bool ComPortUsbIntPRN::FindDeviceWithVid(const std::string& vid, const std::string& pid,
                                         const std::string& serial) {
    Log::WriteLog("FindDeviceWithVid", "Begin");
    const bool found = FindMatching(
        "FindDeviceWithVid", vid, pid,
        // The command line upper-cases device names: a serial with small letters must still be found.
        [&serial](const std::string& text) { return UpperCase(text) == UpperCase(serial); }, false);
    Log::WriteLog("FindDeviceWithVid", "End");
    return found;
}

bool ComPortUsbIntPRN::PrepareTarget(const char* where, libusb_device* device, bool allInterfaces) {
    int code = 0;
    UsbConfigDescriptor config = ActiveConfig(device, &code);
    if (!config) {
        // Ending the program here would take the user's window with it: the open fails instead.
        Log::WriteLogP(where, "Error getting usb config descriptor : %d \n", code);
        SetLastErrorText("Error getting usb config descriptor : %d", code);
        return false;
    }
    if (config->bNumInterfaces == 0 || config->interface[0].num_altsetting == 0 ||
        config->interface[0].altsetting[0].bNumEndpoints < 2) {
        Log::WriteLog(where, "Interface 0 has no bulk endpoint pair");
        SetLastErrorText("Interface 0 has no bulk endpoint pair");
        return false;
    }
    const libusb_endpoint_descriptor* endpoints = config->interface[0].altsetting[0].endpoint;
    const bool firstIsIn = (endpoints[0].bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0;
    m_inEndpoint = firstIsIn ? endpoints[0].bEndpointAddress : endpoints[1].bEndpointAddress;
    m_outEndpoint = firstIsIn ? endpoints[1].bEndpointAddress : endpoints[0].bEndpointAddress;
    return DetachKernelDrivers(where, *config, allInterfaces);
}

bool ComPortUsbIntPRN::DetachKernelDrivers(const char* where, const libusb_config_descriptor& config,
                                           bool allInterfaces) {
    if (libusb_kernel_driver_active(m_handle.get(), kInterface) == 1) {
        const int code = libusb_detach_kernel_driver(m_handle.get(), kInterface);
        if (code != LIBUSB_SUCCESS) {
            Log::WriteLogP(where, "libusb_detach_kernel_driver error (%s)", UsbErrorText(code));
            SetLastErrorText("libusb_detach_kernel_driver error");
            return false;
        }
    }
    if (!allInterfaces)
        return true;
    for (int index = 1; index < config.bNumInterfaces; ++index) {
        if (libusb_kernel_driver_active(m_handle.get(), index) != 1)
            continue;
        if (libusb_detach_kernel_driver(m_handle.get(), index) != LIBUSB_SUCCESS) {
            // The printer protocol lives on interface 0 only: another interface may keep its driver.
            Log::WriteLogP(where, "libusb_detach_kernel_driver error interface index %d", index);
            SetLastErrorText("libusb_detach_kernel_driver error interface index %d", index);
        }
    }
    return true;
}

int ComPortUsbIntPRN::Open() {
    Log::WriteLog("Open", "Begin");
    ClearLastErrorText();
    const bool claimed = Claim("Open");
    Log::WriteLog("Open", "End");
    return claimed ? 1 : 0;
}

bool ComPortUsbIntPRN::Claim(const char* where) {
    const int code = m_handle ? libusb_claim_interface(m_handle.get(), kInterface) : LIBUSB_ERROR_NO_DEVICE;
    if (code != LIBUSB_SUCCESS) {
        Log::WriteLogP(where, "libusb_claim_interface error (%s)", UsbErrorText(code));
        SetLastErrorText("libusb_claim_interface error");
        return false;
    }
    m_interfaceClaimed = true;
    SetDeviceLost(false);
    return true;
}

int ComPortUsbIntPRN::Close() {
    Log::WriteLog("Close", "Begin");
    ReleaseDevice();
    Log::WriteLog("Close", "End");
    return 1;
}

void ComPortUsbIntPRN::ReleaseDevice() {
    if (m_interfaceClaimed && m_handle)
        static_cast<void>(libusb_release_interface(m_handle.get(), kInterface));
    m_interfaceClaimed = false;
    m_handle.reset();
    m_list.Reset();
    m_context.reset();
    m_deviceListHeld = false;
}

// Takes copies: the identification it repeats overwrites the stored identity texts.
bool ComPortUsbIntPRN::Reinitialise(std::string vid, std::string pid, std::string address) {
    switch (m_identifiedBy) {
    case Identification::ByAddress:
        return InitByAddress(vid, pid.c_str(), address.c_str());
    case Identification::BySerial:
        return InitWithVid(vid.c_str(), pid.c_str(), address.c_str()) != 0;
    case Identification::None:
        break;
    }
    return false;
}

unsigned ComPortUsbIntPRN::Write(const unsigned char* buf, unsigned len, unsigned* error) {
    Log::WriteLog("Write", "Begin");
    unsigned ignored = 0;
    unsigned& err = error ? *error : ignored;
    err = 0;
    if (!m_interfaceClaimed) {
        if (!Reinitialise(m_vid, m_pid, m_address)) {
            err = 1;
            SetLastErrorText("Write Error---> error to reinit device");
            Log::WriteLog("Write", "Write Error---> error to reinit device");
            return 0;
        }
        if (!Claim("Write")) {
            err = 1;
            SetLastErrorText("Write Error---> error to oen device");
            Log::WriteLog("Write", "Write Error---> error to oen device");
            return 0;
        }
    }
    if (len > 0 && (buf == nullptr || !SendChunks(buf, len))) {
        err = 1;
        SetLastErrorText("Write Error");
        Log::WriteLog("Write", "Write Error");
        return 0;
    }
    Log::WriteLog("Write", "End");
    return len;
}

bool ComPortUsbIntPRN::SendChunks(const unsigned char* buf, unsigned len) {
    const unsigned chunk = len > m_packetSize && m_packetSize > 0 ? m_packetSize : len;
    unsigned sent = 0;
    unsigned sinceLastPause = 0;
    while (sent < len) {
        const unsigned size = std::min(chunk, len - sent);
        int transferred = 0;
        // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
        const int code = libusb_bulk_transfer(m_handle.get(), static_cast<unsigned char>(m_outEndpoint),
                                              const_cast<unsigned char*>(buf + sent), static_cast<int>(size),
                                              &transferred, SendTimeout());
        NoteTransferResult(code);
        if (code != LIBUSB_SUCCESS || transferred != static_cast<int>(size)) {
            Log::WriteLogP("Write", "Bulk transfer of %u bytes failed after %d: %s", size, transferred,
                           UsbErrorText(code));
            return false;
        }
        sent += size;
        sinceLastPause += size;
        // Long data comes in bursts so the printer's input buffer keeps up.
        if (chunk < len && sinceLastPause > kBurstBeforePause) {
            Clock::SleepMs(static_cast<uint32_t>(std::max(m_timeoutMultiplier, 0)));
            sinceLastPause = 0;
        }
    }
    return true;
}

unsigned ComPortUsbIntPRN::Read(unsigned char* buf, unsigned len, unsigned* error) {
    Log::WriteLog("Read", "Begin");
    unsigned ignored = 0;
    unsigned& err = error ? *error : ignored;
    err = 0;
    int transferred = 0;
    int code = LIBUSB_ERROR_NO_DEVICE;
    if (m_handle && buf != nullptr && len > 0) {
        code = libusb_bulk_transfer(m_handle.get(), static_cast<unsigned char>(m_inEndpoint), buf,
                                    static_cast<int>(std::min<unsigned>(len, INT32_MAX)), &transferred,
                                    UsbTimeout(m_readTimeoutMs));
        NoteTransferResult(code);
    }
    // Bytes that arrived before a time-out are kept: dropping them would lose part of an answer.
    if (transferred <= 0 && (code != LIBUSB_SUCCESS || len == 0)) {
        err = 1;
        SetLastErrorText("Read timeout! No data read");
        Log::WriteLogP("Read", "Read timeout! No data read (%s)", UsbErrorText(code));
        return 0;
    }
    Log::WriteLog("Read", "End");
    return static_cast<unsigned>(std::max(transferred, 0));
}

void ComPortUsbIntPRN::CleanRX() {
    Log::WriteLog("CleanRX", "Begin");
    // A device that never stops sending must not hold the caller forever.
    constexpr int kMaxReads = 256;
    std::vector<unsigned char> sink(kCleanChunk);
    for (int i = 0; m_handle && i < kMaxReads; ++i) {
        int transferred = 0;
        const int code = libusb_bulk_transfer(m_handle.get(), static_cast<unsigned char>(m_inEndpoint),
                                              sink.data(), static_cast<int>(sink.size()), &transferred,
                                              Clock::ScaledMs(kCleanTimeoutMs));
        if (code != LIBUSB_SUCCESS)
            break;
    }
    Log::WriteLog("CleanRX", "End");
}

void ComPortUsbIntPRN::SetWTimeout(int ms) {
    m_writeTimeoutMs = static_cast<uint32_t>(std::max(ms, 0));
}

void ComPortUsbIntPRN::SetRTimeout(int ms) {
    m_readTimeoutMs = static_cast<uint32_t>(std::max(ms, 0));
}

int ComPortUsbIntPRN::ReOpen() {
    Log::WriteLog("ReOpen", "Begin");
    const std::string vid = m_vid;
    const std::string pid = m_pid;
    const std::string address = m_address;
    ReleaseDevice();
    bool opened = Reinitialise(vid, pid, address);
    if (!opened)
        Log::WriteLog("ReOpen", "Reinit device error");
    opened = opened && Claim("ReOpen");
    Log::WriteLog("ReOpen", "End");
    return opened ? 1 : 0;
}

int ComPortUsbIntPRN::BackupPortInfo() {
    Log::WriteLog("BackupPortInfo", "Begin");
    m_backupPid = m_pid;
    m_backupVid = m_vid;
    m_backupAddress = m_address;
    Log::WriteLog("BackupPortInfo", "End");
    return 1;
}

int ComPortUsbIntPRN::RestoreportInfo() {
    Log::WriteLog("RestoreportInfo", "Begin");
    m_pid = m_backupPid;
    m_vid = m_backupVid;
    m_address = m_backupAddress;
    Log::WriteLog("RestoreportInfo", "End");
    return 1;
}

void ComPortUsbIntPRN::DumpPortInfo() {
    Log::WriteLog("DumpPortInfo", "Begin");
    printf("Pid : %s \n", m_pid.c_str());
    printf("Vid : %s \n", m_vid.c_str());
    printf("AddressNumberExt : %s \n", m_address.c_str());
    Log::WriteLog("DumpPortInfo", "End");
}
