// The serial-line port (built-in UART or USB serial adapter) through the POSIX terminal interface, and
// the listing of the machine's serial devices from sysfs. Failures are results with the error text
// set and a log line; nothing throws.
#pragma once

#include "transport/ComPort.h"
#include "transport/DeviceRecords.h"
#include "transport/UniqueFd.h"

#include <termios.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class ComPortRs232 : public ComPort {
public:
    static constexpr const char* kSysfsTtyRoot = "/sys/class/tty/";
    static constexpr const char* kDevRoot = "/dev/";
    static constexpr size_t kPathLimit = 1023; // 1024-byte path buffer
    static constexpr uint32_t kCtsPollMs = 50;
    static constexpr uint32_t kWriteRetryMs = 10;
    static constexpr uint32_t kAnswerPauseMs = 80;
    static constexpr int kAnswerPauseThreshold = 7; // more bytes than this waiting: the answer is coming

    enum FlowControl : int { kFlowNone = 0, kFlowHardware = 1, kFlowSoftware = 2 };

    ComPortRs232();
    ~ComPortRs232() override = default;

    int Init(const char* name, int baud, int flow, bool ignoreModemLines) override;
    int OpenSerial(const char* name, int baud, int parity, int byteSize, int stopBits, int flow) override;
    int Open() override;
    int Close() override;
    int ReOpen() override;
    unsigned Write(const unsigned char* buf, unsigned len, unsigned* error) override;
    unsigned Read(unsigned char* buf, unsigned len, unsigned* error) override;
    void CleanTX() override;
    void CleanRX() override;
    void SetWTimeout(int ms) override { m_writeTimeoutMs = ms > 0 ? static_cast<uint32_t>(ms) : 0u; }
    void SetRTimeout(int ms) override { m_readTimeoutMs = ms > 0 ? static_cast<uint32_t>(ms) : 0u; }
    unsigned GetTimeoutRX() override { return m_readTimeoutMs; }

    bool IsOpen() const { return m_fd.IsValid(); }
    bool GetIgnoreModemLines() const { return m_ignoreModemLines; }
    const USBDevice& GetUsbDevice() const { return m_usbDevice; }

    // Modem status bits (TIOCM_*) of the open line, nullopt when they cannot be read. Replaceable,
    // because a pty has no modem lines to exercise the DSR/CTS rules with.
    using ModemStatusQuery = std::function<std::optional<int>(int fd)>;
    void SetModemStatusQuery(ModemStatusQuery query) { m_modemStatusQuery = std::move(query); }

    // The "type" the kernel reports for a serial line (0: no UART behind it); nullopt when the query
    // fails. Replaceable so that the listing can be checked without real UARTs.
    using SerialTypeQuery = std::function<std::optional<int>(const std::string& devicePath)>;
    static std::optional<int> QuerySerialType(const std::string& devicePath);

    // Serial device paths: devices with a driver first, then the "serial8250" ones whose line answers
    // with a UART type; `error` is "Error in scandir" when the tty directory cannot be read.
    [[nodiscard]] static std::vector<std::string> getComList(std::string& error,
                                                             const std::string& sysfsRoot = kSysfsTtyRoot,
                                                             const std::string& devRoot = kDevRoot,
                                                             const SerialTypeQuery& query = QuerySerialType);
    // Upper-case driver name of a device path ("/dev/ttyUSB0" -> its sysfs driver), false when none.
    [[nodiscard]] static bool GetDriverName(const char* path, std::string& driver,
                                            const std::string& sysfsRoot = kSysfsTtyRoot);

private:
    struct ModemLines {
        bool dsr = false;
        bool cts = false;
    };

    [[nodiscard]] ModemLines ReadModemLines() const;
    [[nodiscard]] unsigned ComWrite(const unsigned char* buf, unsigned len, unsigned& error);
    [[nodiscard]] bool WaitForCts(unsigned& error);
    [[nodiscard]] unsigned WriteAll(const unsigned char* buf, unsigned len, unsigned& error);
    [[nodiscard]] bool WaitReady(short events, uint32_t timeoutMs) const;
    void Fail(const char* where, const char* text, unsigned& error);
    // Logs a system error of the line and marks the device lost when the error means it is gone.
    void NoteLineError(const char* where, int errnum);

    UniqueFd m_fd;
    std::string m_devicePath;
    int32_t m_baudRate = -1;
    int32_t m_flowControl = -1;
    termios m_settings{};
    bool m_ignoreModemLines = false;
    SerialDevice m_serialDevice;
    USBDevice m_usbDevice;
    ModemStatusQuery m_modemStatusQuery;
};
