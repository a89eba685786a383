// Operation choice, file kinds, the exit-code messages with their "Result:" line, and the log
// directory of the command line.
#include "app/CmdLineOperations.h"

#include "base/CmdConsole.h"
#include "base/Log.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

TEST(CmdLineOperations, PriorityOfOperations) {
    CmdLineOptions opts;
    EXPECT_EQ(ChooseOperation(opts), CmdOperation::None);
    opts.sendtcfx = 1;
    EXPECT_EQ(ChooseOperation(opts), CmdOperation::SendTcfx);
    opts.upgradedevice = 1;
    EXPECT_EQ(ChooseOperation(opts), CmdOperation::Upgrade);
    opts.printerversion = 1; // wins over --upgrade
    EXPECT_EQ(ChooseOperation(opts), CmdOperation::PrinterVersion);
    opts.ethdevlist = 1;
    EXPECT_EQ(ChooseOperation(opts), CmdOperation::EthDevList);
    opts.usbdevlist = 1;
    EXPECT_EQ(ChooseOperation(opts), CmdOperation::UsbDevList);
    opts.executetool = 1;
    EXPECT_EQ(ChooseOperation(opts), CmdOperation::ExecTool);
}

TEST(CmdLineOperations, CodesWithoutAMessageAreNamedByNumber) {
    EXPECT_EQ(ErrorDescription(10), "Error 10");
    EXPECT_EQ(ErrorDescription(-3), "Error -3");
}

class ResultLine : public ::testing::Test {
protected:
    void SetUp() override { cmdline_options() = CmdLineOptions{}; }
    void TearDown() override {
        cmdline_options() = CmdLineOptions{};
        CmdConsole::iShowToVideo = 0;
    }
    static std::string Report(int code) {
        testing::internal::CaptureStdout();
        print_error_description(code);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(ResultLine, OnlyForToolUpgradeAndArchiveOperations) {
    EXPECT_EQ(Report(0), "");
    cmdline_options().usbdevlist = 1;
    EXPECT_EQ(Report(14), "");
    cmdline_options().executetool = 1;
    EXPECT_EQ(Report(0), "Result: success\n");
    EXPECT_EQ(Report(14), "Result: failure(14)\n");
    cmdline_options() = CmdLineOptions{};
    cmdline_options().upgradedevice = 1;
    EXPECT_EQ(Report(11), "Result: failure(11)\n");
    cmdline_options() = CmdLineOptions{};
    cmdline_options().sendtcfx = 1;
    EXPECT_EQ(Report(255), "Result: failure(255)\n");
    cmdline_options().silent_mode = 1;
    EXPECT_EQ(Report(13), "");
}

TEST_F(ResultLine, MessageGoesThroughTheConsoleWriter) {
    CmdConsole::iShowToVideo = 1;
    cmdline_options().sendtcfx = 1;
    EXPECT_EQ(Report(12), "Device not compatible\nResult: failure(12)\n");
}

TEST(ParseFilename, EndingsDecideTheKind) {
    TempDir dir;
    struct Case {
        const char* name;
        bool FileKindFlags::*flag;
    } cases[] = {
        {"a.mod", &FileKindFlags::isMod},     {"a.Mod", &FileKindFlags::isMod},
        {"a.MOD", &FileKindFlags::isMod},     {"fw.psw", &FileKindFlags::isPswPfw},
        {"fw.Pfw", &FileKindFlags::isPswPfw}, {"fw.PFW", &FileKindFlags::isPswPfw},
        {"x.bin", &FileKindFlags::isBin},     {"x.Zpd", &FileKindFlags::isZpd},
        {"s.SPT", &FileKindFlags::isSpt},     {"s.Spt", &FileKindFlags::isSpt},
    };
    for (const Case& c : cases) {
        dir.write(c.name, "x");
        ASSERT_TRUE(parse_filename(dir.file(c.name).c_str())) << c.name;
        FileKindFlags flags = file_kind_flags();
        EXPECT_TRUE(flags.*(c.flag)) << c.name;
        int set = flags.isMod + flags.isPswPfw + flags.isBin + flags.isZpd + flags.isSpt;
        EXPECT_EQ(set, 1) << c.name;
    }
}

TEST(ParseFilename, RefusesMissingShortAndUnknown) {
    TempDir dir;
    dir.write("s.spt", "x");
    ASSERT_TRUE(parse_filename(dir.file("s.spt").c_str()));
    for (const char* name : {"a.mOd", "a.txt", "a.sptx"}) {
        dir.write(name, "x");
        EXPECT_FALSE(parse_filename(dir.file(name).c_str())) << name;
        EXPECT_FALSE(file_kind_flags().isSpt) << "flag left over from the previous name";
    }
    EXPECT_FALSE(parse_filename(dir.file("missing.mod").c_str()));
    EXPECT_FALSE(parse_filename(nullptr));
    // A name of four characters is too short even when such a file exists.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    dir.write(".mod", "x");
    EXPECT_FALSE(parse_filename(".mod"));
    dir.write("a.mod", "x");
    EXPECT_TRUE(parse_filename("a.mod"));
    ASSERT_EQ(chdir(cwd), 0);
}

TEST(LogDirectory, CreatedPartByPart) {
    TempDir home;
    std::string directory = CreateLogDirectory(home.path());
    EXPECT_EQ(directory, home.path() + "/VELMAR/Dalvora/Log");
    struct stat info {};
    ASSERT_EQ(stat(directory.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    // Existing parts are kept, and a second call is harmless.
    EXPECT_EQ(CreateLogDirectory(home.path()), directory);
    EXPECT_EQ(CreateLogDirectory(home.file("missing/deeper")),
              home.path() + "/missing/deeper/VELMAR/Dalvora/Log");
}

TEST(DeviceArgument, EachKindSplitsItsText) {
    CommPortSettings s;
    ASSERT_TRUE(ParseDeviceText(COMM_ETHERNET, "192.168.1.20:9100", &s));
    EXPECT_EQ(s.type, COMM_ETHERNET);
    EXPECT_EQ(s.ipAddress, "192.168.1.20");
    EXPECT_EQ(s.tcpPort, 9100);
    // Split at the first colon: the rest must be a number.
    EXPECT_FALSE(ParseDeviceText(COMM_ETHERNET, "fe80::1:9100", &s));
    EXPECT_FALSE(ParseDeviceText(COMM_ETHERNET, "printer", &s));

    ASSERT_TRUE(ParseDeviceText(COMM_SERIAL, "/dev/ttyUSB0:38400:HW", &s));
    EXPECT_EQ(s.type, COMM_SERIAL);
    EXPECT_EQ(s.comPortName, "/dev/ttyUSB0");
    EXPECT_EQ(s.baudRate, 38400);
    EXPECT_EQ(s.flowControl, 1);
    ASSERT_TRUE(ParseDeviceText(COMM_SERIAL, "/dev/ttyS1:9600:SW", &s));
    EXPECT_EQ(s.flowControl, 2);
    ASSERT_TRUE(ParseDeviceText(COMM_SERIAL, "/dev/ttyS1:9600:NONE", &s));
    EXPECT_EQ(s.flowControl, 0);
    for (const char* bad : {"/dev/ttyS1:9600:none", "/dev/ttyS1:9600:", "/dev/ttyS1:9600", "/dev/ttyS1::HW",
                            "/dev/ttyS1:fast:HW", "/dev/ttyS1"})
        EXPECT_FALSE(ParseDeviceText(COMM_SERIAL, bad, &s)) << bad;

    // A named USB device is taken in upper case; an empty one is refused.
    ASSERT_TRUE(ParseDeviceText(COMM_USB_PRN, "1f5b|0101|sim01", &s));
    EXPECT_EQ(s.type, COMM_USB_PRN);
    EXPECT_EQ(s.usbDeviceName, "1F5B|0101|SIM01");
    EXPECT_FALSE(ParseDeviceText(COMM_USB_PRN, "", &s));
    // The settings are fresh each time: nothing of an earlier parse survives.
    ASSERT_TRUE(ParseDeviceText(COMM_ETHERNET, "h:1", &s));
    EXPECT_TRUE(s.usbDeviceName.empty());
}

TEST(DeviceArgument, PortKindIsExactAndLowerCase) {
    EXPECT_EQ(PortKindFromType("eth"), COMM_ETHERNET);
    EXPECT_EQ(PortKindFromType("usb"), COMM_USB_PRN);
    EXPECT_EQ(PortKindFromType("ser"), COMM_SERIAL);
    for (const char* bad : {"ETH", "Usb", "", "serial", "eth "})
        EXPECT_EQ(PortKindFromType(bad), COMM_NONE) << bad;
}
