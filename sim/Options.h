// The simulator's command line.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim {

struct Options {
    bool help = false;
    bool checkProfile = false;
    bool log = false;
    bool usb = false;
    std::string profile = "default"; // a file, or default / large / minimal
    std::optional<std::string> tcp, pty, udp, transcript;
    std::vector<std::string> faults;
    std::vector<std::string> profileSets; // --set PATH=VALUE, applied to the profile in order
    std::vector<std::string> program;     // after "--": the USB host to run, with its arguments
};

class OptionError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

[[nodiscard]] Options ParseOptions(const std::vector<std::string>& args); // throws OptionError
[[nodiscard]] const char* UsageText();
// The file a profile option names: the shipped profiles by name, anything else as a path.
[[nodiscard]] std::string ResolveProfilePath(const std::string& profile);

} // namespace sim
