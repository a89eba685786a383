// USB device listing against emulated devices: vendor, product and class filters, the records and
// device names produced, and devices the class filter must drop.
#include "tests/transport/usb/UsbFixture.h"

#include <gmock/gmock.h>

#include <algorithm>

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

class UsbListing : public UsbTest {
protected:
    void SetUp() override {
        UsbTest::SetUp();
        if (IsSkipped())
            return;
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
    }
};
} // namespace

TEST_F(UsbListing, PrinterClassAtDeviceOrInterfaceLevel) {
    std::string error = "stale";
    const std::vector<std::string> names =
        ComPortUsbIntPRN::EnumUsbDevices(error, true, ProductIds::kPrinterClass);
    EXPECT_EQ(error, "");
    EXPECT_THAT(names, UnorderedElementsAre(Hex(ProductIds::kVendorId) + "|0101|P1",
                                            Hex(ProductIds::kVendorId) + "|0102|P2"));
}

TEST_F(UsbListing, ScannerClassLeavesPrintersOut) {
    std::string error;
    const std::vector<std::string> names =
        ComPortUsbIntPRN::EnumUsbDevices(error, true, ProductIds::kScannerClass);
    EXPECT_EQ(error, "");
    EXPECT_THAT(names, ElementsAre(Hex(ProductIds::kVendorId) + "|2001|S1"));
}

TEST_F(UsbListing, WithoutClassFilterEveryMakerDeviceAndNoOther) {
    std::string error;
    const std::vector<USBDevice> devices = ComPortUsbIntPRN::GetDeviceList(error, nullptr, nullptr);
    EXPECT_EQ(error, "");
    EXPECT_THAT(Names(devices), UnorderedElementsAre(Hex(ProductIds::kVendorId) + "|0101|P1",
                                                     Hex(ProductIds::kVendorId) + "|0102|P2",
                                                     Hex(ProductIds::kVendorId) + "|2001|S1"));
}

TEST_F(UsbListing, VendorAndProductFiltersIgnoreCase) {
    std::string error;
    EXPECT_THAT(Names(ComPortUsbIntPRN::GetDeviceList(error, "04B8", nullptr)), ElementsAre("04b8|0101|X9"));
    EXPECT_THAT(Names(ComPortUsbIntPRN::GetDeviceList(error, nullptr, "2001")),
                ElementsAre(Hex(ProductIds::kVendorId) + "|2001|S1"));
    const std::string upperVid = UpperCase(Hex(ProductIds::kVendorId));
    EXPECT_THAT(Names(ComPortUsbIntPRN::GetDeviceList(error, upperVid.c_str(), "0102")),
                ElementsAre(Hex(ProductIds::kVendorId) + "|0102|P2"));
    EXPECT_THAT(ComPortUsbIntPRN::GetDeviceList(error, upperVid.c_str(), "0999"), IsEmpty());
    EXPECT_EQ(error, "");
}

TEST_F(UsbListing, ClassFilterForAnotherVendor) {
    std::string error;
    const std::vector<USBDevice> devices =
        ComPortUsbIntPRN::GetDeviceListFilterByClass(error, "04b8", nullptr, ProductIds::kPrinterClass);
    EXPECT_THAT(Names(devices), ElementsAre("04b8|0101|X9"));
    EXPECT_THAT(
        ComPortUsbIntPRN::GetDeviceListFilterByClass(error, "04b8", nullptr, ProductIds::kScannerClass),
        IsEmpty());
}

TEST_F(UsbTest, RecordsCarryLowerCaseIdsAndTheSerialAsIs) {
    UsbDeviceSetup setup = Printer("Ab-01", 1, 0x00AB);
    testbed->Plug(setup);
    testbed->Plug(Printer(std::nullopt, 2, 0x00CD));
    std::string error;
    const std::vector<USBDevice> devices = ComPortUsbIntPRN::GetDeviceList(error, nullptr, nullptr);
    ASSERT_EQ(devices.size(), 2u);
    const auto withSerial =
        std::find_if(devices.begin(), devices.end(), [](auto& d) { return d.pid == "00ab"; });
    ASSERT_NE(withSerial, devices.end());
    EXPECT_EQ(withSerial->vid, Hex(ProductIds::kVendorId));
    EXPECT_EQ(withSerial->serial, "Ab-01");
    const auto without =
        std::find_if(devices.begin(), devices.end(), [](auto& d) { return d.pid == "00cd"; });
    ASSERT_NE(without, devices.end());
    EXPECT_EQ(without->DeviceName(), Hex(ProductIds::kVendorId) + "|00cd|");
}
