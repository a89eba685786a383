// Everything one reading of one printer (or one archive) produced: identity, protocol version,
// capabilities, setup items with header, id list and links, information pages, logos, tools and status
// descriptions. The unit that is read, edited, compared with a printer and archived. Owns all records.
#pragma once

#include "model/InfoRecords.h"
#include "model/ProtocolDataAvailable.h"
#include "model/SetupItemLinks.h"
#include "model/SetupItemType.h"
#include "model/StatusRecords.h"
#include "model/ToolsData.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TCFXDataReader;
class TCFXDataWriter;

class PrinterData {
public:
    static constexpr const char* kFileSign = "VM_PRINTSETUP_FILEARCHIVE";
    static constexpr const char* kFileSignEnd = "VM_PRINTSETUP_FILEARCHIVE_END";
    static constexpr const char* kFileVersion = "1.09";
    static constexpr int kErrorBadArchive = 5;

    PrinterData();
    ~PrinterData();
    PrinterData(PrinterData&&) noexcept;
    PrinterData& operator=(PrinterData&&) noexcept;
    PrinterData(const PrinterData&) = delete;
    PrinterData& operator=(const PrinterData&) = delete;

    // A default TabStatus and an empty capability record.
    void Init();
    // Releases every record; all optional records become absent and the item list empty.
    void DeInit();
    void Reset();
    // No capability record, or it offers nothing.
    bool isEmpty() const;

    // Runs each item's own value check; the first failure gives false and the message
    // "Error on field <description>:\n<item message>". The capability argument is not consulted.
    [[nodiscard]] bool CheckDataValues(const ProtocolDataAvailable& toSave, std::string& message) const;
    // `this` is a stored setup, `other` the printer's: same GSI, protocol version, id set and items of
    // the same ids and kinds. Logs the reason.
    [[nodiscard]] bool IsThisPrinterCompatible(const PrinterData* other) const;

    // False when the writer could not take every value (the document must then not be saved).
    [[nodiscard]] bool Serialize_Save(TCFXDataWriter& writer) const;
    // Replaces the contents with the archive's. Throws DalvoraException 5 ("File Sign not ok", "File
    // Version not Supported") and leaves the data as it was when the archive is not one it can read.
    void Serialize_Load(const TCFXDataReader& reader);

    // Identity; absent until the handshake (or the archive) provided it.
    std::optional<uint64_t> GetGSI() const { return m_gsi; }
    void SetGSI(uint64_t gsi) { m_gsi = gsi; }
    const std::optional<std::string>& GetFWRel() const { return m_fwRel; }
    void SetFWRel(std::string_view release);

    // Records; null while absent. Setters take ownership.
    const ProtocolVersion* GetProtocolVersion() const { return m_protocolVersion.get(); }
    void SetProtocolVersion(std::unique_ptr<ProtocolVersion> v) { m_protocolVersion = std::move(v); }
    ProtocolDataAvailable* GetProtocolDataAvailable() const { return m_dataAvailable.get(); }
    void SetProtocolDataAvailable(std::unique_ptr<ProtocolDataAvailable> d) {
        m_dataAvailable = std::move(d);
    }
    const SetupItemIDList* GetSetupItemIDList() const { return m_idList.get(); }
    void SetSetupItemIDList(std::unique_ptr<SetupItemIDList> l) { m_idList = std::move(l); }
    const SetupItemHeader* GetSetupItemHeader() const { return m_header.get(); }
    void SetSetupItemHeader(std::unique_ptr<SetupItemHeader> h) { m_header = std::move(h); }
    const InfoItemPrnDeviceInfo* GetDeviceInfo() const { return m_deviceInfo.get(); }
    void SetDeviceInfo(std::unique_ptr<InfoItemPrnDeviceInfo> i) { m_deviceInfo = std::move(i); }
    const InfoItemPrnHeadInfo* GetHeadInfo() const { return m_headInfo.get(); }
    void SetHeadInfo(std::unique_ptr<InfoItemPrnHeadInfo> i) { m_headInfo = std::move(i); }
    const InfoItemPrnLifeInfo* GetLifeInfo() const { return m_lifeInfo.get(); }
    void SetLifeInfo(std::unique_ptr<InfoItemPrnLifeInfo> i) { m_lifeInfo = std::move(i); }
    const StatusInfoGenData* GetStatusInfoGenData() const { return m_statusGeneral.get(); }
    void SetStatusInfoGenData(std::unique_ptr<StatusInfoGenData> s) { m_statusGeneral = std::move(s); }
    const StatusInfoExtData* GetStatusInfoExtData() const { return m_statusExtended.get(); }
    void SetStatusInfoExtData(std::unique_ptr<StatusInfoExtData> s) { m_statusExtended = std::move(s); }
    TabStatus* GetTabStatus() const { return m_tabStatus.get(); }
    void SetTabStatus(std::unique_ptr<TabStatus> t) { m_tabStatus = std::move(t); }

    // Held by value.
    LogosIDList& GetLogosIDList() { return m_logosIdList; }
    LogoItem& GetLogoItem() { return m_logoItem; }
    LogosType& GetLogosType() { return m_logosType; }
    ToolsData& GetToolsData() { return m_tools; }
    const ToolsData& GetToolsData() const { return m_tools; }

    // Setup items in the printer's order. Adding an item attaches the links already known for it.
    const std::vector<std::unique_ptr<SetupItemType>>& GetSetupItems() const { return m_items; }
    uint32_t GetNumSetupItems() const { return static_cast<uint32_t>(m_items.size()); }
    SetupItemType* FindSetupItem(uint64_t id) const;
    void AddSetupItem(std::unique_ptr<SetupItemType> item);
    // Appends to the link list (created when absent) and attaches the link to its destination item.
    void AddSetupItemLink(std::unique_ptr<SetupItemLink> link);
    const SetupItemLinkList* GetSetupItemLinkList() const { return m_links.get(); }
    // Replaces the items and the link list (empty, not absent, without links); each item gets the
    // links whose destination it is, in list order.
    void ReplaceSetup(std::vector<std::unique_ptr<SetupItemType>> items,
                      std::vector<std::unique_ptr<SetupItemLink>> links);

private:
    void SaveSetup(TCFXDataWriter& writer) const;
    void LoadSetup(const TCFXDataReader& reader, const std::string& version);
    void LoadFrom(const TCFXDataReader& reader, const std::string& version);
    bool Saves(uint64_t group, TabStatus::Group tab) const;
    bool LoadedHas(uint64_t group, TabStatus::Group tab) const;

    std::optional<uint64_t> m_gsi;
    std::optional<std::string> m_fwRel;
    std::unique_ptr<ProtocolVersion> m_protocolVersion;
    std::unique_ptr<ProtocolDataAvailable> m_dataAvailable;
    std::unique_ptr<SetupItemIDList> m_idList;
    std::unique_ptr<SetupItemHeader> m_header;
    std::vector<std::unique_ptr<SetupItemType>> m_items;
    std::unique_ptr<SetupItemLinkList> m_links;
    std::unique_ptr<InfoItemPrnDeviceInfo> m_deviceInfo;
    std::unique_ptr<InfoItemPrnHeadInfo> m_headInfo;
    std::unique_ptr<InfoItemPrnLifeInfo> m_lifeInfo;
    LogosIDList m_logosIdList;
    LogoItem m_logoItem;
    LogosType m_logosType;
    ToolsData m_tools;
    std::unique_ptr<StatusInfoGenData> m_statusGeneral;
    std::unique_ptr<StatusInfoExtData> m_statusExtended;
    std::unique_ptr<TabStatus> m_tabStatus;
};

// A configuration archive file into a fresh PrinterData: false when the file is missing or not an
// archive of ours.
[[nodiscard]] bool LoadArchiveFile(const std::string& path, PrinterData& data);
