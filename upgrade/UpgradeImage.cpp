#include "upgrade/UpgradeImage.h"

#include "firmware/PSWFile.h"

std::vector<const uint8_t*> FirmwareImage::Banks(int first, int count) const {
    std::vector<const uint8_t*> banks;
    for (int i = first; i < first + count; ++i)
        banks.push_back(Bank(i));
    return banks;
}

std::string PackageReleaseText(const std::string& stored) {
    if (stored.empty())
        return {};
    return stored.substr(0, 1) + "." + stored.substr(1);
}

bool TakeFirmwareImage(const PSWFile& psw, FirmwareImage& image, std::string& refusal) {
    image = FirmwareImage{};
    if (const PSWHeaderPrinter* printer = psw.GetHeaderPrinter())
        image.packageRelease = PackageReleaseText(printer->strReleasePSW);
    if (psw.GetPswType() == 1) {
        const PSWHeaderModule* software = psw.GetHeaderModuleSoftware();
        if (software == nullptr) {
            refusal = "Package without a firmware module: upgrade refused, nothing sent";
            return false;
        }
        image.data = software->GetData().data();
        image.length = software->GetDataLength();
        image.bankCount = software->iNumBank;
        image.bankSize = software->uiBankDim;
        return true;
    }
    const PSWHeaderBin* bin = psw.GetHeaderBin();
    if (bin == nullptr) {
        refusal = "Package without firmware data: upgrade refused, nothing sent";
        return false;
    }
    image.data = bin->GetData().data();
    image.length = bin->GetDataLength();
    image.bankCount = bin->iNumBanks;
    image.bankSize = bin->uiBinSize;
    return true;
}
