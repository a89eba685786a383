// USB device listing against emulated devices: vendor, product and class filters, and the device names
// produced.
#include "tests/transport/usb/UsbFixture.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {
std::vector<std::string> Names(const std::vector<USBDevice>& devices) {
    std::vector<std::string> names;
    for (const USBDevice& device : devices)
        names.push_back(device.DeviceName());
    return names;
}
} // namespace

TEST_F(UsbTest, ListingFiltersByPrinterClassVendorAndProduct) {
    testbed->Plug(Printer("P1", 1)); // printer class on the device
    UsbDeviceSetup perInterface = Printer("P2", 2, 0x0102);
    perInterface.deviceClass = 0;
    perInterface.interfaceClasses = {0x03, ProductIds::kPrinterClass}; // class 7 on interface 1 only
    testbed->Plug(perInterface);
    UsbDeviceSetup scanner = Printer("S1", 3, 0x2001);
    scanner.deviceClass = ProductIds::kScannerClass;
    scanner.interfaceClasses = {ProductIds::kScannerClass};
    testbed->Plug(scanner);
    UsbDeviceSetup otherVendor = Printer("X9", 4, 0x0101);
    otherVendor.vid = 0x04b8;
    testbed->Plug(otherVendor);
    testbed->Plug(Printer(std::nullopt, 5, 0x00CD));

    // Printer class at device or interface level; ids in lower case, a missing serial number empty.
    std::string error = "stale";
    EXPECT_THAT(ComPortUsbIntPRN::EnumUsbDevices(error, true, ProductIds::kPrinterClass),
                UnorderedElementsAre(vid + "|0101|P1", vid + "|0102|P2", vid + "|00cd|"));
    EXPECT_EQ(error, "");
    // Without a filter every device of the maker; the vendor and product filters ignore case.
    EXPECT_THAT(Names(ComPortUsbIntPRN::GetDeviceList(error, nullptr, nullptr)),
                UnorderedElementsAre(vid + "|0101|P1", vid + "|0102|P2", vid + "|2001|S1", vid + "|00cd|"));
    EXPECT_THAT(Names(ComPortUsbIntPRN::GetDeviceList(error, "04B8", nullptr)), ElementsAre("04b8|0101|X9"));
    EXPECT_THAT(Names(ComPortUsbIntPRN::GetDeviceList(error, nullptr, "2001")),
                ElementsAre(vid + "|2001|S1"));
    const std::string upperVid = UpperCase(vid);
    EXPECT_THAT(Names(ComPortUsbIntPRN::GetDeviceList(error, upperVid.c_str(), "00CD")),
                ElementsAre(vid + "|00cd|"));
    EXPECT_THAT(ComPortUsbIntPRN::GetDeviceList(error, upperVid.c_str(), "0999"), IsEmpty());
    EXPECT_EQ(error, "");
}
