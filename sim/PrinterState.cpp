// The printer's memory; see PrinterState.h.
#include "sim/PrinterState.h"

#include "sim/ItemValues.h"

#include <algorithm>

namespace sim {

PrinterState::PrinterState(Profile profile) : m_profile(std::move(profile)), m_firmware(m_profile.firmware) {
    for (size_t i = 0; i < m_profile.items.size(); ++i)
        m_index[m_profile.items[i].id] = i;
}

const SetupItem* PrinterState::Find(uint32_t id) const {
    auto it = m_index.find(id);
    return it == m_index.end() ? nullptr : &m_profile.items[it->second];
}

PrinterState::SetResult PrinterState::Stage(uint32_t id, const std::string& text, std::string& why,
                                            std::vector<ValueChange>& changes) {
    const SetupItem* item = Find(id);
    if (item == nullptr) {
        why = "no item has the id " + std::to_string(id);
        return SetResult::UnknownId;
    }
    if (!AcceptsValueText(*item, text, why))
        return SetResult::Refused;
    const std::string before = StagedText(id);
    m_staged.erase(
        std::remove_if(m_staged.begin(), m_staged.end(), [&](const auto& s) { return s.first == id; }),
        m_staged.end());
    m_staged.emplace_back(id, text);
    changes.push_back({id, before, text, "staged"});
    return SetResult::Staged;
}

std::string PrinterState::StagedText(uint32_t id) const {
    for (const auto& [stagedId, text] : m_staged)
        if (stagedId == id)
            return text;
    const SetupItem* item = Find(id);
    return item == nullptr ? std::string() : CurrentValueText(*item);
}

void PrinterState::SetCurrent(SetupItem& item, const std::string& text, std::vector<ValueChange>& changes) {
    const std::string before = CurrentValueText(item);
    ApplyValueText(item, text);
    const std::string after = CurrentValueText(item);
    if (after != before)
        changes.push_back({item.id, before, after, "current"});
}

void PrinterState::Store(std::vector<ValueChange>& changes) {
    for (const auto& [id, text] : m_staged)
        SetCurrent(m_profile.items[m_index.at(id)], text, changes);
    m_staged.clear();
}

void PrinterState::Restart() {
    m_staged.clear();
}

void PrinterState::SetDateTimeItems(const std::string& dateTime, std::vector<ValueChange>& changes) {
    for (SetupItem& item : m_profile.items)
        if (item.kind == ItemKind::DateTime)
            SetCurrent(item, dateTime, changes);
}

void PrinterState::RestoreDefaults(std::vector<ValueChange>& changes) {
    m_staged.clear();
    for (SetupItem& item : m_profile.items) {
        const std::string before = CurrentValueText(item);
        ApplyDefault(item);
        const std::string after = CurrentValueText(item);
        if (after != before)
            changes.push_back({item.id, before, after, "current"});
    }
}

Bytes PrinterState::Advance(const std::vector<StatusStep>& schedule, Cursor& cursor, size_t size) {
    if (schedule.empty())
        return Bytes(size, 0);
    // The last step stays once the schedule has run through.
    while (cursor.used >= schedule[cursor.step].answers && cursor.step + 1 < schedule.size()) {
        ++cursor.step;
        cursor.used = 0;
    }
    ++cursor.used;
    return schedule[cursor.step].bytes;
}

Bytes PrinterState::NextGeneralStatus() {
    static const std::vector<StatusStep> none;
    return Advance(m_profile.status ? m_profile.status->generalSchedule : none, m_general, 4);
}

Bytes PrinterState::NextExtendedStatus() {
    static const std::vector<StatusStep> none;
    const size_t size = m_profile.status ? m_profile.status->extendedBytes : 0;
    return Advance(m_profile.status ? m_profile.status->extendedSchedule : none, m_extended, size);
}

} // namespace sim
