#include "app/CmdLineOperations.h"
#include "app/CmdLineUpgrade.h"

#include "base/CmdConsole.h"
#include "base/HomeDir.h"
#include "base/Log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

FileKindFlags& file_kind_flags() {
    static FileKindFlags flags;
    return flags;
}

bool parse_filename(const char* name) {
    FileKindFlags& flags = file_kind_flags();
    // isSpt is cleared too: a flag left over from an earlier name must not vouch for this one.
    flags = FileKindFlags{};
    struct stat info {};
    if (name == nullptr || stat(name, &info) != 0)
        return false;
    size_t length = strlen(name);
    if (length < 5)
        return false;
    const char* ending = name + length - 4;
    auto is = [ending](std::initializer_list<const char*> endings) {
        for (const char* candidate : endings)
            if (strcmp(ending, candidate) == 0)
                return true;
        return false;
    };
    if (is({".mod", ".Mod", ".MOD"}))
        flags.isMod = true;
    else if (is({".psw", ".Psw", ".PSW", ".pfw", ".Pfw", ".PFW"}))
        flags.isPswPfw = true;
    else if (is({".bin", ".Bin", ".BIN"}))
        flags.isBin = true;
    else if (is({".zpd", ".Zpd", ".ZPD"}))
        flags.isZpd = true;
    else if (is({".spt", ".Spt", ".SPT"}))
        flags.isSpt = true;
    else
        return false;
    return true;
}

CmdOperation ChooseOperation(const CmdLineOptions& opts) {
    if (opts.executetool)
        return CmdOperation::ExecTool;
    if (opts.usbdevlist)
        return CmdOperation::UsbDevList;
    if (opts.ethdevlist)
        return CmdOperation::EthDevList;
    if (opts.printerversion)
        return CmdOperation::PrinterVersion;
    if (opts.upgradedevice)
        return CmdOperation::Upgrade;
    if (opts.sendtcfx)
        return CmdOperation::SendTcfx;
    return CmdOperation::None;
}

std::string ErrorDescription(int code) {
    switch (code) {
    case 0:
        return "Operation Completed";
    case 11:
        return "File corrupted or not found";
    case 12:
        return "Device not compatible";
    case 13:
        return "Parameter not OK";
    case 14:
        return "Communication Error";
    case 15:
        return "Device not found";
    case 16:
        return "No data sets on the device";
    case 17:
        return "Tools are not available for this printer";
    case 18:
        return "Requested tool is not support by this printer";
    case 255:
        return "Device not found or Generic Error";
    default:
        return "Error " + std::to_string(code);
    }
}

void print_error_description(int code) {
    std::string message = ErrorDescription(code);
    CmdConsole::WriteToConsoleString("%s", message.c_str());
    Log::WriteLog("", message.c_str());
    const CmdLineOptions& opts = cmdline_options();
    bool reportsResult = opts.executetool || opts.upgradedevice || opts.sendtcfx;
    if (opts.silent_mode || !reportsResult)
        return;
    if (code == 0)
        printf("Result: success\n");
    else
        printf("Result: failure(%d)\n", code);
    fflush(stdout);
}

std::string CreateLogDirectory(const std::string& home) {
    std::string path = home;
    char relative[] = "VELMAR/Dalvora/Log";
    char* save = nullptr;
    for (char* part = strtok_r(relative, "/", &save); part; part = strtok_r(nullptr, "/", &save)) {
        path += "/";
        path += part;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0)
            mkdir(path.c_str(), 0775);
    }
    return path;
}

void SetUpCmdlineLogging(const CmdLineOptions& opts) {
    if (opts.enable_log == 1) {
        Log::SetLogEnable(1, true, nullptr);
    } else if (opts.enable_log == 2) {
        // Without a home directory the log stays in the working directory instead of creating
        // VELMAR/ at the file system root.
        std::string home = getHomeDir();
        if (home.empty()) {
            Log::SetLogEnable(2, true, nullptr);
            return;
        }
        std::string directory = CreateLogDirectory(home);
        Log::SetLogEnable(2, true, directory.c_str());
    }
}

namespace {

const char* OperationName(CmdOperation operation) {
    switch (operation) {
    case CmdOperation::ExecTool:
        return "exectool";
    case CmdOperation::UsbDevList:
        return "usbdevlist";
    case CmdOperation::EthDevList:
        return "ethdevlist";
    case CmdOperation::PrinterVersion:
        return "printerversion";
    case CmdOperation::Upgrade:
        return "upgrade";
    case CmdOperation::SendTcfx:
        return "sendtcfx";
    case CmdOperation::None:
        break;
    }
    return "none";
}

} // namespace

int RunCmdlineOperation(CmdOperation operation, const CmdLineOptions& opts) {
    Log::WriteLogP("perform_cmdline_operation", "operation %s", OperationName(operation));
    if (!opts.overlongOption.empty()) {
        CmdConsole::WriteToConsoleString("%s argument longer than %zu characters\n",
                                         opts.overlongOption.c_str(), CmdLineOptions::kMaxTextValue);
        return kExitParameter;
    }
    if (operation == CmdOperation::UsbDevList)
        return RunUsbDeviceList();
    if (operation == CmdOperation::EthDevList)
        return RunEthDeviceList();
    try {
        switch (operation) {
        case CmdOperation::ExecTool:
            return RunExecTool(opts);
        case CmdOperation::PrinterVersion:
            return RunPrinterVersion(opts);
        case CmdOperation::SendTcfx:
            return RunSendTcfx(opts);
        case CmdOperation::Upgrade:
            return RunUpgrade(opts);
        default:
            break;
        }
    } catch (const std::exception& e) {
        // Nothing may end the run without its status and report.
        Log::WriteLogP("perform_cmdline_operation", "Unexpected failure: %s", e.what());
    }
    return kExitCommunication;
}

int perform_cmdline_operation() {
    CmdLineOptions& opts = cmdline_options();
    CmdOperation operation = ChooseOperation(opts);
    if (operation == CmdOperation::None)
        return 0;
    SetUpCmdlineLogging(opts);
    int status = RunCmdlineOperation(operation, opts);
    print_error_description(status);
    opts.glbRetCode = status;
    fflush(stdout);
    exit(status);
}
