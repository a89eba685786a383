// The human-readable summary of a loaded package, shown before an upgrade.
#include "firmware/ModuleData.h"
#include "firmware/PSWFile.h"

#include <cstdarg>
#include <cstdio>

namespace {

// Each line is formatted in a work buffer of this size; longer text is cut.
constexpr size_t kLineBufferSize = 8192;

void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendFormat(std::string& out, const char* format, ...) {
    char line[kLineBufferSize];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    out += line;
}

const std::string kStarLine = std::string(48, '*') + "\n";
const std::string kDashLine = std::string(48, '-') + "\n";

template <typename Header> std::vector<Header*> Typed(const std::vector<PSWHeader*>& headers) {
    std::vector<Header*> typed;
    for (PSWHeader* header : headers)
        typed.push_back(static_cast<Header*>(header));
    return typed;
}

} // namespace

std::string PSWFile::GetFileInfo(bool withSignature) const {
    std::string out = kStarLine + kStarLine;
    if (const PSWHeaderPrinter* printer = GetHeaderPrinter()) {
        const std::string& release = printer->strReleasePSW;
        if (release.size() > 2)
            AppendFormat(out, "Release PSW:    %c.%s\n", release[0], release.c_str() + 1);
        else
            AppendFormat(out, "Release PSW:    %s\n", release.c_str());
        AppendFormat(out, "Creation Date:  %s\n", printer->strCreationDate.c_str());
    }
    const auto upgrades = Typed<PSWHeaderUpgrade>(GetHeaders(HTYPE_UPGRADE));
    if (withSignature && upgrades.size() == 1) {
        AppendFormat(out, "PSW Sign Family:         %d\n", upgrades[0]->iIDFamily);
        AppendFormat(out, "PSW Sign Model:          %d\n", upgrades[0]->iIDModel);
        AppendFormat(out, "PSW Sign Customization:  %d\n", upgrades[0]->iIDCustomization);
    }
    out += kStarLine + kStarLine;

    const auto logos = Typed<PSWHeaderLogos>(GetHeaders(HTYPE_LOGOS));
    if (!logos.empty()) {
        AppendFormat(out, "Number of Logos:%d\n", logos[0]->iTotLogos);
        for (size_t i = 0; i < logos.size(); ++i) {
            out += "\n";
            AppendFormat(out, " LOGO %d/%zu\n", static_cast<int>(i + 1), logos.size());
            AppendFormat(out, " Size:          %dx%d\n", logos[i]->iDotSizeX, logos[i]->iDotSizeY);
        }
        out += kDashLine + "\n";
    }
    const auto fonts = Typed<PSWHeaderFonts>(GetHeaders(HTYPE_FONTS));
    if (!fonts.empty()) {
        AppendFormat(out, "Number of Fonts:%d\n", fonts[0]->iTotFonts);
        for (size_t i = 0; i < fonts.size(); ++i) {
            out += "\n";
            AppendFormat(out, " FONT %d/%zu\n", static_cast<int>(i + 1), fonts.size());
            AppendFormat(out, " Size:          %dx%d\n", fonts[i]->iFontSizeX, fonts[i]->iFontSizeY);
        }
        out += kDashLine + "\n";
    }
    const auto modules = GetModuleHeaders();
    if (!modules.empty()) {
        out += "Modules:\n";
        for (const PSWHeaderModule* module : modules) {
            ModuleData image;
            const auto& data = module->GetData();
            if (!image.LoadModuleFromMemory(data.data(), static_cast<int>(data.size())))
                continue;
            out += image.GetFileInfo() + kDashLine + "\n";
        }
    }
    return out;
}
