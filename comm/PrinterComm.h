// The printer operations: find and identify a printer, read its setup and information, write a setup
// back, read and run its tools, read its status. Each operation is one session on the caller's
// CommLayer: open, handshake, protocol version and capabilities, the operation's commands, close.
// Failures are thrown as DalvoraException with the session error code.
#pragma once

#include "base/DalvoraException.h"
#include "comm/AnswerRecord.h"
#include "comm/WriteReport.h"
#include "transport/CommPortSettings.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class CommLayer;
class PrinterData;
class ProtocolDataAvailable;
struct ToolTag;

// Session error codes raised by the operations (the command line and the window show them).
enum PrinterCommError : DalvoraError {
    kErrorBadAnswer = 2,        // the answer does not yield the record the command asks for
    kErrorDeviceNotFound = 6,   // the port cannot be opened, no handshake, invalid port kind
    kErrorNoAnswer = 7,         // a required answer does not arrive
    kErrorNotCompatible = 9,    // the stored setup does not fit the printer
    kErrorNoStatusAnswer = 13,  // no answer to a live status request
    kErrorGroupNotOffered = 19, // the printer does not offer the group (tools, status)
    kErrorNoToolAnswer = 21,    // no answer to a tool execution
    kErrorToolsNotAvailable = 37,
    kErrorToolNotSupported = 38,
};

class PrinterComm {
public:
    static constexpr int kSessionTimeoutMs = 700;
    static constexpr int kInitTimeoutMs = 300;
    static constexpr int kVersionTimeoutMs = 6000;
    static constexpr int kInitHandshakeAttempts = 5;
    static constexpr int kSerialHandshakeAttempts = 3;
    static constexpr uint8_t kIdInfoAttempts = 3;
    static constexpr uint32_t kEthernetSettleMs = 500; // after finding an Ethernet printer
    static constexpr uint32_t kResetSettleMs = 1000;   // after the reset that ends a write
    static constexpr size_t kValueTextLimit = 1023;    // a value's text as sent
    static constexpr const char* kNotCompatibleText =
        "Printer informations not available or compatible with this data";

    PrinterComm() = default;
    // components: the firmware components an upgrade may send (255: all; bits 2 and 4 allow modules);
    // flag: the upgrade procedures' time multiplier.
    PrinterComm(int components, int flag) : m_upgradeFlag(flag), m_componentMask(components) {}

    DalvoraError GetLastError() const { return m_lastError; }
    void SetLastError(DalvoraError code) { m_lastError = code; }
    int GetUpgradeFlag() const { return m_upgradeFlag; }
    int GetComponentMask() const { return m_componentMask; }

    // Finds the printer and stores its identity in data; on a serial line tries the baud rates in
    // turn and keeps the one that answered in settings.
    void PrnCom_Init(CommLayer* layer, PrinterData* data, CommPortSettings* settings);
    // Opens the port the settings name; true, or throws 6.
    bool OpenCommunicationPort(CommLayer* layer, CommPortSettings* settings);

    // Header, information pages (with withInfo), id list, every item and the links. Returns the number
    // of item values that failed the range checks.
    uint64_t PrnCom_ReadSetupData(CommLayer* layer, PrinterData* data, CommPortSettings* settings,
                                  bool withInfo);
    // Writes the items of `stored` (only those that differ from the printer's with onlyChanged), then
    // stores and resets. True when at least one item was written.
    bool PrnCom_WriteDataToPrinter(CommLayer* layer, PrinterData* stored, ProtocolDataAvailable* toSave,
                                   CommPortSettings* settings, bool onlyChanged);
    // In preview the write reads and checks as always but sends no value, store or reset; the report
    // then lists what it would have sent.
    void SetWritePreview(bool preview) { m_writePreview = preview; }
    // What the last write sent (or, in preview, would send); kept after a failure.
    const WriteReport& GetWriteReport() const { return m_writeReport; }

    void PrnCom_ReadTools(CommLayer* layer, PrinterData* data, CommPortSettings* settings);
    // Runs one tool; toolData/dataLength is the script of the upload tool (null/-1 otherwise). The result is
    // the record of the printer's answer.
    AnswerRecord PrnComExecToolOnPrinter(CommLayer* layer, PrinterData* data, CommPortSettings* settings,
                                         const ToolTag* tool, const unsigned char* toolData, int dataLength,
                                         bool resetAfter);

    void PrnCom_ReadStatusInfo(CommLayer* layer, PrinterData* data, CommPortSettings* settings);
    // The live status bytes; copied to out only when length is given and they fit capacity.
    void PrnCom_GetPrinterStatusGeneral(CommLayer* layer, PrinterData* data, CommPortSettings* settings,
                                        unsigned char* out, int capacity, int* length);
    void PrnCom_GetPrinterStatusExtended(CommLayer* layer, PrinterData* data, CommPortSettings* settings,
                                         unsigned char* out, int capacity, int* length);

    // "VID|PID|SERIAL" into its parts; a missing part is left empty.
    static bool ExtractUsbParamsFromName(const char* name, std::string& vid, std::string& pid,
                                         std::string& serial);

private:
    struct LiveStatusRequest;

    void InitByName(const char* where, CommLayer& layer, PrinterData& data, CommPortType kind,
                    const std::string& name);
    void InitSerial(CommLayer& layer, PrinterData& data, CommPortSettings& settings);
    // Open, handshake and protocol version (stored into data); throws after closing.
    void StartSession(const char* where, CommLayer& layer, PrinterData& data, CommPortSettings& settings,
                      const char* versionError);
    // The capability answer; without one, a record offering setup only.
    std::unique_ptr<ProtocolDataAvailable> ReadCapabilities(const char* where, CommLayer& layer,
                                                            const PrinterData& data);
    // The whole preamble: StartSession, then the capabilities into data.
    void Preamble(const char* where, CommLayer& layer, PrinterData& data, CommPortSettings& settings);
    void ReadHeader(CommLayer& layer, PrinterData& data);
    void ReadInformation(CommLayer& layer, PrinterData& data);
    uint64_t ReadItems(CommLayer& layer, PrinterData& data);
    AnswerRecord ReadItem(CommLayer& layer, const PrinterData& data, uint64_t id, uint64_t& dataErrors);
    std::unique_ptr<ToolsData> ReadToolMasks(const char* where, CommLayer& layer, const PrinterData& data,
                                             std::optional<int> timeoutMs);
    void ReadLiveStatus(const LiveStatusRequest& request, CommLayer& layer, PrinterData& data,
                        CommPortSettings& settings, unsigned char* out, int capacity, int* length);
    size_t WriteItems(CommLayer& layer, const PrinterData& stored, const PrinterData& printer,
                      bool onlyChanged);

    DalvoraError m_lastError = 0;
    bool m_writePreview = false;
    WriteReport m_writeReport;
    uint8_t m_idInfoAttempts = kIdInfoAttempts;
    int m_upgradeFlag = 0;
    int m_componentMask = 0;
};
