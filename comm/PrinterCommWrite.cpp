// Writing a stored setup to a printer: read what the printer has, check the setup fits it, then send
// the values (only the changed ones on request), store them and reset the printer.
#include "comm/PrinterComm.h"

#include "base/Clock.h"
#include "base/Log.h"
#include "comm/CommLayer.h"
#include "comm/PrinterSession.h"
#include "model/PrinterData.h"

using namespace printer_session;

namespace {

constexpr const char* kWriteWhere = "PrnCom_WriteDataToPrinter";

struct GroupCheck {
    uint64_t bit;
    const char* text;
};

constexpr GroupCheck kGroupChecks[] = {
    {ProtocolDataAvailable::kSetup, "Printer NOT compatible with this data. Write Setup data not available"},
    {ProtocolDataAvailable::kLogo, "Printer NOT compatible with this data. Write Logo data not available"},
    {ProtocolDataAvailable::kFonts, "Printer NOT compatible with this data. Write AFonts data not available"},
    {ProtocolDataAvailable::kBlackmarkInt,
     "Printer NOT compatible with this data. Write BlackmarkInt data not available"},
};

const SetupItemType* Counterpart(const SetupItemType& item, const PrinterData& printer) {
    for (const auto& theirs : printer.GetSetupItems()) {
        if (item.Equals(*theirs))
            return theirs.get();
    }
    return nullptr;
}

// No counterpart counts as changed.
bool IsUnchanged(const SetupItemType& item, const PrinterData& printer) {
    const SetupItemType* theirs = Counterpart(item, printer);
    return theirs != nullptr && item.SameValue(*theirs);
}

WrittenItem Announce(const SetupItemType& item, const PrinterData& printer, const std::string& value) {
    WrittenItem written{item.GetId(), item.GetDescription(), std::nullopt, value, item.IsConfidential()};
    if (const SetupItemType* theirs = Counterpart(item, printer))
        written.before = theirs->UIValue();
    return written;
}

bool SetupWriteDisabled(const PrinterData& stored, const ProtocolDataAvailable& toSave) {
    const TabStatus* tabs = stored.GetTabStatus();
    return !toSave.ToSave(ProtocolDataAvailable::kSetup) ||
           (tabs != nullptr && tabs->IsDisabled(TabStatus::PrinterSetup));
}

} // namespace

size_t PrinterComm::WriteItems(CommLayer& layer, const PrinterData& stored, const PrinterData& printer,
                               bool onlyChanged) {
    const uint64_t version = VersionOf(stored);
    size_t written = 0;
    for (const auto& item : stored.GetSetupItems()) {
        if (onlyChanged && item->IsReadOnlyParam())
            continue;
        if (onlyChanged && IsUnchanged(*item, printer)) {
            Log::WriteLogP(kWriteWhere, "The Id %llu isn't changed",
                           static_cast<unsigned long long>(item->GetId()));
            continue;
        }
        std::string value = item->UIValue();
        value.resize(std::min(value.size(), kValueTextLimit));
        if (m_writePreview) {
            m_writeReport.items.push_back(Announce(*item, printer, value));
            ++written;
            continue;
        }
        std::optional<Answer> answer =
            Ask(layer, Commands::GetCommand_SetIDValue(version, item->GetId(), value.c_str(),
                                                       item->IsConfidential()));
        if (!answer)
            Fail(kWriteWhere, "Set Data Error", kErrorNoAnswer);
        if (answer->refusal != 0)
            FailRefused(kWriteWhere, answer->refusal);
        m_writeReport.items.push_back(Announce(*item, printer, value));
        ++written;
    }
    return written;
}

bool PrinterComm::PrnCom_WriteDataToPrinter(CommLayer* layer, PrinterData* stored,
                                            ProtocolDataAvailable* toSave, CommPortSettings* settings,
                                            bool onlyChanged) {
    Log::WriteLog(kWriteWhere, "Begin");
    m_writeReport = WriteReport{};
    Log::WriteLog(kWriteWhere, "Read Data from Printer...");
    PrinterData printer;
    printer.Init();
    PrnCom_ReadSetupData(layer, &printer, settings, false);
    if (!stored->IsThisPrinterCompatible(&printer)) {
        Log::WriteLog(kWriteWhere, "Printer NOT compatible with this data");
        throw DalvoraException(kErrorNotCompatible, kNotCompatibleText);
    }
    Log::WriteLog(kWriteWhere, "Printer compatible with this data");

    bool wrote = Guarded(kWriteWhere, [&] {
        PortCloser port(*layer);
        StartSession(kWriteWhere, *layer, *stored, *settings, "Extract SetupItemProtocolVersion Error");
        std::unique_ptr<ProtocolDataAvailable> offered = ReadCapabilities(kWriteWhere, *layer, *stored);
        for (const GroupCheck& check : kGroupChecks) {
            if (toSave->ToSave(check.bit) && !offered->Has(check.bit)) {
                Log::WriteLog(kWriteWhere, check.text);
                port.Close();
                throw DalvoraException(kErrorNotCompatible, kNotCompatibleText);
            }
        }
        size_t written = 0;
        if (!SetupWriteDisabled(*stored, *toSave)) {
            Cancel(*layer);
            if (stored->GetNumSetupItems() != 0)
                written = WriteItems(*layer, *stored, printer, onlyChanged);
            Log::WriteLogP(kWriteWhere, "Wrote %zu of %u Items", written, stored->GetNumSetupItems());
        }
        if (written == 0) {
            Log::WriteLog(kWriteWhere, "Nothing to Write");
            return false;
        }
        if (m_writePreview) {
            Log::WriteLog(kWriteWhere, "Preview only: nothing sent");
            return false;
        }
        const uint64_t version = VersionOf(*stored);
        layer->Write(Commands::GetCommand_SetAllValuesOnPrinter(version),
                     static_cast<unsigned>(Commands::GetCommand_SetAllValuesOnPrinterSize(version)));
        Log::WriteLog(kWriteWhere, "Wrote something");
        layer->WriteBytes(Commands::Cmd_CommandPrnReset);
        m_writeReport.stored = true;
        Clock::SleepMs(kResetSettleMs);
        return true;
    });
    Log::WriteLog(kWriteWhere, "End");
    return wrote;
}
