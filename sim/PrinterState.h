// What the simulated printer remembers: its setup items with their current values, the values the host
// has set but not yet stored, uploaded scripts, and the position in the live status schedules. It
// lives as long as the simulator, so it survives reconnects; a printer restart drops what was not stored.
#pragma once

#include "sim/Profile.h"
#include "sim/Transfers.h"
#include "sim/Wire.h"

#include <map>
#include <string>
#include <vector>

namespace sim {

struct ValueChange {
    uint32_t id = 0;
    std::string from;
    std::string to;
    std::string state; // "staged" or "current"
};

class PrinterState {
public:
    explicit PrinterState(Profile profile);

    [[nodiscard]] const Profile& GetProfile() const { return m_profile; }
    [[nodiscard]] const SetupItem* Find(uint32_t id) const;

    // Validates and remembers a value for the store command; `why` explains a refusal.
    enum class SetResult { Staged, UnknownId, Refused };
    [[nodiscard]] SetResult Stage(uint32_t id, const std::string& text, std::string& why,
                                  std::vector<ValueChange>& changes);
    // The store command: staged values become current, in the order they were set.
    void Store(std::vector<ValueChange>& changes);
    // A restart forgets values that were set but not stored.
    void Restart();
    [[nodiscard]] std::string StagedText(uint32_t id) const;

    // Immediate changes made by the printer itself (tools).
    void SetDateTimeItems(const std::string& dateTime, std::vector<ValueChange>& changes);
    void RestoreDefaults(std::vector<ValueChange>& changes);
    void AddScript(Bytes script) { m_scripts.push_back(std::move(script)); }
    [[nodiscard]] const std::vector<Bytes>& Scripts() const { return m_scripts; }

    // The firmware release the printer reports: the profile's until an upgrade installs another.
    [[nodiscard]] const std::string& Firmware() const { return m_firmware; }
    void SetFirmware(std::string release) { m_firmware = std::move(release); }
    // Every firmware group and module received, in order.
    void AddTransfer(TransferRecord record) { m_transfers.push_back(std::move(record)); }
    [[nodiscard]] const std::vector<TransferRecord>& Transfers() const { return m_transfers; }

    // The next live status bytes of each schedule (zeros without one).
    [[nodiscard]] Bytes NextGeneralStatus();
    [[nodiscard]] Bytes NextExtendedStatus();

private:
    struct Cursor {
        size_t step = 0;
        uint32_t used = 0;
    };
    static Bytes Advance(const std::vector<StatusStep>& schedule, Cursor& cursor, size_t size);
    void SetCurrent(SetupItem& item, const std::string& text, std::vector<ValueChange>& changes);

    Profile m_profile;
    std::map<uint32_t, size_t> m_index;
    std::vector<std::pair<uint32_t, std::string>> m_staged; // in the order of setting; the last wins
    std::vector<Bytes> m_scripts;
    Cursor m_general, m_extended;
    std::string m_firmware;
    std::vector<TransferRecord> m_transfers;
};

} // namespace sim
