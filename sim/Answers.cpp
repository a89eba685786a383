// Answer layouts; see Answers.h.
#include "sim/Answers.h"

#include "sim/ItemValues.h"

namespace sim {
namespace {

void AddDescriptions(AnswerBuilder& a, const std::string& text, const std::string& addText) {
    a.Text(text).Number(addText.empty() ? 0 : 1);
    if (!addText.empty())
        a.Text(addText);
}

void AddKindFields(AnswerBuilder& a, const SetupItem& item) {
    switch (item.kind) {
    case ItemKind::List:
        a.Number(item.first).Number(item.listDefault).Number(item.listCurrent);
        a.Number(static_cast<int64_t>(item.elements.size()));
        for (const auto& e : item.elements)
            a.Text(e);
        break;
    case ItemKind::Numeric:
        a.Field(FormatNumber(item.min, item.step)).Field(FormatNumber(item.max, item.step));
        a.Field(FormatNumber(item.step, item.step)).Field(FormatNumber(item.numDefault, item.step));
        a.Field(FormatNumber(item.numCurrent, item.step));
        break;
    case ItemKind::DateTime:
        a.Field(item.dateTime);
        break;
    case ItemKind::String:
        a.Number(item.minLen).Number(item.maxLen).Number(item.dataMask);
        a.Text(item.strDefault).Text(item.strCurrent);
        break;
    case ItemKind::Checkboxes:
        a.Number(item.bits).Field(JoinBytes(item.boxDefault)).Field(JoinBytes(item.boxCurrent));
        for (const auto& box : item.boxes)
            a.Text(box.text).Number(box.bit);
        break;
    }
}

void AddStatusBits(AnswerBuilder& a, const std::vector<StatusBitText>& bits) {
    a.Number(static_cast<int64_t>(bits.size()));
    for (const auto& b : bits) {
        a.Field(std::to_string(b.byte) + "|" + std::to_string(b.bit)).Number(b.id);
        AddDescriptions(a, b.text, b.addText);
        a.Number(b.family);
    }
}

} // namespace

Bytes TextLinesAnswer(unsigned commandCode, const std::vector<std::string>& lines) {
    AnswerBuilder a(commandCode);
    a.Number(static_cast<int64_t>(lines.size()));
    for (const auto& line : lines)
        a.Text(line);
    return a.Finish();
}

Bytes IdListAnswer(const Profile& profile, bool wrongChecksum) {
    AnswerBuilder a(code::IdList);
    a.Number(static_cast<int64_t>(profile.items.size()));
    for (const auto& item : profile.items)
        a.Number(item.id);
    return a.Checksum(wrongChecksum).Finish();
}

Bytes ItemAnswer(const SetupItem& item, bool wrongChecksum) {
    AnswerBuilder a(code::IdInfo);
    a.Number(item.id).Number(static_cast<int64_t>(item.links.size()));
    for (const auto& link : item.links)
        a.Field(link.viewOperation).Number(link.sourceId).Number(link.valueToCheck);
    a.Number(static_cast<int>(item.kind));
    AddDescriptions(a, item.text, item.addText);
    AddKindFields(a, item);
    return a.Checksum(wrongChecksum).Finish();
}

Bytes StatusInfoAnswer(const StatusSection& status, bool extended) {
    AnswerBuilder a(extended ? code::ExtendedStatusInfo : code::GeneralStatusInfo);
    a.Number(status.ports);
    if (extended) {
        a.Number(status.extendedBytes);
        AddStatusBits(a, status.extendedBits);
    } else {
        const uint32_t m = status.generalMask;
        a.DataBytes({static_cast<uint8_t>(m), static_cast<uint8_t>(m >> 8), static_cast<uint8_t>(m >> 16),
                     static_cast<uint8_t>(m >> 24)});
        AddStatusBits(a, status.generalBits);
    }
    return a.Finish();
}

Bytes UpgradeAnswer(const UpgradeSection& upgrade) {
    return AnswerBuilder(code::Upgrade)
        .Field(upgrade.mode)
        .Field(upgrade.settings)
        .Field(upgrade.deviceIds)
        .Finish();
}

Bytes ToolAnswer(const std::vector<std::string>& lines) {
    AnswerBuilder a(code::ToolExec);
    a.Control(kAck).Number(static_cast<int64_t>(lines.size()));
    for (const auto& line : lines)
        a.Text(line);
    return a.Finish();
}

Bytes AcknowledgeAnswer(unsigned commandCode) {
    return AnswerBuilder(commandCode).Control(kAck).Finish();
}

} // namespace sim
