// The HID port over hidapi's libusb back end; see ComPortUsbHid.h.
#include "transport/ComPortUsbHid.h"

#include "base/Clock.h"
#include "base/Log.h"
#include "transport/UsbLibusb.h"
#include "transport/UsbPermission.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// A USB id from its hexadecimal text; nullopt for anything but 1 to 4 hexadecimal digits or 0, which
// hidapi would take as "any id" and so open whatever HID device comes first.
std::optional<unsigned short> ParseUsbId(const std::string& text) {
    if (text.empty() || text.size() > 4 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return isxdigit(c) != 0; }))
        return std::nullopt;
    const unsigned long value = std::stoul(text, nullptr, 16);
    if (value == 0)
        return std::nullopt;
    return static_cast<unsigned short>(value);
}

// hidapi compares serial numbers as wide strings. USB serial numbers of these devices are ASCII, so
// widening byte by byte is exact and independent of the process locale.
std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

} // namespace

ComPortUsbHid::ComPortUsbHid() {
    m_packetSize = kPacketSize;
}

ComPortUsbHid::ComPortUsbHid(int timeoutMultiplier) : ComPortUsbHid() {
    m_timeoutMultiplier = std::max(timeoutMultiplier, 1);
}

ComPortUsbHid::~ComPortUsbHid() {
    if (!ComPortUsbHid::Close())
        Log::WriteLog("ComPortUsbHid", "The HID library did not end cleanly");
}

int ComPortUsbHid::InitWithVid(const char* vid, const char* pid, const char* serial) {
    m_vid = CutIdentityText(vid != nullptr ? vid : "");
    m_pid = CutIdentityText(pid != nullptr ? pid : "");
    if (serial != nullptr)
        m_serial = CutIdentityText(serial);
    return 1;
}

int ComPortUsbHid::Open() {
    constexpr const char* kWhere = "ComPortUsbHid::Open";
    ClearLastErrorText();
    // A second open must not leave the first device and library start behind.
    if (m_open && !Close())
        Log::WriteLog(kWhere, "The HID library did not end cleanly");
    if (hid_init() != 0) {
        SetLastErrorText("hid_init error");
        Log::WriteLog(kWhere, m_lastError);
        return false;
    }
    m_libraryStarted = true;
    const std::optional<unsigned short> vid = ParseUsbId(m_vid);
    const std::optional<unsigned short> pid = ParseUsbId(m_pid);
    if (vid && pid) {
        const std::wstring serial = Widen(m_serial);
        m_device.reset(hid_open(*vid, *pid, m_serial.empty() ? nullptr : serial.c_str()));
    }
    if (!m_device) {
        if (vid && pid)
            SetLastErrorText("No HID device VID: %s PID: %s SN: %s", m_vid.c_str(), m_pid.c_str(),
                             m_serial.c_str());
        else
            SetLastErrorText("Not a USB id pair: VID: %s PID: %s", m_vid.c_str(), m_pid.c_str());
        Log::WriteLog(kWhere, m_lastError);
        // hidapi passes over a device it may not open as if it were not there: say why it is missing.
        if (vid && pid)
            if (const std::optional<std::string> node = UnopenableUsbNode(*vid, *pid))
                ReportUsbPermission(kWhere, *node);
        if (!EndLibrary())
            Log::WriteLog(kWhere, "The HID library did not end cleanly");
        return false;
    }
    // Answers are read with a time-out of their own; nothing may wait for a report unasked.
    if (hid_set_nonblocking(m_device.get(), 1) != 0)
        Log::WriteLog(kWhere, "hid_set_nonblocking error");
    m_deviceLost = false;
    m_open = true;
    return true;
}

int ComPortUsbHid::Close() {
    if (!m_open)
        return true;
    m_open = false;
    m_device.reset();
    return EndLibrary();
}

bool ComPortUsbHid::EndLibrary() {
    if (!m_libraryStarted)
        return true;
    m_libraryStarted = false;
    return hid_exit() == 0;
}

bool ComPortUsbHid::WriteReport(const unsigned char* data, unsigned count) {
    // Report number 0: the device uses no numbered reports.
    std::vector<unsigned char> report(count + 1, 0);
    std::memcpy(report.data() + 1, data, count);
    int failures = 0;
    while (true) {
        const int written = hid_write(m_device.get(), report.data(), report.size());
        if (written == static_cast<int>(report.size()))
            return true;
        ++failures;
        if (failures >= m_writeRetries)
            return false;
    }
}

unsigned ComPortUsbHid::Write(const unsigned char* buf, unsigned len, unsigned* error) {
    if (error != nullptr)
        *error = 1;
    if (!m_open || (buf == nullptr && len > 0)) {
        SetLastErrorText("Write Error: HID port not open");
        return 0;
    }
    const unsigned chunk = std::max(m_packetSize, 1u);
    for (unsigned offset = 0; offset < len; offset += chunk) {
        if (!WriteReport(buf + offset, std::min(chunk, len - offset))) {
            SetLastErrorText("Write Error");
            return 0;
        }
    }
    if (error != nullptr)
        *error = 0;
    return len;
}

int ComPortUsbHid::ReadAll(unsigned char* buf, int len, int timeoutSeconds, unsigned* error) {
    if (error != nullptr)
        *error = 1;
    if (!m_open || buf == nullptr || len <= 0)
        return 0;
    // hidapi takes -1 as "wait for ever": a non-positive time-out is "do not wait" here.
    const long long ms = static_cast<long long>(std::max(timeoutSeconds, 0)) * 1000 * m_timeoutMultiplier;
    const uint32_t waitMs = Clock::ScaledMs(static_cast<uint32_t>(std::min<long long>(ms, INT_MAX)));
    const int count =
        hid_read_timeout(m_device.get(), buf, static_cast<size_t>(len), static_cast<int>(waitMs));
    if (count < 0) {
        SetLastErrorText("Read Error");
        // hidapi-libusb's read fails only once its reader ended: the device went away.
        m_deviceLost = true;
        return 0;
    }
    if (error != nullptr)
        *error = count > 0 ? 0 : 1;
    return count;
}
