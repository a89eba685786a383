// The USB printer-class port: the printer protocol over the bulk endpoints of interface 0 through
// libusb, the USB device listing used by the enumerations and the upgrade procedures, and the
// remembered port path that finds a printer again after it restarts under a new USB identity.
#pragma once

#include "transport/ComPort.h"
#include "transport/DeviceRecords.h"
#include "transport/UsbLibusb.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class ComPortUsbIntPRN : public ComPort {
public:
    static constexpr unsigned kPacketSize = 64;
    static constexpr unsigned kDefaultTimeoutMs = 1000;
    static constexpr unsigned kBurstBeforePause = 1023; // bytes sent before the writer pauses
    static constexpr unsigned kCleanChunk = 20480;
    static constexpr unsigned kCleanTimeoutMs = 50;
    static constexpr size_t kLocationSize = UsbLocation::kMaxPorts;

    ComPortUsbIntPRN();
    explicit ComPortUsbIntPRN(int timeoutMultiplier);
    ~ComPortUsbIntPRN() override;

    // Stores the target (the maker's vendor id, pid, the last serial character) and finds it.
    int Init(const char* pid, const char* address) override;
    // Stores the target by its whole serial number and finds it.
    int InitWithVid(const char* vid, const char* pid, const char* serial) override;
    int Open() override;
    int Close() override;
    unsigned Write(const unsigned char* buf, unsigned len, unsigned* error) override;
    unsigned Read(unsigned char* buf, unsigned len, unsigned* error) override;
    void CleanTX() override {}
    void CleanRX() override;
    void SetWTimeout(int ms) override;
    void SetRTimeout(int ms) override;
    unsigned GetTimeoutRX() override { return m_readTimeoutMs; }
    int ReOpen() override;
    int BackupPortInfo() override;
    int RestoreportInfo() override;
    void DumpPortInfo() override;
    int SaveLocationCurrentDevice() override;
    int RestoreAddrNumFrmLocatio() override;
    UsbLocation GetSavedLocation() const override { return m_location; }
    void SetSavedLocation(const UsbLocation& location) override { m_location = location; }
    int OpenUsb(const char* vid, const char* pid, const char* serial, bool matchPid) override;

    // Device listing; each starts and ends its own libusb context. `error` is cleared first and
    // receives the failure text.
    static std::vector<std::string> EnumUsbDevices(std::string& error, bool filterByClass,
                                                   unsigned char deviceClass);
    static std::vector<USBDevice> GetDeviceList(std::string& error, const char* vid, const char* pid);
    static std::vector<USBDevice> GetDeviceListFilterByClass(std::string& error, const char* vid,
                                                             const char* pid, unsigned char deviceClass);
    static std::vector<USBDevice> GetDeviceListBase(std::string& error, const char* vid, const char* pid,
                                                    bool filterByClass, unsigned char deviceClass);
    static std::vector<USBDevice> GetVCOMVmCdcVUCList(std::string& error, const char* vid, const char* pid);
    static bool applyFilterByDeviceClass(libusb_device* device, const libusb_device_descriptor& descriptor,
                                         bool filterByClass, unsigned char deviceClass);

    // Identity of the target, as the upgrade procedures and tests read it.
    const std::string& GetVid() const { return m_vid; }
    const std::string& GetAddress() const { return m_address; }
    bool IsDeviceListHeld() const { return m_deviceListHeld; }
    int GetInEndpoint() const { return m_inEndpoint; }
    int GetOutEndpoint() const { return m_outEndpoint; }

private:
    // Which identification found the target first; reopening repeats it.
    enum class Identification { None, ByAddress, BySerial };

    [[nodiscard]] bool InitByAddress(const std::string& vid, const char* pid, const char* address);
    [[nodiscard]] bool StartAndTakeList(const char* where);
    [[nodiscard]] bool FindDevice(const std::string& vid, const std::string& pid, const std::string& address);
    [[nodiscard]] bool FindDeviceWithVid(const std::string& vid, const std::string& pid,
                                         const std::string& serial);
    // Walks the held list; `isTarget` decides from the serial string (nullopt: no serial descriptor).
    template <typename Match>
    [[nodiscard]] bool FindMatching(const char* where, const std::string& vid, const std::string& pid,
                                    Match isTarget, bool allInterfaces);
    [[nodiscard]] bool PrepareTarget(const char* where, libusb_device* device, bool allInterfaces);
    [[nodiscard]] bool DetachKernelDrivers(const char* where, const libusb_config_descriptor& config,
                                           bool allInterfaces);
    [[nodiscard]] bool Reinitialise(std::string vid, std::string pid, std::string address);
    [[nodiscard]] bool Claim(const char* where);
    [[nodiscard]] bool SendChunks(const unsigned char* buf, unsigned len);
    void ReleaseDevice();
    unsigned UsbTimeout(unsigned ms) const;
    // libusb timeout of one OUT transfer: the write timeout, or the stall limit when it is 0.
    unsigned SendTimeout() const;
    // Marks the device lost when a transfer's libusb code says it is gone.
    void NoteTransferResult(int code);
    // Walks a fresh device list for devices of this VID and PID that have a serial string.
    template <typename Visit>
    [[nodiscard]] bool ForEachIdentifiedDevice(const char* where, const std::string& vid,
                                               const std::string& pid, Visit visit);

    bool m_interfaceClaimed = false;
    bool m_deviceListHeld = false;
    std::string m_pid;
    std::string m_vid;
    std::string m_address;
    std::string m_backupPid;
    std::string m_backupVid;
    std::string m_backupAddress;
    int32_t m_inEndpoint = 0;
    int32_t m_outEndpoint = 0;
    int32_t m_timeoutMultiplier = 1;
    UsbLocation m_location;
    // Destroyed in reverse order: handle, list, then the context they belong to.
    UsbContext m_context;
    UsbDeviceList m_list;
    UsbHandle m_handle;
    Identification m_identifiedBy = Identification::None;
};
