// The firmware and module session operations.
#include "upgrade/UpgradeSession.h"

#include "base/Log.h"
#include "comm/CommLayer.h"
#include "comm/Commands.h"
#include "comm/ProtocolFields.h"
#include "firmware/ModuleData.h"
#include "firmware/PSWFile.h"
#include "model/InfoRecords.h"
#include "model/ProtocolDataAvailable.h"
#include "upgrade/UpgradePrinter.h"

#include <optional>

namespace {

struct ReadAnswer {
    std::optional<std::vector<uint8_t>> bytes;
    ProtocolFields fields;
    DalvoraError refusal = 0;
};

// Writes the commands without throwing and collects one answer, untimed.
template <typename... Commands> ReadAnswer Exchange(CommLayer& layer, const Commands&... commands) {
    unsigned error = 0;
    (layer.Write(commands.data(), static_cast<unsigned>(commands.size()), &error), ...);
    ReadAnswer answer;
    answer.bytes = layer.ReadProtocolData();
    if (!answer.bytes)
        return answer;
    answer.fields.CreateFields(answer.bytes->data(), static_cast<int>(answer.bytes->size()));
    DalvoraError code = 0;
    if (answer.fields.CheckAnswer(&code))
        answer.refusal = code != 0 ? code : ProtocolFields::kMalformedAnswer;
    return answer;
}

AnswerRecord RecordOf(const ReadAnswer& answer, const ProtocolVersion* version) {
    uint64_t errors = 0;
    OBJTYPE type = OBJTYPE_NONE;
    return answer.fields.CreateSetupItem(errors, version, type);
}

} // namespace

bool UpgradeSession::Refuse(const char* where, const char* text, DalvoraError code, CommLayer& layer) {
    Log::WriteLog(where, text);
    try {
        layer.Close();
    } catch (...) {
        Log::WriteLog(where, "Close Error");
    }
    SetLastError(code);
    return false;
}

bool UpgradeSession::CommonStart(const char* where, CommLayer& layer, CommPortSettings& settings,
                                 std::unique_ptr<ProtocolDataAvailable>& capabilities) {
    bool opened = false;
    try {
        opened = OpenCommunicationPort(&layer, &settings);
    } catch (const DalvoraException&) {
        opened = false; // the opener logged why; this operation reports through its last error
    }
    if (!opened)
        return Refuse(where, "Open Error", kErrorDeviceNotFound, layer);
    ReadAnswer version =
        Exchange(layer, Commands::Cmd_CommandSetESCPOSforSV, Commands::Cmd_CommandGetProtVer);
    if (!version.bytes)
        return Refuse(where, "Get Prot. release Error", kErrorNoAnswer, layer);
    if (version.refusal != 0) {
        Log::WriteLogP(where, "Return is a Error Answer %d", version.refusal);
        return Refuse(where, "End", version.refusal, layer);
    }
    AnswerRecord versionRecord = RecordOf(version, nullptr);
    std::unique_ptr<ProtocolVersion> protocol =
        versionRecord.Type() == OBJTYPE_PROTOCOL_VERSION ? versionRecord.Take<ProtocolVersion>() : nullptr;
    if (!protocol)
        return Refuse(where, "Extract SetupItemProtocollVersion Error", kErrorBadAnswer, layer);
    ReadAnswer available = Exchange(layer, Commands::Cmd_CommandDataAvailable);
    if (!available.bytes) {
        layer.CleanRX();
        return Refuse(where, "NO Get ProtocollDataAvailable Setup", kErrorBadAnswer, layer);
    }
    AnswerRecord record = RecordOf(available, protocol.get());
    capabilities =
        record.Type() == OBJTYPE_PROTOCOL_DATA_AVAILABLE ? record.Take<ProtocolDataAvailable>() : nullptr;
    if (!capabilities)
        return Refuse(where, "Extract ProtocollDataAvailable Error", kErrorBadAnswer, layer);
    Log::WriteLog(where, "ProtocollDataAvailable OK");
    return true;
}

UpgradeSession::PackageFit UpgradeSession::CheckPackageFit(const UpgradeDataInfo& printer,
                                                           const PSWHeaderUpgrade& package,
                                                           bool askConfirmation) {
    constexpr const char* kWhere = "PrnCom_UpgradePrinter";
    const int family = static_cast<int>(printer.GetFamilyId());
    const int model = static_cast<int>(printer.GetModelId());
    const int customization = static_cast<int>(printer.GetCustomizationId());
    if (family != 0 && family != package.iIDFamily) {
        Log::WriteLogP(kWhere, "Family Compare Error (%d,%d)", family, package.iIDFamily);
        return {kErrorNotCompatible, false};
    }
    if (model != 0 && model != package.iIDModel) {
        Log::WriteLogP(kWhere, "Model Compare Error (%d,%d)", model, package.iIDModel);
        return {kErrorNotCompatible, false};
    }
    if (customization == package.iIDCustomization)
        return {0, askConfirmation};
    Log::WriteLogP(kWhere, "Customization Compare Error (%d,%d)", customization, package.iIDCustomization);
    const bool printerOrlo = UpgradePrinter::IsOrloCustomization(customization);
    const bool packageOrlo = UpgradePrinter::IsOrloCustomization(package.iIDCustomization);
    if (customization == 0 && packageOrlo) {
        Log::WriteLog(kWhere,
                      "Customization is VELMAR and PSW Customization ID is for a ORLO printer. Do not "
                      "procede with the UPGRADE");
        return {kErrorNotCompatible, false};
    }
    if (printerOrlo && packageOrlo) {
        Log::WriteLog(kWhere, "ORLO -> ORLO. Procede with the UPGRADE");
        return {0, false};
    }
    if (printerOrlo && package.iIDCustomization == 0) {
        Log::WriteLog(kWhere, "ORLO -> VELMAR. Procede with the UPGRADE");
        return {0, false};
    }
    Log::WriteLog(kWhere, "Customization isn't VELMAR or PSW Customization ID isn't for a ORLO printer");
    return {kErrorNotCompatible, false};
}

bool UpgradeSession::PrnCom_UpgradePrinter(CommLayer* layer, PSWFile* package, CommPortSettings* settings,
                                           PSWComponents* components, bool askConfirmation) {
    constexpr const char* kWhere = "PrnCom_UpgradePrinter";
    Log::WriteLog(kWhere, "Begin");
    SetLastError(0);
    const std::vector<PSWHeader*> headers = package->GetHeaders(HTYPE_UPGRADE);
    if (headers.empty() || headers.front() == nullptr) {
        Log::WriteLog(kWhere, "This PSW isn't for this software");
        SetLastError(kErrorPackageNotForThisSystem);
        return false;
    }
    PSWComponents ownList = package->GetComponents();
    PSWComponents& list = components != nullptr ? *components : ownList;
    try {
        return UpgradeWithLayerOpen(*layer, *package, *settings, list, askConfirmation);
    } catch (const std::exception& e) {
        Log::WriteLogP(kWhere, "Upgrade Error! (%s)", e.what());
        return Refuse(kWhere, "End", kErrorBadAnswer, *layer);
    }
}

bool UpgradeSession::CheckFitWithLayerOpen(const char* where, CommLayer& layer, PSWFile& package,
                                           CommPortSettings& settings, bool askConfirmation,
                                           std::unique_ptr<UpgradeDataInfo>& info, PackageFit& fit) {
    std::unique_ptr<ProtocolDataAvailable> capabilities;
    if (!CommonStart(where, layer, settings, capabilities))
        return false;
    if (!capabilities->UpgradePrinterAvailable(true, false))
        return Refuse(where, "Upgrade printer not supported!", kErrorUpgradeNotOffered, layer);
    ReadAnswer answer = Exchange(layer, Commands::Cmd_CommandUpgradeInfo);
    if (!answer.bytes)
        return Refuse(where, "Get Upgrade Info Error", kErrorBadAnswer, layer);
    if (answer.refusal != 0) {
        Log::WriteLogP(where, "Return is a Error Answer %d", answer.refusal);
        return Refuse(where, "End", answer.refusal, layer);
    }
    AnswerRecord record = RecordOf(answer, nullptr);
    info = record.Type() == OBJTYPE_UPGRADE_DATA_INFO ? record.Take<UpgradeDataInfo>() : nullptr;
    if (!info)
        return Refuse(where, "Extract UpgradeDataInfo Error", kErrorBadAnswer, layer);
    Log::WriteLog(where, "GetUpgradeInfo OK");
    const auto* header = static_cast<const PSWHeaderUpgrade*>(package.GetHeaders(HTYPE_UPGRADE).front());
    fit = CheckPackageFit(*info, *header, askConfirmation);
    if (fit.error != 0)
        return Refuse(where, "End", fit.error, layer);
    return true;
}

bool UpgradeSession::UpgradeWithLayerOpen(CommLayer& layer, PSWFile& package, CommPortSettings& settings,
                                          PSWComponents& components, bool askConfirmation) {
    constexpr const char* kWhere = "PrnCom_UpgradePrinter";
    std::unique_ptr<UpgradeDataInfo> info;
    PackageFit fit;
    if (!CheckFitWithLayerOpen(kWhere, layer, package, settings, askConfirmation, info, fit))
        return false;
    const int mode = static_cast<int>(info->GetUpgradeMode());
    std::unique_ptr<UpgradePrinter> driver =
        UpgradePrinter::GetUpgradeClass(mode, GetComponentMask(), GetUpgradeFlag());
    if (!driver) {
        Log::WriteLogP(kWhere, "Upgrade Mode %d Not Supported!", mode);
        return Refuse(kWhere, "End", kErrorBadAnswer, layer);
    }
    Log::WriteLogP(kWhere, "Upgrade Mode %d Selected!", mode);
    driver->setAskDiffConfirmation(fit.askConfirmation);
    const PSWHeaderPrinter* printerHeader = package.GetHeaderPrinter();
    const bool format2 = printerHeader != nullptr && printerHeader->iPswType == 1;
    const bool upgraded =
        format2 ? driver->StartUpgrade_PSW2(*info, layer, package, settings, nullptr, nullptr, components)
                : driver->StartUpgrade_PSW1(*info, layer, package, settings, nullptr, nullptr, components);
    if (!upgraded)
        return Refuse(kWhere, "Upgrade Error!", kErrorBadAnswer, layer);
    Log::WriteLog(kWhere, "End");
    layer.Close();
    return true;
}

bool UpgradeSession::PrnCom_CheckPackage(CommLayer* layer, PSWFile* package, CommPortSettings* settings) {
    constexpr const char* kWhere = "PrnCom_CheckPackage";
    SetLastError(0);
    const std::vector<PSWHeader*> headers = package->GetHeaders(HTYPE_UPGRADE);
    if (headers.empty() || headers.front() == nullptr) {
        SetLastError(kErrorPackageNotForThisSystem);
        return false;
    }
    try {
        std::unique_ptr<UpgradeDataInfo> info;
        PackageFit fit;
        if (!CheckFitWithLayerOpen(kWhere, *layer, *package, *settings, false, info, fit))
            return false;
        const int mode = static_cast<int>(info->GetUpgradeMode());
        if (!UpgradePrinter::GetUpgradeClass(mode, GetComponentMask(), GetUpgradeFlag())) {
            Log::WriteLogP(kWhere, "Upgrade Mode %d Not Supported!", mode);
            return Refuse(kWhere, "End", kErrorBadAnswer, *layer);
        }
        layer->Close();
        return true;
    } catch (const std::exception& e) {
        Log::WriteLogP(kWhere, "Check Error (%s)", e.what());
        return Refuse(kWhere, "End", kErrorBadAnswer, *layer);
    }
}

bool UpgradeSession::PrnCom_CheckModule(CommLayer* layer, CommPortSettings* settings) {
    constexpr const char* kWhere = "PrnCom_CheckModule";
    SetLastError(0);
    try {
        std::unique_ptr<ProtocolDataAvailable> capabilities;
        if (!CommonStart(kWhere, *layer, *settings, capabilities))
            return false;
        if (!capabilities->UpgradeModulesAvailable(true, false))
            return Refuse(kWhere, "Upgrade module not supported!", kErrorModulesNotOffered, *layer);
        layer->Close();
        return true;
    } catch (const std::exception& e) {
        Log::WriteLogP(kWhere, "Check Error (%s)", e.what());
        return Refuse(kWhere, "End", kErrorBadAnswer, *layer);
    }
}

bool UpgradeSession::PrnCom_WriteModule(CommLayer* layer, ModuleData* module, CommPortSettings* settings,
                                        void* progress) {
    constexpr const char* kWhere = "PrnCom_WriteModule";
    Log::WriteLog(kWhere, "Begin");
    SetLastError(0);
    try {
        std::unique_ptr<ProtocolDataAvailable> capabilities;
        if (!CommonStart(kWhere, *layer, *settings, capabilities))
            return false;
        if (!capabilities->UpgradeModulesAvailable(true, false))
            return Refuse(kWhere, "Upgrade module not supported!", kErrorModulesNotOffered, *layer);
        return WriteModuleWithLayerOpen(*layer, *module, progress);
    } catch (const std::exception& e) {
        Log::WriteLogP(kWhere, "Module Error (%s)", e.what());
        return Refuse(kWhere, "End", kErrorBadAnswer, *layer);
    }
}

bool UpgradeSession::WriteModuleWithLayerOpen(CommLayer& layer, ModuleData& module, void* progress) {
    constexpr const char* kWhere = "PrnCom_WriteModule";
    ReadAnswer answer = Exchange(layer, Commands::Cmd_CommandModulesList);
    if (!answer.bytes)
        return Refuse(kWhere, "Get Modules List Error", kErrorNoAnswer, layer);
    if (answer.refusal != 0) {
        Log::WriteLogP(kWhere, "Return is a Error Answer %d", answer.refusal);
        return Refuse(kWhere, "End", answer.refusal, layer);
    }
    AnswerRecord record = RecordOf(answer, nullptr);
    const ModuleItemPrnModuleList* list =
        record.Type() == OBJTYPE_PRN_MODULE_LIST ? record.Get<ModuleItemPrnModuleList>() : nullptr;
    if (list == nullptr)
        return Refuse(kWhere, "Extract ModuleItemPrnModuleList Error", kErrorBadAnswer, layer);
    Log::WriteLog(kWhere, "ModuleItemPrnModuleList OK");
    bool listed = false;
    for (const std::string& name : list->GetTextLines())
        listed = listed || name == module.GetCode() || name == ModuleData::TypeName(module.GetModuleType());
    Log::WriteLog(kWhere, listed ? "Module supported by this printer"
                                 : "Module not supported by this printer,  proceed anyway!!!");
    unsigned error = 0;
    layer.Write(Commands::Cmd_CommandCAN.data(), static_cast<unsigned>(Commands::Cmd_CommandCAN.size()),
                &error);
    const int size = static_cast<int>(module.GetStoredData().size());
    if (size > 2 * UpgradePrinter::kModuleSizeUnit)
        Log::WriteLogP(kWhere, "Add Timeout : %d", UpgradePrinter::ModuleExtraTimeMs(size));
    if ((GetComponentMask() & UpgradePrinter::kScopeModules) == 0) {
        Log::WriteLog(kWhere, "Upgrade Modules not enabled in command line arguments ");
        Log::WriteLog(kWhere, "End");
        layer.Close();
        return true;
    }
    UpgradePrinter driver(GetComponentMask(), GetUpgradeFlag());
    const bool sent =
        driver.SendModuleToDevice(layer, static_cast<ModulesAvailable::ModuleType>(module.GetModuleID()),
                                  module.GetStoredData().data(), size, true, progress);
    Log::WriteLog(kWhere, "End");
    layer.Close();
    return sent;
}
