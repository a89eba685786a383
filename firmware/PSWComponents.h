// The selectable parts of a firmware package: the firmware and its modules, each module marked as
// sent before or after the firmware. Built by the package reader, edited by the user's selection and
// filtered in place by the upgrade modes.
#pragma once

#include <cstddef>
#include <vector>

enum PSWCOMPONENTS : int {
    PSW_COMPONENT_SOFTWARE = 0,
    PSW_COMPONENT_FONTS_BEFORE = 0x2002,
    PSW_COMPONENT_FONTS_AFTER = 0x3002,
    PSW_COMPONENT_FLASHDISK_BEFORE = 0x2004,
    PSW_COMPONENT_FLASHDISK_AFTER = 0x3004,
    PSW_COMPONENT_LOGOS_BEFORE = 0x2008,
    PSW_COMPONENT_LOGOS_AFTER = 0x3008,
    PSW_COMPONENT_OTHER_BEFORE = 0x2010,
    PSW_COMPONENT_OTHER_AFTER = 0x3010,
};

class PSWComponents {
public:
    static constexpr int kModuleBit = 0x2000;
    static constexpr int kAfterBit = 0x1000;

    void Add(int value) { m_list.push_back(value); }
    void ResetList() { m_list.clear(); }
    [[nodiscard]] int Size() const { return static_cast<int>(m_list.size()); }
    // 0 when i is out of range.
    [[nodiscard]] int Get(int i) const;

    [[nodiscard]] bool IsModule(int i) const;
    [[nodiscard]] bool IsModuleBefore(int i) const;
    [[nodiscard]] bool IsModuleAfter(int i) const;

    [[nodiscard]] bool HasComponent(int value) const;
    // First position of value; 0 when absent, like a value found at position 0.
    [[nodiscard]] int GetComponentIndex(int value) const;
    void ChangeFirstModuleFind(int from, int to);

    [[nodiscard]] bool HasModuleToChoose() const;
    [[nodiscard]] bool HasBeginModules() const;
    [[nodiscard]] bool HasAfterModules() const;

    void ConvertModulesBeforeToAfter();
    void ConvertModulesAfterToBefore();
    // Fonts, flash disk and logos only; firmware and other modules are dropped.
    void KeepOnlyMainModules();
    // Everything but fonts, flash disk and logos (so the firmware entry stays).
    void KeepOnlyOtherModules();

    // "PSWComponents list Len %d \n" and "[%d] : 0x%x \n" per entry, on standard output.
    void DumpWholeList() const;

    [[nodiscard]] const std::vector<int>& Values() const { return m_list; }
    friend bool operator==(const PSWComponents&, const PSWComponents&) = default;

private:
    std::vector<int> m_list;
};
