// The one byte-stream port interface behind which every transport (TCP, serial, USB printer class,
// USB HID) sits. Ports return counts and error flags and never throw.
#pragma once

#include "transport/CommPortType.h"
#include "transport/UsbLocation.h"

#include <cstddef>
#include <cstdint>
#include <string>

class ComPort {
public:
    static constexpr size_t kErrorTextSize = 1024;
    // With a write timeout of 0 ("no limit", what the frame layer sets after opening) a send still
    // fails once it has made no progress for this long: a printer that vanished mid-transfer must not
    // hold the program for good. A working printer stops taking data only for moments (flash writes,
    // a paper feed), far below this.
    static constexpr uint32_t kSendStallLimitMs = 20000;

    ComPort() = default;
    // Ports are owned and destroyed through this base.
    virtual ~ComPort() = default;
    ComPort(const ComPort&) = delete;
    ComPort& operator=(const ComPort&) = delete;

    // The virtual operations, in their historical slot order; the base results are the "unsupported"
    // answers a port gives for what it does not override.
    virtual int Init(const char* vid, const char* pid);
    virtual int Init(const char* name, int baud, int flow, bool ignoreModemLines);
    virtual int Init(const char* host, int port);
    virtual int InitWithVid(const char* vid, const char* pid, const char* serial);
    virtual int Open();
    virtual int Close();
    // Bytes written; *error 0 on success, non-zero on failure.
    virtual unsigned Write(const unsigned char* buf, unsigned len, unsigned* error);
    // Bytes read; *error 0 on success, non-zero on failure.
    virtual unsigned Read(unsigned char* buf, unsigned len, unsigned* error);
    virtual void CleanTX();
    virtual void CleanRX();
    virtual void SetWTimeout(int ms);
    virtual void SetRTimeout(int ms);
    virtual unsigned GetTimeoutRX();
    virtual int ReOpen();
    virtual int BackupPortInfo();
    virtual int RestoreportInfo();
    virtual void DumpPortInfo();
    virtual int SaveLocationCurrentDevice();
    virtual int RestoreAddrNumFrmLocatio();
    // The location the last save or restore found (empty for ports without one), and a location to
    // restore from that an earlier port of the same device saved.
    virtual UsbLocation GetSavedLocation() const { return {}; }
    virtual void SetSavedLocation(const UsbLocation&) {}
    virtual int OpenEthernet(const char* host, int port);
    virtual int OpenUsb(const char* vid, const char* pid, const char* serial, bool byVid);
    virtual int OpenSerial(const char* name, int baud, int parity, int byteSize, int stopBits, int flow);

    // Bulk transfers of the upgrade procedures: chunks of packetSize with a pause after each.
    [[nodiscard]] unsigned WritePackets(const unsigned char* buf, unsigned len, int delayMs, int packetSize,
                                        unsigned* error);
    // Reads until len bytes arrived or timeoutMs passed; error 1 when fewer arrived.
    [[nodiscard]] int ReadAll(unsigned char* buf, int len, int timeoutMs, unsigned* error);

    int GetPortType() const { return m_portType; }
    const char* GetLastErrorText() const { return m_lastError; }
    unsigned GetPacketSize() const { return m_packetSize; }
    void SetPacketSize(unsigned size) { m_packetSize = size; }
    unsigned GetWriteTimeout() const { return m_writeTimeoutMs; }
    unsigned GetReadTimeout() const { return m_readTimeoutMs; }
    bool IsVirtualPort() const { return m_virtualPort; }
    // True once a read or write failed in a way that means the device itself is gone (unplugged,
    // switched off, the connection reset or closed by the printer): waiting longer for an answer is
    // pointless. Counts and error flags stay as they are; this only tells callers to stop early.
    // Cleared by the next successful open.
    bool IsDeviceLost() const { return m_deviceLost; }

protected:
    // printf-style; cut at the 1024-byte buffer.
    void SetLastErrorText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void ClearLastErrorText() { m_lastError[0] = '\0'; }
    void SetDeviceLost(bool lost) { m_deviceLost = lost; }

    int32_t m_portType = COMM_NONE;
    char m_lastError[kErrorTextSize] = {};
    uint32_t m_writeTimeoutMs = 0;
    uint32_t m_readTimeoutMs = 0;
    uint32_t m_packetSize = 0;
    bool m_virtualPort = false;
    bool m_deviceLost = false;
};
