#include "fleet/PrinterAddress.h"

#include "base/GenericFunctions.h"
#include "transport/ComPortUsbIntPRN.h"
#include "transport/ProductIds.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace fleet {

namespace {

bool ParseNumber(const std::string& text, int& value) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }) &&
           text.size() <= 9 && GenericFunctions::ParseCheckInt(text.c_str(), &value);
}

std::optional<CommPortSettings> ParseEthernet(const std::string& rest, std::string& error) {
    CommPortSettings settings;
    settings.type = COMM_ETHERNET;
    settings.tcpPort = kDefaultTcpPort;
    const size_t colon = rest.rfind(':');
    settings.ipAddress = rest.substr(0, colon);
    if (colon != std::string::npos) {
        int port = 0;
        if (!ParseNumber(rest.substr(colon + 1), port) || port < 1 || port > 65535) {
            error = "the TCP port must be a number from 1 to 65535";
            return std::nullopt;
        }
        settings.tcpPort = port;
    }
    if (settings.ipAddress.empty()) {
        error = "no host";
        return std::nullopt;
    }
    return settings;
}

std::optional<CommPortSettings> ParseUsb(const std::string& rest, std::string& error) {
    CommPortSettings settings;
    settings.type = COMM_USB_PRN;
    std::string name = rest;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    if (name == "ANY") {
        std::string listError;
        const std::vector<std::string> printers = UsbPrinterNames(listError);
        if (printers.empty()) {
            error = "no USB printer connected" + (listError.empty() ? "" : " (" + listError + ")");
            return std::nullopt;
        }
        name = printers.front();
    }
    if (name.empty()) {
        error = "no USB printer name (VID|PID|SN or ANY)";
        return std::nullopt;
    }
    settings.usbDeviceName = name;
    return settings;
}

std::optional<CommPortSettings> ParseSerial(const std::string& rest, std::string& error) {
    CommPortSettings settings;
    settings.type = COMM_SERIAL;
    std::vector<std::string> parts;
    std::stringstream in(rest);
    for (std::string part; std::getline(in, part, ':');)
        parts.push_back(part);
    if (parts.empty() || parts[0].empty() || parts.size() > 3) {
        error = "expected ser:DEVICE[:BAUD[:FLOW]]";
        return std::nullopt;
    }
    settings.comPortName = parts[0];
    if (parts.size() > 1) {
        int baud = 0;
        if (!ParseNumber(parts[1], baud)) {
            error = "the baud rate must be a number";
            return std::nullopt;
        }
        settings.baudRate = baud;
    }
    if (parts.size() > 2) {
        const std::string& flow = parts[2];
        if (flow != "HW" && flow != "SW" && flow != "NONE") {
            error = "the flow control must be HW, SW or NONE";
            return std::nullopt;
        }
        settings.flowControl = flow == "SW" ? 2 : flow == "HW" ? 1 : 0;
    }
    return settings;
}

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::stringstream in(line);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

} // namespace

std::optional<CommPortSettings> ParsePrinterAddress(const std::string& text, std::string& error) {
    const size_t colon = text.find(':');
    const std::string kind = text.substr(0, colon);
    const std::string rest = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    std::optional<CommPortSettings> settings;
    if (colon == std::string::npos)
        error = "expected eth:, usb: or ser: before the printer";
    else if (kind == "eth")
        settings = ParseEthernet(rest, error);
    else if (kind == "usb")
        settings = ParseUsb(rest, error);
    else if (kind == "ser")
        settings = ParseSerial(rest, error);
    else
        error = "unknown printer kind \"" + kind + "\" (eth, usb or ser)";
    return settings;
}

std::vector<std::string> UsbPrinterNames(std::string& error) {
    std::vector<std::string> names;
    for (const USBDevice& printer :
         ComPortUsbIntPRN::GetDeviceListFilterByClass(error, nullptr, nullptr, ProductIds::kPrinterClass))
        names.push_back(printer.DeviceName());
    return names;
}

std::optional<std::vector<PrinterTarget>> LoadInventory(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    std::vector<PrinterTarget> targets;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        const std::vector<std::string> words = SplitWords(line);
        if (words.empty() || words[0][0] == '#')
            continue;
        std::string reason;
        std::optional<CommPortSettings> settings;
        if (words.size() > 3)
            reason = "expected ADDRESS [NAME [TAG,TAG...]]";
        else
            settings = ParsePrinterAddress(words[0], reason);
        if (!settings) {
            error = path + ":" + std::to_string(number) + ": " + reason;
            return std::nullopt;
        }
        PrinterTarget target{words[0], words.size() > 1 ? words[1] : "", {}, *settings};
        if (words.size() > 2) {
            std::stringstream tags(words[2]);
            for (std::string tag; std::getline(tags, tag, ',');)
                if (!tag.empty())
                    target.tags.push_back(tag);
        }
        targets.push_back(std::move(target));
    }
    return targets;
}

std::vector<PrinterTarget> WithTag(const std::vector<PrinterTarget>& targets, const std::string& tag) {
    std::vector<PrinterTarget> chosen;
    for (const PrinterTarget& target : targets)
        if (tag.empty() || std::find(target.tags.begin(), target.tags.end(), tag) != target.tags.end())
            chosen.push_back(target);
    return chosen;
}

} // namespace fleet
