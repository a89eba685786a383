// Printer names and inventory files: what an operator types must become the right port, and a
// mistake must be refused with the line it is on rather than reach a printer.
#include "fleet/PrinterAddress.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(PrinterAddress, EthernetAndSerialForms) {
    std::string error;
    std::optional<CommPortSettings> eth = fleet::ParsePrinterAddress("eth:10.0.0.5", error);
    ASSERT_TRUE(eth) << error;
    EXPECT_EQ(eth->type, COMM_ETHERNET);
    EXPECT_EQ(eth->ipAddress, "10.0.0.5");
    EXPECT_EQ(eth->tcpPort, 9100);
    eth = fleet::ParsePrinterAddress("eth:printer-7.example:9101", error);
    ASSERT_TRUE(eth) << error;
    EXPECT_EQ(eth->ipAddress, "printer-7.example");
    EXPECT_EQ(eth->tcpPort, 9101);

    std::optional<CommPortSettings> ser = fleet::ParsePrinterAddress("ser:/dev/ttyUSB0", error);
    ASSERT_TRUE(ser) << error;
    EXPECT_EQ(ser->comPortName, "/dev/ttyUSB0");
    EXPECT_EQ(ser->flowControl, 1); // hardware unless told otherwise
    ser = fleet::ParsePrinterAddress("ser:/dev/ttyS1:19200:SW", error);
    ASSERT_TRUE(ser) << error;
    EXPECT_EQ(ser->baudRate, 19200);
    EXPECT_EQ(ser->flowControl, 2);

    std::optional<CommPortSettings> usb = fleet::ParsePrinterAddress("usb:0dd4|0205|ab12", error);
    ASSERT_TRUE(usb) << error;
    EXPECT_EQ(usb->usbDeviceName, "0DD4|0205|AB12");
}

TEST(PrinterAddress, MistakesAreRefusedWithAReason) {
    for (const char* bad :
         {"10.0.0.5", "eth:", "eth:host:0", "eth:host:65536", "eth:host:91x0", "ser:", "ser:/dev/ttyS0:fast",
          "ser:/dev/ttyS0:9600:RTS", "ser:/dev/ttyS0:9600:HW:x", "usb:", "tcp:10.0.0.5"}) {
        std::string error;
        EXPECT_FALSE(fleet::ParsePrinterAddress(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(Inventory, NamesTagsCommentsAndTheBadLine) {
    TempDir dir;
    dir.write("fleet.txt", "# lobby\n"
                           "eth:10.0.0.5          lobby-1  kiosk,floor1\n"
                           "\n"
                           "   ser:/dev/ttyUSB0:115200:HW   till-3\n"
                           "eth:10.0.0.6\n");
    std::string error;
    std::optional<std::vector<fleet::PrinterTarget>> targets =
        fleet::LoadInventory(dir.file("fleet.txt"), error);
    ASSERT_TRUE(targets) << error;
    ASSERT_EQ(targets->size(), 3u);
    EXPECT_EQ((*targets)[0].Label(), "lobby-1");
    EXPECT_EQ((*targets)[0].tags, (std::vector<std::string>{"kiosk", "floor1"}));
    EXPECT_EQ((*targets)[1].settings.baudRate, 115200);
    EXPECT_EQ((*targets)[2].Label(), "eth:10.0.0.6");
    EXPECT_EQ(fleet::WithTag(*targets, "floor1").size(), 1u);
    EXPECT_EQ(fleet::WithTag(*targets, "").size(), 3u);

    dir.write("bad.txt", "eth:10.0.0.5\neth:10.0.0.6:http lobby\n");
    EXPECT_FALSE(fleet::LoadInventory(dir.file("bad.txt"), error));
    EXPECT_NE(error.find("bad.txt:2:"), std::string::npos) << error;
    dir.write("extra.txt", "eth:10.0.0.5 name tags surplus\n");
    EXPECT_FALSE(fleet::LoadInventory(dir.file("extra.txt"), error));
    EXPECT_FALSE(fleet::LoadInventory(dir.file("missing.txt"), error));
}

} // namespace
