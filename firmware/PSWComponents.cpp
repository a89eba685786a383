#include "firmware/PSWComponents.h"

#include <algorithm>
#include <cstdio>

namespace {

bool IsModuleValue(int v) {
    return (v & PSWComponents::kModuleBit) != 0;
}

bool IsMainModuleValue(int v) {
    const int kind = v & 0xFF;
    return IsModuleValue(v) && (kind == 0x02 || kind == 0x04 || kind == 0x08);
}

} // namespace

int PSWComponents::Get(int i) const {
    if (i < 0 || i >= Size())
        return 0;
    return m_list[static_cast<size_t>(i)];
}

bool PSWComponents::IsModule(int i) const {
    return IsModuleValue(Get(i));
}

bool PSWComponents::IsModuleBefore(int i) const {
    return (Get(i) & kAfterBit) == 0;
}

bool PSWComponents::IsModuleAfter(int i) const {
    return (Get(i) & kAfterBit) != 0;
}

bool PSWComponents::HasComponent(int value) const {
    return std::find(m_list.begin(), m_list.end(), value) != m_list.end();
}

int PSWComponents::GetComponentIndex(int value) const {
    auto it = std::find(m_list.begin(), m_list.end(), value);
    return it == m_list.end() ? 0 : static_cast<int>(it - m_list.begin());
}

void PSWComponents::ChangeFirstModuleFind(int from, int to) {
    auto it = std::find(m_list.begin(), m_list.end(), from);
    if (it != m_list.end())
        *it = to;
}

bool PSWComponents::HasModuleToChoose() const {
    return std::any_of(m_list.begin(), m_list.end(), IsModuleValue);
}

bool PSWComponents::HasBeginModules() const {
    return std::any_of(m_list.begin(), m_list.end(),
                       [](int v) { return (v & (kModuleBit | kAfterBit)) == kModuleBit; });
}

bool PSWComponents::HasAfterModules() const {
    return std::any_of(m_list.begin(), m_list.end(),
                       [](int v) { return (v & (kModuleBit | kAfterBit)) == (kModuleBit | kAfterBit); });
}

void PSWComponents::ConvertModulesBeforeToAfter() {
    for (int& v : m_list)
        if (IsModuleValue(v))
            v |= kAfterBit;
}

void PSWComponents::ConvertModulesAfterToBefore() {
    for (int& v : m_list)
        if (IsModuleValue(v))
            v &= ~kAfterBit;
}

void PSWComponents::KeepOnlyMainModules() {
    std::erase_if(m_list, [](int v) { return !IsMainModuleValue(v); });
}

void PSWComponents::KeepOnlyOtherModules() {
    std::erase_if(m_list, IsMainModuleValue);
}

void PSWComponents::DumpWholeList() const {
    printf("PSWComponents list Len %d \n", Size());
    for (int i = 0; i < Size(); ++i)
        printf("[%d] : 0x%x \n", i, Get(i));
    fflush(stdout);
}
