#include "ctl/CtlApp.h"

#include "base/CmdConsole.h"
#include "base/Version.h"
#include "ctl/Commands.h"
#include "upgrade/StopSignals.h"

#include <CLI/CLI.hpp>

namespace ctl {

namespace {

constexpr const char* kStopNotice =
    "\nStop requested: no further printer is started, running ones finish (signal again to force)\n";

struct Arguments {
    bool json = false;
    bool quiet = false;
    std::string inventory;
    std::string tag;
    std::vector<std::string> printers;
    WriteChoice write;
    UpgradeChoice upgrade;
    std::string archiveOut;
    std::string directory;
    std::string since;
    bool discover = false;
};

// The printers named on the command line, then those of the inventory (with the tag, when given).
std::optional<std::vector<fleet::PrinterTarget>> Targets(const Arguments& args, std::ostream& err) {
    std::vector<fleet::PrinterTarget> targets;
    for (const std::string& address : args.printers) {
        std::string error;
        std::optional<CommPortSettings> settings = fleet::ParsePrinterAddress(address, error);
        if (!settings) {
            err << address << ": " << error << '\n';
            return std::nullopt;
        }
        targets.push_back({address, "", {}, *settings});
    }
    if (!args.inventory.empty()) {
        std::string error;
        std::optional<std::vector<fleet::PrinterTarget>> listed = fleet::LoadInventory(args.inventory, error);
        if (!listed) {
            err << error << '\n';
            return std::nullopt;
        }
        for (fleet::PrinterTarget& target : fleet::WithTag(*listed, args.tag))
            targets.push_back(std::move(target));
    }
    if (targets.empty()) {
        err << "No printer: name one (eth:HOST[:PORT], usb:NAME|ANY, ser:DEVICE[:BAUD[:FLOW]]) or give -i "
               "FILE\n";
        return std::nullopt;
    }
    return targets;
}

void AddPrinterOptions(CLI::App& command, Arguments& args) {
    command.add_option("printers", args.printers,
                       "Printers: eth:HOST[:PORT], usb:NAME|ANY, ser:DEVICE[:BAUD[:FLOW]]");
}

void AddParallel(CLI::App& command, Arguments& args) {
    command.add_option("--parallel", args.write.parallel, "Printers worked on at once")
        ->check(CLI::Range(1, 64))
        ->default_val(1);
}

} // namespace

int RunDalvoractl(int argc, char** argv, std::ostream& out, std::ostream& err) {
    // The core's console messages are the single-printer command line's; this tool prints its own.
    CmdConsole::iShowToVideo = 0;
    Arguments args;
    CLI::App app{"dalvoractl: preview, verify, back up and roll out printer setups to many printers"};
    app.set_version_flag("--version", std::string("dalvoractl ") + kDalvoraRelease);
    app.require_subcommand(1);
    app.fallthrough();
    app.add_flag("--json", args.json, "Print one JSON document (see the man page for its schema)");
    app.add_flag("-q,--quiet", args.quiet, "No progress lines");
    app.add_option("-i,--inventory", args.inventory, "Inventory file: ADDRESS [NAME [TAG,TAG...]] per line")
        ->check(CLI::ExistingFile);
    app.add_option("--tag", args.tag, "Only the inventory's printers with this tag");

    CLI::App* list =
        app.add_subcommand("list", "USB printers (and, with --discover, Ethernet ones) and who they are");
    list->add_flag("--discover", args.discover, "Also broadcast the Ethernet discovery");

    CLI::App* read = app.add_subcommand("read", "A printer's identity and setup");
    AddPrinterOptions(*read, args);
    read->add_option("-o,--output", args.archiveOut, "Also save the setup as an archive (.tcfx)");

    CLI::App* diff = app.add_subcommand("diff", "What applying the archive would change; nothing is written");
    diff->add_option("archive", args.write.archive, "Configuration archive (.tcfx)")->required();
    AddPrinterOptions(*diff, args);
    diff->add_flag("--all-items", args.write.allItems,
                   "Every item of the archive, not only those that differ");
    AddParallel(*diff, args);

    CLI::App* apply = app.add_subcommand("apply", "Write the archive to the printers");
    apply->add_option("archive", args.write.archive, "Configuration archive (.tcfx)")->required();
    AddPrinterOptions(*apply, args);
    apply->add_flag("--all-items", args.write.allItems,
                    "Every item of the archive, not only those that differ");
    apply->add_flag("--verify", args.write.verify, "Read the setup back and compare every written item");
    AddParallel(*apply, args);

    CLI::App* backup = app.add_subcommand("backup", "One archive per printer, named by identity and date");
    AddPrinterOptions(*backup, args);
    backup->add_option("--dir", args.directory, "Directory for the archives")
        ->required()
        ->check(CLI::ExistingDirectory);
    AddParallel(*backup, args);

    CLI::App* upgrade = app.add_subcommand(
        "upgrade", "Firmware package or module to the printers, after checking every printer first");
    upgrade->add_option("file", args.upgrade.file, "Firmware package (.psw, .pfw) or module file (.mod)")
        ->required();
    AddPrinterOptions(*upgrade, args);
    upgrade->add_option("-c,--components", args.upgrade.components,
                        "Components of the package: S firmware, F fonts, L logos, D flash disk, O other");
    upgrade->add_flag("--skip-unfit", args.upgrade.skipUnfit,
                      "Upgrade the printers that pass the check even when others do not");
    upgrade->add_option("--parallel", args.upgrade.parallel, "Ethernet printers upgraded at once")
        ->check(CLI::Range(1, 64))
        ->default_val(1);

    CLI::App* history = app.add_subcommand("history", "The audit trail of writes and upgrades");
    history->add_option("--since", args.since,
                        "YYYY-MM-DD, YYYY-MM-DDTHH:MM:SSZ, or back from now: 90m, 12h, 7d");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return code == 0 ? kExitOk : kExitUsage;
    }
    const Output output{args.json, args.quiet, out, err};
    if (list->parsed())
        return RunList(output, args.discover);
    if (history->parsed())
        return RunHistory(output, args.since);
    const std::optional<std::vector<fleet::PrinterTarget>> targets = Targets(args, err);
    if (!targets)
        return kExitUsage;
    const StopSignalGuard stop(kStopNotice);
    if (read->parsed())
        return RunRead(output, *targets, args.archiveOut);
    if (diff->parsed())
        return RunDiff(output, *targets, args.write);
    if (apply->parsed())
        return RunApply(output, *targets, args.write);
    if (upgrade->parsed())
        return RunUpgradeCommand(output, *targets, args.upgrade);
    return RunBackup(output, *targets, args.directory, args.write.parallel);
}

} // namespace ctl
