// Finding a printer, opening a session and the preamble every operation starts with.
#include "comm/PrinterComm.h"

#include "base/Clock.h"
#include "base/Log.h"
#include "comm/CommLayer.h"
#include "comm/PrinterSession.h"
#include "model/PrinterData.h"

#include <cstring>

using namespace printer_session;

namespace {

std::string EthernetName(const CommPortSettings& settings) {
    return settings.ipAddress + ":" + std::to_string(settings.tcpPort);
}

bool IsUsbKind(CommPortType kind) {
    return kind == COMM_USB_PRN || kind == COMM_USB_SCANNER;
}

// Closes after a failed step of the search; a failing close must not end the search.
void CloseAfterFailure(CommLayer& layer) {
    try {
        layer.Close();
    } catch (const VmComLayerException&) {
        Log::WriteLog("PrnCom_Init", "Close Error");
    }
}

} // namespace

bool PrinterComm::ExtractUsbParamsFromName(const char* name, std::string& vid, std::string& pid,
                                           std::string& serial) {
    vid.clear();
    pid.clear();
    serial.clear();
    std::string_view text = name ? name : "";
    std::string* parts[] = {&vid, &pid, &serial};
    for (size_t i = 0; i < 3; ++i) {
        // The serial number is the rest of the name, "|" included.
        size_t bar = i < 2 ? text.find('|') : std::string_view::npos;
        parts[i]->assign(text.substr(0, bar));
        if (bar == std::string_view::npos)
            break;
        text.remove_prefix(bar + 1);
    }
    return true;
}

bool PrinterComm::OpenCommunicationPort(CommLayer* layer, CommPortSettings* settings) {
    constexpr const char* kWhere = "OpenCommunicationPort";
    Log::WriteLog(kWhere, "Begin");
    try {
        if (IsUsbKind(settings->type)) {
            Log::WriteLog(kWhere, "USB PRN Port");
            layer->Open(settings->type, settings->usbDeviceName.c_str(), 0, 0, kSessionTimeoutMs);
        } else if (settings->type == COMM_ETHERNET) {
            Log::WriteLog(kWhere, "ETH Port");
            // Never cut: a cut name would silently connect to another port; the frame layer refuses
            // names it cannot hold.
            const std::string name = EthernetName(*settings);
            Log::WriteLogP(kWhere, "ETH Port Name: %s", name.c_str());
            layer->Open(COMM_ETHERNET, name.c_str(), 0, 0, kSessionTimeoutMs);
        } else if (settings->type == COMM_SERIAL) {
            Log::WriteLog(kWhere, "COM Port");
            layer->Open(COMM_SERIAL, settings->comPortName.c_str(), static_cast<int>(settings->baudRate),
                        static_cast<int>(settings->flowControl), kSessionTimeoutMs);
        } else {
            Fail(kWhere, "Port Invalid", kErrorDeviceNotFound);
        }
    } catch (const VmComLayerException& e) {
        Log::WriteLog(kWhere, "Open Port Error");
        Log::WriteLogP(kWhere, "Error: %d", e.getCode());
        CloseAfterFailure(*layer);
        throw DalvoraException(kErrorDeviceNotFound);
    }
    Log::WriteLog(kWhere, "End");
    return true;
}

void PrinterComm::InitByName(const char* where, CommLayer& layer, PrinterData& data, CommPortType kind,
                             const std::string& name) {
    try {
        layer.Open(kind, name.c_str(), 0, 0, kInitTimeoutMs);
    } catch (const VmComLayerException& e) {
        Log::WriteLog(where, "Open Port Error");
        Log::WriteLogP(where, "Error: %d", e.getCode());
        CloseAfterFailure(layer);
        throw DalvoraException(kErrorDeviceNotFound);
    }
    Log::WriteLog(where, "Open Port OK");
    bool found = false;
    try {
        found = layer.HandshakeCommunication(&data, kInitHandshakeAttempts);
    } catch (const VmComLayerException& e) {
        Log::WriteLog(where, "Communication Error");
        Log::WriteLogP(where, "Error: %d", e.getCode());
    }
    if (!found) {
        Log::WriteLog(where, "Handshake Communication Error");
        CloseAfterFailure(layer);
        throw DalvoraException(kErrorDeviceNotFound);
    }
    layer.Close();
}

void PrinterComm::InitSerial(CommLayer& layer, PrinterData& data, CommPortSettings& settings) {
    constexpr const char* kWhere = "PrnCom_Init";
    Log::WriteLog(kWhere, "COM Port");
    Log::WriteLogP(kWhere, "COM Port Name: %s", settings.comPortName.c_str());
    for (uint32_t baud : GenericConst::Table_PrnBaudRate) {
        Log::WriteLogP(kWhere, "Try Baudrate: %u", baud);
        try {
            layer.Open(COMM_SERIAL, settings.comPortName.c_str(), static_cast<int>(baud),
                       static_cast<int>(settings.flowControl), kInitTimeoutMs);
        } catch (const VmComLayerException& e) {
            Log::WriteLog(kWhere, "Open Port Error");
            Log::WriteLogP(kWhere, "Error: %d", e.getCode());
            CloseAfterFailure(layer);
            continue;
        }
        try {
            if (layer.HandshakeCommunication(&data, kSerialHandshakeAttempts)) {
                settings.baudRate = baud;
                layer.Close();
                Log::WriteLog(kWhere, "Printer found");
                return;
            }
            Log::WriteLog(kWhere, "Handshake Communication Error");
        } catch (const VmComLayerException& e) {
            Log::WriteLog(kWhere, "Communication Error");
            Log::WriteLogP(kWhere, "Error: %d", e.getCode());
        }
        CloseAfterFailure(layer);
    }
    CloseAfterFailure(layer);
    Fail(kWhere, "Printer doesn't found", kErrorDeviceNotFound);
}

void PrinterComm::PrnCom_Init(CommLayer* layer, PrinterData* data, CommPortSettings* settings) {
    constexpr const char* kWhere = "PrnCom_Init";
    Log::WriteLog(kWhere, "Begin");
    if (IsUsbKind(settings->type)) {
        Log::WriteLog(kWhere, "USB PRN Port");
        Log::WriteLogP(kWhere, "USB PRN Port Name: %s", settings->usbDeviceName.c_str());
        InitByName(kWhere, *layer, *data, settings->type, settings->usbDeviceName);
        Log::WriteLog(kWhere, "Printer found");
    } else if (settings->type == COMM_ETHERNET) {
        Log::WriteLog(kWhere, "ETH Port");
        const std::string name = EthernetName(*settings).substr(0, 255);
        Log::WriteLogP(kWhere, "ETH Port Name: %s", name.c_str());
        InitByName(kWhere, *layer, *data, COMM_ETHERNET, name);
        Clock::SleepMs(kEthernetSettleMs);
        Log::WriteLog(kWhere, "Printer found");
    } else if (settings->type == COMM_SERIAL) {
        InitSerial(*layer, *data, *settings);
    } else {
        Fail(kWhere, "Port Invalid", kErrorDeviceNotFound);
    }
    Log::WriteLog(kWhere, "End");
}

void PrinterComm::StartSession(const char* where, CommLayer& layer, PrinterData& data,
                               CommPortSettings& settings, const char* versionError) {
    if (!OpenCommunicationPort(&layer, &settings))
        Fail(where, "Open Error", kErrorDeviceNotFound);
    bool identified = false;
    try {
        identified = layer.HandshakeCommunication(&data, 0);
    } catch (const VmComLayerException& e) {
        Log::WriteLogP(where, "Error: %d", e.getCode());
    }
    if (!identified)
        Fail(where, "Handshake Communication Error", kErrorDeviceNotFound);
    std::optional<Answer> answer = Ask(layer, Commands::Cmd_CommandGetProtVer, kVersionTimeoutMs);
    if (!answer)
        Fail(where, "Get Prot. release Error", kErrorNoAnswer);
    if (answer->refusal != 0)
        FailRefused(where, answer->refusal);
    uint64_t ignored = 0;
    OBJTYPE type = OBJTYPE_NONE;
    AnswerRecord record = answer->fields.CreateSetupItem(ignored, nullptr, type);
    std::unique_ptr<ProtocolVersion> version =
        record.Type() == OBJTYPE_PROTOCOL_VERSION ? record.Take<ProtocolVersion>() : nullptr;
    if (!version)
        Fail(where, versionError, kErrorBadAnswer);
    data.SetProtocolVersion(std::move(version));
}

std::unique_ptr<ProtocolDataAvailable> PrinterComm::ReadCapabilities(const char* where, CommLayer& layer,
                                                                     const PrinterData& data) {
    Cancel(layer);
    std::optional<Answer> answer = Ask(layer, Commands::Cmd_CommandDataAvailable);
    if (!answer) {
        layer.CleanRX();
        Log::WriteLog(where, "NO Get ProtocollDataAvailable Setup");
        auto setupOnly = std::make_unique<ProtocolDataAvailable>();
        setupOnly->SetupDataAvailable(false, true);
        setupOnly->SetupDataToSave(false, true);
        return setupOnly;
    }
    AnswerRecord record = RecordOf(*answer, data);
    std::unique_ptr<ProtocolDataAvailable> available =
        record.Type() == OBJTYPE_PROTOCOL_DATA_AVAILABLE ? record.Take<ProtocolDataAvailable>() : nullptr;
    if (!available)
        Fail(where, "Extract ProtocollDataAvailable Error", kErrorBadAnswer);
    Log::WriteLog(where, "ProtocollDataAvailable OK");
    return available;
}

void PrinterComm::Preamble(const char* where, CommLayer& layer, PrinterData& data,
                           CommPortSettings& settings) {
    StartSession(where, layer, data, settings, "Extract SetupItemProtocollVersion Error");
    // The old capabilities must not survive a printer that no longer answers the request.
    data.SetProtocolDataAvailable(std::make_unique<ProtocolDataAvailable>());
    data.SetProtocolDataAvailable(ReadCapabilities(where, layer, data));
}
