// The port of each kind, and the device lists the port choices are made from.
#include "transport/ComPortEth.h"
#include "transport/ComPortRs232.h"
#include "transport/ComPortUsbIntPRN.h"
#include "comm/CommLayer.h"
#include "transport/ProductIds.h"

#include "base/Log.h"

#include <algorithm>

namespace {

// Plain byte order, so "1a2b|0001|B" sorts before "1a2b|0001|a".
std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

void LogEach(const char* where, const char* format, const std::vector<std::string>& names) {
    for (const std::string& name : names)
        Log::WriteLogP(where, format, name.c_str());
}

bool IsScannerPid(const std::string& name) {
    size_t first = name.find('|');
    if (first == std::string::npos)
        return false;
    std::string pid = name.substr(first + 1, name.find('|', first + 1) - first - 1);
    for (const char* prefix : ProductIds::kScannerPidPrefixes)
        if (pid.compare(0, 2, prefix) == 0)
            return true;
    return false;
}

} // namespace

std::unique_ptr<ComPort> CommLayer::CreatePort(CommPortType kind) {
    switch (kind) {
    case COMM_SERIAL:
        return std::make_unique<ComPortRs232>();
    case COMM_ETHERNET:
        return std::make_unique<ComPortEth>();
    case COMM_USB_PRN:
    case COMM_USB_SCANNER:
        return std::make_unique<ComPortUsbIntPRN>();
    case COMM_NONE:
    case COMM_RESERVED:
        break;
    }
    return nullptr;
}

std::vector<std::string> CommLayer::EnumUsbPRNDevices(std::string& error) {
    Log::WriteLog("EnumUsbPRNDevices", "Begin");
    error.clear();
    std::vector<std::string> names =
        Sorted(ComPortUsbIntPRN::EnumUsbDevices(error, true, ProductIds::kPrinterClass));
    LogEach("EnumUsbPRNDevices", "PRN Device %s", names);
    Log::WriteLog("EnumUsbPRNDevices", "End");
    return names;
}

std::vector<std::string> CommLayer::EnumUsbScannerDevices(std::string& error) {
    Log::WriteLog("EnumUsbScannerDevices", "Begin");
    error.clear();
    std::vector<std::string> scanners;
    for (const std::string& name : ComPortUsbIntPRN::EnumUsbDevices(error, true, ProductIds::kScannerClass)) {
        if (IsScannerPid(name)) {
            Log::WriteLogP("EnumUsbScannerDevices", "Scanner Device %s", name.c_str());
            scanners.push_back(name);
        } else {
            Log::WriteLogP("EnumUsbScannerDevices", "Skip NOT Scanner Device %s", name.c_str());
        }
    }
    Log::WriteLog("EnumUsbScannerDevices", "End");
    return Sorted(std::move(scanners));
}

std::vector<std::string> CommLayer::EnumEthDevices(std::string& error) {
    Log::WriteLog("EnumEthDevices", "Begin");
    error.clear();
    std::vector<std::string> names = Sorted(ComPortEth::EnumEthDevices(error));
    LogEach("EnumEthDevices", "Eth Device %s", names);
    Log::WriteLog("EnumEthDevices", "End");
    return names;
}

std::vector<std::string> CommLayer::EnumComPorts(std::string& error) {
    Log::WriteLog("EnumComPorts", "Begin");
    error.clear();
    std::vector<std::string> names = Sorted(ComPortRs232::getComList(error));
    LogEach("EnumComPorts", "Com Device %s", names);
    Log::WriteLog("EnumComPorts", "End");
    return names;
}
