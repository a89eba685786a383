// The printer's positive answers, built from its profile and memory in the field layouts the host
// cuts them by. `wrongChecksum` spoils the checksum field of the layouts that carry one.
#pragma once

#include "sim/PrinterState.h"
#include "sim/Wire.h"

namespace sim {

namespace code {
constexpr unsigned ProtocolVersion = 0x01, Header = 0x02, IdList = 0x03, IdInfo = 0x04, SetValue = 0x05,
                   StoreValues = 0x06, Reset = 0x07, LifeInfo = 0x20, DeviceInfo = 0x21, HeadInfo = 0x23,
                   Capabilities = 0x28, Modules = 0x40, ToolsSupported = 0x50, ToolExec = 0x51,
                   Upgrade = 0x70, GeneralStatusInfo = 0x80, ExtendedStatusInfo = 0x81, GeneralStatus = 0x8A,
                   ExtendedStatus = 0x8B;
} // namespace code

[[nodiscard]] Bytes TextLinesAnswer(unsigned commandCode, const std::vector<std::string>& lines);
[[nodiscard]] Bytes IdListAnswer(const Profile& profile, bool wrongChecksum);
[[nodiscard]] Bytes ItemAnswer(const SetupItem& item, bool wrongChecksum);
[[nodiscard]] Bytes StatusInfoAnswer(const StatusSection& status, bool extended);
[[nodiscard]] Bytes UpgradeAnswer(const UpgradeSection& upgrade);
[[nodiscard]] Bytes ToolAnswer(const std::vector<std::string>& lines);
[[nodiscard]] Bytes AcknowledgeAnswer(unsigned commandCode); // STX, tag, ACK, ETX

} // namespace sim
