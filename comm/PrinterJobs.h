// The device jobs of the window, as bodies for PrinterJob: read the setup (with tools and status
// descriptions), write what changed, run a tool, read the live status. The window's workers only
// adapt these to threads and signals.
#pragma once

#include "comm/AnswerRecord.h"
#include "comm/PrinterJob.h"

#include <array>
#include <cstdint>
#include <memory>

class ProtocolDataAvailable;
struct ToolTag;

// The live status handed to the window: the general and the extended answer bytes.
struct StatusDevice {
    static constexpr int kBufferSize = 1024;

    std::array<unsigned char, kBufferSize> general{};
    int generalLength = 0;
    std::array<unsigned char, kBufferSize> extended{};
    int extendedLength = 0;
};

namespace printer_jobs {

// The setup with its information pages, then the tools and the status descriptions the printer
// offers: 0, or 10000 + the number of items that could not be read.
int ReadDeviceData(PrinterJobSession& session);

// Only the items that differ from the printer's; 0 whether or not anything needed writing.
int WriteDeviceData(PrinterJobSession& session, ProtocolDataAvailable& selection);

// Tool type 1 runs the tool and hands its answer to `answer`; any other type is 10001.
int ExecOnDevice(PrinterJobSession& session, int type, const ToolTag& tool, const unsigned char* data,
                 int length, AnswerRecord& answer);

// The general status, and the extended one when the printer describes it, each only when the
// printer reports it through its ports.
int GetStatusDevice(PrinterJobSession& session, StatusDevice& status);

} // namespace printer_jobs
