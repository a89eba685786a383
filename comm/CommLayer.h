// The frame layer: opens the port a settings choice names, remembers how so it can reopen after the
// printer resets, writes command frames, collects whole answers and performs the identification
// handshake that starts every session. It knows nothing of what answers mean.
#pragma once

#include "base/VmComLayerException.h"
#include "transport/ComPort.h"
#include "transport/CommPortType.h"
#include "transport/UsbLocation.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PrinterData;

// What the handshake learns of a printer; a value already present is kept (the first one counts).
struct PrinterIdentity {
    std::optional<uint64_t> gsi;
    std::optional<std::string> firmwareRelease;
};

class CommLayer {
public:
    using PortFactory = std::function<std::unique_ptr<ComPort>(CommPortType)>;

    static constexpr int kSerialTimeoutMultiplier = 3;
    static constexpr int kEthernetTimeoutMultiplier = 2;
    static constexpr int kUsbTimeoutMultiplier = 1;
    static constexpr int kEthernetOpenAttempts = 3;
    static constexpr int kDefaultHandshakeAttempts = 5;
    static constexpr size_t kDeviceNameLimit = 1023;
    static constexpr size_t kEthernetFieldLimit = 19; // host and port text of an Ethernet name

    // The factory creates the port of a kind; tests hand in their own.
    explicit CommLayer(PortFactory factory = CreatePort);
    ~CommLayer();
    CommLayer(const CommLayer&) = delete;
    CommLayer& operator=(const CommLayer&) = delete;

    // The ports of each kind: serial, Ethernet, USB printer class (also for scanners); none otherwise.
    static std::unique_ptr<ComPort> CreatePort(CommPortType kind);

    // Device names to choose from, sorted in byte order; `error` is cleared first and receives the
    // failure text.
    static std::vector<std::string> EnumUsbPRNDevices(std::string& error);
    static std::vector<std::string> EnumUsbScannerDevices(std::string& error);
    static std::vector<std::string> EnumEthDevices(std::string& error);
    static std::vector<std::string> EnumComPorts(std::string& error);

    void Open(CommPortType kind, const char* name, int baud, int flow, int timeoutMs, bool usbFlag = true);
    void ReOpen();
    bool ReOpenNoException();
    void Close();
    int InitCommunication(CommPortType kind);
    int InitWithVid(const char* vid, const char* pid, const char* serial);
    int Open();

    bool BackupPortInfo();
    void RestoreportInfo();
    void ForceSet_BckPortName(const char* name);

    // Remembers where the open USB printer sits on the bus. The memory belongs to this layer, not to
    // the port, because every re-open replaces the port. False (and nothing remembered) when the
    // port cannot tell.
    [[nodiscard]] bool SaveUsbLocation();
    // Finds the printer again at the remembered place after it restarted, possibly under a new serial
    // number; later re-opens go to the device found there. Works with the port closed.
    [[nodiscard]] bool RestoreUsbLocation();

    ComPort* GetComPort() const { return m_port.get(); }
    CommPortType GetCommPortType() const { return m_kind; }
    void SetCommPortType(CommPortType kind) { m_kind = kind; }
    bool IsVirtualPort() const { return m_port && m_port->IsVirtualPort(); }
    // The port saw the device go (unplugged, switched off, connection reset or closed by the printer).
    bool IsDeviceLost() const { return m_port && m_port->IsDeviceLost(); }
    int GetPortInfo_USB_Location() const { return 0; }
    int GetPortInfo_Ethernet_Ip() const { return 0; }
    int GetPortInfo_Ethernet_Port() const { return 0; }
    unsigned GetReadTimeout() const { return m_readTimeoutMs; }
    const std::string& GetStoredDeviceName() const { return m_storedName; }
    std::time_t GetLastCloseTime() const { return m_lastClose; }

    // Throws VmComLayerException (code 7) when the port reports a failure.
    unsigned Write(const unsigned char* buf, unsigned len);
    // Never throws; *error is 0, or -1 when nothing was written.
    unsigned Write(const unsigned char* buf, unsigned len, unsigned* error);
    template <typename Container> unsigned WriteBytes(const Container& bytes) {
        return Write(reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned>(bytes.size()));
    }
    int Read(unsigned char* buf, unsigned len, unsigned* error);
    // An unframed answer (identity code, firmware release) has no end mark and may arrive in pieces:
    // after its first bytes, whatever follows within a short pause belongs to it too.
    int ReadUnframedAnswer(unsigned char* buf, unsigned len, unsigned* error);
    void CleanRX();

    // One whole answer, or nothing: untimed, the third empty read gives up; timed, an empty read after
    // the deadline does.
    std::optional<std::vector<uint8_t>> ReadProtocolData();
    std::optional<std::vector<uint8_t>> ReadProtocolData(int timeoutMs);

    // Identity code and firmware release; identity fields already set are kept.
    bool HandshakeCommunication(PrinterIdentity* identity, int attempts = kDefaultHandshakeAttempts);
    // The same into a PrinterData, which keeps the first identity stored in it. Only a complete
    // handshake stores anything: a half-understood one (wrong baud rate) must not lock in a wrong GSI.
    bool HandshakeCommunication(PrinterData* data, int attempts = kDefaultHandshakeAttempts);
    bool HandshakeCommunication() { return HandshakeCommunication(static_cast<PrinterIdentity*>(nullptr)); }

private:
    int MultipliedTimeout(CommPortType kind, int timeoutMs) const;
    int OpenEthernetPort(const std::string& name);
    int OpenUsbPort(const std::string& name, bool usbFlag);
    std::optional<std::vector<uint8_t>> CollectAnswer(std::optional<int> timeoutMs);
    int ReadRaw(unsigned char* buf, unsigned len);
    bool ReadIdentityCode(unsigned char* scratch, uint64_t& gsi, int attempts);

    PortFactory m_factory;
    CommPortType m_kind = COMM_NONE;
    unsigned m_readTimeoutMs = 0;
    std::unique_ptr<ComPort> m_port;
    bool m_rememberOpenParameters = true;
    std::time_t m_lastClose = 0;
    // Open parameters kept for ReOpen, InitWithVid and Open().
    CommPortType m_storedKind = COMM_NONE;
    std::string m_storedName;
    int m_storedBaud = 0;
    int m_storedFlow = 0;
    int m_storedTimeoutMs = 0;
    std::string m_savedName;
    UsbLocation m_usbLocation;
};
