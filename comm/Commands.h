// Every byte string the program sends to a printer or to a printer's boot loader, and the builders of
// the commands that carry parameter fields ("<" decimal text ">").
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <vector>

using Bytes = std::vector<unsigned char>;

namespace detail {
template <typename... T> constexpr std::array<unsigned char, sizeof...(T)> B(T... bytes) {
    return {static_cast<unsigned char>(bytes)...};
}
} // namespace detail

// The one protocol generation the builders speak ("1.00").
inline constexpr uint64_t kProtocolVersion100 = 100;

struct GenericConst {
    static constexpr std::array<uint64_t, 1> Table_ProtocollVersionsSupported = {kProtocolVersion100};
    // The order in which a serial printer is searched for.
    static constexpr std::array<uint32_t, 5> Table_PrnBaudRate = {115200, 9600, 38400, 19200, 57600};
};

struct Commands {
    // Protocol commands: 1F FF code; the answer's tag is "<C" code ">".
    static constexpr auto Cmd_CommandGetProtVer = detail::B(0x1F, 0xFF, 0x01);
    static constexpr auto Cmd_CommandGetHeaderSetup = detail::B(0x1F, 0xFF, 0x02);
    static constexpr auto Cmd_CommandGetIDList = detail::B(0x1F, 0xFF, 0x03);
    static constexpr auto Cmd_CommandGetIDInfo = detail::B(0x1F, 0xFF, 0x04);
    static constexpr auto Cmd_CommandSetIDValue = detail::B(0x1F, 0xFF, 0x05);
    static constexpr auto Cmd_CommandSetAllValuesOnPrinter = detail::B(0x1F, 0xFF, 0x06);
    static constexpr auto Cmd_CommandPrnReset = detail::B(0x1F, 0xFF, 0x07);
    static constexpr auto Cmd_CommandGetPrnLifeInfo = detail::B(0x1F, 0xFF, 0x20);
    static constexpr auto Cmd_CommandGetPrnDeviceInfo = detail::B(0x1F, 0xFF, 0x21);
    static constexpr auto Cmd_CommandGetPrnHeadInfo = detail::B(0x1F, 0xFF, 0x23);
    static constexpr auto Cmd_CommandDataAvailable = detail::B(0x1F, 0xFF, 0x28);
    static constexpr auto Cmd_CommandGetLogosType = detail::B(0x1F, 0xFF, 0x30);
    static constexpr auto Cmd_CommandGetLogosIDList = detail::B(0x1F, 0xFF, 0x31);
    static constexpr auto Cmd_CommandGetIDLogo = detail::B(0x1F, 0xFF, 0x32);
    static constexpr auto Cmd_CommandSetIDLogo = detail::B(0x1F, 0xFF, 0x33);
    static constexpr auto Cmd_CommandPrintPreviewLogo = detail::B(0x1F, 0xFF, 0x34);
    static constexpr auto Cmd_DeleteLogo = detail::B(0x1F, 0xFF, 0x35);
    static constexpr auto Cmd_DeleteAllLogos = detail::B(0x1F, 0xFF, 0x36);
    static constexpr auto Cmd_CommandModulesList = detail::B(0x1F, 0xFF, 0x40);
    static constexpr auto Cmd_CommandToolsSupported = detail::B(0x1F, 0xFF, 0x50);
    static constexpr auto Cmd_CommandToolsExec = detail::B(0x1F, 0xFF, 0x51);
    static constexpr auto Cmd_CommandModuleFont = detail::B(0x1F, 0xFF, 0x60);
    static constexpr auto Cmd_CommandUpgradeInfo = detail::B(0x1F, 0xFF, 0x70);
    static constexpr auto Cmd_GetGenStatusInfo = detail::B(0x1F, 0xFF, 0x80);
    static constexpr auto Cmd_GetExtStatusInfo = detail::B(0x1F, 0xFF, 0x81);
    static constexpr auto Cmd_GetPrinterStatusGen = detail::B(0x1F, 0xFF, 0x8A);
    static constexpr auto Cmd_GetPrinterStatusExt = detail::B(0x1F, 0xFF, 0x8B);

    // Printer-native commands: their answers are raw bytes without framing.
    static constexpr auto Cmd_CommandCAN = detail::B(0x18);
    static constexpr auto Cmd_CommandSetESCPOSforSV = detail::B(0x1C, '<', 'E', 'P', 'O', 'S', '>');
    static constexpr auto Cmd_CommandGetGSI = detail::B(0x1D, 0x49, 0x01);
    static constexpr auto Cmd_CommandGetGSIFF = detail::B(0x1D, 0x49, 0xFF);
    static constexpr auto Cmd_CommandGetFWREL = detail::B(0x1D, 0x49, 0x03);

    // Framing bytes and markers.
    static constexpr unsigned char Cmd_STX = 0x02;
    static constexpr unsigned char Cmd_ETX = 0x03;
    static constexpr unsigned char Cmd_ACK = 0x06;
    static constexpr unsigned char Cmd_NACK = 0x15;
    static constexpr char Cmd_STField = '<';
    static constexpr char Cmd_ETField = '>';
    static constexpr const char* Cmd_DataBytesBegin = "<DATABYTES>";
    static constexpr const char* Cmd_DataBytesEnd = "</DATABYTES>";

    // Renesas USB boot mode.
    static constexpr auto Cmd_AutomaticAdjustmentBitRate = detail::B(0x55);
    static constexpr auto Cmd_DeviceSelection = detail::B(0x10, 0x04, 0x37, 0x36, 0x30, 0x38, 0x17);
    static constexpr auto Cmd_ClockModeSelection = detail::B(0x11, 0x01, 0x00, 0xEE);
    static constexpr auto Cmd_BitRateSelecion =
        detail::B(0x3F, 0x07, 0x00, 0x00, 0x04, 0xB0, 0x02, 0x08, 0x04, 0xF8);
    static constexpr auto Cmd_ProgrammingErasureStateTransition = detail::B(0x40);
    static constexpr auto Cmd_ProgrammingSizeInquiry = detail::B(0x27);
    static constexpr auto Cmd_BootProgramStatusInquiry = detail::B(0x4F);
    static constexpr auto Cmd_UserAreaBlankCheck = detail::B(0x4D);
    static constexpr auto Cmd_DataAreaBlankCheck = detail::B(0x62);
    static constexpr auto Cmd_UserAreaInformationInquiry = detail::B(0x25);
    static constexpr auto Cmd_AreaProgrammingSelection = detail::B(0x43);
    static constexpr auto Cmd_TerminateProgramming = detail::B(0x50, 0xFF, 0xFF, 0xFF, 0xFF, 0xB4);
    static constexpr auto Cmd_LockBitEnable = detail::B(0x7A);
    static constexpr auto Cmd_Confirmation = detail::B(0x06, 0x00, 0x00, 0x00, 0x00);
    static constexpr auto Cmd_GetRelease = detail::B(0x32);
    static constexpr auto Cmd_SaveSecurity = detail::B(0x33);
    static constexpr auto Cmd_SaveSecurityNew = detail::B(0x34);
    static constexpr auto Cmd_Reset = detail::B(0x31);

    // Defined, sent by no operation.
    static constexpr auto Cmd_TamperUpgrade_Start = detail::B(0x1C, 0xFD, 0x00, 0x00, 0x80, 0x00);
    static constexpr auto Cmd_TamperUpgrade_End = detail::B(0x1C, 0xFF);
    static constexpr auto Cmd_USB0GetPrinterStatusGen = detail::B(0xD0, 0x8A, 0x00);
    static constexpr auto Cmd_USB0GetPrinterStatusExt = detail::B(0xD0, 0x8B, 0x00);
    static constexpr auto Cmd_NETUDPGetPrinterStatusGen = detail::B(0xD0, 0x8A);
    static constexpr auto Cmd_NETUDPGetPrinterStatusExt = detail::B(0xD0, 0x8B);

    // Tool bits with a payload.
    static constexpr unsigned kToolBitSetDateTime = 8;
    static constexpr unsigned kToolBitUploadScript = 32;

    // Constant getters: null / 0 for a protocol version other than 100.
    static const unsigned char* GetCommand_GetHeaderSetup(uint64_t version);
    static int GetCommand_GetHeaderSetupCommandSize(uint64_t version);
    static const unsigned char* GetCommand_GetIDList(uint64_t version);
    static int GetCommand_GetIDListCommandSize(uint64_t version);
    static const unsigned char* GetCommand_SetAllValuesOnPrinter(uint64_t version);
    static int GetCommand_SetAllValuesOnPrinterSize(uint64_t version);
    static const unsigned char* GetCommand_GetToolsSupported(uint64_t version);
    static int GetCommand_GetToolsSupportedCommandSize(uint64_t version);

    // Builders: an empty vector for a protocol version other than 100.
    static Bytes GetCommand_GetIDInformation(uint64_t version, unsigned long long id);
    // A confidential value (a password item) is logged masked; the command itself carries it as is.
    static Bytes GetCommand_SetIDValue(uint64_t version, unsigned long long id, const char* value,
                                       bool confidential = false);
    static Bytes GetCommand_ExecTool(uint64_t version, unsigned toolGroup, unsigned toolBit,
                                     const unsigned char* data, int dataLength);
    // The same with the date and time a set-date tool sends.
    static Bytes GetCommand_ExecTool(uint64_t version, unsigned toolGroup, unsigned toolBit,
                                     const unsigned char* data, int dataLength, const std::tm& now);

    static void PopulateVectorWithData(const unsigned char* bytes, int count, Bytes* out);
    template <size_t N> static void Append(const std::array<unsigned char, N>& bytes, Bytes* out) {
        out->insert(out->end(), bytes.begin(), bytes.end());
    }
};
