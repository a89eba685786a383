// The simulated printer's description: identity, capabilities, setup items with their links, texts,
// tools, status descriptions and schedule, upgrade information and fault switches, loaded from a JSON
// profile. Loading validates everything a real printer could never announce and names the culprit.
#pragma once

#include "transport/ProductIds.h"

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim {

enum class ItemKind : int { List = 1, Numeric = 2, DateTime = 3, String = 4, Checkboxes = 5 };

struct ItemLink {
    std::string viewOperation; // "H", "D", "S", or two parts "H,D"
    uint32_t sourceId = 0;
    int32_t valueToCheck = 0;
};

struct CheckboxElement {
    std::string text;
    int bit = 0;
};

struct SetupItem {
    uint32_t id = 0;
    ItemKind kind = ItemKind::List;
    std::string text;
    std::string addText; // empty: the answer says there is none
    std::vector<ItemLink> links;
    // List
    int32_t first = 0, listDefault = 0, listCurrent = 0;
    std::vector<std::string> elements;
    // Numeric
    double min = 0, max = 0, step = 1, numDefault = 0, numCurrent = 0;
    // Date/time: "YYYY/MM/DD HH:MM:SS"
    std::string dateTime;
    // String
    int32_t minLen = 0, maxLen = 0;
    uint32_t dataMask = 1;
    std::string strDefault, strCurrent;
    // Checkboxes
    int bits = 0;
    std::vector<uint8_t> boxDefault, boxCurrent;
    std::vector<CheckboxElement> boxes;
};

struct StatusBitText {
    int byte = 1; // counted from 1
    int bit = 0;
    int id = 0;
    std::string text;
    std::string addText;
    int family = 0;
};

// One step of a live status schedule: these bytes for the next `answers` polls.
struct StatusStep {
    std::vector<uint8_t> bytes;
    uint32_t answers = 1;
};

struct StatusSection {
    uint32_t ports = 1;
    uint32_t generalMask = 0;
    std::vector<StatusBitText> generalBits;
    uint32_t extendedBytes = 0;
    std::vector<StatusBitText> extendedBits;
    std::vector<StatusStep> generalSchedule;  // 4 bytes each
    std::vector<StatusStep> extendedSchedule; // extendedBytes bytes each
};

// The boot loader a U2/U4 printer restarts into for a firmware upgrade (the Renesas USB boot device).
struct BootSection {
    std::string release = "1.00";   // what the Get Release command answers (4 characters)
    uint32_t programmingSize = 128; // the payload of one programming frame
    bool newLoader = false;         // answers Save Security with 0x15 and wants Save Security New
    uint32_t pid = 0x0B5A;
    std::string serial = "RBOOT0001";
    uint32_t appearMs = 300; // from the printer leaving the bus to the boot device's arrival
    // U4: the user restarts the printer this long after the lock bit was set (absent: nobody does, the
    // boot device stays until the reset command).
    std::optional<uint32_t> powerCycleMs;
};

// The upgrade information answer and how the printer's loader behaves.
struct UpgradeSection {
    std::string mode;      // "U1".."U6"
    std::string settings;  // may be empty; its first ";" token tells whether USB gets programming answers
    std::string deviceIds; // "family;model;customization"
    std::optional<std::string> firmwareAfter; // the release after a firmware upgrade; absent: unchanged
    uint32_t restartMs = 1500;                // the restart after installing firmware or a module
    std::optional<uint32_t> banks;            // U5: the image's bank count, which makes a data bank last
    std::optional<std::string> moduleIds;     // the MOD_ID letters the loader takes; absent: every one
    BootSection boot;
};

// Capability bits of the groups the loader serves.
inline constexpr uint32_t kModuleUpgradeGroup = 0x04, kFirmwareUpgradeGroup = 0x20;

struct ToolsSection {
    uint32_t group1 = 0;
    uint32_t group2 = 0;
    std::map<uint32_t, std::vector<std::string>> answerLines; // by tool bit of group 1
};

// How the printer shows itself on USB. Ids are kept wide here so that validation, not a silent cut,
// catches values out of range.
struct UsbSection {
    uint32_t vid = ProductIds::kVendorId;
    uint32_t pid = 0x0101;
    std::optional<std::string> serial = "SIM000001";  // nullopt: no serial-number descriptor
    uint32_t deviceClass = ProductIds::kPrinterClass; // 0: the class is on the interface (printer class)
};

struct Profile {
    std::string name = "Dalvora-Sim";
    uint32_t gsi = 0x141;
    std::string firmware;
    std::string protocolVersion = "1.00";
    uint32_t baud = 115200;
    std::optional<uint32_t> capabilities; // absent: the printer does not answer the capability command
    uint32_t resetMs = 3000;
    std::vector<std::string> header;
    std::optional<std::vector<std::string>> lifeInfo, deviceInfo, headInfo, modules;
    std::optional<ToolsSection> tools;
    std::optional<StatusSection> status;
    std::optional<UpgradeSection> upgrade;
    UsbSection usb;
    std::vector<SetupItem> items;
    std::vector<std::string> faults; // fault switches in the command-line syntax
};

class ProfileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws ProfileError with the file, the JSON path and the reason. Each override "a.b=VALUE" sets a
// member before the profile is read (VALUE as JSON, or as a text when it is not JSON).
[[nodiscard]] Profile LoadProfileFile(const std::string& path,
                                      const std::vector<std::string>& overrides = {});
[[nodiscard]] Profile LoadProfileText(const std::string& text, const std::string& origin,
                                      const std::vector<std::string>& overrides = {});

// Every rule a real printer's description obeys; throws ProfileError naming the first violation.
void ValidateProfile(const Profile& profile);

// True when the text is a dotted IPv4 address without leading zeros.
[[nodiscard]] bool IsIpv4Text(const std::string& text);
// True for "YYYY/MM/DD HH:MM:SS" with a real calendar date and time.
[[nodiscard]] bool IsDateTimeText(const std::string& text);

} // namespace sim
