#include "comm/PrinterJobs.h"

#include "model/PrinterData.h"
#include "model/ProtocolDataAvailable.h"
#include "model/StatusRecords.h"

namespace printer_jobs {

namespace {

// Asked afresh each time: every session replaces the printer's capability record.
bool Offers(const PrinterData& data, uint64_t group) {
    const ProtocolDataAvailable* offered = data.GetProtocolDataAvailable();
    return offered != nullptr && offered->Has(group);
}

} // namespace

int ReadDeviceData(PrinterJobSession& s) {
    const uint64_t unread = s.comm.PrnCom_ReadSetupData(&s.layer, &s.data, &s.settings, true);
    if (Offers(s.data, ProtocolDataAvailable::kTools))
        s.comm.PrnCom_ReadTools(&s.layer, &s.data, &s.settings);
    if (Offers(s.data, ProtocolDataAvailable::kStatusPrinter))
        s.comm.PrnCom_ReadStatusInfo(&s.layer, &s.data, &s.settings);
    return unread == 0 ? kJobSuccess : kJobUnreadItemsBase + static_cast<int>(unread);
}

int WriteDeviceData(PrinterJobSession& s, ProtocolDataAvailable& selection) {
    // Writing nothing because nothing changed is not a failure.
    (void)s.comm.PrnCom_WriteDataToPrinter(&s.layer, &s.data, &selection, &s.settings, true);
    return kJobSuccess;
}

int ExecOnDevice(PrinterJobSession& s, int type, const ToolTag& tool, const unsigned char* data, int length,
                 AnswerRecord& answer) {
    if (type != 1)
        return kJobFalseResult;
    answer = s.comm.PrnComExecToolOnPrinter(&s.layer, &s.data, &s.settings, &tool, data, length, false);
    return kJobSuccess;
}

int GetStatusDevice(PrinterJobSession& s, StatusDevice& status) {
    const StatusInfoGenData* general = s.data.GetStatusInfoGenData();
    if (general != nullptr && general->GetStatusWayPorts().Available())
        s.comm.PrnCom_GetPrinterStatusGeneral(&s.layer, &s.data, &s.settings, status.general.data(),
                                              StatusDevice::kBufferSize, &status.generalLength);
    const StatusInfoExtData* extended = s.data.GetStatusInfoExtData();
    if (extended != nullptr && extended->GetStatusWayPorts().Available())
        s.comm.PrnCom_GetPrinterStatusExtended(&s.layer, &s.data, &s.settings, status.extended.data(),
                                               StatusDevice::kBufferSize, &status.extendedLength);
    return kJobSuccess;
}

} // namespace printer_jobs
