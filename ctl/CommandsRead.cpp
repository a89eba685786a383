// The subcommands that only read: list, read, backup.
#include "ctl/Commands.h"

#include "comm/PrinterJob.h"
#include "ctl/SetupTable.h"
#include "ctl/Table.h"
#include "fleet/PrinterOps.h"
#include "transport/EthDiscovery.h"

#include <algorithm>
#include <ctime>

namespace ctl {

namespace {

// Only the handshake: who is there.
fleet::PrinterResult IdentityOf(const fleet::PrinterTarget& target) {
    PrinterData data;
    data.Init();
    CommPortSettings settings = target.settings;
    PrinterJob job(data, settings);
    const PrinterJobOutcome outcome = job.Run([](PrinterJobSession&) { return kJobSuccess; });
    fleet::PrinterResult result{fleet::State::Ok, 0, "", {{"identity", IdentityJson(data)}}};
    if (outcome.Threw() || outcome.result != kJobSuccess)
        result = {fleet::State::Failed, outcome.result, fleet::FailureText(outcome.result), result.detail};
    return result;
}

std::vector<fleet::PrinterTarget> ListedPrinters(bool discover, std::vector<std::string>& errors) {
    std::vector<fleet::PrinterTarget> targets;
    std::string usbError;
    for (const std::string& name : fleet::UsbPrinterNames(usbError)) {
        CommPortSettings settings;
        settings.type = COMM_USB_PRN;
        settings.usbDeviceName = name;
        targets.push_back({"usb:" + name, "", {"usb"}, settings});
    }
    if (!usbError.empty())
        errors.push_back(usbError);
    if (!discover)
        return targets;
    EthDiscovery::DeviceTable table;
    std::string ethError;
    if (!EthDiscovery::Discover(table, ethError) && !ethError.empty())
        errors.push_back("Ethernet discovery: " + ethError);
    for (const ETHDeviceStruct& device : table.Devices()) {
        CommPortSettings settings;
        settings.type = COMM_ETHERNET;
        settings.ipAddress = device.address;
        settings.tcpPort = device.port;
        targets.push_back({"eth:" + device.address + ":" + std::to_string(device.port),
                           device.name,
                           {"discovered"},
                           settings});
    }
    return targets;
}

std::string Text(const nlohmann::json& value) {
    return value.is_null() ? "-" : value.is_string() ? value.get<std::string>() : value.dump();
}

void PrintIdentityRows(std::ostream& out, const std::vector<fleet::PrinterTarget>& targets,
                       const std::vector<fleet::PrinterResult>& results) {
    Table table({"PRINTER", "NAME", "GSI", "RELEASE", "STATE"});
    for (size_t i = 0; i < results.size(); ++i) {
        const nlohmann::json identity = results[i].detail.value("identity", nlohmann::json::object());
        table.AddRow({targets[i].address, targets[i].name.empty() ? "-" : targets[i].name,
                      Text(identity.value("gsi", nlohmann::json())),
                      Text(identity.value("release", nlohmann::json())),
                      results[i].state == fleet::State::Ok ? "ok" : results[i].reason});
    }
    table.Print(out);
}

void PrintSetup(std::ostream& out, const fleet::PrinterTarget& target, const nlohmann::json& detail) {
    const nlohmann::json& identity = detail["identity"];
    out << target.Label() << ": GSI " << Text(identity["gsi"]) << ", release " << Text(identity["release"])
        << ", protocol version " << Text(identity["protocol_version"]) << '\n';
    Table table({"ID", "PAGE", "KIND", "DESCRIPTION", "VALUE", "DEFAULT", "DIFFERS"});
    for (const nlohmann::json& row : detail["setup"])
        table.AddRow({std::to_string(row["id"].get<uint64_t>()), Text(row["page"]), Text(row["kind"]),
                      Text(row["description"]), Text(row["value"]), Text(row["default"]),
                      row["differs_from_default"].get<bool>() ? "*" : ""});
    table.Print(out);
    if (detail.contains("archive"))
        out << "Archive written: " << detail["archive"].get<std::string>() << '\n';
}

fleet::PrinterResult ReadOne(const fleet::PrinterTarget& target, const std::string& archiveOut) {
    fleet::ReadOutcome read = fleet::ReadPrinter(target.settings, true);
    fleet::PrinterResult result{fleet::State::Ok, 0, "", {{"identity", IdentityJson(read.data)}}};
    if (read.failure)
        return {fleet::State::Failed, read.failure->code, read.failure->reason, result.detail};
    result.detail["setup"] = SetupJson(read.data);
    result.detail["data_errors"] = read.dataErrors;
    if (archiveOut.empty())
        return result;
    if (!fleet::SaveArchive(read.data, archiveOut))
        return {fleet::State::Failed, fleet::kFailureOutput,
                fleet::FailureText(fleet::kFailureOutput) + ": " + archiveOut, result.detail};
    result.detail["archive"] = archiveOut;
    return result;
}

} // namespace

int RunList(const Output& output, bool discover) {
    std::vector<std::string> errors;
    const std::vector<fleet::PrinterTarget> targets = ListedPrinters(discover, errors);
    // Quick handshakes only: no progress lines.
    const std::vector<fleet::PrinterResult> results =
        fleet::RunFleet(targets, IdentityOf, fleet::FleetOptions{});
    const int status = StatusOf(results);
    if (output.json) {
        nlohmann::json document = FleetDocument("list", targets, results, status);
        document["errors"] = errors;
        PrintJson(output, document);
        return status;
    }
    for (const std::string& error : errors)
        output.err << error << '\n';
    if (targets.empty())
        output.out << "No printer found\n";
    else
        PrintIdentityRows(output.out, targets, results);
    return status;
}

int RunRead(const Output& output, const std::vector<fleet::PrinterTarget>& targets,
            const std::string& archiveOut) {
    if (!archiveOut.empty() && targets.size() > 1) {
        output.err << "-o takes one printer; use backup for several\n";
        return kExitUsage;
    }
    const std::vector<fleet::PrinterResult> results = fleet::RunFleet(
        targets, [&](const fleet::PrinterTarget& target) { return ReadOne(target, archiveOut); },
        WithProgress({}, output, targets.size()));
    const int status = StatusOf(results);
    if (output.json) {
        PrintJson(output, FleetDocument("read", targets, results, status));
        return status;
    }
    for (size_t i = 0; i < results.size(); ++i)
        if (results[i].state == fleet::State::Ok)
            PrintSetup(output.out, targets[i], results[i].detail);
    if (status != kExitOk)
        PrintSummary(output.out, targets, results);
    bool fileFailed = false;
    for (const fleet::PrinterResult& result : results)
        fileFailed |= result.code == fleet::kFailureOutput;
    return fileFailed ? kExitFile : status;
}

int RunBackup(const Output& output, const std::vector<fleet::PrinterTarget>& targets,
              const std::string& directory, int parallel) {
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    fleet::FleetOptions options;
    options.parallel = parallel;
    const std::vector<fleet::PrinterResult> results = fleet::RunFleet(
        targets,
        [&](const fleet::PrinterTarget& target) {
            fleet::BackupOutcome backup = fleet::BackupPrinter(target.settings, directory, now);
            nlohmann::json detail = {
                {"file", backup.path.empty() ? nlohmann::json(nullptr) : nlohmann::json(backup.path)}};
            if (backup.failure)
                return fleet::PrinterResult{fleet::State::Failed, backup.failure->code,
                                            backup.failure->reason, detail};
            return fleet::PrinterResult{fleet::State::Ok, 0, "", detail};
        },
        WithProgress(options, output, targets.size()));
    int status = StatusOf(results);
    // An archive that cannot be written is the operator's directory's fault, as in read -o.
    if (status == kExitPrinterFailed &&
        std::any_of(results.begin(), results.end(),
                    [](const fleet::PrinterResult& r) { return r.code == fleet::kFailureOutput; }))
        status = kExitFile;
    if (output.json) {
        PrintJson(output, FleetDocument("backup", targets, results, status));
        return status;
    }
    Table table({"PRINTER", "FILE"});
    for (size_t i = 0; i < results.size(); ++i)
        if (results[i].state == fleet::State::Ok)
            table.AddRow({targets[i].Label(), results[i].detail["file"].get<std::string>()});
    if (!table.Empty())
        table.Print(output.out);
    PrintSummary(output.out, targets, results);
    return status;
}

} // namespace ctl
