// PrinterData in the configuration archive: the fixed key order of saving, the signature and version
// checks of loading, and the groups each side includes.
#include "base/DalvoraException.h"
#include "base/GenericFunctions.h"
#include "base/Log.h"
#include "model/ArchiveKeys.h"
#include "model/PrinterData.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Counts from the file are bounded by the elements it holds: each entry needs at least one.
int StoredCount(const TCFXDataReader& reader, const char* key) {
    const int stored = reader.getBaseValueAsInt(key);
    return static_cast<int>(
        std::min<size_t>(static_cast<size_t>(std::max(stored, 0)), reader.elementCount()));
}

[[noreturn]] void Refuse(const char* message) {
    Log::WriteLog("PrinterData::Serialize_Load", message);
    throw DalvoraException(PrinterData::kErrorBadArchive, message);
}

} // namespace

bool PrinterData::Saves(uint64_t group, TabStatus::Group tab) const {
    return m_dataAvailable && m_dataAvailable->ToSave(group) &&
           !(m_tabStatus && m_tabStatus->IsDisabled(tab));
}

bool PrinterData::LoadedHas(uint64_t group, TabStatus::Group tab) const {
    return m_dataAvailable && m_dataAvailable->Has(group) && !(m_tabStatus && m_tabStatus->IsDisabled(tab));
}

bool PrinterData::Serialize_Save(TCFXDataWriter& writer) const {
    const std::string version = kFileVersion;
    writer.addBaseElement("FILE_SIGN", ArchiveType::Text, kFileSign);
    writer.addBaseElement("FILE_VER", ArchiveType::Text, version);
    writer.addBaseElement("GSI", ArchiveType::UInt64, static_cast<unsigned long>(m_gsi.value_or(0)));
    writer.addBaseElement("FWRel", ArchiveType::Text, m_fwRel.value_or(std::string()));
    (m_protocolVersion ? *m_protocolVersion : ProtocolVersion{}).Serialize_Save(writer, version);
    (m_dataAvailable ? *m_dataAvailable : ProtocolDataAvailable{}).Serialize_Save(writer, version);
    if (Saves(ProtocolDataAvailable::kSetup, TabStatus::PrinterSetup)) {
        SaveSetup(writer);
    }
    if (Saves(ProtocolDataAvailable::kTools, TabStatus::PrinterTools)) {
        m_tools.Serialize_Save(writer, version);
    }
    if (Saves(ProtocolDataAvailable::kStatusPrinter, TabStatus::PrinterStatus)) {
        if (m_statusGeneral) {
            m_statusGeneral->Serialize_Save(writer, version);
        }
        if (m_statusExtended) {
            m_statusExtended->Serialize_Save(writer, version);
        }
    }
    writer.addBaseElement("FILE_SIGN_END", ArchiveType::Text, kFileSignEnd);
    return !writer.hasFailed();
}

// Absent records are written empty, so that the archive always has the same shape.
void PrinterData::SaveSetup(TCFXDataWriter& writer) const {
    const std::string version = kFileVersion;
    (m_header ? *m_header : SetupItemHeader{}).Serialize_Save(writer, version);
    (m_deviceInfo ? *m_deviceInfo : InfoItemPrnDeviceInfo{}).Serialize_Save(writer, version);
    (m_headInfo ? *m_headInfo : InfoItemPrnHeadInfo{}).Serialize_Save(writer, version);
    (m_lifeInfo ? *m_lifeInfo : InfoItemPrnLifeInfo{}).Serialize_Save(writer, version);
    (m_idList ? *m_idList : SetupItemIDList{}).Serialize_Save(writer, version);
    const size_t links = m_links ? m_links->Size() : 0;
    writer.addBaseElement("SetupLinkItems_SIZE", ArchiveType::Int, static_cast<int>(links));
    for (size_t i = 0; i < links; ++i) {
        m_links->GetLinks()[i]->Serialize_Save(writer, version, static_cast<int>(i));
    }
    writer.addBaseElement("SetupItemType_SIZE", ArchiveType::Int, static_cast<int>(m_items.size()));
    for (size_t i = 0; i < m_items.size(); ++i) {
        const int index = static_cast<int>(i);
        writer.addBaseElement(IndexedKey("SetupItemType_TYPE", index).c_str(), ArchiveType::Kind,
                              static_cast<int>(m_items[i]->GetType()));
        m_items[i]->Serialize_Save(writer, version, index);
    }
}

void PrinterData::Serialize_Load(const TCFXDataReader& reader) {
    if (reader.getBaseValueAsHexString("FILE_SIGN") != kFileSign) {
        Refuse("File Sign not ok");
    }
    const std::string version = reader.getBaseValueAsHexString("FILE_VER");
    // Compared as the numbers they are: "1.1" is a later version than "1.09".
    // Read in the "C" locale: the window's locale may have a decimal comma, which would make 1.09 read as 1.
    if (!(GenericFunctions::StrtofC(version.c_str(), nullptr) >=
          GenericFunctions::StrtofC(kFileVersion, nullptr))) { // NaN too
        Refuse("File Version not Supported");
    }
    Log::WriteLogP("PrinterData::Serialize_Load", "%s File Load", version.c_str());
    PrinterData loaded;
    loaded.LoadFrom(reader, version);
    *this = std::move(loaded);
}

void PrinterData::LoadFrom(const TCFXDataReader& reader, const std::string& version) {
    DeInit();
    bool found = false;
    const unsigned long gsi = reader.getBaseValueAsUInt("GSI", &found);
    if (found) {
        m_gsi = gsi;
    }
    std::string release = reader.getBaseValueAsHexString("FWRel", &found);
    if (found) {
        SetFWRel(release);
    }
    m_protocolVersion = ProtocolVersion::Serialize_Load(reader, version);
    m_dataAvailable = ProtocolDataAvailable::Serialize_Load(reader, version);
    m_tabStatus = TabStatus::Serialize_Load(reader, version);
    if (LoadedHas(ProtocolDataAvailable::kSetup, TabStatus::PrinterSetup)) {
        LoadSetup(reader, version);
    }
    if (LoadedHas(ProtocolDataAvailable::kTools, TabStatus::PrinterTools)) {
        m_tools = ToolsData::Serialize_Load(reader, version);
    }
    if (LoadedHas(ProtocolDataAvailable::kStatusPrinter, TabStatus::PrinterStatus)) {
        m_statusGeneral = StatusInfoGenData::Serialize_Load(reader, version);
        m_statusExtended = StatusInfoExtData::Serialize_Load(reader, version);
    }
    if (reader.getBaseValueAsHexString("FILE_SIGN_END") != kFileSignEnd) {
        Log::WriteLog("PrinterData::Serialize_Load", "File end sign missing");
    }
}

void PrinterData::LoadSetup(const TCFXDataReader& reader, const std::string& version) {
    m_header = SetupItemHeader::Serialize_Load(reader, version);
    m_deviceInfo = InfoItemPrnDeviceInfo::Serialize_Load(reader, version);
    m_headInfo = InfoItemPrnHeadInfo::Serialize_Load(reader, version);
    m_lifeInfo = InfoItemPrnLifeInfo::Serialize_Load(reader, version);
    m_idList = SetupItemIDList::Serialize_Load(reader, version);
    m_links = std::make_unique<SetupItemLinkList>();
    const int links = StoredCount(reader, "SetupLinkItems_SIZE");
    for (int i = 0; i < links; ++i) {
        AddSetupItemLink(SetupItemLink::Serialize_Load(reader, version, i));
    }
    const int items = StoredCount(reader, "SetupItemType_SIZE");
    for (int i = 0; i < items; ++i) {
        const int kind = reader.getBaseValueAsInt(IndexedKey("SetupItemType_TYPE", i).c_str());
        std::unique_ptr<SetupItemType> item = SetupItemType::Serialize_Load(reader, version, i, kind);
        if (!item) {
            Log::WriteLogP("PrinterData::Serialize_Load", "Item %d of unknown kind %d skipped", i, kind);
            continue;
        }
        AddSetupItem(std::move(item));
    }
}

bool LoadArchiveFile(const std::string& path, PrinterData& data) {
    TCFXDataReader reader;
    data.Reset();
    try {
        if (!reader.openDocumentFromFile(path))
            return false;
        data.Serialize_Load(reader);
    } catch (const DalvoraException&) {
        return false;
    }
    return true;
}
