// PrinterData: lifecycle, item and link bookkeeping, the value check and the compatibility test.
#include "model/PrinterData.h"

#include "base/Log.h"
#include "model/ArchiveKeys.h"

#include <algorithm>

PrinterData::PrinterData() {
    Init();
}
PrinterData::~PrinterData() {
    DeInit();
}
PrinterData::PrinterData(PrinterData&&) noexcept = default;
PrinterData& PrinterData::operator=(PrinterData&&) noexcept = default;

void PrinterData::Init() {
    m_tabStatus = std::make_unique<TabStatus>();
    m_dataAvailable = std::make_unique<ProtocolDataAvailable>();
}

void PrinterData::DeInit() {
    // Items refer to the links: they go first.
    m_items.clear();
    m_links.reset();
    m_gsi.reset();
    m_fwRel.reset();
    m_protocolVersion.reset();
    m_dataAvailable.reset();
    m_idList.reset();
    m_header.reset();
    m_deviceInfo.reset();
    m_headInfo.reset();
    m_lifeInfo.reset();
    m_statusGeneral.reset();
    m_statusExtended.reset();
    m_tabStatus.reset();
}

void PrinterData::Reset() {
    DeInit();
    Init();
}

bool PrinterData::isEmpty() const {
    return !m_dataAvailable || m_dataAvailable->GetDataAvailable() == 0;
}

void PrinterData::SetFWRel(std::string_view release) {
    m_fwRel = CutText(release);
}

SetupItemType* PrinterData::FindSetupItem(uint64_t id) const {
    const auto it =
        std::find_if(m_items.begin(), m_items.end(), [&](const auto& item) { return item->GetId() == id; });
    return it == m_items.end() ? nullptr : it->get();
}

void PrinterData::AddSetupItem(std::unique_ptr<SetupItemType> item) {
    if (!item) {
        return;
    }
    if (m_links) {
        for (const auto& link : m_links->GetLinks()) {
            if (link->GetIdDst() == item->GetId()) {
                item->AddLink(link.get());
            }
        }
    }
    m_items.push_back(std::move(item));
}

void PrinterData::AddSetupItemLink(std::unique_ptr<SetupItemLink> link) {
    if (!link) {
        return;
    }
    if (!m_links) {
        m_links = std::make_unique<SetupItemLinkList>();
    }
    for (const auto& item : m_items) {
        if (item->GetId() == link->GetIdDst()) {
            item->AddLink(link.get());
        }
    }
    m_links->AddLink(std::move(link));
}

void PrinterData::ReplaceSetup(std::vector<std::unique_ptr<SetupItemType>> items,
                               std::vector<std::unique_ptr<SetupItemLink>> links) {
    // Items refer to the links: they go first.
    m_items.clear();
    m_links = std::make_unique<SetupItemLinkList>();
    for (auto& link : links) {
        AddSetupItemLink(std::move(link));
    }
    for (auto& item : items) {
        if (item) {
            item->ClearLinks();
            AddSetupItem(std::move(item));
        }
    }
}

bool PrinterData::CheckDataValues(const ProtocolDataAvailable& /*toSave*/, std::string& message) const {
    for (const auto& item : m_items) {
        std::string itemMessage;
        if (!item->CheckFieldValueIsCorrect(itemMessage)) {
            message = "Error on field " + item->GetDescription() + ":\n" + itemMessage;
            return false;
        }
    }
    return true;
}

bool PrinterData::IsThisPrinterCompatible(const PrinterData* other) const {
    static constexpr const char* kWhere = "PrinterData::IsThisPrinterCompatible";
    const auto fail = [](const char* reason) {
        Log::WriteLog(kWhere, reason);
        return false;
    };
    if (other == nullptr) {
        return fail("No printer data");
    }
    if (m_gsi != other->m_gsi) {
        return fail("GSI Different");
    }
    const uint64_t version = m_protocolVersion ? m_protocolVersion->Version : 0;
    const uint64_t otherVersion = other->m_protocolVersion ? other->m_protocolVersion->Version : 0;
    if (version != otherVersion) {
        return fail("Protocol Version Different");
    }
    static const std::vector<uint64_t> kNoIds;
    const std::vector<uint64_t>& ids = m_idList ? m_idList->GetIDs() : kNoIds;
    const std::vector<uint64_t>& otherIds = other->m_idList ? other->m_idList->GetIDs() : kNoIds;
    if (ids.size() != otherIds.size()) {
        return fail("ID Differents (number)");
    }
    for (const uint64_t id : ids) {
        if (std::find(otherIds.begin(), otherIds.end(), id) == otherIds.end()) {
            return fail("ID Differents (values)");
        }
    }
    for (const auto& item : m_items) {
        const bool matched = std::any_of(other->m_items.begin(), other->m_items.end(),
                                         [&](const auto& theirs) { return item->Equals(*theirs); });
        if (!matched) {
            return fail("Items Differents");
        }
    }
    Log::WriteLog(kWhere, "Printer Compatible");
    return true;
}
