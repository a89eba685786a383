// Command-line parsing; see Options.h.
#include "sim/Options.h"

#include <filesystem>

#ifndef DALVORA_SIM_PROFILE_DIR
#define DALVORA_SIM_PROFILE_DIR "sim/profiles"
#endif
#ifndef DALVORA_SIM_GENERATED_PROFILE_DIR
#define DALVORA_SIM_GENERATED_PROFILE_DIR DALVORA_SIM_PROFILE_DIR
#endif

namespace sim {

const char* UsageText() {
    return "Usage: dalvora-printer-sim [options] [-- PROGRAM [ARGS...]]\n"
           "Plays a Dalvora thermal ticket printer on TCP, a pty serial line, USB and UDP discovery.\n"
           "\n"
           "  --profile NAME|FILE   printer description: default, large, minimal or a JSON file\n"
           "  --set PATH=VALUE      change one profile member first, e.g. --set upgrade.mode=U1\n"
           "                        --set upgrade.settings=0; (VALUE is JSON, else a text)\n"
           "  --tcp ADDR:PORT       raw printer port, e.g. 127.0.0.1:9100; port 0 picks a free one\n"
           "  --pty PATH            serial line: PATH becomes a symlink to the pty slave; the printer\n"
           "                        answers only at the profile's baud rate\n"
           "  --usb                 a USB printer (the profile's usb vid, pid, serial, class) in a\n"
           "                        umockdev testbed; see -- PROGRAM for the host that reaches it\n"
           "  --udp ADDR[:PORT]     discovery responder bound to ADDR only (port 15000 by default)\n"
           "  --transcript FILE     one JSON line per exchange: received, answered, value changes\n"
           "  --fault SWITCH          inject a fault (repeatable):\n"
           "                          delay=MS  drip=BYTES:MS  silence\n"
           "                          no-answer=KIND[#N]  error=KIND[#N]:NN  wrong-checksum=KIND[#N]\n"
           "                          garbage=KIND[#N]:COUNT  drop=KIND[#N]:BYTES  stale=KIND[#N]\n"
           "                          bad-sum=KIND[#N]  answer=KIND[#N]:0xNN  slow-restart=KIND[#N]:MS\n"
           "                          no-return=KIND[#N]  other-release=TEXT  keep-old=ID|*\n"
           "                        KIND: GSI, GSIFF, FWREL, C<code> (C4, C138, ...), BANKS, PROGRAM,\n"
           "                        MODULE or *\n"
           "  --check-profile       validate the profile, print \"profile ok\" and exit\n"
           "  --log                 write the diagnostic log on standard output\n"
           "  --help                this text\n"
           "  -- PROGRAM [ARGS...]  with --usb: run PROGRAM as the USB host, under umockdev's preload\n"
           "                        with UMOCKDEV_DIR set to the testbed, serve until it ends and exit\n"
           "                        with its exit status; e.g. -- build/dalvora --usbdevlist\n"
           "\n"
           "The first lines on standard output name what listens, e.g. \"listening tcp 127.0.0.1:40123\"\n"
           "or \"listening usb VID|PID|SERIAL TESTBED\"; with a PROGRAM they go to standard error,\n"
           "standard output being the program's. Without PROGRAM, another program reaches the USB\n"
           "printer as UMOCKDEV_DIR=TESTBED umockdev-wrapper PROGRAM. A printer reset takes the USB\n"
           "printer off the bus for the profile's reset_ms.\n"
           "Waits are scaled by DALVORA_TESTONLY_TIME_SCALE. SIGINT or SIGTERM ends the simulator.\n";
}

Options ParseOptions(const std::vector<std::string>& args) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= args.size())
                throw OptionError(a + " needs a value");
            return args[++i];
        };
        if (a == "--") { // the rest is the host program's, options included
            o.program.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            if (o.program.empty())
                throw OptionError("-- needs a PROGRAM to run");
            break;
        }
        if (a == "--help" || a == "-h")
            o.help = true;
        else if (a == "--check-profile")
            o.checkProfile = true;
        else if (a == "--log")
            o.log = true;
        else if (a == "--profile")
            o.profile = value();
        else if (a == "--tcp")
            o.tcp = value();
        else if (a == "--pty")
            o.pty = value();
        else if (a == "--udp")
            o.udp = value();
        else if (a == "--transcript")
            o.transcript = value();
        else if (a == "--fault")
            o.faults.push_back(value());
        else if (a == "--set")
            o.profileSets.push_back(value());
        else if (a == "--usb")
            o.usb = true;
        else
            throw OptionError("unknown option " + a);
    }
    if (!o.program.empty() && !o.usb)
        throw OptionError("-- PROGRAM needs --usb: the program is the USB printer's host");
    if (!o.help && !o.checkProfile && !o.tcp && !o.pty && !o.udp && !o.usb)
        throw OptionError("nothing to serve: give --tcp, --pty, --usb or --udp");
    return o;
}

// An installed simulator finds its profiles beside it, relative to its own path, so that a package
// unpacked anywhere works too; a simulator in the build tree has none there and uses the tree's.
static std::string InstalledProfile(const std::string& name) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const std::filesystem::path path =
        self.parent_path().parent_path() / "share/dalvora-printer-sim/profiles" / (name + ".json");
    return std::filesystem::is_regular_file(path, error) ? path.string() : std::string();
}

std::string ResolveProfilePath(const std::string& profile) {
    if (profile != "default" && profile != "minimal" && profile != "large")
        return profile;
    if (std::string installed = InstalledProfile(profile); !installed.empty())
        return installed;
    if (profile == "default" || profile == "minimal")
        return std::string(DALVORA_SIM_PROFILE_DIR) + "/" + profile + ".json";
    if (profile == "large")
        return std::string(DALVORA_SIM_GENERATED_PROFILE_DIR) + "/large.json";
    return profile;
}

} // namespace sim
