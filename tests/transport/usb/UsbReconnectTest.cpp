// A printer that leaves the bus and comes back: remembering its port path and finding it there again
// under a new serial number.
#include "tests/transport/usb/UsbFixture.h"

TEST_F(UsbTest, FindsTheRestartedPrinterAtItsSavedLocation) {
    EmulatedUsbDevice& other = testbed->Plug(Printer("CD9", 2)); // same model elsewhere on the bus
    EmulatedUsbDevice& before = testbed->Plug(Printer("AB5", 4));
    ComPortUsbIntPRN port;
    // Nothing saved, no identity to save: both fail without touching USB.
    EXPECT_EQ(port.RestoreAddrNumFrmLocatio(), 0);
    EXPECT_EQ(port.SaveLocationCurrentDevice(), 0);
    EXPECT_EQ(before.OpenCount() + other.OpenCount(), 0);

    ASSERT_EQ(port.OpenUsb(vid.c_str(), "0101", "AB5", true), 0);
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
