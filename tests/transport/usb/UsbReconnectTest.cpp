// A printer that leaves the bus and comes back: remembering its port path and finding it there again
// under a new serial number.
#include "tests/transport/usb/UsbFixture.h"

TEST_F(UsbTest, RestoreWithoutSavedLocationFailsWithoutTouchingUsb) {
    EmulatedUsbDevice& printer = testbed->Plug(Printer("L1", 1));
    ComPortUsbIntPRN port;
    EXPECT_EQ(port.RestoreAddrNumFrmLocatio(), 0);
    EXPECT_EQ(printer.OpenCount(), 0);
    EXPECT_EQ(port.SaveLocationCurrentDevice(), 0); // no identity stored yet
}

TEST_F(UsbTest, FindsTheRestartedPrinterAtItsSavedLocation) {
    testbed->Plug(Printer("CD9", 2)); // same model elsewhere on the bus
    EmulatedUsbDevice& before = testbed->Plug(Printer("AB5", 4));
    ComPortUsbIntPRN port;
    ASSERT_EQ(port.OpenUsb(Hex(ProductIds::kVendorId).c_str(), "0101", "AB5", true), 0);
    ASSERT_EQ(port.SaveLocationCurrentDevice(), 1);
    port.Close();

    testbed->Unplug(before);
    EmulatedUsbDevice& after = testbed->Plug(Printer("AB8", 4));
    ASSERT_EQ(port.RestoreAddrNumFrmLocatio(), 1);
    EXPECT_EQ(port.GetAddress(), "8");
    ASSERT_EQ(port.ReOpen(), 1);
    EXPECT_TRUE(after.Claimed(0));

    // Nothing at the saved place any more: the identity stays as it was.
    port.Close();
    testbed->Unplug(after);
    testbed->Plug(Printer("AB6", 3));
    EXPECT_EQ(port.RestoreAddrNumFrmLocatio(), 0);
    EXPECT_EQ(port.GetAddress(), "8");
}
