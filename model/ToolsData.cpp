// The service tool table and the printer's tool masks.
#include "model/ToolsData.h"

#include "model/ArchiveKeys.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr size_t kSlotSize = 64;

// The tool id is the 1-based position of the mask bit.
uint32_t IdOf(const ToolTag& tool) {
    uint32_t id = 1;
    for (uint32_t mask = tool.ToolMask; mask > 1; mask >>= 1) {
        ++id;
    }
    return id;
}

} // namespace

const std::vector<ToolTag>& ToolsVector() {
    static const std::vector<ToolTag> table = {
        {1, 0x01, "BLACKMARK AUTOSET", 20000}, {1, 0x02, "CHARACTERIZATION PAPER", 15000},
        {1, 0x04, "PRINT DEVICE SETUP", 5000}, {1, 0x08, "SET DATETIME", 5000},
        {1, 0x10, "HEAD TEST", 120000},        {1, 0x20, "UPLOAD SPTFILE", 5000},
        {1, 0x40, "FLASH RESET", 5000},
    };
    return table;
}

uint32_t ToolsData::FromIntToToolMask(int id) {
    return id >= 1 && id <= 32 ? 1u << (id - 1) : 0u;
}

bool ToolsData::IsRequestedToolSupported(unsigned toolNum, unsigned mask) const {
    switch (toolNum) {
    case 1:
        return (m_tools1 & mask) != 0;
    case 2:
        return (m_tools2 & mask) != 0;
    default:
        return false;
    }
}

bool ToolsData::ValidTool(int toolNum, int mask) {
    return toolNum == 1 &&
           (mask == 1 || mask == 2 || mask == 4 || mask == 8 || mask == 16 || mask == 32 || mask == 64);
}

uint32_t ToolsData::GetToolTimeout(int toolNum, int id) {
    const std::vector<ToolTag>& table = ToolsVector();
    const auto tool = std::find_if(table.begin(), table.end(), [&](const ToolTag& t) {
        return static_cast<int>(t.ToolNum) == toolNum && static_cast<int>(IdOf(t)) == id;
    });
    return tool == table.end() ? kDefaultTimeout : tool->Timeout;
}

std::string ToolsData::ToolMaskDescription() {
    const std::vector<ToolTag>& table = ToolsVector();
    std::string text(kSlotSize * table.size(), '\0');
    char count[8];
    std::snprintf(count, sizeof count, "%02d", static_cast<int>(table.size()));
    text.replace(0, 2, count, 2);
    for (size_t k = 0; k < table.size(); ++k) {
        const size_t start = k == 0 ? 2 : kSlotSize * k;
        char entry[kSlotSize];
        const int n = std::snprintf(entry, kSlotSize - (k == 0 ? 2 : 0), "%u-%u\t%s", table[k].ToolNum,
                                    IdOf(table[k]), table[k].Name.c_str());
        text.replace(start, static_cast<size_t>(std::max(0, n)), entry, static_cast<size_t>(std::max(0, n)));
    }
    return text;
}

std::string ToolsData::ToolsDescriptionText() {
    char line[256];
    std::snprintf(line, sizeof line, "%-7sPossible couple [toolnum]-[toolid]:\n", "");
    std::string text = line;
    for (const ToolTag& tool : ToolsVector()) {
        char entry[128];
        std::snprintf(entry, sizeof entry, "%u-%u\t%s", tool.ToolNum, IdOf(tool), tool.Name.c_str());
        std::snprintf(line, sizeof line, "%-7s%s\n", "", entry);
        text += line;
    }
    return text + "\n";
}

void ToolsData::PrintToolsDescription() {
    std::fputs(ToolsDescriptionText().c_str(), stdout);
}

void ToolsData::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/) const {
    writer.addBaseElement("ToolsData_Tools1", ArchiveType::ToolMask, m_tools1);
    writer.addBaseElement("ToolsData_Tools2", ArchiveType::ToolMask, m_tools2);
}

ToolsData ToolsData::Serialize_Load(const TCFXDataReader& reader, const std::string& /*version*/) {
    ToolsData tools;
    tools.m_tools1 = static_cast<uint32_t>(reader.getBaseValueAsUInt("ToolsData_Tools1"));
    tools.m_tools2 = static_cast<uint32_t>(reader.getBaseValueAsUInt("ToolsData_Tools2"));
    return tools;
}
