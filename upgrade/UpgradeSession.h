// The two session operations that start a firmware upgrade or a module transfer. They check over the
// normal protocol that the printer offers the operation and that the package fits it, then hand over
// to the upgrade driver. Unlike the other printer operations they report failure through the last
// error and a false result, and the port is closed on every path.
#pragma once

#include "comm/PrinterComm.h"

#include <memory>

class CommLayer;
class ModuleData;
class PSWComponents;
class PSWFile;
class PSWHeaderUpgrade;
class ProtocolDataAvailable;
class UpgradeDataInfo;

class UpgradeSession : public PrinterComm {
public:
    static constexpr DalvoraError kErrorModulesNotOffered = 15;
    static constexpr DalvoraError kErrorPackageNotForThisSystem = 23;
    static constexpr DalvoraError kErrorUpgradeNotOffered = 24;

    // componentMask: what an upgrade may send (255 all; bit 0 firmware, bits 2 and 4 modules);
    // timeMultiplier: scales the upgrade's waits (1 in the window).
    UpgradeSession(int componentMask, int timeMultiplier) : PrinterComm(componentMask, timeMultiplier) {}

    // components may be null: the package's own list is used. askConfirmation: ask before installing a
    // release identical to or older than the printer's.
    [[nodiscard]] bool PrnCom_UpgradePrinter(CommLayer* layer, PSWFile* package, CommPortSettings* settings,
                                             PSWComponents* components, bool askConfirmation);
    [[nodiscard]] bool PrnCom_WriteModule(CommLayer* layer, ModuleData* module, CommPortSettings* settings,
                                          void* progress);

    // The checks an upgrade or a module transfer makes before anything is sent (the printer offers it;
    // the package fits and its upgrade procedure is known), with nothing sent: false with the last
    // error the real operation would have refused with. The port is closed either way.
    [[nodiscard]] bool PrnCom_CheckPackage(CommLayer* layer, PSWFile* package, CommPortSettings* settings);
    [[nodiscard]] bool PrnCom_CheckModule(CommLayer* layer, CommPortSettings* settings);

    // Whether a package fits the printer: 0 or 9 (after its log line), and whether to ask about the
    // release (ORLO customization changes never ask).
    struct PackageFit {
        DalvoraError error = 0;
        bool askConfirmation = false;
    };
    [[nodiscard]] static PackageFit CheckPackageFit(const UpgradeDataInfo& printer,
                                                    const PSWHeaderUpgrade& package, bool askConfirmation);

private:
    // Open, protocol version and capabilities; false after the failure's last error and close.
    [[nodiscard]] bool CommonStart(const char* where, CommLayer& layer, CommPortSettings& settings,
                                   std::unique_ptr<ProtocolDataAvailable>& capabilities);
    // Start, capabilities, the printer's upgrade information and the fit; false after the refusal.
    [[nodiscard]] bool CheckFitWithLayerOpen(const char* where, CommLayer& layer, PSWFile& package,
                                             CommPortSettings& settings, bool askConfirmation,
                                             std::unique_ptr<UpgradeDataInfo>& info, PackageFit& fit);
    [[nodiscard]] bool UpgradeWithLayerOpen(CommLayer& layer, PSWFile& package, CommPortSettings& settings,
                                            PSWComponents& components, bool askConfirmation);
    [[nodiscard]] bool WriteModuleWithLayerOpen(CommLayer& layer, ModuleData& module, void* progress);
    // Logs the text, closes the port, sets the last error; false.
    bool Refuse(const char* where, const char* text, DalvoraError code, CommLayer& layer);
};
