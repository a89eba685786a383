// Setup header, id list, links and the link evaluation rule.
#include "model/SetupItemLinks.h"

#include "model/ArchiveKeys.h"
#include "model/SetupItemType.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"

#include <algorithm>

void SetupItemHeader::AddTextLine(std::string_view line) {
    m_lines.push_back(CutText(line));
}

void SetupItemHeader::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/) const {
    writer.addObjectElement("SetupItemHeader_ListHeaderTextLines", ArchiveType::TextList, m_lines);
}

std::unique_ptr<SetupItemHeader> SetupItemHeader::Serialize_Load(const TCFXDataReader& reader,
                                                                 const std::string& /*version*/) {
    auto header = std::make_unique<SetupItemHeader>();
    for (const std::string& line : reader.getStringListValue("SetupItemHeader_ListHeaderTextLines")) {
        header->AddTextLine(line);
    }
    return header;
}

void SetupItemIDList::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/) const {
    writer.addObjectElement("SetupItemIDList_ListId", ArchiveType::UInt64List, m_ids);
}

// Read with the full unsigned range: an id above 2^31 read as a signed 32-bit number would no longer
// match its item.
std::unique_ptr<SetupItemIDList> SetupItemIDList::Serialize_Load(const TCFXDataReader& reader,
                                                                 const std::string& /*version*/) {
    auto list = std::make_unique<SetupItemIDList>();
    list->m_ids = reader.getUInt64ListValue("SetupItemIDList_ListId");
    return list;
}

LinkViewState LinkViewStateOf(int32_t operation) {
    switch (operation) {
    case LINK_VIEW_HIDE:
        return {false, true};
    case LINK_VIEW_DISABLE:
        return {true, false};
    default:
        return {true, true};
    }
}

void SetupItemLink::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/, int index) const {
    writer.addBaseElement(IndexedKey("SetupItemLink_IdDst_Id", index).c_str(), ArchiveType::UInt64,
                          static_cast<unsigned long>(m_idDst));
    writer.addBaseElement(IndexedKey("SetupItemLink_IdSrc_Id", index).c_str(), ArchiveType::UInt64,
                          static_cast<unsigned long>(m_idSrc));
    writer.addBaseElement(IndexedKey("SetupItemLink_ViewFoundOp_Id", index).c_str(),
                          ArchiveType::ViewOperation, m_viewFoundOp);
    writer.addBaseElement(IndexedKey("SetupItemLink_ViewFailOp_Id", index).c_str(),
                          ArchiveType::ViewOperation, m_viewFailOp);
    writer.addBaseElement(IndexedKey("SetupItemLink_ValueToCheck_Id", index).c_str(), ArchiveType::Int,
                          m_valueToCheck);
}

std::unique_ptr<SetupItemLink> SetupItemLink::Serialize_Load(const TCFXDataReader& reader,
                                                             const std::string& /*version*/, int index) {
    auto link = std::make_unique<SetupItemLink>();
    link->m_idDst = reader.getBaseValueAsUInt(IndexedKey("SetupItemLink_IdDst_Id", index).c_str());
    link->m_idSrc = reader.getBaseValueAsUInt(IndexedKey("SetupItemLink_IdSrc_Id", index).c_str());
    link->m_viewFoundOp = reader.getBaseValueAsInt(IndexedKey("SetupItemLink_ViewFoundOp_Id", index).c_str());
    link->m_viewFailOp = reader.getBaseValueAsInt(IndexedKey("SetupItemLink_ViewFailOp_Id", index).c_str());
    link->m_valueToCheck =
        reader.getBaseValueAsInt(IndexedKey("SetupItemLink_ValueToCheck_Id", index).c_str());
    return link;
}

void SetupItemLinkList::AddLink(std::unique_ptr<SetupItemLink> link) {
    if (link) {
        m_links.push_back(std::move(link));
    }
}

std::vector<LinkAction> EvaluateLinks(const SetupItemLinkList& links, const SetupItemType& source,
                                      int32_t value) {
    std::vector<LinkAction> actions;
    if (source.GetType() != PROT_TYPE_LIST) {
        return actions;
    }
    std::vector<uint64_t> matched;
    std::vector<const SetupItemLink*> failed;
    for (const auto& link : links.GetLinks()) {
        if (link->GetIdSrc() != source.GetId()) {
            continue;
        }
        if (link->GetValueToCheck() == value) {
            actions.push_back({link->GetIdDst(), link->GetViewFoundOp()});
            matched.push_back(link->GetIdDst());
        } else {
            failed.push_back(link.get());
        }
    }
    for (const SetupItemLink* link : failed) {
        if (std::find(matched.begin(), matched.end(), link->GetIdDst()) == matched.end()) {
            actions.push_back({link->GetIdDst(), link->GetViewFailOp()});
        }
    }
    return actions;
}
