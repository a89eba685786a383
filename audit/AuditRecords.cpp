#include "audit/AuditRecords.h"

#include "audit/AuditLog.h"
#include "base/CmdConsole.h"
#include "base/Log.h"
#include "firmware/ModuleData.h"
#include "firmware/PSWFile.h"
#include "model/PrinterData.h"
#include "transport/CommPortSettings.h"

#include <openssl/evp.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace audit {

std::string CurrentUser() {
    std::string buffer(4096, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
        return found->pw_name;
    if (const char* user = std::getenv("USER"); user != nullptr && user[0] != '\0')
        return user;
    return "uid " + std::to_string(getuid());
}

std::string PortName(const CommPortSettings& settings) {
    switch (settings.type) {
    case COMM_ETHERNET:
        return "eth:" + settings.ipAddress + ":" + std::to_string(settings.tcpPort);
    case COMM_USB_PRN:
        return "usb:" + settings.usbDeviceName;
    case COMM_SERIAL: {
        const char* flow = settings.flowControl == 2 ? "SW" : settings.flowControl == 1 ? "HW" : "NONE";
        return "ser:" + settings.comPortName + ":" + std::to_string(settings.baudRate) + ":" + flow;
    }
    default:
        return "";
    }
}

Entry NewEntry(const char* frontEnd, const char* operation, const PrinterData& printer,
               const CommPortSettings& settings) {
    Entry entry;
    entry.time = static_cast<int64_t>(std::time(nullptr));
    entry.user = CurrentUser();
    entry.frontEnd = frontEnd;
    entry.operation = operation;
    entry.printer = {printer.GetGSI(), printer.GetFWRel().value_or(""), PortName(settings)};
    return entry;
}

std::optional<std::string> Sha256OfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        return std::nullopt;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        if (EVP_DigestUpdate(context.get(), block, static_cast<size_t>(in.gcount())) != 1)
            return std::nullopt;
    }
    if (in.bad())
        return std::nullopt;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
        return std::nullopt;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0x0F];
    }
    return text;
}

PackageIdentity IdentityOf(const std::string& path, const PSWFile& package) {
    std::string identity;
    if (const PSWHeaderPrinter* printer = package.GetHeaderPrinter())
        identity = printer->strPrinterModel + " " + printer->strReleasePSW;
    return {path, identity, Sha256OfFile(path).value_or("")};
}

PackageIdentity IdentityOf(const std::string& path, const ModuleData& module) {
    return {path, module.GetModuleIdText() + " " + module.GetRelease(), Sha256OfFile(path).value_or("")};
}

bool Record(const Entry& entry) {
    std::string error;
    if (Append(entry, error))
        return true;
    Log::WriteLogP("audit", "Audit trail not written: %s", error.c_str());
    CmdConsole::WriteToConsoleString("Audit trail not written: %s", error.c_str());
    return false;
}

} // namespace audit
