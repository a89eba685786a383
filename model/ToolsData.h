// The service tools: the masks of tools a printer supports, and the program's fixed table of the seven
// tools with their group, bit, name and completion time-out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TCFXDataReader;
class TCFXDataWriter;

struct ToolTag {
    uint32_t ToolNum = 0;  // tool group
    uint32_t ToolMask = 0; // the tool's single bit
    std::string Name;
    uint32_t Timeout = 0; // milliseconds the session waits for completion
};

// The table, in its fixed order; built once, shared by the whole process.
const std::vector<ToolTag>& ToolsVector();

class ToolsData {
public:
    static constexpr uint32_t kDefaultTimeout = 1000;

    uint32_t GetTools1() const { return m_tools1; }
    void SetTools1(uint32_t mask) { m_tools1 = mask; }
    uint32_t GetTools2() const { return m_tools2; }
    void SetTools2(uint32_t mask) { m_tools2 = mask; }

    // 1 << (id - 1); 0 for an id outside 1..32, which has no bit.
    static uint32_t FromIntToToolMask(int id);
    bool IsRequestedToolSupported(unsigned toolNum, unsigned mask) const;
    // Only group 1 with a single bit among the seven tools.
    static bool ValidTool(int toolNum, int mask);
    // The table's time-out for the tool, kDefaultTimeout when the table has no such tool.
    static uint32_t GetToolTimeout(int toolNum, int id);
    // "%02d" entry count, then each "%d-%d\t%s" (group, id, name) in its 64-byte slot, NUL-padded; the
    // first slot starts right after the count.
    static std::string ToolMaskDescription();
    // The help text listing the tool couples, as PrintToolsDescription prints it.
    static std::string ToolsDescriptionText();
    static void PrintToolsDescription();

    void Serialize_Save(TCFXDataWriter& writer, const std::string& version) const;
    static ToolsData Serialize_Load(const TCFXDataReader& reader, const std::string& version);

private:
    uint32_t m_tools1 = 0;
    uint32_t m_tools2 = 0;
};
