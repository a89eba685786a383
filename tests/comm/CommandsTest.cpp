// Byte-exact commands: parameter fields, the set-value checksum, the tool payloads, and nothing at all
// for a protocol version the program does not speak.
#include "comm/Commands.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Bytes Frame(std::initializer_list<unsigned char> head, const std::string& tail) {
    Bytes bytes(head);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

} // namespace

TEST(Commands, IdInformationField) {
    EXPECT_EQ(Commands::GetCommand_GetIDInformation(100, 1203), Frame({0x1F, 0xFF, 0x04}, "<1203>"));
    EXPECT_EQ(Commands::GetCommand_GetIDInformation(100, 18446744073709551615ull),
              Frame({0x1F, 0xFF, 0x04}, "<18446744073709551615>"));
}

TEST(Commands, SetValueChecksumIsTheByteSumModulo256) {
    EXPECT_EQ(Commands::GetCommand_SetIDValue(100, 7, "1"), Frame({0x1F, 0xFF, 0x05}, "<7><1><127>"));
    // 1F+FF+05 and "<7><777>" add up to 755 = 0x2F3: written as 243.
    EXPECT_EQ(Commands::GetCommand_SetIDValue(100, 7, "777"), Frame({0x1F, 0xFF, 0x05}, "<7><777><243>"));
    // An empty value is an empty field: 0x123 + "<12><>" = 634, written as 122.
    EXPECT_EQ(Commands::GetCommand_SetIDValue(100, 12, ""), Frame({0x1F, 0xFF, 0x05}, "<12><><122>"));
}

TEST(Commands, SetValueLongerThanTheOldFieldBufferIsSentWhole) {
    std::string value(300, 'a');
    Bytes command = Commands::GetCommand_SetIDValue(100, 5, value.c_str());
    std::string text(command.begin() + 3, command.end());
    EXPECT_EQ(text.substr(0, 3 + 302), "<5><" + value + ">");
    unsigned sum = 0x1F + 0xFF + 0x05 + '<' + '5' + '>' + '<' + 300u * 'a' + '>';
    EXPECT_EQ(text.substr(3 + 302), "<" + std::to_string(sum % 256) + ">");
}

TEST(Commands, ExecToolPayloads) {
    std::tm when{};
    when.tm_mday = 4;
    when.tm_mon = 2;
    when.tm_year = 125;
    when.tm_hour = 9;
    when.tm_min = 5;
    when.tm_sec = 7;
    EXPECT_EQ(Commands::GetCommand_ExecTool(100, 1, 8, nullptr, -1, when),
              Frame({0x1F, 0xFF, 0x51}, "<1><8><040325090507>"));
    const unsigned char script[] = {'A', 0x00, 0x03, 0xFF, '>'};
    EXPECT_EQ(Commands::GetCommand_ExecTool(100, 1, 32, script, 5, when),
              Frame({0x1F, 0xFF, 0x51}, std::string("<1><32><5>A\0\x03\xFF>", 15)));
    EXPECT_EQ(Commands::GetCommand_ExecTool(100, 1, 16, nullptr, -1, when),
              Frame({0x1F, 0xFF, 0x51}, "<1><16>"));
    EXPECT_EQ(Commands::GetCommand_ExecTool(100, 2, 1, script, 5, when), Frame({0x1F, 0xFF, 0x51}, "<2><1>"));
}

TEST(Commands, OtherProtocolVersionsGetNothing) {
    EXPECT_TRUE(Commands::GetCommand_GetIDInformation(101, 1).empty());
    EXPECT_TRUE(Commands::GetCommand_SetIDValue(101, 1, "1").empty());
    EXPECT_TRUE(Commands::GetCommand_ExecTool(101, 1, 8, nullptr, -1).empty());
    EXPECT_EQ(Commands::GetCommand_GetHeaderSetup(101), nullptr);
    EXPECT_EQ(Commands::GetCommand_GetHeaderSetupCommandSize(101), 0);
    EXPECT_EQ(Commands::GetCommand_GetIDList(0), nullptr);
    EXPECT_EQ(Commands::GetCommand_SetAllValuesOnPrinterSize(101), 0);
    EXPECT_EQ(Commands::GetCommand_GetToolsSupported(101), nullptr);
}
