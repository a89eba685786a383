// Status descriptions, the standard table, and their archive keys.
#include "model/StatusRecords.h"

#include "base/Log.h"
#include "model/ArchiveKeys.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace {

constexpr const char* kExtPrefix = "StatusInfoExtData_StatusBitInfo_";
constexpr const char* kSharedPrefix = "StatusBitInfo_";

struct StandardBit {
    int32_t byteRef;
    int32_t bitRef;
    const char* description;
    uint32_t family;
};

constexpr StandardBit kStandardTable[] = {
    {1, 0, "Paper not present", 2},
    {1, 2, "Near paper end", 1},
    {1, 5, "Ticket present in output", 1},
    {2, 0, "Thermal print head lifted", 1},
    {2, 1, "Cover opened", 1},
    {2, 2, "Spooling", 0},
    {2, 3, "Drag motor rolling", 0},
    {2, 5, "LF key pressed", 0},
    {2, 6, "FF key pressed", 0},
    {3, 0, "Head temperature error", 2},
    {3, 1, "COM error", 2},
    {3, 3, "Power supply voltage error", 2},
    {3, 4, "Wait char timeout error", 2},
    {3, 5, "Command error", 2},
    {3, 6, "Paper jam", 2},
    {4, 0, "Cutter error", 2},
    {4, 2, "RAM error", 2},
    {4, 3, "EEPROM error", 2},
};

template <typename T> bool ParseDecimal(std::string_view text, T& value) {
    if (text.empty()) {
        return false;
    }
    T parsed{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size()) {
        return false; // the record keeps its value
    }
    value = parsed;
    return true;
}

std::string Key(std::string_view prefix, const char* member, int index) {
    return IndexedKey(std::string(prefix) + member, index);
}

} // namespace

StatusBitInfo::StatusBitInfo(int32_t byteRef, int32_t bitRef, std::string_view description,
                             uint32_t signalFamily)
    : m_byteRef(byteRef), m_bitRef(bitRef), m_description(CutText(description)),
      m_signalFamily(signalFamily) {}

void StatusBitInfo::SetDescription(std::string_view text) {
    m_description = CutText(text);
}

void StatusBitInfo::SetAddDescription(std::string_view text) {
    m_addDescription = CutText(text);
}

bool StatusBitInfo::AddByteBit(std::string_view text) {
    static constexpr const char* kWhere = "StatusBitInfo::AddByteBit";
    const size_t bar = text.find('|');
    if (bar == std::string_view::npos || text.find('|', bar + 1) != std::string_view::npos) {
        Log::WriteLogP(kWhere, "%.*s", static_cast<int>(text.size()), text.data());
        return false;
    }
    int32_t byteRef = 0;
    int32_t bitRef = 0;
    if (!ParseDecimal(text.substr(0, bar), byteRef)) {
        Log::WriteLogP(kWhere, "Error extracting byte value from %c", text.empty() ? ' ' : text[0]);
        return false;
    }
    if (!ParseDecimal(text.substr(bar + 1), bitRef)) {
        Log::WriteLogP(kWhere, "Error extracting byte value from %c", text.size() > 1 ? text[1] : ' ');
        return false;
    }
    m_byteRef = byteRef;
    m_bitRef = bitRef;
    return true;
}

bool StatusBitInfo::AddId(std::string_view text) {
    if (!ParseDecimal(text, m_id)) {
        Log::WriteLogP("StatusBitInfo::AddId", "%.*s", static_cast<int>(text.size()), text.data());
        return false;
    }
    return true;
}

bool StatusBitInfo::AddSignal(std::string_view text) {
    if (!ParseDecimal(text, m_signalFamily)) {
        Log::WriteLogP("StatusBitInfo::AddSignal", "%.*s", static_cast<int>(text.size()), text.data());
        return false;
    }
    return true;
}

void StatusBitInfo::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/, int index,
                                   std::string_view prefix) const {
    writer.addBaseElement(Key(prefix, "ByteRef", index).c_str(), ArchiveType::Int, m_byteRef);
    writer.addBaseElement(Key(prefix, "BitRef", index).c_str(), ArchiveType::Int, m_bitRef);
    writer.addBaseElement(Key(prefix, "Id", index).c_str(), ArchiveType::Int, m_id);
    writer.addBaseElement(Key(prefix, "Description", index).c_str(), ArchiveType::Text, m_description);
    writer.addBaseElement(Key(prefix, "AddDescription", index).c_str(), ArchiveType::Text, m_addDescription);
    writer.addBaseElement(Key(prefix, "SignalFamily", index).c_str(), ArchiveType::UInt64, m_signalFamily);
}

std::unique_ptr<StatusBitInfo> StatusBitInfo::Serialize_Load(const TCFXDataReader& reader,
                                                             const std::string& /*version*/, int index,
                                                             std::string_view prefix) {
    auto info = std::make_unique<StatusBitInfo>();
    info->m_byteRef = reader.getBaseValueAsInt(Key(prefix, "ByteRef", index).c_str());
    info->m_bitRef = reader.getBaseValueAsInt(Key(prefix, "BitRef", index).c_str());
    info->m_id = reader.getBaseValueAsInt(Key(prefix, "Id", index).c_str());
    info->SetDescription(reader.getBaseValueAsHexString(Key(prefix, "Description", index).c_str()));
    info->SetAddDescription(reader.getBaseValueAsHexString(Key(prefix, "AddDescription", index).c_str()));
    info->m_signalFamily =
        static_cast<uint32_t>(reader.getBaseValueAsUInt(Key(prefix, "SignalFamily", index).c_str()));
    return info;
}

bool StatusInfoData::AddStatusBitInfo(std::unique_ptr<StatusBitInfo> info) {
    if (!info || info->GetByteRef() > m_numBytesStatus) {
        return false;
    }
    const auto same = std::find_if(m_descriptions.begin(), m_descriptions.end(), [&](const auto& d) {
        return d->GetByteRef() == info->GetByteRef() && d->GetBitRef() == info->GetBitRef();
    });
    if (same != m_descriptions.end()) {
        *same = std::move(info);
    } else {
        m_descriptions.push_back(std::move(info));
    }
    return true;
}

void StatusInfoData::AddStatusBitInfoList(std::vector<std::unique_ptr<StatusBitInfo>> list) {
    for (auto& info : list) {
        AddStatusBitInfo(std::move(info));
    }
}

// Sorting the descriptions (stable, so the first of equal positions stays first) gives the same
// result as walking every byte and bit, without a walk as long as a hostile NumBytesStatus.
std::vector<const StatusBitInfo*> StatusInfoData::GetOnlyBitsAvailable() const {
    std::vector<const StatusBitInfo*> available;
    for (const auto& d : m_descriptions) {
        if (d->GetByteRef() >= 1 && d->GetByteRef() <= m_numBytesStatus && d->GetBitRef() >= 0 &&
            d->GetBitRef() <= 7 && IsBitReported(d->GetByteRef(), d->GetBitRef())) {
            available.push_back(d.get());
        }
    }
    std::stable_sort(available.begin(), available.end(), [](const StatusBitInfo* a, const StatusBitInfo* b) {
        return a->GetByteRef() != b->GetByteRef() ? a->GetByteRef() < b->GetByteRef()
                                                  : a->GetBitRef() < b->GetBitRef();
    });
    available.erase(std::unique(available.begin(), available.end(),
                                [](const StatusBitInfo* a, const StatusBitInfo* b) {
                                    return a->GetByteRef() == b->GetByteRef() &&
                                           a->GetBitRef() == b->GetBitRef();
                                }),
                    available.end());
    return available;
}

void StatusInfoData::SaveDescriptions(TCFXDataWriter& writer, const std::string& version, const char* sizeKey,
                                      std::string_view prefix) const {
    writer.addBaseElement(sizeKey, ArchiveType::Int, static_cast<int>(m_descriptions.size()));
    for (size_t i = 0; i < m_descriptions.size(); ++i) {
        m_descriptions[i]->Serialize_Save(writer, version, static_cast<int>(i), prefix);
    }
}

// The stored count is bounded by the elements the file holds: a huge "Size" costs nothing. With
// `afterCount` only the elements following the count are read (names shared with an earlier record).
void StatusInfoData::LoadDescriptions(const TCFXDataReader& reader, const std::string& version,
                                      const char* sizeKey, std::string_view prefix, bool afterCount) {
    const int stored = reader.getBaseValueAsInt(sizeKey);
    const int count =
        static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(stored, 0)), reader.elementCount()));
    std::optional<TCFXDataReader::AnchorScope> scope;
    if (afterCount) {
        scope.emplace(reader, sizeKey);
    }
    for (int i = 0; i < count; ++i) {
        AddStatusBitInfo(StatusBitInfo::Serialize_Load(reader, version, i, prefix));
    }
}

StatusInfoGenData::StatusInfoGenData() : StatusInfoData(4) {
    InitWithStandardBits();
}

void StatusInfoGenData::InitWithStandardBits() {
    ClearDescriptions();
    for (const StandardBit& bit : kStandardTable) {
        AddStatusBitInfo(
            std::make_unique<StatusBitInfo>(bit.byteRef, bit.bitRef, bit.description, bit.family));
    }
}

bool StatusInfoGenData::IsBitReported(int32_t byteRef, int32_t bitRef) const {
    const int bit = (byteRef - 1) * 8 + bitRef;
    return bit >= 0 && bit < 64 && ((m_statusBitMaskSupported >> bit) & 1u) != 0;
}

void StatusInfoGenData::Serialize_Save(TCFXDataWriter& writer, const std::string& version) const {
    writer.addBaseElement("StatusInfoGenData_NumBytesStatus", ArchiveType::Int, GetNumBytesStatus());
    writer.addBaseElement("StatusInfoGenData_StatusBitMaskSupported", ArchiveType::UInt64,
                          static_cast<unsigned long>(m_statusBitMaskSupported));
    SaveDescriptions(writer, version, "StatusInfoGenData_StatusBitDescription_Size", kSharedPrefix);
    writer.addBaseElement("StatusWayPorts_PortsAvailable_StatusInfoGenData", ArchiveType::UInt64,
                          GetStatusWayPorts().GetPorts());
}

std::unique_ptr<StatusInfoGenData> StatusInfoGenData::Serialize_Load(const TCFXDataReader& reader,
                                                                     const std::string& version) {
    auto status = std::make_unique<StatusInfoGenData>();
    bool found = false;
    const int numBytes = reader.getBaseValueAsInt("StatusInfoGenData_NumBytesStatus", &found);
    if (found) {
        status->SetNumBytesStatus(numBytes);
    }
    status->m_statusBitMaskSupported = reader.getBaseValueAsUInt("StatusInfoGenData_StatusBitMaskSupported");
    status->LoadDescriptions(reader, version, "StatusInfoGenData_StatusBitDescription_Size", kSharedPrefix);
    const unsigned long ports =
        reader.getBaseValueAsUInt("StatusWayPorts_PortsAvailable_StatusInfoGenData", &found);
    if (found) {
        status->SetStatusPorts(static_cast<int>(ports));
    }
    return status;
}

void StatusInfoExtData::Serialize_Save(TCFXDataWriter& writer, const std::string& version) const {
    writer.addBaseElement("StatusInfoExtData_NumBytesStatus", ArchiveType::Int, GetNumBytesStatus());
    SaveDescriptions(writer, version, "StatusInfoExtData_StatusBitDescription_Size", kExtPrefix);
    writer.addBaseElement("StatusWayPorts_PortsAvailable_StatusInfoExtData", ArchiveType::UInt64,
                          GetStatusWayPorts().GetPorts());
}

std::unique_ptr<StatusInfoExtData> StatusInfoExtData::Serialize_Load(const TCFXDataReader& reader,
                                                                     const std::string& version) {
    static constexpr const char* kSizeKey = "StatusInfoExtData_StatusBitDescription_Size";
    auto status = std::make_unique<StatusInfoExtData>();
    status->SetNumBytesStatus(reader.getBaseValueAsInt("StatusInfoExtData_NumBytesStatus"));
    if (reader.getBaseValueAsString(IndexedKey(std::string(kExtPrefix) + "ByteRef", 0).c_str()) != nullptr) {
        status->LoadDescriptions(reader, version, kSizeKey, kExtPrefix);
    } else {
        // Older archives reused the general names; the extended entries are those after the count.
        status->LoadDescriptions(reader, version, kSizeKey, kSharedPrefix, true);
    }
    bool found = false;
    const unsigned long ports =
        reader.getBaseValueAsUInt("StatusWayPorts_PortsAvailable_StatusInfoExtData", &found);
    if (found) {
        status->SetStatusPorts(static_cast<int>(ports));
    }
    return status;
}
