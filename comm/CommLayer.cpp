#include "comm/CommLayer.h"

#include "base/Clock.h"
#include "base/GenericFunctions.h"
#include "base/Log.h"

#include <cstring>

namespace {

struct UsbName {
    std::string vid;
    std::string pid;
    std::string serial;
};

// "VID|PID|SN": the serial number is everything after the second "|".
std::optional<UsbName> SplitUsbName(const std::string& name) {
    size_t first = name.find('|');
    if (first == std::string::npos)
        return std::nullopt;
    size_t second = name.find('|', first + 1);
    if (second == std::string::npos)
        return std::nullopt;
    return UsbName{name.substr(0, first), name.substr(first + 1, second - first - 1),
                   name.substr(second + 1)};
}

std::string Cut(const char* text, size_t limit) {
    std::string value = text ? text : "";
    if (value.size() > limit)
        value.resize(limit);
    return value;
}

} // namespace

CommLayer::CommLayer(PortFactory factory) : m_factory(std::move(factory)) {}

CommLayer::~CommLayer() {
    if (m_port)
        m_port->Close();
}

int CommLayer::MultipliedTimeout(CommPortType kind, int timeoutMs) const {
    if (kind == COMM_ETHERNET)
        return timeoutMs * kEthernetTimeoutMultiplier;
    if (kind == COMM_SERIAL)
        return timeoutMs * kSerialTimeoutMultiplier;
    if (IsUsbPortType(kind))
        return timeoutMs * kUsbTimeoutMultiplier;
    return timeoutMs;
}

int CommLayer::InitCommunication(CommPortType kind) {
    if (m_port)
        Close();
    m_port = m_factory ? m_factory(kind) : nullptr;
    return m_port ? 0 : -1;
}

void CommLayer::Open(CommPortType kind, const char* name, int baud, int flow, int timeoutMs, bool usbFlag) {
    Log::WriteLog("Open", "Begin");
    if (m_port) {
        Log::WriteLog("Open", "Port Already Open, close it");
        Close();
    }
    int timeout = MultipliedTimeout(kind, timeoutMs);
    std::string deviceName = Cut(name, kDeviceNameLimit);
    if (m_rememberOpenParameters) {
        m_storedKind = kind;
        m_storedName = deviceName;
        m_storedBaud = baud;
        m_storedFlow = flow;
        m_storedTimeoutMs = timeout;
    }
    m_kind = kind;
    if (kind == COMM_NONE) {
        Log::WriteLog("Open", "Port Open error, type invalid");
        throw VmComLayerException(VmComLayerException::kInvalidPort);
    }
    if (InitCommunication(kind) != 0) {
        Log::WriteLog("Open", "Port Open InitCommunication error");
        throw VmComLayerException(VmComLayerException::kInvalidPort);
    }
    int result = -1;
    if (kind == COMM_SERIAL) {
        Log::WriteLogP("Open", "Init SERIAL Port %s", deviceName.c_str());
        result = m_port->OpenSerial(deviceName.c_str(), baud, 0, 8, 0, flow);
    } else if (kind == COMM_ETHERNET) {
        Log::WriteLogP("Open", "Init ETH Port %s", deviceName.c_str());
        result = OpenEthernetPort(deviceName);
    } else {
        result = OpenUsbPort(deviceName, usbFlag);
    }
    if (result == -1) {
        Log::WriteLog("Open", "Port Open Init port Communication error");
        throw VmComLayerException(VmComLayerException::kOpenFailed);
    }
    m_port->CleanRX();
    if (timeout != 0)
        m_readTimeoutMs = static_cast<unsigned>(timeout);
    m_port->SetWTimeout(0);
    m_port->SetRTimeout(static_cast<int>(m_readTimeoutMs));
    Log::WriteLog("Open", "End");
}

// "host:port", or a bare host on 9100; each part fits the 20-byte work buffer it always had.
int CommLayer::OpenEthernetPort(const std::string& name) {
    size_t colon = name.find(':');
    std::string host = name.substr(0, colon);
    std::string portText = colon == std::string::npos ? "" : name.substr(colon + 1);
    if (host.size() > kEthernetFieldLimit || portText.size() > kEthernetFieldLimit) {
        Log::WriteLog("Open", "Port Open error, port name invalid");
        throw VmComLayerException(VmComLayerException::kInvalidPort);
    }
    int tcpPort = colon == std::string::npos ? 9100 : GenericFunctions::ParseInt(portText.c_str(), 0);
    for (int attempt = 0; attempt < kEthernetOpenAttempts; ++attempt) {
        if (m_port->OpenEthernet(host.c_str(), tcpPort) != -1)
            return 0;
        Clock::SleepUs(500);
    }
    return -1;
}

int CommLayer::OpenUsbPort(const std::string& name, bool usbFlag) {
    std::optional<UsbName> parts = SplitUsbName(name);
    if (!parts) {
        Log::WriteLog("Open", "Port Open error, port name invalid");
        throw VmComLayerException(VmComLayerException::kInvalidPort);
    }
    Log::WriteLogP("Open", "Init USB PRN Port Vid:%s Pid:%s SN:%s", parts->vid.c_str(), parts->pid.c_str(),
                   parts->serial.c_str());
    return m_port->OpenUsb(parts->vid.c_str(), parts->pid.c_str(), parts->serial.c_str(), usbFlag);
}

// The stored timeout is already multiplied, and Open multiplies again: every reopen lengthens it,
// which the printer's slow restart after a reset has always been given.
void CommLayer::ReOpen() {
    Log::WriteLog("ReOpen", "Begin");
    Close();
    std::string name = m_storedName;
    Open(m_storedKind, name.c_str(), m_storedBaud, m_storedFlow, m_storedTimeoutMs);
    Log::WriteLog("ReOpen", "End");
}

bool CommLayer::ReOpenNoException() {
    try {
        ReOpen();
        return true;
    } catch (const VmComLayerException& e) {
        Log::WriteLogP("ReOpenNoException", "Reopen Error: %d", e.getCode());
        return false;
    }
}

void CommLayer::Close() {
    Log::WriteLog("Close", "Begin");
    if (m_port) {
        m_port->Close();
        m_port.reset();
    }
    m_lastClose = std::time(nullptr);
    Log::WriteLog("Close", "End");
}

int CommLayer::InitWithVid(const char* vid, const char* pid, const char* serial) {
    if (!IsUsbPortType(m_storedKind))
        return 0;
    std::string upperVid = Cut(vid, 15);
    std::string upperPid = Cut(pid, 15);
    GenericFunctions::ToUpper(upperVid.data());
    GenericFunctions::ToUpper(upperPid.data());
    m_storedName = Cut((upperVid + "|" + upperPid + "|" + (serial ? serial : "")).c_str(), kDeviceNameLimit);
    Log::WriteLogP("InitWithVid", "InitWithVid %s", m_storedName.c_str());
    if (InitCommunication(m_storedKind) != 0)
        return 0;
    try {
        return m_port->InitWithVid(upperVid.c_str(), upperPid.c_str(), serial ? serial : "");
    } catch (const VmComLayerException&) {
        return 0;
    }
}

int CommLayer::Open() {
    if (!IsUsbPortType(m_storedKind) || !m_port)
        return 0;
    try {
        return m_port->Open();
    } catch (const VmComLayerException&) {
        return 0;
    }
}

bool CommLayer::BackupPortInfo() {
    m_savedName = m_storedName;
    return true;
}

void CommLayer::RestoreportInfo() {
    if (!m_savedName.empty())
        m_storedName = m_savedName;
}

void CommLayer::ForceSet_BckPortName(const char* name) {
    m_storedName = Cut(name, kDeviceNameLimit);
}

bool CommLayer::SaveUsbLocation() {
    m_usbLocation = UsbLocation{};
    if (!m_port || m_port->SaveLocationCurrentDevice() != 1)
        return false;
    m_usbLocation = m_port->GetSavedLocation();
    return !m_usbLocation.Empty();
}

bool CommLayer::RestoreUsbLocation() {
    if (!IsUsbPortType(m_storedKind) || m_usbLocation.Empty()) {
        Log::WriteLog("RestoreUsbLocation", "No location saved : Error.");
        return false;
    }
    // A port that failed to open, or a fresh one, can still look at the bus.
    if (!m_port && InitCommunication(m_storedKind) != 0)
        return false;
    m_port->SetSavedLocation(m_usbLocation);
    if (m_port->RestoreAddrNumFrmLocatio() != 1)
        return false;
    m_usbLocation = m_port->GetSavedLocation();
    const std::string found = Cut(
        (m_usbLocation.vid + "|" + m_usbLocation.pid + "|" + m_usbLocation.serial).c_str(), kDeviceNameLimit);
    // A backed-up name of the same printer follows it, or restoring the backup would lose it again.
    if (m_savedName == m_storedName)
        m_savedName = found;
    m_storedName = found;
    Log::WriteLogP("RestoreUsbLocation", "Re-opens go to %s", m_storedName.c_str());
    return true;
}

unsigned CommLayer::Write(const unsigned char* buf, unsigned len) {
    Log::WriteLogP("Write", "Will Write %u Bytes...", len);
    unsigned error = 0;
    unsigned written = m_port ? m_port->Write(buf, len, &error) : 0;
    // A short write is a failed command as much as a reported error is.
    if (!m_port || error != 0 || written != len) {
        Log::WriteLogP("Write", "%d (%u)", VmComLayerException::kWriteFailed, written);
        throw VmComLayerException(VmComLayerException::kWriteFailed);
    }
    return written;
}

unsigned CommLayer::Write(const unsigned char* buf, unsigned len, unsigned* error) {
    unsigned portError = 0;
    unsigned written = m_port ? m_port->Write(buf, len, &portError) : 0;
    if (error)
        *error = written == 0 && len > 0 ? static_cast<unsigned>(-1) : 0;
    return written;
}

int CommLayer::ReadRaw(unsigned char* buf, unsigned len) {
    if (!m_port)
        return 0;
    unsigned error = 0;
    return static_cast<int>(m_port->Read(buf, len, &error));
}

int CommLayer::Read(unsigned char* buf, unsigned len, unsigned* error) {
    int count = ReadRaw(buf, len);
    if (error)
        *error = count > 0 ? 0 : 1;
    if (count <= 0)
        Log::WriteLog("Read", "No Bytes read");
    else
        Log::WriteLogP("Read", "Succesfully Read %d Bytes", count);
    return count;
}

void CommLayer::CleanRX() {
    Log::WriteLog("CleanRX", "Begin");
    if (m_port)
        m_port->CleanRX();
    Log::WriteLog("CleanRX", "End");
}
