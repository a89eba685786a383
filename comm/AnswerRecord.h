// The record that the answer parser builds from one positive answer: its OBJTYPE code and the owned
// record of the class that code names. An empty record (OBJTYPE_NONE, no value) is a refusal.
#pragma once

#include "model/InfoRecords.h"
#include "model/ProtocolDataAvailable.h"
#include "model/SetupItemLinks.h"
#include "model/SetupItemType.h"
#include "model/StatusRecords.h"
#include "model/ToolsData.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <variant>
#include <vector>

enum OBJTYPE : uint32_t {
    OBJTYPE_NONE = 0,
    OBJTYPE_LINE_TABLE = 0, // "<C81>": told apart from a refusal by the record it holds
    OBJTYPE_PROTOCOL_VERSION = 1,
    OBJTYPE_SETUP_HEADER = 2,
    OBJTYPE_SETUP_ID_LIST = 3,
    OBJTYPE_PRN_LIFE_INFO = 5,
    OBJTYPE_PRN_DEVICE_INFO = 6,
    OBJTYPE_PRN_HEAD_INFO = 7,
    OBJTYPE_PROTOCOL_DATA_AVAILABLE = 8,
    OBJTYPE_LOGOS_TYPE = 9,
    OBJTYPE_LOGOS_ID_LIST = 10,
    OBJTYPE_PRN_MODULE_LIST = 11,
    OBJTYPE_TOOLS_DATA = 12,
    OBJTYPE_FONT_MODULE = 13,
    OBJTYPE_UPGRADE_DATA_INFO = 14,
    OBJTYPE_STATUS_INFO_GEN = 15,
    OBJTYPE_STATUS_INFO_EXT = 16,
    OBJTYPE_STATUS_DATA = 17, // "<C138>" and the extended live status "<C139>"
    OBJTYPE_SETUP_ITEM_LIST = 18,
    OBJTYPE_SETUP_ITEM_NUMERIC = 19,
    OBJTYPE_SETUP_ITEM_DATETIME = 20,
    OBJTYPE_SETUP_ITEM_STRING = 21,
    OBJTYPE_SETUP_ITEM_CHECKBOX = 22,
    OBJTYPE_LOGO_ITEM = 23,
};

// "<C81>": a zero-filled buffer of 128 * n + 2 bytes, the count n as two digits, then one NUL-padded
// 128-byte slot per line.
struct LineTable {
    static constexpr size_t kSlotSize = 128;
    std::vector<char> Buffer;
};

// "<C96>": the raw bytes of a font module.
struct FontModuleData {
    std::vector<uint8_t> Bytes;
};

class AnswerRecord {
public:
    using Value =
        std::variant<std::monostate, std::unique_ptr<ProtocolVersion>, std::unique_ptr<SetupItemHeader>,
                     std::unique_ptr<SetupItemIDList>, std::unique_ptr<SetupItemType>,
                     std::unique_ptr<InfoItemPrnLifeInfo>, std::unique_ptr<InfoItemPrnDeviceInfo>,
                     std::unique_ptr<InfoItemPrnHeadInfo>, std::unique_ptr<ProtocolDataAvailable>,
                     std::unique_ptr<LogosType>, std::unique_ptr<LogosIDList>, std::unique_ptr<LogoItem>,
                     std::unique_ptr<ModuleItemPrnModuleList>, std::unique_ptr<ToolsData>,
                     std::unique_ptr<FontModuleData>, std::unique_ptr<UpgradeDataInfo>,
                     std::unique_ptr<StatusInfoGenData>, std::unique_ptr<StatusInfoExtData>,
                     std::unique_ptr<StatusData>, std::unique_ptr<LineTable>>;

    AnswerRecord() = default;
    template <class T>
    AnswerRecord(OBJTYPE type, std::unique_ptr<T> record) : m_type(type), m_value(std::move(record)) {}

    OBJTYPE Type() const { return m_type; }
    bool Empty() const { return std::holds_alternative<std::monostate>(m_value); }
    explicit operator bool() const { return !Empty(); }

    // The record when it is of class T, else null; setup items are reached through Get<SetupItemType>().
    template <class T> T* Get() const {
        const auto* held = std::get_if<std::unique_ptr<T>>(&m_value);
        return held ? held->get() : nullptr;
    }
    // One of the five setup item kinds.
    template <class T> T* Item() const { return dynamic_cast<T*>(Get<SetupItemType>()); }
    // Hands the record over; the result is then empty.
    template <class T> std::unique_ptr<T> Take() {
        auto* held = std::get_if<std::unique_ptr<T>>(&m_value);
        if (held == nullptr)
            return nullptr;
        std::unique_ptr<T> record = std::move(*held);
        m_value = std::monostate{};
        m_type = OBJTYPE_NONE;
        return record;
    }

    // The links of a setup item; the item refers to them, so they must outlive its use (move them into
    // the printer's link list).
    const std::vector<std::unique_ptr<SetupItemLink>>& Links() const { return m_links; }
    std::vector<std::unique_ptr<SetupItemLink>> TakeLinks() { return std::move(m_links); }
    void SetLinks(std::vector<std::unique_ptr<SetupItemLink>> links) { m_links = std::move(links); }

private:
    OBJTYPE m_type = OBJTYPE_NONE;
    Value m_value;
    std::vector<std::unique_ptr<SetupItemLink>> m_links;
};
