#include "fleet/PrinterOps.h"

#include "audit/AuditJson.h"
#include "audit/AuditRecords.h"
#include "base/Clock.h"
#include "comm/PrinterComm.h"
#include "comm/PrinterJob.h"
#include "model/TCFXDataWriter.h"

#include <cctype>

namespace fleet {

namespace {

std::optional<Failure> FailureOf(const PrinterJobOutcome& outcome) {
    if (!outcome.Threw() && outcome.result == kJobSuccess)
        return std::nullopt;
    return Failure{outcome.result, FailureText(outcome.result)};
}

std::string SafeForFileName(const std::string& text) {
    std::string safe;
    for (unsigned char c : text)
        safe += std::isalnum(c) || c == '.' || c == '-' ? static_cast<char>(c) : '-';
    return safe.empty() ? "unknown" : safe;
}

} // namespace

std::string FailureText(int code) {
    switch (code) {
    case kErrorBadAnswer:
        return "the printer's answer is not what was asked for";
    case kErrorDeviceNotFound:
        return "printer not found (no port or no answer to the handshake)";
    case kErrorNoAnswer:
        return "the printer stopped answering";
    case kErrorNotCompatible:
        return "the archive does not fit this printer";
    case kFailureArchive:
        return "the archive cannot be read";
    case kFailureNotHeld:
        return "the printer acknowledged values it does not hold";
    case kFailureOutput:
        return "the archive cannot be written";
    case kFailureStopped:
        return "not started: stop requested";
    case kJobUnexpectedFailure:
        return "unexpected failure";
    default:
        break;
    }
    if (code > 100 && code < 200)
        return "the printer refused a value (error " + std::to_string(code - 100) + ")";
    if (code >= kJobUnreadItemsBase && code < kJobUnreadItemsBase + 10000)
        return std::to_string(code - kJobUnreadItemsBase) + " setup items could not be read";
    return "error " + std::to_string(code);
}

bool SaveArchive(PrinterData& data, const std::string& path) {
    if (ProtocolDataAvailable* groups = data.GetProtocolDataAvailable())
        groups->SetupDataToSave(false, true);
    TCFXDataWriter writer;
    return writer.openDocument() && data.Serialize_Save(writer) && writer.saveToFile(path);
}

ReadOutcome ReadPrinter(CommPortSettings settings, bool withInfo) {
    ReadOutcome outcome;
    outcome.data.Init();
    PrinterJob job(outcome.data, settings);
    outcome.failure = FailureOf(job.Run([&](PrinterJobSession& s) {
        outcome.dataErrors = s.comm.PrnCom_ReadSetupData(&s.layer, &s.data, &s.settings, withInfo);
        return kJobSuccess;
    }));
    return outcome;
}

namespace {

WriteOutcome RunWrite(const std::string& archivePath, CommPortSettings& settings, bool onlyChanged,
                      bool preview, PrinterData& archive) {
    WriteOutcome outcome;
    if (!LoadArchiveFile(archivePath, archive)) {
        outcome.failure = Failure{kFailureArchive, FailureText(kFailureArchive)};
        return outcome;
    }
    PrinterData printer;
    printer.Init();
    PrinterComm comm;
    comm.SetWritePreview(preview);
    PrinterJob job(printer, settings);
    ProtocolDataAvailable toSave;
    toSave.SetupDataToSave(false, true);
    outcome.failure = FailureOf(job.Run(comm, [&](PrinterJobSession& s) {
        // Nothing to write because nothing differs is not a failure here.
        (void)s.comm.PrnCom_WriteDataToPrinter(&s.layer, &archive, &toSave, &s.settings, onlyChanged);
        return kJobSuccess;
    }));
    outcome.gsi = printer.GetGSI();
    outcome.release = printer.GetFWRel().value_or("");
    outcome.report = comm.GetWriteReport();
    outcome.compatible = !(outcome.failure && outcome.failure->code == kErrorNotCompatible);
    return outcome;
}

} // namespace

WriteOutcome PreviewWrite(const std::string& archivePath, CommPortSettings settings, bool onlyChanged) {
    PrinterData archive;
    return RunWrite(archivePath, settings, onlyChanged, true, archive);
}

std::vector<NotHeld> FindNotHeld(const WriteReport& report, const PrinterData& archive,
                                 const PrinterData& readBack) {
    std::vector<NotHeld> notHeld;
    for (const WrittenItem& written : report.items) {
        const SetupItemType* wanted = archive.FindSetupItem(written.id);
        const SetupItemType* held = readBack.FindSetupItem(written.id);
        // A clock moves on after it was set: a date and time item cannot be compared afterwards.
        if (wanted == nullptr || wanted->GetType() == PROT_TYPE_DATETIME)
            continue;
        if (held != nullptr && wanted->Equals(*held) && wanted->SameValue(*held))
            continue;
        notHeld.push_back({written.id, written.description, written.after,
                           held ? held->UIValue() : std::string(), written.confidential});
    }
    return notHeld;
}

namespace {

// A printer restarts after storing a setup and is gone for a few seconds (a USB printer leaves the bus):
// the read-back waits for it to come back rather than call it missing.
ReadOutcome ReadBackAfterReset(const CommPortSettings& settings) {
    constexpr int kAttempts = 15;
    constexpr uint32_t kPauseMs = 1000;
    ReadOutcome readBack = ReadPrinter(settings, false);
    for (int attempt = 1;
         attempt < kAttempts && readBack.failure && readBack.failure->code == kErrorDeviceNotFound;
         ++attempt) {
        Clock::SleepMs(kPauseMs);
        readBack = ReadPrinter(settings, false);
    }
    return readBack;
}

} // namespace

WriteOutcome ApplyWrite(const std::string& archivePath, CommPortSettings settings, bool onlyChanged,
                        bool verify) {
    PrinterData archive;
    WriteOutcome outcome = RunWrite(archivePath, settings, onlyChanged, false, archive);
    if (outcome.failure || !verify || outcome.report.items.empty())
        return outcome;
    ReadOutcome readBack = ReadBackAfterReset(settings);
    if (readBack.failure) {
        outcome.failure = Failure{readBack.failure->code, "read-back failed: " + readBack.failure->reason};
        return outcome;
    }
    outcome.verified = true;
    outcome.notHeld = FindNotHeld(outcome.report, archive, readBack.data);
    if (!outcome.notHeld.empty())
        outcome.failure = Failure{kFailureNotHeld, FailureText(kFailureNotHeld)};
    return outcome;
}

std::string BackupFileName(const PrinterData& printer, const CommPortSettings& settings, int64_t time) {
    const std::string gsi = printer.GetGSI() ? audit::FormatGsi(*printer.GetGSI()) : "unknown";
    std::string stamp = audit::FormatUtc(time);
    std::erase(stamp, '-');
    std::erase(stamp, ':');
    return SafeForFileName(gsi) + "_" + SafeForFileName(printer.GetFWRel().value_or("")) + "_" +
           SafeForFileName(audit::PortName(settings)) + "_" + stamp + ".tcfx";
}

BackupOutcome BackupPrinter(CommPortSettings settings, const std::string& directory, int64_t time) {
    BackupOutcome outcome;
    ReadOutcome read = ReadPrinter(settings, true);
    outcome.gsi = read.data.GetGSI();
    outcome.release = read.data.GetFWRel().value_or("");
    if (read.failure) {
        outcome.failure = read.failure;
        return outcome;
    }
    outcome.path = directory + "/" + BackupFileName(read.data, settings, time);
    if (!SaveArchive(read.data, outcome.path)) {
        outcome.failure = Failure{kFailureOutput, FailureText(kFailureOutput) + ": " + outcome.path};
        outcome.path.clear();
    }
    return outcome;
}

} // namespace fleet
