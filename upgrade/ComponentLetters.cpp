#include "upgrade/ComponentLetters.h"

#include "firmware/PSWFile.h"
#include "firmware/PSWHeaders.h"

namespace component_letters {

namespace {

struct LetterChoice {
    char letter;
    int after;
    int before;
};
// In the order the chosen list is built; the firmware has one code only.
constexpr LetterChoice kLetterChoices[] = {
    {'S', PSW_COMPONENT_SOFTWARE, PSW_COMPONENT_SOFTWARE},
    {'F', PSW_COMPONENT_FONTS_AFTER, PSW_COMPONENT_FONTS_BEFORE},
    {'L', PSW_COMPONENT_LOGOS_AFTER, PSW_COMPONENT_LOGOS_BEFORE},
    {'D', PSW_COMPONENT_FLASHDISK_AFTER, PSW_COMPONENT_FLASHDISK_BEFORE},
    {'O', PSW_COMPONENT_OTHER_AFTER, PSW_COMPONENT_OTHER_BEFORE},
};

bool DemandsFullUpgrade(const PSWFile& package) {
    for (PSWHeader* header : package.GetHeaders(HTYPE_UPGRADE))
        if (static_cast<PSWHeaderUpgrade*>(header)->bMustUpdateWhole)
            return true;
    return false;
}

} // namespace

bool NamesAChoice(const std::string& letters) {
    return !letters.empty() && letters.find('A') == std::string::npos;
}

Refusal Choose(const PSWFile& package, const std::string& letters, PSWComponents& chosen) {
    if (DemandsFullUpgrade(package))
        return Refusal::WholeUpgradeDemanded;
    const PSWComponents& offered = package.GetComponents();
    chosen.ResetList();
    for (const LetterChoice& choice : kLetterChoices) {
        if (letters.find(choice.letter) == std::string::npos)
            continue;
        if (offered.HasComponent(choice.after))
            chosen.Add(choice.after);
        else if (offered.HasComponent(choice.before))
            chosen.Add(choice.before);
    }
    return chosen.Size() == 0 ? Refusal::NothingChosen : Refusal::None;
}

} // namespace component_letters
